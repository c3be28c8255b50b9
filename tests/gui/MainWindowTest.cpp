// The real window: every outlet is connected to the right widget, the controls reach the
// controller, and a drop on the image well loads a picture.

#include "fakes/Fakes.h"
#include "gui/MainWindowForm.h"
#include "palette/InitialSet.h"
#include "platform/PictureLoader.h"
#include "platform/qt/QtImageWell.h"
#include "ui_MainWindow.h"

#include "TestApplication.h"

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

// fontconfig, which Qt uses to find fonts, keeps its configuration for the life of the process
// and frees it only when asked (Qt never asks), so the leak checker reports it at exit.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace gw {
namespace {

using ::testing::ElementsAre;

const QString kSamples = QString(GLYPHWERK_SOURCE_RESOURCES) + "/Samples/";

// The real form and picture loader, with fake services behind the controller.
class RealWindow : public ::testing::Test {
protected:
    RealWindow() {
        testing::testApplication();
        previousSink_ = setLogSink([this](std::string_view line) { log.emplace_back(line); });
        folders.support = {"/home/tester/.local/share"};
        folders.bundle = GLYPHWERK_SOURCE_RESOURCES;
        delegate = std::make_unique<GlyphwerkAppDelegate>(
            GlyphwerkAppDelegate::Services{defaults, panels, alerts, folders, loader, workspace,
                                           screens},
            windows);
        form = std::make_unique<gui::MainWindowForm>(loader, windows);
        delegate->outlets = form->outlets();
        delegate->connectActions({form->openCommand(), form->openButton()});
    }
    ~RealWindow() override {
        form.reset();
        delegate.reset();
        setLogSink(std::move(previousSink_));
    }
    Ui::MainWindow& ui() { return form->ui(); }

