#pragma once
// The system log's lines while one of these lives; the earlier sink is back afterwards.

#include "common/Log.h"

#include <string>
#include <vector>

namespace gw::testing {

struct LogCapture {
    LogCapture() : previous(setLogSink([this](std::string_view m) { lines.emplace_back(m); })) {}
    ~LogCapture() { setLogSink(std::move(previous)); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    std::vector<std::string> lines;
    LogSink previous;
};

} // namespace gw::testing
