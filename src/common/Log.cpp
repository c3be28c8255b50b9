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

// The length of the UTF-8 sequence at `text[i]` and its code point, or 0 when it is not one.
std::size_t utf8Sequence(std::string_view text, std::size_t i, char32_t& cp) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char b = byte(i);
    std::size_t length = 1;
    char32_t smallest = 0;
    cp = b;
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b < 0xE0) {
        length = 2, cp = b & 0x1F, smallest = 0x80;
    } else if (b >= 0xE0 && b < 0xF0) {
        length = 3, cp = b & 0x0F, smallest = 0x800;
    } else if (b >= 0xF0 && b < 0xF5) {
        length = 4, cp = b & 0x07, smallest = 0x10000;
    } else {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if (i + k >= text.size() || (byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (cp < smallest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

} // namespace

std::string printable(std::string_view text, std::string_view keep) {
    std::string out;
    out.reserve(text.size());
    char escape[16];
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const std::size_t length = utf8Sequence(text, i, cp);
        const bool control = cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0);
        const bool bidi = (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
        if (length == 1 && keep.find(text[i]) != std::string_view::npos) {
            out += text[i++];
        } else if (length == 0 || (length == 1 && control)) {
            constexpr std::string_view kNamed = "abtnvfr"; // \a (7) to \r (13)
            const auto b = static_cast<unsigned char>(text[i]);
            if (b >= 7 && b <= 13) {
                out += '\\';
                out += kNamed[b - 7];
            } else {
                std::snprintf(escape, sizeof escape, "\\%03o", b);
                out += escape;
            }
            ++i;
        } else if (control || bidi) {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(cp));
            out += escape;
            i += length;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

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
    const std::string shown = printable(message);
    std::lock_guard lock(logMutex());
    if (currentSink()) {
        currentSink()(shown);
        return;
    }
    const std::string line = formatLogLine(programName(), shown) + '\n';
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
