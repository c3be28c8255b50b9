// Drives the real main window and preview window offscreen and prints wall times in seconds:
//
//   preview_bench RESOURCES PICTURE MAXWIDTH RUNS [options]
//     --color          colour instead of black and white
//     --export FILE    time Export to FILE (its type picks the format) instead of Preview
//     --font-size N
//
//     --live           time the live preview instead (below)
//     --shots DIR      with --live: screenshots of the windows before and after a typed width
//
// Preview is timed from the click to the window filled, fitted and painted once; Export from
// the click (the save panel answering at once) to the file written and the window closed.
// Prints "best median peakKiB peakKiBBeforeTheFirstClick" (the process's peak memory, with the
// picture's decoding at load).
//
// --live opens the preview, then changes settings as a user does, through the window's own
// widgets (keystrokes into the fields, clicks), and prints one line per measure, in seconds:
//   fill BEST MEDIAN                   filling and painting the view with the current grid
//   charset|brightness|width BEST MEDIAN FIRED EXACT
//                                      from the live refresh's timer firing to the repainted
//                                      view (best, median), the median from the change itself
//                                      (the refresh delay included), and the median to the
//                                      exact view (after the bounded copy's, for a new width)
//   stall-width|stall-size MAX         the longest gap of a 5 ms watchdog timer while keys
//                                      are typed into that field

#include "app/GlyphwerkAppDelegate.h"
#include "formats/OutputFormats.h"
#include "gui/MainWindowForm.h"
#include "output/Outputs.h"
#include "platform/PictureLoader.h"
#include "platform/ThreadWorker.h"
#include "platform/qt/QtInterfaceLoader.h"
#include "platform/qt/QtMainThread.h"
#include "platform/qt/QtServices.h"
#include "platform/qt/QtTimer.h"
#include "ui_MainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSlider>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
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

