#pragma once
// The command line of glyphwerk-cli.

#include "engine/Engine.h"
#include "formats/OutputFormats.h"
#include "output/Outputs.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gw::cli {

// The engine's maximum width counts the outer frame of cells, which is never output: a width
// of N characters is a maximum width of N + 2, as the window's field gives it.
inline constexpr int kFrameColumns = 2;
inline constexpr int kDefaultColumns = 80;

struct Options {
    int maxWidth = kDefaultColumns + kFrameColumns; // as the window's maximum width field
    std::string characters; // UTF-8; the main window's initial set unless given
    bool color = false;
    FormatId format = FormatId::Text;   // a row of the format table
    std::string background = "#ffffff"; // "#rrggbb", lower case
    std::string fontName = "Monaco";
    bool fontChosen = false; // --font was given
    int fontSize = 12;
    std::string output; // empty or "-": standard output; ending in '/': a folder, created
    std::string table;  // empty: the installed Table.txt
    MatchMode match = MatchMode::Darkness;
    bool dither = false;
    ToneSettings tone{};               // --auto-contrast, --contrast, --brightness, --invert
    std::vector<std::string> pictures; // "-" is standard input
};

enum class Action { Convert, Help, Version, UsageError };

struct CommandLine {
    Action action = Action::Convert;
    Options options;
    std::string error; // for UsageError: one line, without the program name
};

CommandLine parseCommandLine(const std::vector<std::string_view>& args);

// A colour as "#rrggbb" (either case) or one of the names in the help text; nullopt otherwise.
std::optional<RgbColor> parseColor(std::string_view text);

// The 1-based position of the first byte of `text` that is not part of valid UTF-8 (overlong
// forms, surrogates and code points beyond U+10FFFF count as invalid), or 0 when all is valid.
std::size_t firstInvalidUtf8Byte(std::string_view text);

std::string helpText();

} // namespace gw::cli
