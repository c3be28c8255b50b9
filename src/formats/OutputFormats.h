#pragma once
// Every output format in one table: the window's format choices, the command line's -f names,
// file extensions, writers and what a preview does with each file come from here, so a new
// format is one row.

#include "engine/CellGrid.h"
#include "output/Outputs.h"
#include "output/SafeFile.h"

#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace gw {

enum class FormatId { Text, Ansi, Html, Rtf, Tiff, Png, Svg };

// Where the window's format choice and colour mode lead.
enum class WindowUse {
    cliOnly,      // the command line's only
    always,       // its choice, in both colour modes
    blackAndWhite, // its choice in black and white
    color,        // its choice in colour
};

// What Preview does besides showing the art in its window.
enum class PreviewAction {
    showOnly,    // nothing more
    openFile,    // writes Preview.<extension> and opens it in the default application
    openBrowser, // writes Preview.<extension> and opens it in the web browser
};

// Where an image writer puts its file: a path through SafeFile, or a stream.
struct OutputTarget {
    std::string path;      // empty: `stream`
    LinkPolicy policy = LinkPolicy::writeThrough;
    std::FILE* stream = nullptr;
};

struct OutputFormat {
    FormatId id;
    std::string_view name;        // "PNG image": the window's choice, the save dialog's type
    std::string_view cliName;     // "png", for -f
    std::string_view description; // "an image", for --help
    std::string_view extension;   // "png", without the dot
    std::string_view alsoKnownAs; // another extension a typed name may end in ("tiff"), or empty
    bool color;                   // carries a colour per character
    bool binary;                  // never to a terminal, one per stream
    bool noColorApplies;          // NO_COLOR in the environment turns the colour off
    int windowChoice;             // position among the window's choices; -1: none
    WindowUse windowUse;
    PreviewAction preview;
    bool previewShowsDocument;    // the preview window shows the document's own text
    // The writer: a document built in memory (written whole by the caller), or an image that
    // writes itself, band by band. Exactly one is set.
    std::string (*document)(const CellGrid& grid, const ArtStyle& style);
    bool (*image)(const OutputTarget& target, const CellGrid& grid, const ArtStyle& style,
                  std::string& error);
};

std::span<const OutputFormat> outputFormats();
const OutputFormat& outputFormat(FormatId id);
// The row for -f NAME; null for a name no row has.
const OutputFormat* formatByCliName(std::string_view name);
// The row the window's choice `choice` leads to in the colour mode; null for no such choice.
const OutputFormat* windowFormat(int choice, bool color);
// The window's choices in order: the name of each.
std::vector<std::string_view> windowChoices();
// "text, ansi, html, rtf, tiff, png or svg".
std::string cliNameList();

// Writes `format` of `grid` to `target`. False with `error` ("<name>: <reason>") when it cannot.
bool writeFormat(const OutputFormat& format, const OutputTarget& target, const CellGrid& grid,
                 const ArtStyle& style, std::string& error);

// `path` as the save dialog should give it for `format` (output/FileType.h): a name without
// the format's extension (or its other name) gets the extension.
std::string withFormatExtension(const std::string& path, const OutputFormat& format);

// The file types the save dialog offers for `format`: its extension, then its other name.
std::vector<std::string> saveTypeNames(const OutputFormat& format);

} // namespace gw
