#pragma once
// Fake platform objects for driving the controller without a display. Controls record their
// state and let a test act as the user (click, edit, drop); services record what was asked of
// them and answer from scripts.

#include "app/GlyphwerkAppDelegate.h"
#include "common/Log.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace gw::fakes {

template <typename Interface> class FakeControl : public Interface {
public:
    bool isEnabled() const override { return enabled_; }
    void setEnabled(bool enabled) override { enabled_ = enabled; }
    void setAction(platform::Action action) override { action_ = std::move(action); }
    // What the user's click does: the action with this control as sender.
    void click() {
        if (action_) action_(this);
    }

private:
    bool enabled_ = true;
    platform::Action action_;
};

using FakeButton = FakeControl<platform::Button>;
using FakeMenuItem = FakeControl<platform::MenuItem>;

class FakeCheckBox final : public FakeControl<platform::CheckBox> {
public:
    bool state() const override { return on_; }
    void setState(bool on) override { on_ = on; }
    // The user's click: the box turns over, then sends its action.
    void toggle() {
        on_ = !on_;
        click();
    }

private:
    bool on_ = false;
};

class FakeSlider final : public FakeControl<platform::Slider> {
public:
    int intValue() const override { return value_; }
    void setIntValue(int value) override { value_ = value; }
    // The user moves the slider, or types into its number field: the value changes, then the
    // action is sent.
    void userSet(int value) {
        value_ = value;
        click();
    }

private:
    int value_ = 0;
};

class FakeTextField final : public FakeControl<platform::TextField> {
public:
    std::string stringValue() const override { return text_; }
    void setStringValue(const std::string& text) override { text_ = text; }
    void setDelegate(platform::TextFieldDelegate* delegate) override { delegate_ = delegate; }
    // An edit by the user: the text changes and the delegate hears of it.
    void userEdit(const std::string& text) {
        text_ = text;
        if (delegate_ != nullptr) delegate_->controlTextDidChange(platform::Notification{this});
    }

private:
    std::string text_;
    platform::TextFieldDelegate* delegate_ = nullptr;
};

class FakeRadioMatrix final : public FakeControl<platform::RadioMatrix> {
public:
    int selectedTag() const override { return tag_; }
    void selectCellWithTag(int tag) override { tag_ = tag; }

private:
    int tag_ = 0;
};

class FakePopUpButton final : public FakeControl<platform::PopUpButton> {
public:
    int selectedTag() const override { return tag_; }
    void selectItemWithTag(int tag) override { tag_ = tag; }

private:
    int tag_ = 0;
};

class FakeColorWell final : public FakeControl<platform::ColorWell> {
public:
    platform::Color color() const override { return color_; }
    void setColor(const platform::Color& color) override { color_ = color; }

private:
    platform::Color color_{1, 1, 1, 1};
};

// A flat grey picture, opaque; mid-grey (128) unless told otherwise.
class FakeImage final : public platform::Image {
public:
    FakeImage(std::string name, double width, double height)
        : name_(std::move(name)), size_{width, height} {}
    PointSize pointSize() const override { return size_; }
    const std::string& name() const override { return name_; }
    bool renderCanvas(double width, double height, double scale, RgbaCanvas& out,
                      std::string& error) const override;
    bool renderThumbnail(int maxSide, RgbaCanvas& out, std::string& error) const override;

    mutable double lastScale = 0.0; // of the last canvas drawn
    mutable int canvases = 0;       // drawn so far: each one a decoding of a real picture
    std::string failWith;           // when set, drawing fails with this error
    std::uint8_t grey = 128;        // of every pixel of the canvas

private:
    std::string name_;
    PointSize size_;
};

class FakeImageWell final : public FakeControl<platform::ImageWell> {
public:
    std::shared_ptr<const platform::Image> image() const override { return image_; }
    void setImage(std::shared_ptr<const platform::Image> image) override {
        image_ = std::move(image);
    }
    void setDropRefusedHandler(std::function<void(const std::string&)> handler) override {
        refused_ = std::move(handler);
    }
    // A drop the well can read: shown, then the action is sent.
    void drop(std::shared_ptr<const platform::Image> image) {
        setImage(std::move(image));
        click();
    }
    void setBusy(bool on) override { busy = on; }
    bool busy = false;
    // A drop the well cannot read.
    void refuseDrop(const std::string& reason) {
        if (refused_) refused_(reason);
    }

private:
    std::shared_ptr<const platform::Image> image_;
    std::function<void(const std::string&)> refused_;
};

class FakeWindow final : public platform::Window {
public:
    explicit FakeWindow(const platform::WindowCloseCenter& center) : center_(center) {}
    void show() override { visible_ = true; }
    void close() override {
        center_.postWillClose(*this);
        visible_ = false;
    }
    bool isVisible() const override { return visible_; }
    platform::Rect frame() const override { return frame_; }
    void setFrame(const platform::Rect& frame) override { frame_ = frame; }
    void setBackgroundColor(const platform::Color& /*color*/) override {}

private:
    const platform::WindowCloseCenter& center_;
    bool visible_ = false;
    platform::Rect frame_;
};

