// Drives the real main window and preview window offscreen and prints wall times in seconds:
//
//   preview_bench RESOURCES PICTURE MAXWIDTH RUNS [options]
//     --color          colour instead of black and white
//     --export FILE    time Export to FILE (its type picks the format) instead of Preview
//     --font-size N
//
// Preview is timed from the click to the window filled, fitted and painted once; Export from
// the click (the save panel answering at once) to the file written and the window closed.
// Prints "best median peakKiB peakKiBBeforeTheFirstClick" (the process's peak memory, with the
// picture's decoding at load).

#include "app/GlyphwerkAppDelegate.h"
#include "formats/OutputFormats.h"
#include "gui/MainWindowForm.h"
#include "platform/PictureLoader.h"
#include "platform/qt/QtInterfaceLoader.h"
#include "platform/qt/QtServices.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace gw;

class MemoryDefaults final : public platform::UserDefaults {
public:
    long integerForKey(const std::string& key) const override {
        const auto it = integers_.find(key);
        return it == integers_.end() ? 0 : it->second;
    }
    void setInteger(long value, const std::string& key) override { integers_[key] = value; }
    std::optional<std::string> stringForKey(const std::string& key) const override {
        const auto it = strings_.find(key);
        if (it == strings_.end()) return std::nullopt;
        return it->second;
    }
    void setString(const std::string& value, const std::string& key) override {
        strings_[key] = value;
    }
    void synchronize() override {}

private:
    std::map<std::string, long> integers_;
    std::map<std::string, std::string> strings_;
};

class AnsweringPanels final : public platform::Panels {
public:
    std::optional<std::string> runOpenPanel(const std::optional<std::string>&,
                                            const std::vector<std::string>&) override {
        return std::nullopt;
    }
    std::optional<std::string> runSavePanel(const std::optional<std::string>&,
                                            const std::vector<std::string>&, const std::string&,
                                            const std::string&) override {
        return answer;
    }
    std::string answer;
};

class PrintingAlerts final : public platform::Alerts {
public:
    void showWarning(const std::string& title, const std::string& message) override {
        std::fprintf(stderr, "%s: %s\n", title.c_str(), message.c_str());
        quiet = false;
    }
    bool runAlert(const std::string& title, const std::string& message, const std::string&,
                  const std::string&) override {
        showWarning(title, message);
        return false;
    }
    bool quiet = true;
};

class Folders final : public platform::Folders {
public:
    Folders(std::string bundle, std::string support)
        : bundle_(std::move(bundle)), support_(std::move(support)) {}
    std::vector<std::string> applicationSupportDirectories() const override { return {support_}; }
    std::string bundleFolder() const override { return bundle_; }
    std::string documentsFolder() const override { return support_; }
    bool createFolder(const std::string& path) override {
        std::error_code ec;
        std::filesystem::create_directories(path, ec);
        return std::filesystem::is_directory(path);
    }

private:
    std::string bundle_;
    std::string support_;
};

class QuietWorkspace final : public platform::Workspace {
public:
    bool openFile(const std::string&) override { return true; }
    bool openURL(const std::string&) override { return true; }
};

long peakKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Qt's offscreen screen is 800 x 800; a full-HD one paints as much as a common desktop.
void useFullHdOffscreenScreen() {
    const std::filesystem::path config =
        std::filesystem::temp_directory_path() / "glyphwerk-preview-bench-screen.json";
    std::FILE* file = std::fopen(config.c_str(), "w");
    if (file == nullptr) return;
    std::fputs(R"({"screens": [{"name": "hd", "x": 0, "y": 0, "width": 1920, "height": 1080,)"
               R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})",
               file);
    std::fclose(file);
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + config.c_str());
}

} // namespace

int main(int argc, char** argv) {
    useFullHdOffscreenScreen();
    QApplication app(argc, argv);
    if (argc < 5) {
        std::fprintf(stderr, "usage: preview_bench RESOURCES PICTURE MAXWIDTH RUNS [--color] "
                             "[--export FILE] [--font-size N]\n");
        return 2;
    }
    const std::string resources = argv[1];
    const std::string picture = argv[2];
    const std::string maxWidth = argv[3];
    const int runs = std::max(1, std::atoi(argv[4]));
    bool color = false;
    std::string exportFile;
    std::string fontSize = "12";
    for (int i = 5; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--color") color = true;
        if (option == "--export" && i + 1 < argc) exportFile = argv[++i];
        if (option == "--font-size" && i + 1 < argc) fontSize = argv[++i];
    }
    const std::string support =
        (std::filesystem::temp_directory_path() / "glyphwerk-preview-bench").string();

    MemoryDefaults defaults;
    AnsweringPanels panels;
    panels.answer = exportFile;
    PrintingAlerts alerts;
    Folders folders(resources, support);
    platform::PictureLoader loader;
    QuietWorkspace workspace;
    platform::qt::QtScreens screens;
    platform::WindowCloseCenter windows;
    platform::qt::QtInterfaceLoader interfaces(resources, windows);
    GlyphwerkAppDelegate delegate(
        {defaults, panels, alerts, folders, loader, workspace, screens, interfaces}, windows);
    gui::MainWindowForm form(loader, windows);
    delegate.outlets = form.outlets();
    delegate.connectActions({form.openCommand(), form.openButton()});
    if (!delegate.applicationDidFinishLaunching()) return 1;
    form.widget()->show();
    if (!delegate.applicationOpenFile(picture)) return 1;
    // A picture may be decoded off the window's thread.
    while (!delegate.image) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
        if (!alerts.quiet) return 1;
    }
    form.ui().maxWidth->setText(QString::fromStdString(maxWidth));
    form.ui().fontSize->setText(QString::fromStdString(fontSize));
    (color ? form.ui().bwColorColour : form.ui().bwColorBlackWhite)->click();
    // The window's format choice whose file the export name ends like; text when none.
    const std::string extension = std::filesystem::path(exportFile).extension().string();
    int choice = 0;
    for (const OutputFormat& format : outputFormats()) {
        if (format.windowChoice >= 0 && !extension.empty() &&
            (extension.substr(1) == format.extension || extension.substr(1) == format.alsoKnownAs))
            choice = format.windowChoice;
    }
    form.formatButton(choice)->click();
    QCoreApplication::processEvents();

    const long peakBefore = peakKiB();
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        if (exportFile.empty()) {
            form.ui().buttonPreview->click();
            QWidget* window = interfaces.openPreviewWidget();
            if (window == nullptr) return 1;
            window->repaint(); // the first paint of what the screen shows
            if (run == 0)
                std::fprintf(stderr, "window %d x %d\n", window->width(), window->height());
        } else {
            form.ui().buttonExport->click();
        }
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        delegate.closePreview(nullptr);
        QCoreApplication::processEvents();
    }
    std::sort(times.begin(), times.end());
    std::printf("%.4f %.4f %ld %ld\n", times.front(), times[times.size() / 2], peakKiB(),
                peakBefore);
    return 0;
}
