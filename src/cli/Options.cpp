#include "Options.h"

#include "output/TextFrame.h"
#include "palette/InitialSet.h"

#include <charconv>
#include <climits>
#include <optional>
#include <span>
#include <utility>

namespace gw::cli {
namespace {

std::optional<int> wholeNumber(std::string_view text, bool* tooLarge = nullptr) {
    int value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (tooLarge != nullptr) *tooLarge = ec == std::errc::result_out_of_range && end == last;
    if (ec != std::errc() || end != last || first == last) return std::nullopt;
    return value;
}

// A maximum width below 3 leaves no column between the two frame columns, for any picture.
constexpr int kSmallestMaxWidth = kFrameColumns + 1;

// -w N (columns) or --max-width M (the window's field); an error message, or the maximum width.
std::optional<int> parseWidth(std::string_view name, std::string_view value, std::string& error) {
    const bool columns = name == "width";
    std::string what = columns ? "the width" : "the maximum width";
    bool tooLarge = false;
    const std::optional<int> n = wholeNumber(value, &tooLarge);
    const int offset = columns ? kFrameColumns : 0;
    if (tooLarge || (n && *n > INT_MAX - offset)) {
        error = what.append(" ").append(value).append(" is too large");
        return std::nullopt;
    }
    if (!n) {
        error = what.append(" must be a whole number, not '").append(value).append("'");
        return std::nullopt;
    }
    if (*n + offset < kSmallestMaxWidth) {
        error = what + " must be at least " + std::to_string(kSmallestMaxWidth - offset) +
                (columns ? "" : " (the outer cells are never shown)") + ", not " +
                std::string(value);
        return std::nullopt;
    }
    return *n + offset;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The sixteen basic colours of HTML and CSS, and a few common others.
constexpr std::pair<std::string_view, std::string_view> kColorNames[] = {
    {"black", "#000000"},   {"silver", "#c0c0c0"},  {"gray", "#808080"},  {"grey", "#808080"},
    {"white", "#ffffff"},   {"maroon", "#800000"},  {"red", "#ff0000"},   {"purple", "#800080"},
    {"fuchsia", "#ff00ff"}, {"magenta", "#ff00ff"}, {"green", "#008000"}, {"lime", "#00ff00"},
    {"olive", "#808000"},   {"yellow", "#ffff00"},  {"navy", "#000080"},  {"blue", "#0000ff"},
    {"teal", "#008080"},    {"aqua", "#00ffff"},    {"cyan", "#00ffff"},  {"orange", "#ffa500"},
};

// "#rrggbb" in lower case for a colour the user wrote; empty when it is none.
std::string normalColor(std::string_view text) {
    std::string lower;
    for (const char c : text)
        lower += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    for (const auto& [name, hex] : kColorNames) {
        if (lower == name) return std::string(hex);
    }
    if (lower.size() != 7 || lower[0] != '#') return {};
    for (const char c : std::string_view(lower).substr(1)) {
        if (hexDigit(c) < 0) return {};
    }
    return lower;
}

struct OptionSpec {
    char shortName; // 0: none
    std::string_view longName;
    bool takesValue;
};

constexpr OptionSpec kOptions[] = {
    {'w', "width", true},    {0, "max-width", true}, {'c', "chars", true},
    {0, "color", false},     {'f', "format", true},  {0, "background", true},
    {0, "font", true},       {0, "font-size", true}, {'o', "output", true},
    {0, "table", true},      {'h', "help", false},   {0, "version", false},
    {0, "match", true},      {0, "dither", false},   {0, "invert", false},
    {0, "brightness", true}, {0, "contrast", true},  {0, "auto-contrast", false},
};

// --brightness and --contrast: a whole number from -100 to 100.
std::optional<int> parseToneAmount(std::string_view shown, std::string_view value,
                                   std::string& error) {
    constexpr int kLimit = 100;
    const std::optional<int> n = wholeNumber(value);
    if (n && *n >= -kLimit && *n <= kLimit) return n;
    error = std::string(shown) + " takes a whole number from -100 to 100, not '" +
            std::string(value) + "'";
    return std::nullopt;
}

CommandLine usageError(std::string message) {
    CommandLine result;
    result.action = Action::UsageError;
    result.error = std::move(message);
    return result;
}

} // namespace

std::optional<RgbColor> parseColor(std::string_view text) {
    const std::string hex = normalColor(text);
    if (hex.empty()) return std::nullopt;
    double components[3];
    for (int i = 0; i < 3; ++i) {
        const int value = hexDigit(hex[1 + 2 * i]) * 16 + hexDigit(hex[2 + 2 * i]);
        components[i] = value / 255.0;
    }
    return RgbColor{components[0], components[1], components[2]};
}

CommandLine parseCommandLine(const std::vector<std::string_view>& args) {
    CommandLine result;
    Options& o = result.options;
    o.characters = std::string(kInitialCharacterSet);
    bool onlyPictures = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg.empty()) return usageError("an empty picture name was given");
        if (onlyPictures || arg == "-" || arg[0] != '-') {
            // /dev/stdin is standard input by another name: read it once, as '-'.
            o.pictures.emplace_back(arg == "/dev/stdin" ? "-" : arg);
            continue;
        }
        if (arg == "--") {
            onlyPictures = true;
            continue;
        }
        // Find the option and its value: --name=value, --name value, -xvalue or -x value.
        const OptionSpec* option = nullptr;
        std::optional<std::string_view> inlineValue;
        std::string shown;
        if (arg.starts_with("--")) {
            std::string_view name = arg.substr(2);
            if (const auto eq = name.find('='); eq != std::string_view::npos) {
                inlineValue = name.substr(eq + 1);
                name = name.substr(0, eq);
            }
            for (const OptionSpec& s : kOptions) {
                if (s.longName == name) option = &s;
            }
            shown = "--" + std::string(name);
        } else {
            for (const OptionSpec& s : kOptions) {
                if (s.shortName != 0 && s.shortName == arg[1]) option = &s;
            }
            if (arg.size() > 2) inlineValue = arg.substr(2);
            shown = std::string(arg.substr(0, 2));
        }
        if (option == nullptr || (!option->takesValue && inlineValue)) {
            if (option == nullptr) return usageError("unknown option '" + std::string(arg) + "'");
            return usageError("option '" + shown + "' takes no value");
        }
        std::string_view value;
        if (option->takesValue) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return usageError("option '" + shown + "' needs a value");
            }
        }

        const std::string_view name = option->longName;
        if (name == "help") {
            result.action = Action::Help;
            return result;
        }
        if (name == "version") {
            result.action = Action::Version;
            return result;
        } else if (name == "width" || name == "max-width") {
            std::string error;
            const std::optional<int> maxWidth = parseWidth(name, value, error);
            if (!maxWidth) return usageError(error);
            o.maxWidth = *maxWidth;
        } else if (name == "chars") {
            if (const std::size_t bad = firstInvalidUtf8Byte(value); bad != 0) {
                return usageError("the characters given with " + shown +
                                  " are not valid UTF-8 (byte " + std::to_string(bad) + ")");
            }
            o.characters = std::string(value);
        } else if (name == "match") {
            if (value == "darkness") {
                o.match = MatchMode::Darkness;
            } else if (value == "shape") {
                o.match = MatchMode::Shape;
            } else {
                return usageError("unknown match '" + std::string(value) +
                                  "'; choose darkness or shape");
            }
        } else if (name == "dither") {
            o.dither = true;
        } else if (name == "invert") {
            o.tone.invert = true;
        } else if (name == "auto-contrast") {
            o.tone.autoContrast = true;
        } else if (name == "brightness" || name == "contrast") {
            std::string error;
            const std::optional<int> amount = parseToneAmount(shown, value, error);
            if (!amount) return usageError(error);
            (name == "brightness" ? o.tone.brightness : o.tone.contrast) = *amount;
        } else if (name == "color") {
            o.color = true;
        } else if (name == "format") {
            const OutputFormat* f = formatByCliName(value);
            if (f == nullptr) {
                return usageError("unknown format '" + std::string(value) + "'; choose " +
                                  cliNameList());
            }
            o.format = f->id;
        } else if (name == "background") {
            o.background = normalColor(value);
            if (o.background.empty()) {
                return usageError("the background must be a colour like #ff8000 or a name like "
                                  "navy (see --help), not '" +
                                  std::string(value) + "'");
            }
        } else if (name == "font") {
            o.fontName = std::string(value);
            o.fontChosen = true;
        } else if (name == "font-size") {
            o.fontSize = gw::effectiveFontSize(value);
        } else if (name == "output") {
            o.output = std::string(value);
        } else if (name == "table") {
            o.table = std::string(value);
        }
    }
    if (o.pictures.empty()) return usageError("no picture given");
    int stdinCount = 0;
    for (const std::string& p : o.pictures)
        stdinCount += p == "-" ? 1 : 0;
    if (stdinCount > 1) return usageError("standard input ('-') can be read only once");
    return result;
}

