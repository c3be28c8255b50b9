#pragma once
// The system log: one line per message. By default each line goes to standard error with a
// timestamp and the program name; tests and the platform layer may install another sink.

#include <functional>
#include <string>
#include <string_view>

namespace gw {

using LogSink = std::function<void(std::string_view message)>;

// Writes one message, made printable, to the current sink. Safe to call from any thread.
void systemLog(std::string_view message);

// Replaces the sink; an empty function restores the standard-error sink. Returns the old one.
LogSink setLogSink(LogSink sink);

// The name printed in front of each standard-error line ("glyphwerk" unless changed).
void setLogProgramName(std::string name);

// `text` as it may reach a terminal or a log: C0 and C1 control characters, DEL, bytes that are
// not UTF-8 and the bidirectional overrides are written as escapes (\033, \n, \u202e), so a file
// or font name cannot move the cursor, retitle the terminal or hide part of a line. A backslash
// is left as it is, so that escaping twice changes nothing. Characters in `keep` (say tab and
// line feed, for a text that is meant to span lines) pass unchanged.
std::string printable(std::string_view text, std::string_view keep = {});

// Formats one standard-error line: "2026-12-06 09:40:01.123 name[pid] message".
std::string formatLogLine(std::string_view programName, std::string_view message);

} // namespace gw