class FakeTextView final : public platform::TextView {
public:
    void setPlainText(const std::string& text) override {
        text_ = text;
        coloredRuns = 0;
    }
    void appendPlainText(const std::string& text) override { text_ += text; }
    void appendRuns(const std::vector<platform::TextRun>& runs) override {
        for (const auto& run : runs) {
            text_ += run.text;
            coloredRuns += run.hasColor ? 1 : 0;
        }
    }
    void setLines(std::vector<platform::ArtDocument::Line> lines) override {
        platform::ArtDocument document;
        document.setLines(std::move(lines));
        text_ = document.utf8();
        coloredRuns = 0;
        for (const auto& line : document.lines())
            coloredRuns += static_cast<int>(std::count_if(
                line.colors.begin(), line.colors.end(), [](platform::ArtDocument::Rgb c) {
                    return c != platform::ArtDocument::kDefaultColor;
                }));
    }
    std::string plainText() const override { return text_; }
    void setFont(const std::string& name, int pointSize) override { font = {name, pointSize}; }
    void setBackgroundColor(const platform::Color& color) override { background = color; }
    void setTextColor(const platform::Color& color) override { textColor = color; }
    void setEditable(bool on) override { editable = on; }
    void setSelectable(bool on) override { selectable = on; }
    platform::Rect frame() const override { return frame_; }
    void setFrame(const platform::Rect& frame) override { frame_ = frame; }

    std::pair<std::string, int> font; // the last one set
    platform::Color background{1, 1, 1, 1};
    platform::Color textColor{0, 0, 0, 1};
    bool editable = false;
    bool selectable = false;
    int coloredRuns = 0;

private:
    std::string text_;
    platform::Rect frame_;
};

// Fires only when the test says, as if the delay had passed.
class FakeTimer final : public platform::Timer {
public:
    void setHandler(std::function<void()> handler) override { handler_ = std::move(handler); }
    void start(std::chrono::milliseconds delay) override {
        active_ = true;
        lastDelay = delay;
        ++starts;
    }
    void stop() override { active_ = false; }
    bool isActive() const override { return active_; }
    // True when it was waiting and its handler ran.
    bool fire() {
        if (!active_) return false;
        active_ = false;
        if (handler_) handler_();
        return true;
    }
    int starts = 0;
    std::chrono::milliseconds lastDelay{0};

private:
    bool active_ = false;
    std::function<void()> handler_;
};

// Keeps every job, dropped or not, so that a test may run them in any order, on its own thread.
class FakeWorker final : public platform::Worker {
public:
    void submit(std::function<void()> job) override { jobs.push_back(std::move(job)); }
    void runAll() {
        while (!jobs.empty()) {
            auto job = std::move(jobs.front());
            jobs.pop_front();
            job();
        }
    }
    std::deque<std::function<void()>> jobs;
};

// Queued calls wait until the test runs them, as the main thread's loop would.
class FakeMainQueue final : public platform::MainThread {
public:
    void post(std::function<void()> call) override { calls.push_back(std::move(call)); }
    void runAll() {
        while (!calls.empty()) {
            auto call = std::move(calls.front());
            calls.pop_front();
            call();
        }
    }
    std::deque<std::function<void()>> calls;
};

// Loads the fake application's one preview window and text view, or fails when told to.
class FakeInterfaceLoader final : public platform::InterfaceLoader {
public:
    FakeInterfaceLoader(platform::Window& window, platform::TextView& text)
        : window_(window), text_(text) {}
    bool loadPreviewWindow(const std::string& fileName,
                           platform::PreviewOutlets& outlets) override {
        loaded.push_back(fileName);
        if (fails) return false;
        outlets = {&window_, &text_};
        return true;
    }
    bool fails = false;
    std::vector<std::string> loaded;

private:
    platform::Window& window_;
    platform::TextView& text_;
};

// Its values live in `store`: itself, or another object this one is a view over.
class FakeUserDefaults final : public platform::UserDefaults {
public:
    long integerForKey(const std::string& key) const override {
        const auto it = store->integers.find(key);
        return it == store->integers.end() ? 0 : it->second;
    }
    void setInteger(long value, const std::string& key) override { store->integers[key] = value; }
    std::optional<std::string> stringForKey(const std::string& key) const override {
        const auto it = store->strings.find(key);
        if (it == store->strings.end()) return std::nullopt;
        return it->second;
    }
    void setString(const std::string& value, const std::string& key) override {
        store->strings[key] = value;
    }
    void synchronize() override {}

    std::map<std::string, long> integers;
    std::map<std::string, std::string> strings;
    FakeUserDefaults* store = this;
};

