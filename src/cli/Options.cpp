#include "Options.h"

#include "output/TextFrame.h"
#include "palette/InitialSet.h"

#include <charconv>
#include <optional>
#include <utility>

namespace gw::cli {
namespace {

std::optional<int> wholeNumber(std::string_view text) {
    int value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last || first == last) return std::nullopt;
    return value;
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

std::optional<OutputFormat> parseFormat(std::string_view text) {
    for (const OutputFormat f : {OutputFormat::Text, OutputFormat::Ansi, OutputFormat::Html,
                                 OutputFormat::Rtf, OutputFormat::Tiff}) {
        if (text == formatName(f)) return f;
    }
    return std::nullopt;
}

struct OptionSpec {
    char shortName; // 0: none
    std::string_view longName;
    bool takesValue;
};

constexpr OptionSpec kOptions[] = {
    {'w', "width", true},    {'c', "chars", true}, {0, "color", false},    {'f', "format", true},
    {0, "background", true}, {0, "font", true},    {0, "font-size", true}, {'o', "output", true},
    {0, "table", true},      {'h', "help", false}, {0, "version", false},
};

CommandLine usageError(std::string message) {
    CommandLine result;
    result.action = Action::UsageError;
    result.error = std::move(message);
    return result;
}

} // namespace

std::string_view formatName(OutputFormat format) {
    switch (format) {
    case OutputFormat::Text:
        return "text";
    case OutputFormat::Ansi:
        return "ansi";
    case OutputFormat::Html:
        return "html";
    case OutputFormat::Rtf:
        return "rtf";
    case OutputFormat::Tiff:
        return "tiff";
    }
    return "text";
}

std::string_view formatExtension(OutputFormat format) {
    switch (format) {
    case OutputFormat::Text:
        return "txt";
    case OutputFormat::Ansi:
        return "ans";
    case OutputFormat::Html:
        return "html";
    case OutputFormat::Rtf:
        return "rtf";
    case OutputFormat::Tiff:
        return "tif";
    }
    return "txt";
}

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
            o.pictures.emplace_back(arg);
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
        } else if (name == "width") {
            const std::optional<int> n = wholeNumber(value);
            if (!n) {
                return usageError("the width must be a whole number, not '" + std::string(value) +
                                  "'");
            }
            o.maxWidth = *n;
        } else if (name == "chars") {
            o.characters = std::string(value);
        } else if (name == "color") {
            o.color = true;
        } else if (name == "format") {
            const std::optional<OutputFormat> f = parseFormat(value);
            if (!f) {
                return usageError("unknown format '" + std::string(value) +
                                  "'; choose text, ansi, html, rtf or tiff");
            }
            o.format = *f;
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

std::string helpText() {
    return "Usage: glyphwerk-cli [options] PICTURE...\n"
           "Turns pictures into character art. PICTURE may be - for standard input.\n"
           "Pictures: psd, bmp, gif, jpeg, png, tga, tiff.\n"
           "\n"
           "  -w, --width N        maximum width in characters (default 80)\n"
           "  -c, --chars TEXT     allowed characters, in tie-breaking order\n"
           "                       (default: letters, digits and .,:;'-+=*#%@)\n"
           "      --color          colour output (default black and white)\n"
           "  -f, --format F       text (default), ansi (terminal colours), html (a web\n"
           "                       page), rtf (a document) or tiff (an image)\n"
           "      --background C   page and image background, #rrggbb or a name (default\n"
           "                       white): black silver gray grey white maroon red purple\n"
           "                       fuchsia magenta green lime olive yellow navy blue teal\n"
           "                       aqua cyan orange\n"
           "      --font NAME      font of rtf and tiff (default Monaco; a monospace font\n"
           "                       stands in for one not installed)\n"
           "      --font-size N    font size in points for rtf and tiff: the whole number N\n"
           "                       starts with when it is 1 to 73, else 12\n"
           "  -o, --output PATH    output file, or - for standard output (the default).\n"
           "                       A folder (one that exists, or PATH ending in /, which\n"
           "                       is created) gets one file per picture, named after it:\n"
           "                       NAME.txt, .ans, .html, .rtf or .tif. Several pictures\n"
           "                       need such a folder or standard output.\n"
           "      --table PATH     another character darkness table\n"
           "  -h, --help           show this help\n"
           "      --version        show the version\n"
           "\n"
           "The space is always allowed. NO_COLOR in the environment turns --color off for\n"
           "ansi output. Files are replaced only once complete; a picture is never\n"
           "overwritten by its own art. A TIFF image is not written to a terminal.\n"
           "Exit status: 0 all pictures written, 1 some failed or an output could not be\n"
           "written, 2 usage error or no picture could be read.\n";
}

} // namespace gw::cli
