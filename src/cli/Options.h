#pragma once
// The command line of glyphwerk-cli.

#include <string>
#include <string_view>
#include <vector>

namespace gw::cli {

enum class OutputFormat { Text, Ansi, Html, Rtf, Tiff };

struct Options {
    int maxWidth = 80;
    std::string characters; // UTF-8; the main window's initial set unless given
    bool color = false;
    OutputFormat format = OutputFormat::Text;
    std::string background = "#ffffff";
    std::string fontName = "Monaco";
    int fontSize = 12;
    std::string output;                // empty: standard output
    std::string table;                 // empty: the installed Table.txt
    std::vector<std::string> pictures; // "-" is standard input
};

enum class Action { Convert, Help, Version, UsageError };

struct CommandLine {
    Action action = Action::Convert;
    Options options;
    std::string error; // for UsageError: one line, without the program name
};

CommandLine parseCommandLine(const std::vector<std::string_view>& args);

std::string_view formatName(OutputFormat format);

// The file name extension for a format ("txt", "ans", "html", "rtf", "tif").
std::string_view formatExtension(OutputFormat format);

// The font size in effect: `text` as a whole number from 1 to 73, anything else gives 12.
int effectiveFontSize(std::string_view text);

std::string helpText();

} // namespace gw::cli