std::size_t firstInvalidUtf8Byte(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
        const unsigned char b = byte(i);
        std::size_t length = 1;
        char32_t cp = b;
        char32_t smallest = 0;
        if (b >= 0xC2 && b < 0xE0) {
            length = 2, cp = b & 0x1F, smallest = 0x80;
        } else if (b >= 0xE0 && b < 0xF0) {
            length = 3, cp = b & 0x0F, smallest = 0x800;
        } else if (b >= 0xF0 && b < 0xF5) {
            length = 4, cp = b & 0x07, smallest = 0x10000;
        } else if (b >= 0x80) {
            return i + 1;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if (i + k >= text.size() || (byte(i + k) & 0xC0) != 0x80) return i + 1;
            cp = (cp << 6) | (byte(i + k) & 0x3F);
        }
        if (cp < smallest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return i + 1;
        i += length;
    }
    return 0;
}

// The option's lines of the help text, from the format table: "text (plain text, the
// default), ansi (terminal colours), ..." wrapped below the option's column.
std::string formatHelp() {
    constexpr std::size_t kIndent = 23;
    constexpr std::size_t kWidth = 79;
    std::string lines = "  -f, --format F       ";
    std::size_t column = kIndent;
    const std::span<const OutputFormat> formats = outputFormats();
    for (std::size_t i = 0; i < formats.size(); ++i) {
        std::string words = std::string(formats[i].cliName) + " (" +
                            std::string(formats[i].description) + (i == 0 ? ", the default)" : ")");
        if (i + 2 < formats.size()) words += ',';
        if (i + 2 == formats.size()) words += " or";
        if (column > kIndent && column + 1 + words.size() > kWidth) {
            lines += "\n" + std::string(kIndent, ' ');
            column = kIndent;
        } else if (column > kIndent) {
            lines += ' ';
            ++column;
        }
        lines += words;
        column += words.size();
    }
    return lines + "\n";
}