double seconds(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

void printBest(const char* name, std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::printf("%s %.4f %.4f\n", name, values.front(), values[values.size() / 2]);
}

// A key typed into a field as the user types it: the field changes and tells the controller.
void typeKey(QLineEdit* field, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(field, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(field, &release);
}

void typeText(QLineEdit* field, const QString& text) {
    for (const QChar c : text)
        typeKey(field, c.unicode(), QString(c));
}

void backspace(QLineEdit* field) {
    field->end(false);
    typeKey(field, Qt::Key_Backspace);
}

// Runs the event loop for `ms` milliseconds, sleeping between events as the program does.
void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

struct LiveBench {
    GlyphwerkAppDelegate& delegate;
    gui::MainWindowForm& form;
    QWidget* view;

    // What the refresh asked to be repainted, painted and put on the screen now, as the event
    // loop's next turn would: the window's pending update, however much of the view it covers.
    void paintNow() { QCoreApplication::sendPostedEvents(view->window(), QEvent::UpdateRequest); }

    // One change: from `change()` to the live refresh shown and the view repainted.
    struct Times {
        double fired = 0.0; // from the timer's firing
        double total = 0.0; // from the change
        double exact = 0.0; // from the change to the exact view
    };
    template <typename Change> Times measure(Change change, bool waitForExact) {
        const auto before = delegate.liveCounts();
        Times times;
        QElapsedTimer clock;
        clock.start();
        change();
        double firedAt = -1.0;
        while (delegate.liveCounts().shown == before.shown) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            if (firedAt < 0.0 && delegate.liveCounts().started != before.started)
                firedAt = seconds(clock);
        }
        paintNow();
        times.total = seconds(clock);
        times.fired = times.total - firedAt;
        const auto shown = delegate.liveCounts().shown;
        if (waitForExact && !delegate.liveCounts().lastExact) {
            while (delegate.liveCounts().shown == shown)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            paintNow();
        }
        times.exact = seconds(clock);
        // Let the worker finish what follows (the copy) before the next change.
        runFor(300);
        return times;
    }

    template <typename Change>
    void report(const char* name, int runs, Change change, bool waitForExact = false) {
        std::vector<double> fired, total, exact;
        for (int run = 0; run < runs; ++run) {
            const Times t = measure([&] { change(run); }, waitForExact);
            fired.push_back(t.fired);
            total.push_back(t.total);
            exact.push_back(t.exact);
        }
        std::sort(fired.begin(), fired.end());
        std::printf("%s %.4f %.4f %.4f %.4f\n", name, fired.front(), median(fired), median(total),
                    median(exact));
        std::fflush(stdout);
    }

    // The longest gap between the ticks of a 5 ms timer while `keys` are typed, `gap` ms apart.
    double stall(const std::vector<std::function<void()>>& keys, int gap) {
        QElapsedTimer clock;
        clock.start();
        qint64 last = clock.nsecsElapsed();
        qint64 longest = 0;
        QTimer watchdog;
        watchdog.setTimerType(Qt::PreciseTimer);
        QObject::connect(&watchdog, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
        watchdog.start(5);
        for (const auto& key : keys) {
            key();
            runFor(gap);
        }
        runFor(1500); // the last refresh and its exact follow-up
        return static_cast<double>(longest) / 1e9;
    }
};

int runLive(GlyphwerkAppDelegate& delegate, gui::MainWindowForm& form,
            platform::qt::QtInterfaceLoader& interfaces, int runs, const std::string& shots) {
    form.ui().buttonPreview->click();
    QWidget* window = interfaces.openPreviewWidget();
    if (window == nullptr || delegate.outlets.previewText2 == nullptr) return 1;
    window->repaint();
    const auto shoot = [&](const char* name) {
        if (shots.empty()) return;
        form.widget()->grab().save(QString::fromStdString(shots + "/" + name + "-main.png"));
        window->grab().save(QString::fromStdString(shots + "/" + name + "-preview.png"));
    };
    shoot("before");
    runFor(3000); // the worker draws the picture's bounded copy
    auto* view = dynamic_cast<QWidget*>(delegate.outlets.previewText2);
    if (view == nullptr) return 1;
    LiveBench bench{delegate, form, view};

    // Filling the view alone, as a refresh does on the window's thread.
    std::vector<double> fills;
    for (int run = 0; run < std::max(runs, 5); ++run) {
        QElapsedTimer timer;
        timer.start();
        platform::TextView& text = *delegate.outlets.previewText2;
        text.setPlainText("");
        text.appendRuns(colorDisplayRuns(*delegate.grid));
        text.setFont(delegate.fontName, 12);
        delegate.resizeWindow();
        view->repaint();
        fills.push_back(seconds(timer));
    }
    printBest("fill", fills);

    QLineEdit* characters = form.ui().characterSet;
    bench.report("charset", runs, [&](int run) {
        if (run % 2 == 0) {
            backspace(characters);
        } else {
            typeText(characters, "@");
        }
    });
    // One step of the brightness slider, as an arrow key moves it: up, then down again.
    QSlider* brightness = form.ui().brightness;
    bench.report("brightness", runs, [&](int run) {
        brightness->triggerAction(run % 2 == 0 ? QAbstractSlider::SliderSingleStepAdd
                                               : QAbstractSlider::SliderSingleStepSub);
    });
    QLineEdit* width = form.ui().maxWidth;
    // A new grid size each time: 400, 513, 400, ... ; only the last key changes the field's
    // number to one that was not kept.
    bench.report(
        "width", runs,
        [&](int run) {
            if (run % 2 == 0) {
                width->setText("40");
                typeText(width, "0");
            } else {
                width->setText("51");
                typeText(width, "3");
            }
        },
        true);
    width->setText("513");

    // Typing into the width and size fields: keys 150 ms apart, each leading to a refresh
    // while the next comes, then a fast burst 40 ms apart.
    const auto keys = [](QLineEdit* field, const std::vector<QString>& script) {
        std::vector<std::function<void()>> typed;
        for (int round = 0; round < 4; ++round) {
            for (const QString& key : script) {
                typed.emplace_back([field, key] {
                    if (key == "BS")
                        backspace(field);
                    else
                        typeText(field, key);
                });
            }
        }
        return typed;
    };
    const std::vector<QString> widthScript = {"BS", "BS", "1", "3", "BS", "0", "BS", "3"};
    std::printf("stall-width %.4f\n", bench.stall(keys(width, widthScript), 150));
    std::printf("stall-width-fast %.4f\n", bench.stall(keys(width, widthScript), 40));
    std::fflush(stdout);
    QLineEdit* size = form.ui().fontSize;
    size->setText("12");
    const std::vector<QString> sizeScript = {"BS", "6", "BS", "0", "BS", "2"};
    std::printf("stall-size %.4f\n", bench.stall(keys(size, sizeScript), 150));
    std::printf("stall-size-fast %.4f\n", bench.stall(keys(size, sizeScript), 40));
    if (!shots.empty()) {
        // Typed, not pressed: the open preview follows a new width by itself.
        width->setText("12");
        typeText(width, "0");
        runFor(3000);
        shoot("typed-width-120");
    }
    return 0;
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
    bool live = false;
    std::string shots;
    std::string exportFile;
    std::string fontSize = "12";
    for (int i = 5; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--color") color = true;
        if (option == "--live") live = true;
        if (option == "--shots" && i + 1 < argc) shots = argv[++i];
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
    platform::qt::QtMainThread mainThread;
    platform::qt::QtTimer refreshTimer;
    platform::ThreadWorker worker;
    GlyphwerkAppDelegate delegate(
        {defaults, panels, alerts, folders, loader, workspace, screens, interfaces}, windows);
    if (live) delegate.setLiveServices({refreshTimer, worker, mainThread});
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
    const std::string extension = std::filesystem::path(exportFile).extension().string();
    // The window's choice that writes files of this extension (text for anything else).
    int choice = 0;
    for (const gw::OutputFormat& format : gw::outputFormats()) {
        if ("." + std::string(format.extension) == extension && format.windowChoice >= 0)
            choice = format.windowChoice;
    }
    form.formatButton(choice)->click();
    QCoreApplication::processEvents();

    if (live) return runLive(delegate, form, interfaces, runs, shots);

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
