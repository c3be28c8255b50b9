// glyphwerk: the desktop program. Files named on the command line are opened at start, as files
// opened from the file manager are; when the program already runs, they go to it instead.

#include "Version.h"
#include "app/GlyphwerkAppDelegate.h"
#include "common/Log.h"
#include "common/Resources.h"
#include "gui/MainWindowForm.h"
#include "gui/SingleInstance.h"
#include "platform/CurlHttpClient.h"
#include "platform/FeedAddress.h"
#include "platform/PictureLoader.h"
#include "platform/StandardFolders.h"
#include "platform/ThreadWorker.h"
#include "platform/qt/QtImageLoader.h"
#include "platform/qt/QtInterfaceLoader.h"
#include "platform/qt/QtMainThread.h"
#include "platform/qt/QtServices.h"
#include "platform/qt/QtTimer.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <string_view>

namespace {

// The manual page's options are made from this text (tools/man-page): keep its layout.
constexpr const char* kHelp =
    "Usage: glyphwerk [options] [PICTURE...]\n"
    "Turns pictures into character art in a window. The pictures named are opened at\n"
    "start; when Glyphwerk already runs, they go to its window instead.\n"
    "Pictures: psd, bmp, gif, jpeg, png, tga, tiff.\n"
    "\n"
    "  -h, --help           show this help\n"
    "      --version        show the version and the commit it was built from\n"
    "\n"
    "glyphwerk-cli converts pictures without a window.\n";

} // namespace

int main(int argc, char** argv) {
    // Answered before the application object exists, so they need no display.
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") break;
        if (argument == "-h" || argument == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::puts("glyphwerk " GLYPHWERK_VERSION " (commit " GLYPHWERK_COMMIT ")");
            return 0;
        }
    }
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Glyphwerk");
    QApplication::setApplicationName("Glyphwerk");
    QApplication::setDesktopFileName("glyphwerk");
    gw::setLogProgramName("glyphwerk");

    QStringList files;
    for (const QString& argument : QApplication::arguments().mid(1)) {
        if (!argument.startsWith('-')) files << QFileInfo(argument).absoluteFilePath();
    }
    if (gw::gui::SingleInstance(gw::gui::SingleInstance::defaultName()).handOver(files)) return 0;

    const std::string bundle = gw::findResourceFolder(gw::currentExecutablePath());
    if (!bundle.empty())
        QApplication::setWindowIcon(QIcon(QString::fromStdString(bundle + "/glyphwerk.svg")));

    gw::platform::qt::QtUserDefaults defaults;
    gw::platform::qt::QtPanels panels;
    gw::platform::qt::QtAlerts alerts;
    gw::platform::StandardFolders folders(bundle);
    gw::platform::qt::QtImageLoader loader;
    gw::platform::qt::QtWorkspace workspace;
    gw::platform::qt::QtScreens screens;
    gw::platform::WindowCloseCenter windows;
    gw::platform::CurlHttpClient http;
    gw::platform::qt::QtMainThread mainThread;
    gw::platform::qt::QtTimer refreshTimer;
    gw::platform::ThreadWorker worker; // after mainThread: its last job may still post there
    gw::platform::qt::QtInterfaceLoader interfaces(bundle, windows);

    auto delegate = std::make_unique<gw::GlyphwerkAppDelegate>(
        gw::GlyphwerkAppDelegate::Services{defaults, panels, alerts, folders, loader, workspace,
                                           screens, interfaces},
        windows);
    delegate->setNotificationServices(
        {http, mainThread, [] { return std::make_unique<gw::platform::qt::QtUserDefaults>(); },
         gw::platform::notificationFeedURL(), gw::platform::notificationFeedOffByEnvironment(),
         gw::platform::HttpLimits{}});
    delegate->setLiveServices({refreshTimer, worker, mainThread});
    gw::gui::MainWindowForm form(loader, windows);
    delegate->outlets = form.outlets();
    delegate->connectActions({form.openCommand(), form.openButton()});
    panels.setParent(form.widget());
    alerts.setParent(form.widget());
    QApplication::setQuitOnLastWindowClosed(
        delegate->applicationShouldTerminateAfterLastWindowClosed());

    if (!delegate->applicationDidFinishLaunching()) return 1;
    form.widget()->show();

    const auto openFiles = [&delegate](const QStringList& paths) {
        for (const QString& path : paths)
            delegate->applicationOpenFile(path.toStdString());
    };
    gw::gui::SingleInstance instance(gw::gui::SingleInstance::defaultName());
    instance.listen([&form, openFiles](const QStringList& paths) {
        form.widget()->raise();
        form.widget()->activateWindow();
        openFiles(paths);
    });
    QTimer::singleShot(0, &app, [openFiles, files] { openFiles(files); });
    return QApplication::exec();
}