    platform::WindowCloseCenter windows;
    fakes::FakeUserDefaults defaults;
    fakes::FakePanels panels;
    fakes::FakeAlerts alerts;
    fakes::FakeFolders folders;
    platform::PictureLoader loader;
    fakes::FakeWorkspace workspace;
    fakes::FakeScreens screens;
    std::unique_ptr<GlyphwerkAppDelegate> delegate;
    std::unique_ptr<gui::MainWindowForm> form;
    std::vector<std::string> log;

private:
    LogSink previousSink_;
};

TEST_F(RealWindow, EveryMainWindowOutletIsConnected) {
    const GlyphwerkAppDelegate::Outlets o = delegate->outlets;
    for (const void* outlet : std::initializer_list<const void*>{
             o.window, o.fontSize, o.sourceImage, o.characterSet, o.setLower, o.setUpper,
             o.setNumbers, o.setSymbols, o.exportMode, o.maxWidth, o.bwColor, o.buttonPreview,
             o.buttonExport, o.menuClosePreview, o.bgColor, o.font})
        EXPECT_NE(outlet, nullptr);
    // The preview window's outlets belong to the preview window.
    EXPECT_EQ(o.preview, nullptr);
    EXPECT_EQ(o.previewText2, nullptr);
    EXPECT_EQ(static_cast<QWidget*>(ui().sourceImage),
              o.sourceImage == nullptr ? nullptr : dynamic_cast<QWidget*>(o.sourceImage));
    EXPECT_EQ(dynamic_cast<QWidget*>(o.bgColor), static_cast<QWidget*>(ui().bgColor));
}

TEST_F(RealWindow, FormStatesAndStartUp) {
    EXPECT_EQ(ui().characterSet->text().toStdString(), kInitialCharacterSet);
    EXPECT_FALSE(ui().buttonPreview->isEnabled());
    EXPECT_FALSE(ui().buttonExport->isEnabled());
    EXPECT_FALSE(ui().menuClosePreview->isEnabled());
    EXPECT_EQ(delegate->outlets.exportMode->selectedTag(), 0);
    EXPECT_EQ(delegate->outlets.bwColor->selectedTag(), 0);
    EXPECT_EQ(delegate->outlets.maxWidth->intValue(), 100);
    EXPECT_EQ(delegate->outlets.fontSize->intValue(), 10);
    ASSERT_EQ(ui().font->count(), 4);
    EXPECT_EQ(ui().font->itemText(2), "Courier New");
    EXPECT_EQ(delegate->outlets.font->selectedTag(), 0);

    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    EXPECT_FALSE(ui().setLower->isEnabled());
    EXPECT_FALSE(ui().setUpper->isEnabled());
    EXPECT_FALSE(ui().setNumbers->isEnabled());
    EXPECT_TRUE(ui().setSymbols->isEnabled());
}

TEST_F(RealWindow, RadioGroupsAreIndependent) {
    ui().exportModeTiff->click();
    ui().bwColorColour->click();
    EXPECT_EQ(delegate->outlets.exportMode->selectedTag(), 2);
    EXPECT_EQ(delegate->outlets.bwColor->selectedTag(), 1);
    ui().exportModeHtml->click();
    EXPECT_EQ(delegate->outlets.exportMode->selectedTag(), 1);
    EXPECT_EQ(delegate->outlets.bwColor->selectedTag(), 1);
}

TEST_F(RealWindow, ButtonsAndTypingReachTheController) {
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    ui().setSymbols->click();
    EXPECT_FALSE(ui().setSymbols->isEnabled());
    EXPECT_TRUE(ui().characterSet->text().endsWith("!$^&()_/[]<>?{}|\\"));

    ui().characterSet->clear(); // the program's change: no notification
    EXPECT_FALSE(ui().setLower->isEnabled());
    QTest::keyClicks(ui().characterSet, "xyz");
    EXPECT_TRUE(ui().setLower->isEnabled());
    EXPECT_TRUE(ui().setUpper->isEnabled());
    ui().setLower->click();
    EXPECT_EQ(ui().characterSet->text(), "xyzabcdefghijklmnopqrstuvw");
    EXPECT_FALSE(ui().setLower->isEnabled());
}

TEST_F(RealWindow, OpenCommandsRunTheOpenPanel) {
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    ui().actionOpen->trigger();
    panels.answers.push_back((kSamples + "shapes.gif").toStdString());
    ui().openButton->click();
    ASSERT_EQ(panels.openCalls.size(), 2u);
    EXPECT_EQ(panels.openCalls[0].directory, (kSamples).toStdString());
}

TEST_F(RealWindow, DroppedFileLoadsAPicture) {
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(kSamples + "lighthouse.png")});
    // Qt delivers a drop only to the widget that accepted the drag's entry.
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(ui().sourceImage, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(ui().sourceImage, &drop);

    EXPECT_TRUE(drop.isAccepted());
    ASSERT_NE(delegate->image, nullptr);
    EXPECT_EQ(delegate->image->size().width, 640);
    EXPECT_EQ(delegate->image, ui().sourceImage->image());
    EXPECT_TRUE(ui().buttonPreview->isEnabled());
    EXPECT_TRUE(ui().buttonExport->isEnabled());
    EXPECT_FALSE(delegate->path.has_value()); // a drop leaves the paths alone
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(RealWindow, DroppedImageDataLoadsAPicture) {
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    QFile file(kSamples + "lighthouse.png");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QMimeData mime;
    mime.setData("image/png", file.readAll());
    EXPECT_TRUE(ui().sourceImage->acceptMimeData(&mime));
    ASSERT_NE(delegate->image, nullptr);
    EXPECT_EQ(delegate->image->name(), "dropped image");
    EXPECT_EQ(delegate->image->size().height, 480);
}

TEST_F(RealWindow, UnreadableDropIsRefusedWithItsReason) {
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    QMimeData mime;
    mime.setData("image/png", QByteArray("not a picture at all"));
    EXPECT_FALSE(ui().sourceImage->acceptMimeData(&mime));
    EXPECT_EQ(delegate->image, nullptr);
    EXPECT_FALSE(ui().buttonPreview->isEnabled());
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_THAT(alerts.shown[0].message, ::testing::StartsWith("dropped image: "));

    QMimeData text;
    text.setText("hello");
    EXPECT_FALSE(ui().sourceImage->acceptMimeData(&text));
    ASSERT_EQ(alerts.shown.size(), 2u);
    EXPECT_EQ(alerts.shown[1].message, "dropped item: holds no picture");
}

TEST_F(RealWindow, RefusedDroppedFileIsReportedOnceTheDropIsOver) {
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    QMimeData mime;
    const QString notAPicture = QString(GLYPHWERK_SOURCE_RESOURCES) + "/Table.txt";
    mime.setUrls({QUrl::fromLocalFile(notAPicture)});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(ui().sourceImage, &enter);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(ui().sourceImage, &drop);
    EXPECT_FALSE(drop.isAccepted());
    EXPECT_TRUE(alerts.shown.empty());

    QCoreApplication::processEvents();
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_THAT(alerts.shown[0].message, ::testing::StartsWith(notAPicture.toStdString() + ": "));
    EXPECT_EQ(delegate->image, nullptr);
    EXPECT_FALSE(ui().buttonExport->isEnabled());
}

TEST_F(RealWindow, ClosingWindowsReachesTheController) {
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    QWidget previewWidget;
    platform::qt::QtWindow preview(&previewWidget, windows);
    previewWidget.show();
    delegate->outlets.preview = &preview;
    ui().menuClosePreview->setEnabled(true);

    form->widget()->show();
    form->widget()->close(); // the main window: nothing changes
    EXPECT_EQ(delegate->outlets.preview, &preview);
    EXPECT_TRUE(ui().menuClosePreview->isEnabled());

    previewWidget.close();
    EXPECT_EQ(delegate->outlets.preview, nullptr);
    EXPECT_FALSE(ui().menuClosePreview->isEnabled());
}

} // namespace
} // namespace gw
