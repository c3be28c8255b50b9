#pragma once
// The command line of glyphwerk-cli.

#include "output/Outputs.h"

#include <optional>
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
    std::string background = "#ffffff"; // "#rrggbb", lower case
    std::string fontName = "Monaco";
    bool fontChosen = false; // --font was given
    int fontSize = 12;
    std::string output; // empty or "-": standard output; ending in '/': a folder, created
    std::string table;  // empty: the installed Table.txt
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

// A colour as "#rrggbb" (either case) or one of the names in the help text; nullopt otherwise.
std::optional<RgbColor> parseColor(std::string_view text);

std::string helpText();

} // namespace gw::cli