// The -f names of the formats that never go to a terminal: "tiff, png".
std::string binaryNames() {
    std::string names;
    for (const OutputFormat& f : outputFormats()) {
        if (f.binary) names += (names.empty() ? "" : ", ") + std::string(f.cliName);
    }
    return names;
}

// ".txt, .ans, ... or .svg".
std::string extensionList() {
    std::string list;
    const std::span<const OutputFormat> formats = outputFormats();
    for (std::size_t i = 0; i < formats.size(); ++i) {
        if (i > 0) list += i + 1 == formats.size() ? " or " : ", ";
        list += "." + std::string(formats[i].extension);
    }
    return list;
}

std::string helpText() {
    return "Usage: glyphwerk-cli [options] PICTURE...\n"
           "Turns pictures into character art. PICTURE may be - or /dev/stdin for standard\n"
           "input.\n"
           "Pictures: psd, bmp, gif, jpeg, png, tga, tiff.\n"
           "\n"
           "  -w, --width N        at most N characters per line (default 80)\n"
           "      --max-width M    the window's maximum width: M counts the outer frame of\n"
           "                       cells, which is never shown, so M gives at most M - 2\n"
           "                       characters per line, exactly as the window does\n"
           "  -c, --chars TEXT     allowed characters, in tie-breaking order\n"
           "                       (default: letters, digits and .,:;'-+=*#%@)\n"
           "      --match M        darkness (default): each character stands for its cell's\n"
           "                       mean brightness; shape: for where the cell is dark too,\n"
           "                       so edges and lines come out as / | - ( and the like\n"
           "      --dither         carry each cell's brightness error on to its neighbours\n"
           "                       (Floyd-Steinberg), so smooth areas keep their tone\n"
           "      --auto-contrast  stretch the picture's brightness, from its 1st to its\n"
           "                       99th percentile, to the full range\n"
           "      --contrast N     -100 (all mid-grey) to 100 (nearly black and white);\n"
           "                       default 0\n"
           "      --brightness N   -100 (all black) to 100 (all white); default 0\n"
           "      --invert         dense characters for light areas, for light text on a\n"
           "                       dark background\n"
           "      --color          colour output (default black and white)\n" +
           formatHelp() +
           "      --background C   page and image background, #rrggbb or a name (default\n"
           "                       white): black silver gray grey white maroon red purple\n"
           "                       fuchsia magenta green lime olive yellow navy blue teal\n"
           "                       aqua cyan orange\n"
           "      --font NAME      font of rtf, svg and the images (default Monaco; a\n"
           "                       monospace font stands in for one not installed)\n"
           "      --font-size N    font size in points for rtf, svg and the images: the\n"
           "                       whole number N starts with when it is 1 to 73, else 12\n"
           "  -o, --output PATH    output file, or - for standard output (the default).\n"
           "                       A folder (one that exists, or PATH ending in /, which\n"
           "                       is created) gets one file per picture, named after it:\n"
           "                       NAME" +
           extensionList() +
           ".\n"
           "                       Several pictures need such a folder or standard output.\n"
           "      --table PATH     another character darkness table\n"
           "  -h, --help           show this help\n"
           "      --version        show the version\n"
           "\n"
           "The tone options (--auto-contrast, --contrast, --brightness, --invert) change\n"
           "only the brightness characters are chosen for, not their colours, and apply in\n"
           "that order.\n"
           "The space is always allowed. NO_COLOR in the environment turns --color off for\n"
           "ansi output. Files are replaced only once complete; a picture is never\n"
           "overwritten by its own art. Images (" +
           binaryNames() +
           ") are not written to a\n"
           "terminal.\n"
           "Exit status: 0 all pictures written, 1 some failed or an output could not be\n"
           "written, 2 usage error or no picture could be read.\n";
}

} // namespace gw::cli
