// The preview window and the export command. `preview` is the worker of both: it converts,
// fills the window and, by output mode and run kind, writes and opens the output files.
#include "app/GlyphwerkAppDelegate.h"

#include "common/Log.h"
#include "formats/OutputFormats.h"
#include "output/Outputs.h"
#include "output/SafeFile.h"
#include "output/TextFrame.h"

#include <array>
#include <cstdint>

namespace gw {

namespace {

constexpr const char* kPreviewInterface = "Preview.ui";
constexpr const char* kWriteFailedTitle = "The file could not be written";
constexpr const char* kInitialFont = "Monaco";

// Font names by the font pop-up's tags.
constexpr std::array<const char*, 4> kFontNames = {"Monaco", "Courier", "Courier New",
                                                   "Andale Mono"};

RgbColor rgb(const platform::Color& c) {
    return {c.red, c.green, c.blue};
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
    // Uncoloured text (black and white art, a page's source) in the ink that reads on it, as
    // the files have it; colour art keeps each character's own colour.
    const RgbColor ink = inkOn(rgb(background));
    text.setTextColor({ink.red, ink.green, ink.blue, 1.0});
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

    // The format table says what the choice and colour mode write and what a preview opens.
    const bool color = outlets.bwColor->selectedTag() == 1;
    const OutputFormat* format = windowFormat(outlets.exportMode->selectedTag(), color);
    if (format == nullptr) {
        text.setFont(fontName, size);
        return;
    }
    // Identity, not equality: only export passes the string it stored.
    const bool exportRun = savePath.has_value() && sender == &*savePath;
    ArtStyle style;
    style.fontName = fontName;
    style.pointSize = size;
    style.color = color;
    style.background = rgb(background);

    if (format->previewShowsDocument) {
        text.appendPlainText(format->document(cells, style));
    } else if (color) {
        text.appendRuns(colorDisplayRuns(cells));
    } else {
        text.appendPlainText(plainDisplayText(cells));
    }
    text.setFont(fontName, size);
    // The images are drawn at the text view's frame, so the window is fitted first.
    if (!format->previewShowsDocument) resizeWindow();
    if (exportRun) {
        writeArt(*format, *savePath, true, style);
    } else if (format->preview != PreviewAction::showOnly) {
        if (const auto folder = workFolder()) {
            const std::string file = *folder + "Preview." + std::string(format->extension);
            // Linux has no browser of its own for a file: the desktop's application for the
            // type opens it, a web browser for pages.
            if (writeArt(*format, file, false, style)) services_.workspace.openFile(file);
        }
    }
    // A file that was opened, or an image, is what the user looks at: the window goes.
    if (format->preview != PreviewAction::showOnly) closePreview(nullptr);
}

// A path the user chose is written through a link there, as editors do; a name the program
// made up in its own folder replaces the name itself.
bool GlyphwerkAppDelegate::writeArt(const OutputFormat& format, const std::string& file,
                                    bool chosenByUser, const ArtStyle& style) {
    OutputTarget target;
    target.path = file;
    target.policy = chosenByUser ? LinkPolicy::writeThrough : LinkPolicy::replaceLink;
    std::string error;
    if (writeFormat(format, target, *grid, style, error)) return true;
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
    const OutputFormat* format =
        windowFormat(outlets.exportMode->selectedTag(), outlets.bwColor->selectedTag() == 1);
    if (format == nullptr) return;
    exportConversion_ = conversionInputs();
    const std::optional<std::string> chosen = services_.panels.runSavePanel(
        userDirectory(), saveTypeNames(*format), "Glyphwerk." + std::string(format->extension),
        std::string(format->name));
    if (!chosen) {
        exportConversion_.clear();
        return;
    }
    // The file keeps its type whatever name was typed (OutputFormats.h).
    savePath = withFormatExtension(*chosen, *format);
    preview(&*savePath);
    closePreview(nullptr);
    setUserDirectoryFromFilename(*savePath);
}

} // namespace gw
