#pragma once
// The one controller of the program: it owns every piece of state, and every user action
// arrives here as a method call on the main thread. It sees only the platform interfaces, so
// the whole of it runs with fake controls and no display.

#include "app/PictureCache.h"
#include "engine/CellGrid.h"
#include "engine/Engine.h"
#include "formats/OutputFormats.h"
#include "notify/NotificationList.h"
#include "palette/CharacterTable.h"
#include "platform/Controls.h"
#include "platform/Http.h"
#include "platform/Image.h"
#include "platform/InterfaceLoader.h"
#include "platform/MainThread.h"
#include "platform/Notification.h"
#include "platform/Services.h"
#include "platform/Timer.h"
#include "platform/Window.h"
#include "platform/Worker.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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
        platform::CheckBox* matchShape = nullptr; // "Detail": the shape match
        platform::CheckBox* dither = nullptr;
        // Tone: the brightness the characters are picked for, -100 to +100 each.
        platform::Slider* brightness = nullptr;
        platform::Slider* contrast = nullptr;
        platform::CheckBox* autoContrast = nullptr;
        platform::CheckBox* invert = nullptr; // "Invert brightness"
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

    // What the message feed needs; the references outlive the controller.
    struct NotificationServices {
        platform::HttpClient& http;
        platform::MainThread& mainThread;
        // The feed thread's own defaults object: defaults objects are not shared by threads.
        std::function<std::unique_ptr<platform::UserDefaults>()> makeDefaults;
        std::string feedURL;
        bool feedOff = false; // fetching turned off from outside; launches still count
        platform::HttpLimits limits{};
    };

    // What the live preview needs; the references outlive the controller, and `mainThread`
    // outlives `worker`'s last job.
    struct LiveServices {
        platform::Timer& refreshTimer;
        platform::Worker& worker;
        platform::MainThread& mainThread;
    };

    // Observes every window's closing through `windows` for as long as it lives; `windows`
    // must outlive it.
    GlyphwerkAppDelegate(const Services& services, platform::WindowCloseCenter& windows);
    // Ends a running feed thread first: a download is cancelled at once.
    ~GlyphwerkAppDelegate() override;
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

    // Image intake. Files are read off the window's thread while the image well shows that it
    // is busy; a newer open replaces an older one still being read. A file that does not decode
    // is refused with an alert; the previous picture, the buttons and "userDirectory" stay as
    // they were. applicationOpenFile returns true: the load has begun.
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
    // The tone the controls ask for; a missing control leaves its default.
    ToneSettings toneSettings() const;
    void changeCharacterSet(platform::Control* sender);
    // Detail, Dither, a tone control or Invert was changed: remembered for the next launch.
    void changeAdjustment(platform::Control* sender);
    void controlTextDidChange(const platform::Notification& notification) override;

    // The live preview (LivePreview.cpp): while the preview window shows the art as text, every
    // change of what it shows refreshes it by itself, once per burst of changes, converted on
    // the worker and shown here. Without these services it changes only when Preview is pressed.
    void setLiveServices(LiveServices services);
    // The timer fires once the window's thread has handled the events already waiting, so
    // changes that arrive together (a paste, a set button and the text it changes, a slider and
    // its number field) give one refresh. Any wait beyond that would only delay the view: a
    // change arriving while a conversion runs drops that conversion's result, and the worker
    // runs only the newest one waiting, so a held key or a dragged slider never queues work.
    static constexpr std::chrono::milliseconds kRefreshDelay{0};
    // A setting the open preview shows has changed: it is refreshed after the burst.
    void settingChanged();
    // Live refreshes begun (the timer fired) and shown; whether the last one shown was drawn
    // from the picture exactly, or first from its bounded copy (a refinement follows).
    struct LiveCounts {
        std::uint64_t started = 0;
        std::uint64_t shown = 0;
        bool lastExact = true;
    };
    const LiveCounts& liveCounts() const { return liveCounts_; }

    // "<first application support folder>/Glyphwerk/", or nothing when there is none.
    std::optional<std::string> workFolder() const;

    // The message feed (Notifications.cpp). Without these services start-up starts no feed.
    void setNotificationServices(NotificationServices services);
    // The feed thread's body: counts the launch and, from the fifth on, fetches, scans and
    // hands a due message to the main thread. The argument is ignored.
    void QVNotificationCenter(const void* object);
    void QVNotificationLaunch(platform::UserDefaults& defaults);
    void QVNotificationFetch(platform::UserDefaults& defaults);
    // Main thread: shows the message; when accepted, opens the link stored for its id.
    GlyphwerkAppDelegate& showAlert(const MyWindow& w);
    // Opens http and https links with a host; anything else is logged and not opened.
    bool QVOpenURL(const std::string& text);
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
    // Everything a conversion reads from the window, copied, so that it may run on a worker.
    struct ConversionSettings {
        int maxWidth = 0;
        std::u16string characterSet;
        std::vector<double> scales;
        MatchMode match = MatchMode::Darkness;
        bool dither = false;
        ToneSettings tone;
    };
    struct RefreshResult;

    ConversionSettings conversionSettings() const;
    static ConversionStatus convert(const ConversionSettings& settings,
                                    const PictureSource* picture, const CharacterTable& table,
                                    CellGrid& cells, ConversionInfo& info);
    void keepConversionInfo(const ConversionInfo& info, const ConversionStatus& status);
    // The picture as conversions draw it: kept between them, made anew for another picture.
    std::shared_ptr<PictureCache> pictureCache();
    // The preview is open and shows the art as text, with something to convert.
    bool showsLiveText() const;
    void startRefresh();
    void finishRefresh(const std::shared_ptr<RefreshResult>& result);
    // No refresh waiting or under way is shown any more.
    void dropLiveRefresh();
    void prepareLiveCopy();

    bool loadTable();
    void connectPreviewActions();
    // `format` of the grid to `file`; a failure is logged and shown. A path the user chose is
    // written through a link there, as editors do; a name the program made up in its own
    // folder replaces the name itself.
    bool writeArt(const OutputFormat& format, const std::string& file, bool chosenByUser,
                  const ArtStyle& style);
    std::string conversionInputs() const;
    bool loadPicture(const std::string& file);
    void finishLoad(const std::string& file, platform::ImageLoad loaded);
    void takePicture(std::shared_ptr<const platform::Image> picture);
    void startNotificationThread();

    Services services_;
    std::optional<NotificationServices> notification_;
    platform::CancelSignal feedCancel_;
    std::thread feedThread_;
    // Queued hand-overs run only while this lives: they may arrive after the controller went.
    std::shared_ptr<int> handOverToken_ = std::make_shared<int>(0);
    std::uint64_t loadsStarted_ = 0; // a load's result counts only while it is the latest
    // Loads that end after the controller are dropped: they hold only a weak reference.
    std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
    platform::WindowCloseCenter::Registration closeObserver_;
    // What export's own conversion was made from, until its preview run takes it over.
    std::string exportConversion_;

    std::optional<LiveServices> live_;
    std::shared_ptr<PictureCache> pictureCache_;
    std::shared_ptr<const CharacterTable> liveTable_; // the workers' copy of `characters`
    std::uint64_t refreshGeneration_ = 0; // a refresh's result is shown only while it is the latest
    std::shared_ptr<std::atomic<std::uint64_t>> latestRefresh_ =
        std::make_shared<std::atomic<std::uint64_t>>(0); // the same, for the worker
    CellGridPtr spareGrid_; // the grid a refresh swapped out, for the next one to fill
    LiveCounts liveCounts_;
};

} // namespace gw
