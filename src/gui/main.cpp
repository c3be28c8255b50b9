// glyphwerk: the desktop program. Files named on the command line are opened at start, as files
// opened from the file manager are.

#include "app/GlyphwerkAppDelegate.h"
#include "common/Log.h"
#include "common/Resources.h"
#include "gui/MainWindowForm.h"
#include "platform/PictureLoader.h"
#include "platform/StandardFolders.h"
#include "platform/qt/QtServices.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>

#include <memory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Glyphwerk");
    QApplication::setApplicationName("Glyphwerk");
    QApplication::setDesktopFileName("glyphwerk");
    gw::setLogProgramName("glyphwerk");

    const std::string bundle =
        gw::findResourceFolder(gw::currentExecutablePath(), GLYPHWERK_SOURCE_RESOURCES);
    if (!bundle.empty())
        QApplication::setWindowIcon(QIcon(QString::fromStdString(bundle + "/glyphwerk.svg")));

    gw::platform::qt::QtUserDefaults defaults;
    gw::platform::qt::QtPanels panels;
    gw::platform::qt::QtAlerts alerts;
    gw::platform::StandardFolders folders(bundle);
    gw::platform::PictureLoader loader;
    gw::platform::qt::QtWorkspace workspace;
    gw::platform::qt::QtScreens screens;
    gw::platform::WindowCloseCenter windows;

    // The controller holds the fixed-size grids, several megabytes: not for the stack.
    auto delegate = std::make_unique<gw::GlyphwerkAppDelegate>(
        gw::GlyphwerkAppDelegate::Services{defaults, panels, alerts, folders, loader, workspace,
                                           screens},
        windows);
    gw::gui::MainWindowForm form(loader, windows);
    delegate->outlets = form.outlets();
    delegate->connectActions({form.openCommand(), form.openButton()});
    panels.setParent(form.widget());
    alerts.setParent(form.widget());
    QApplication::setQuitOnLastWindowClosed(
        delegate->applicationShouldTerminateAfterLastWindowClosed());

    if (!delegate->applicationDidFinishLaunching()) return 1;
    form.widget()->show();

    const QStringList arguments = QApplication::arguments().mid(1);
    QTimer::singleShot(0, &app, [&delegate, arguments] {
        for (const QString& argument : arguments) {
            if (argument.startsWith('-')) continue;
            delegate->applicationOpenFile(QFileInfo(argument).absoluteFilePath().toStdString());
        }
    });
    return QApplication::exec();
}
