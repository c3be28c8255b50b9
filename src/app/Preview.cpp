// The preview window and the export command. `preview` is the worker of both: it converts,
// fills the window and, by output mode and run kind, writes and opens the output files.
#include "app/GlyphwerkAppDelegate.h"

#include "common/Log.h"
#include "output/Outputs.h"
#include "output/SafeFile.h"
#include "output/TextFrame.h"
#include "output/TextOutput.h"
#include "render/FontResolver.h"
#include "render/TiffImage.h"

#include <array>
#include <cstdint>

namespace gw {

namespace {

constexpr const char* kPreviewInterface = "Preview.ui";
constexpr const char* kWriteFailedTitle = "The file could not be written";
constexpr const char* kInitialFont = "Monaco";

enum OutputMode { kText = 0, kHtml = 1, kTiff = 2 };

// Font names by the font pop-up's tags.
constexpr std::array<const char*, 4> kFontNames = {"Monaco", "Courier", "Courier New",
                                                   "Andale Mono"};

RgbColor rgb(const platform::Color& c) {
    return {c.red, c.green, c.blue};
}

struct ExportType {
    const char* type;
    const char* proposedName;
};

// The save panel's one file type and proposed name; null for an output mode that has none.
const ExportType* exportType(int mode, int color) {
    static constexpr ExportType kText = {"txt", "Glyphwerk.txt"};
    static constexpr ExportType kRtf = {"rtf", "Glyphwerk.rtf"};
    static constexpr ExportType kHtmlType = {"html", "Glyphwerk.html"};
    static constexpr ExportType kTif = {"tif", "Glyphwerk.tif"};
    switch (mode) {
    case OutputMode::kText:
        return color == 1 ? &kRtf : &kText;
    case OutputMode::kHtml:
        return &kHtmlType;
    case OutputMode::kTiff:
        return &kTif;
    default:
        return nullptr;
    }
}

// The RTF document names the installed monospace font that the image and the window draw in.
RtfFont rtfFont(const std::string& name) {
    return {name, render::resolveMonospaceFont(name).family};
}

} // namespace

void GlyphwerkAppDelegate::connectPreviewActions() {
    if (outlets.buttonPreview != nullptr)
        outlets.buttonPreview->setAction([this](platform::Control* sender) { preview(sender); });
    if (outlets.buttonExport != nullptr)
        outlets.buttonExport->setAction([this](platform::Control* sender) { exportImage(sender); });
    if (outlets.menuClosePreview != nullptr)
        outlets.menuClosePreview->setAction(
            [this](platform::Control* sender) { closePreview(sender); });
    if (outlets.font != nullptr)
        outlets.font->setAction([this](platform::Control* sender) { changeFont(sender); });
}

void GlyphwerkAppDelegate::preview(const void* sender) {
    if (outlets.preview == nullptr) {
        platform::PreviewOutlets loaded;
        if (!services_.interfaces.loadPreviewWindow(kPreviewInterface, loaded)) {
            systemLog("Load of Preview.ui failed");
            // An export that writes nothing must not pass for one that worked.
            if (savePath && sender == &*savePath)
                services_.alerts.showWarning(kWriteFailedTitle,
                                             *savePath + ": the preview window's form " +
                                                 kPreviewInterface + " cannot be loaded");
            return;
        }
        outlets.preview = loaded.preview;
        outlets.previewText2 = loaded.previewText2;
    }
    platform::Window& window = *outlets.preview;
    platform::TextView& text = *outlets.previewText2;

    const platform::Color background = outlets.bgColor->color();
    window.setBackgroundColor(background);
    text.setBackgroundColor(background);
    // The text view's own size, independent of its window, is the form's: it sits in a
    // scrolling area at the frame resizeWindow gives it.

    outlets.menuClosePreview->setEnabled(true);
    window.show();
    text.setEditable(true);
    text.setSelectable(true);

    // Export converts before its save panel and then runs this; the panel is modal, so the same
    // inputs give the same grid, and converting a large picture twice would double the wait.
    if (exportConversion_.empty() || exportConversion_ != conversionInputs()) processImage();
    exportConversion_.clear();
    if (!grid) return; // no grids: nothing was converted
    const CellGrid& cells = *grid;

    text.setPlainText("");
    const int size = effectiveFontSize(outlets.fontSize->stringValue());
    text.setFont(kInitialFont, size);

    const int mode = outlets.exportMode->selectedTag();
    const bool color = outlets.bwColor->selectedTag() == 1;
    // Identity, not equality: only export passes the string it stored.
    const bool exportRun = savePath.has_value() && sender == &*savePath;

    if (mode == OutputMode::kText || mode == OutputMode::kTiff) {
        if (color)
            text.appendRuns(colorDisplayRuns(cells));
        else
            text.appendPlainText(plainDisplayText(cells));
        text.setFont(fontName, size);
        if (mode == OutputMode::kText && exportRun)
            writeOutput(*savePath, true,
                        color ? rtfDocument(cells, rtfFont(fontName), size) : plainText(cells));
        resizeWindow();
        if (mode == OutputMode::kTiff) {
            if (exportRun) {
                writeImage(*savePath, true, size, color);
            } else if (const auto folder = workFolder()) {
                const std::string file = *folder + "Preview.tif";
                if (writeImage(file, false, size, color)) services_.workspace.openFile(file);
            }
            closePreview(nullptr);
            return;
        }
    } else if (mode == OutputMode::kHtml) {
        const std::string page = htmlPage(cells, color, rgb(background));
        text.appendPlainText(page);
        text.setFont(fontName, size);
        if (exportRun) {
            writeOutput(*savePath, true, page);
        } else if (const auto folder = workFolder()) {
            const std::string file = *folder + "Preview.html";
            if (writeOutput(file, false, page)) services_.workspace.openFile(file);
        }
        closePreview(nullptr);
        return;
    }
    text.setFont(fontName, size);
}

// A path the user chose is written through a link there, as editors do; a name the program
// made up in its own folder replaces the name itself.
bool GlyphwerkAppDelegate::writeOutput(const std::string& file, bool chosenByUser,
                                       const std::string& bytes) {
    std::string error;
    if (writeFileSafely(file, bytes, error,
                        chosenByUser ? LinkPolicy::writeThrough : LinkPolicy::replaceLink))
        return true;
    systemLog(error);
    services_.alerts.showWarning(kWriteFailedTitle, error);
    return false;
}

bool GlyphwerkAppDelegate::writeImage(const std::string& file, bool chosenByUser, int pointSize,
                                      bool color) {
    render::TiffImageOptions options;
    options.fontName = fontName;
    options.pointSize = pointSize;
    options.color = color;
    options.background = rgb(outlets.bgColor->color());
    std::string error;
    if (render::writeTiffImage(file, *grid, options,
                               chosenByUser ? LinkPolicy::writeThrough : LinkPolicy::replaceLink,
                               error))
        return true;
    systemLog(error);
    services_.alerts.showWarning(kWriteFailedTitle, error);
    return false;
}

void GlyphwerkAppDelegate::resizeWindow() {
    if (outlets.preview == nullptr || outlets.previewText2 == nullptr || !grid) return;
    const int size = effectiveFontSize(outlets.fontSize->stringValue());
    const FrameSize frame = textViewFrame(grid->width2, grid->height2, size);
    previewFrame = {0.0, 0.0, frame.width, frame.height};
    // The bottom-left corner stays: the window grows up and to the right.
    windowFrame = outlets.preview->frame();
    windowFrame.width = frame.width;
    windowFrame.height = frame.height;
    outlets.preview->setFrame(windowFrame);
    outlets.previewText2->setFrame(previewFrame);
}

void GlyphwerkAppDelegate::closePreview(const void* /*sender*/) {
    platform::Window* window = outlets.preview;
    if (window == nullptr) return;
    window->close();
    outlets.preview = nullptr;
    outlets.previewText2 = nullptr;
    outlets.menuClosePreview->setEnabled(false);
}

void GlyphwerkAppDelegate::changeFont(platform::Control* sender) {
    const auto* popUp = dynamic_cast<const platform::PopUpButton*>(sender);
    const int tag = popUp != nullptr ? popUp->selectedTag() : -1;
    if (tag >= 0 && tag < static_cast<int>(kFontNames.size()))
        fontName = kFontNames[static_cast<std::size_t>(tag)];
    systemLog(fontName);
}

void GlyphwerkAppDelegate::scroll(const void* /*sender*/) {}

std::string GlyphwerkAppDelegate::conversionInputs() const {
    std::string key = std::to_string(reinterpret_cast<std::uintptr_t>(image.get()));
    key += '\n' + (outlets.maxWidth ? outlets.maxWidth->stringValue() : std::string());
    key += '\n' + (outlets.characterSet ? outlets.characterSet->stringValue() : std::string());
    key += outlets.matchShape != nullptr && outlets.matchShape->state() ? "\nshape" : "\ndarkness";
    key += outlets.dither != nullptr && outlets.dither->state() ? "\ndither" : "";
    for (const double scale : services_.screens.backingScaleFactors())
        key += '\n' + std::to_string(scale);
    return key;
}

void GlyphwerkAppDelegate::exportImage(platform::Control* /*sender*/) {
    processImage();
    const ExportType* type =
        exportType(outlets.exportMode->selectedTag(), outlets.bwColor->selectedTag());
    if (type == nullptr) return;
    exportConversion_ = conversionInputs();
    const std::optional<std::string> chosen =
        services_.panels.runSavePanel(userDirectory(), {type->type}, type->proposedName);
    if (!chosen) {
        exportConversion_.clear();
        return;
    }
    savePath = *chosen;
    preview(&*savePath);
    closePreview(nullptr);
    setUserDirectoryFromFilename(*savePath);
}

} // namespace gw