class FakePanels final : public platform::Panels {
public:
    struct Call {
        std::optional<std::string> directory;
        std::vector<std::string> fileTypes;
        std::string proposedName;
        std::string typeName;
    };
    std::optional<std::string> runOpenPanel(const std::optional<std::string>& directory,
                                            const std::vector<std::string>& fileTypes) override {
        openCalls.push_back({directory, fileTypes, {}, {}});
        return next();
    }
    std::optional<std::string> runSavePanel(const std::optional<std::string>& directory,
                                            const std::vector<std::string>& fileTypes,
                                            const std::string& proposedName,
                                            const std::string& typeName) override {
        saveCalls.push_back({directory, fileTypes, proposedName, typeName});
        if (whileSaving) whileSaving();
        return next();
    }
    // Runs while a save panel is open, as the user might change the window's controls then.
    std::function<void()> whileSaving;
    // What the next panels answer, in order; nothing queued means Cancel.
    std::deque<std::optional<std::string>> answers;
    std::vector<Call> openCalls;
    std::vector<Call> saveCalls;

private:
    std::optional<std::string> next() {
        if (answers.empty()) return std::nullopt;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

class FakeAlerts final : public platform::Alerts {
public:
    struct Shown {
        std::string title;
        std::string message;
    };
    void showWarning(const std::string& title, const std::string& message) override {
        shown.push_back({title, message});
    }
    bool runAlert(const std::string& title, const std::string& message,
                  const std::string& acceptTitle, const std::string& declineTitle) override {
        shown.push_back({title, message});
        buttons.emplace_back(acceptTitle, declineTitle);
        return acceptAlerts;
    }
    std::vector<Shown> shown;
    std::vector<std::pair<std::string, std::string>> buttons; // of runAlert: accept, decline
    bool acceptAlerts = false;
};

class FakeWorkspace final : public platform::Workspace {
public:
    bool openFile(const std::string& path) override {
        opened.push_back(path);
        return true;
    }
    bool openURL(const std::string& url) override {
        opened.push_back(url);
        return true;
    }
    std::vector<std::string> opened;
};

class FakeScreens final : public platform::Screens {
public:
    std::vector<double> backingScaleFactors() const override { return factors; }
    std::vector<double> factors{1.0};
};

class FakeFolders final : public platform::Folders {
public:
    std::vector<std::string> applicationSupportDirectories() const override { return support; }
    std::string bundleFolder() const override { return bundle; }
    std::string documentsFolder() const override { return documents; }
    bool createFolder(const std::string& path) override {
        created.push_back(path);
        return createSucceeds;
    }
    std::vector<std::string> support;
    std::string bundle;
    std::string documents;
    std::vector<std::string> created;
    bool createSucceeds = true;
};

// Knows the pictures a test put in `pictures`; anything else is refused.
class FakeImageLoader final : public platform::ImageLoader {
public:
    const std::vector<std::string>& fileTypes() const override { return types; }
    std::vector<std::string> types{"png", "tif"};
    platform::ImageLoad load(const std::string& path) const override;
    // Only the real loader reads dropped bytes.
    platform::ImageLoad loadFromMemory(std::vector<std::uint8_t> /*bytes*/,
                                       const std::string& name) const override {
        return {nullptr, name + ": unsupported format"};
    }
    std::map<std::string, std::pair<double, double>> pictures;
    // Loads at once unless `holdLoads`; held ones wait in `held` until finishHeld(i).
    void loadInBackground(const std::string& path,
                          std::function<void(platform::ImageLoad)> done) const override;
    void finishHeld(std::size_t index);
    bool holdLoads = false;
    mutable std::vector<std::pair<std::string, std::function<void(platform::ImageLoad)>>> held;
};

// A main window's worth of fake controls, a preview window, and every service, wired into one
// controller as the window loader would.
class FakeApplication {
public:
    FakeApplication();
    ~FakeApplication();
    FakeApplication(const FakeApplication&) = delete;
    FakeApplication& operator=(const FakeApplication&) = delete;

    // A fresh window and controller over the same defaults and folders: the program started
    // again. The caller runs applicationDidFinishLaunching.
    void relaunch();

    platform::WindowCloseCenter windows;
    FakeUserDefaults defaults;
    FakePanels panels;
    FakeAlerts alerts;
    FakeFolders folders;
    FakeImageLoader loader;
    FakeWorkspace workspace;
    FakeScreens screens;
    FakeTimer refreshTimer;
    FakeWorker worker;
    FakeMainQueue mainQueue;

    FakeWindow mainWindow{windows};
    FakeWindow previewWindow{windows};
    FakeTextView previewText;
    FakeInterfaceLoader interfaces{previewWindow, previewText};
    FakeTextField fontSize;
    FakeImageWell sourceImage;
    FakeTextField characterSet;
    FakeButton setLower, setUpper, setNumbers, setSymbols;
    FakeRadioMatrix exportMode;
    FakeTextField maxWidth;
    FakeRadioMatrix bwColor;
    FakeButton buttonPreview, buttonExport;
    FakeMenuItem menuClosePreview;
    FakeColorWell bgColor;
    FakePopUpButton font;
    FakeCheckBox matchShape, dither;
    FakeSlider brightness, contrast;
    FakeCheckBox autoContrast, invert;
    FakeMenuItem openItem;

    std::unique_ptr<GlyphwerkAppDelegate> delegate;
    std::vector<std::string> log; // system log lines while this object lives

private:
    void resetWindow();
    void makeController();
    LogSink previousSink_;
};

} // namespace gw::fakes
