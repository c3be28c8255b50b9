#include "common/Log.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <unistd.h>

namespace gw {
namespace {

std::mutex& logMutex() {
    static std::mutex m;
    return m;
}
LogSink& currentSink() {
    static LogSink sink;
    return sink;
}
std::string& programName() {
    static std::string name = "glyphwerk";
    return name;
}

} // namespace

std::string formatLogLine(std::string_view name, std::string_view message) {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t secs = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&secs, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    char head[96];
    std::snprintf(head, sizeof head, "%s.%03d ", stamp, static_cast<int>(millis));
    std::string line = head;
    line += name;
    line += '[' + std::to_string(::getpid()) + "] ";
    line += message;
    return line;
}

void systemLog(std::string_view message) {
    std::lock_guard lock(logMutex());
    if (currentSink()) {
        currentSink()(message);
        return;
    }
    const std::string line = formatLogLine(programName(), message) + '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

LogSink setLogSink(LogSink sink) {
    std::lock_guard lock(logMutex());
    LogSink old = std::move(currentSink());
    currentSink() = std::move(sink);
    return old;
}

void setLogProgramName(std::string name) {
    std::lock_guard lock(logMutex());
    programName() = std::move(name);
}

} // namespace gw
