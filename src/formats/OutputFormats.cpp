#include "formats/OutputFormats.h"

#include "output/FileType.h"
#include "output/SvgImage.h"
#include "output/TextOutput.h"
#include "render/FontResolver.h"
#include "render/PngImage.h"
#include "render/TiffImage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace gw {
namespace {

std::string textDocument(const CellGrid& grid, const ArtStyle&) {
    return plainText(grid);
}

std::string ansiDocument(const CellGrid& grid, const ArtStyle& style) {
    return ansiText(grid, style.color);
}

std::string htmlDocument(const CellGrid& grid, const ArtStyle& style) {
    return htmlPage(grid, style.color, style.background);
}

// The document names the installed monospace font that the images and the window draw in,
// with the chosen name as its alternative.
std::string rtfDocumentOf(const CellGrid& grid, const ArtStyle& style) {
    return rtfDocument(grid, {style.fontName, render::resolveMonospaceFont(style.fontName).family},
                       style.pointSize, style.color);
}

// The image names the chosen font unless it is a proportional one, which would undo the
// columns, then the installed monospace font that stands in for it, as the images draw it.
std::string svgDocument(const CellGrid& grid, const ArtStyle& style) {
    const render::ResolvedFont font = render::resolveMonospaceFont(style.fontName);
    std::vector<std::string> families;
    if (!font.proportional) families.push_back(style.fontName);
    if (font.substituted && !font.family.empty()) families.push_back(font.family);
    if (families.empty()) families.push_back(style.fontName);
    return svgImage(grid, style, families);
}

bool tiffImage(const OutputTarget& target, const CellGrid& grid, const ArtStyle& style,
               std::string& error) {
    return target.path.empty()
               ? render::writeTiffImage(target.stream, grid, style, error)
               : render::writeTiffImage(target.path, grid, style, target.policy, error);
}

bool pngImage(const OutputTarget& target, const CellGrid& grid, const ArtStyle& style,
              std::string& error) {
    return target.path.empty()
               ? render::writePngImage(target.stream, grid, style, error)
               : render::writePngImage(target.path, grid, style, target.policy, error);
}

using enum FormatId;
using enum WindowUse;
using enum PreviewAction;

// name, -f name, help, extension, other extension, colour, binary, NO_COLOR, window choice and
// use, preview, preview shows the document, document writer, image writer.
constexpr OutputFormat kFormats[] = {
    {Text, "Text", "text", "plain text", "txt", "", false, false, false, 0, blackAndWhite, showOnly,
     false, textDocument, nullptr},
    {Ansi, "Terminal text", "ansi", "terminal colours", "ans", "", true, false, true, -1, cliOnly,
     showOnly, false, ansiDocument, nullptr},
    {Html, "HTML", "html", "a web page", "html", "htm", true, false, false, 1, always, openBrowser,
     true, htmlDocument, nullptr},
    {Rtf, "Rich text", "rtf", "a document", "rtf", "", true, false, false, 0, WindowUse::color,
     showOnly, false, rtfDocumentOf, nullptr},
    {Tiff, "TIFF image", "tiff", "an image", "tif", "tiff", true, true, false, 2, always, openFile,
     false, nullptr, tiffImage},
    {Png, "PNG image", "png", "an image", "png", "", true, true, false, 3, always, openFile, false,
     nullptr, pngImage},
    {Svg, "SVG image", "svg", "a scalable image", "svg", "", true, false, false, 4, always,
     openBrowser, false, svgDocument, nullptr},
};

std::vector<std::string_view> saveTypes(const OutputFormat& format) {
    std::vector<std::string_view> types{format.extension};
    if (!format.alsoKnownAs.empty()) types.push_back(format.alsoKnownAs);
    return types;
}

} // namespace

std::span<const OutputFormat> outputFormats() {
    return kFormats;
}

const OutputFormat& outputFormat(FormatId id) {
    for (const OutputFormat& f : kFormats) {
        if (f.id == id) return f;
    }
    return kFormats[0];
}

const OutputFormat* formatByCliName(std::string_view name) {
    for (const OutputFormat& f : kFormats) {
        if (f.cliName == name) return &f;
    }
    return nullptr;
}

const OutputFormat* windowFormat(int choice, bool color) {
    for (const OutputFormat& f : kFormats) {
        if (f.windowChoice != choice || f.windowUse == cliOnly) continue;
        if (f.windowUse == always || (f.windowUse == WindowUse::color) == color) return &f;
    }
    return nullptr;
}

std::vector<std::string_view> windowChoices() {
    std::vector<std::string_view> names;
    for (int choice = 0;; ++choice) {
        const OutputFormat* f = windowFormat(choice, false);
        if (f == nullptr) return names;
        names.push_back(f->name);
    }
}

std::string cliNameList() {
    std::string list;
    const std::size_t n = std::size(kFormats);
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0) list += i + 1 == n ? " or " : ", ";
        list += kFormats[i].cliName;
    }
    return list;
}

bool writeFormat(const OutputFormat& format, const OutputTarget& target, const CellGrid& grid,
                 const ArtStyle& style, std::string& error) {
    if (format.image != nullptr) return format.image(target, grid, style, error);
    const std::string bytes = format.document(grid, style);
    if (!target.path.empty()) return writeFileSafely(target.path, bytes, error, target.policy);
    const std::string name = target.stream == stdout ? "standard output" : "output";
    if (std::fwrite(bytes.data(), 1, bytes.size(), target.stream) != bytes.size() ||
        std::fflush(target.stream) != 0) {
        error = name + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string withFormatExtension(const std::string& path, const OutputFormat& format) {
    return withFileType(path, saveTypes(format));
}

std::vector<std::string> saveTypeNames(const OutputFormat& format) {
    std::vector<std::string> types{std::string(format.extension)};
    if (!format.alsoKnownAs.empty()) types.emplace_back(format.alsoKnownAs);
    return types;
}

} // namespace gw
