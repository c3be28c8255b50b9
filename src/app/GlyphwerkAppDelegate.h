#pragma once
// The one controller of the program: it owns every piece of state, and every user action
// arrives here as a method call on the main thread. It sees only the platform interfaces, so
// the whole of it runs with fake controls and no display.

#include "engine/CellGrid.h"
#include "palette/CharacterTable.h"
#include "platform/Controls.h"
#include "platform/Image.h"
#include "platform/InterfaceLoader.h"
#include "platform/Notification.h"
#include "platform/Services.h"
#include "platform/Window.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>

namespace gw {

class GlyphwerkAppDelegate final : public platform::TextFieldDelegate {
public:
    // The controls of the main and preview windows, connected by the window loader; none is
    // owned here.
    struct Outlets {
        platform::Window* window = nullptr;
        platform::Window* preview = nullptr; // null while no preview window is open
        platform::TextView* previewText2 = nullptr;
        platform::TextField* fontSize = nullptr;
        platform::ImageWell* sourceImage = nullptr;
        platform::TextField* characterSet = nullptr;
        platform::Button* setLower = nullptr;
        platform::Button* setUpper = nullptr;
        platform::Button* setNumbers = nullptr;
        platform::Button* setSymbols = nullptr;
        platform::RadioMatrix* exportMode = nullptr;
        platform::TextField* maxWidth = nullptr;
        platform::RadioMatrix* bwColor = nullptr;
        platform::Button* buttonPreview = nullptr;
        platform::Button* buttonExport = nullptr;
        platform::MenuItem* menuClosePreview = nullptr;
        platform::ColorWell* bgColor = nullptr;
        platform::PopUpButton* font = nullptr;
    };

    // The services the controller calls; all outlive it.
    struct Services {
        platform::UserDefaults& defaults;
        platform::Panels& panels;
        platform::Alerts& alerts;
        platform::Folders& folders;
        platform::ImageLoader& imageLoader;
        platform::Workspace& workspace;
        platform::Screens& screens;
        platform::InterfaceLoader& interfaces;
    };

    // Observes every window's closing through `windows` from now on.
    GlyphwerkAppDelegate(const Services& services, platform::WindowCloseCenter& windows);
    GlyphwerkAppDelegate(const GlyphwerkAppDelegate&) = delete;
    GlyphwerkAppDelegate& operator=(const GlyphwerkAppDelegate&) = delete;

    // What the window loader does after filling `outlets`: points every control of the main
    // window that has an action here at its method. `openCommands` choose a picture.
    void connectActions(std::initializer_list<platform::Control*> openCommands);

    // Start-up. False when the program cannot run (the character table is missing, unreadable
    // or short): the reason has been shown and logged, and the caller exits with a failure.
    bool applicationDidFinishLaunching();
    void windowWillClose(const platform::Notification& notification);
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
    platform::Window* window() const { return outlets.window; }
    void setWindow(platform::Window* window) { outlets.window = window; }

    // Image intake. A file that does not decode is refused with an alert; the previous picture,
    // the buttons and "userDirectory" stay as they were.
    bool applicationOpenFile(const std::string& filename);
    void loadImage(platform::Control* sender);
    void loadImageOpened(platform::Control* sender);
    void loadImageDragged(platform::Control* sender);
    std::optional<std::string> userDirectory() const;
    void setUserDirectoryFromFilename(const std::string& filename);

    int getChar(char c) const { return gw::getChar(characters, c); }

    // Converts `image` with the current maximum width and character set into `grid`, and sets
    // width, height, charactersInSet and numCharacters. With no picture the grid is empty.
    void processImage();
    void changeCharacterSet(platform::Control* sender);
    void controlTextDidChange(const platform::Notification& notification) override;

    // "<first application support folder>/Glyphwerk/", or nothing when there is none.
    std::optional<std::string> workFolder() const;

    // The preview window and export (Preview.cpp). `preview` writes the export file only when
    // `sender` is the very string held in `savePath`; any other sender previews. A write that
    // fails is shown in an alert, and the earlier file stays as it was.
    void preview(const void* sender);
    void closePreview(const void* sender);
    void resizeWindow();
    void changeFont(platform::Control* sender);
    void scroll(const void* sender);
    void exportImage(platform::Control* sender); // the Export button; "export" is a keyword

    Outlets outlets;

    std::shared_ptr<const platform::Image> image;
    platform::Rect windowFrame;
    platform::Rect previewFrame;
    CharacterTable characters{};
    std::optional<std::string> path;
    std::optional<std::string> savePath;
    // data, ascii, hexColor, width2 and height2: allocated once, with the controller, and
    // reused by every conversion.
    CellGridPtr grid = makeCellGrid();
    std::string fontName;
    std::array<int, kTableEntries> charactersInSet{};
    int numCharacters = 0;
    int width = 0;
    int height = 0;

private:
    bool loadTable();
    void connectPreviewActions();
    bool writeOutput(const std::string& file, bool chosenByUser, const std::string& bytes);
    bool writeImage(const std::string& file, bool chosenByUser, int pointSize, bool color);
    std::string conversionInputs() const;
    bool loadPicture(const std::string& file);
    void takePicture(std::shared_ptr<const platform::Image> picture);

    Services services_;
    // What export's own conversion was made from, until its preview run takes it over.
    std::string exportConversion_;
};

} // namespace gw
