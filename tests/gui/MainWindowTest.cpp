// The real window: every outlet is connected to the right widget, the controls reach the
// controller, and a drop on the image well loads a picture.

#include "fakes/Fakes.h"
#include "formats/OutputFormats.h"
#include "gui/MainWindowForm.h"
#include "palette/InitialSet.h"
#include "platform/PictureLoader.h"
#include "platform/qt/QtImageLoader.h"
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

const QString kSamples = QString(GLYPHWERK_SOURCE_RESOURCES) + "/Samples/";

// The real form and picture loader, with the fake application's services and log behind a
// controller of its own.
class RealWindow : public ::testing::Test {
protected:
    RealWindow() {
        delegate.outlets = form.outlets();
        delegate.connectActions({form.openCommand(), form.openButton()});
        EXPECT_TRUE(delegate.applicationDidFinishLaunching());
    }
    Ui::MainWindow& ui() { return form.ui(); }
    // Drags `mime` onto the image well and drops it; whether the well took the drop.
    bool dragAndDrop(const QMimeData& mime) {
        // Qt delivers a drop only to the widget that accepted the drag's entry.
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(ui().sourceImage, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(ui().sourceImage, &drop);
        return drop.isAccepted();
    }

    QApplication& application = testing::testApplication();
    fakes::FakeApplication fake;
    platform::WindowCloseCenter windows;
    platform::PictureLoader loader;
    GlyphwerkAppDelegate delegate{{fake.defaults, fake.panels, fake.alerts, fake.folders, loader,
                                   fake.workspace, fake.screens, fake.interfaces},
                                  windows};
    gui::MainWindowForm form{loader, windows};
};

TEST_F(RealWindow, EveryMainWindowOutletIsConnectedAndTheFormStartsAsDesigned) {
    const GlyphwerkAppDelegate::Outlets o = delegate.outlets;
    for (const void* outlet : std::initializer_list<const void*>{
             o.window, o.fontSize, o.sourceImage, o.characterSet, o.setLower, o.setUpper,
             o.setNumbers, o.setSymbols, o.exportMode, o.maxWidth, o.bwColor, o.buttonPreview,
             o.buttonExport, o.menuClosePreview, o.bgColor, o.font, o.matchShape, o.dither})
        EXPECT_NE(outlet, nullptr);
    // The preview window's outlets belong to the preview window.
    EXPECT_EQ(o.preview, nullptr);
    EXPECT_EQ(dynamic_cast<QWidget*>(o.sourceImage), static_cast<QWidget*>(ui().sourceImage));
    EXPECT_EQ(dynamic_cast<QWidget*>(o.bgColor), static_cast<QWidget*>(ui().bgColor));

    EXPECT_EQ(ui().characterSet->text().toStdString(), kInitialCharacterSet);
    EXPECT_FALSE(ui().buttonPreview->isEnabled() || ui().buttonExport->isEnabled() ||
                 ui().menuClosePreview->isEnabled());
    EXPECT_EQ(o.exportMode->selectedTag(), 0);
    EXPECT_EQ(o.bwColor->selectedTag(), 0);
    EXPECT_EQ(o.maxWidth->intValue(), 100);
    EXPECT_EQ(o.fontSize->intValue(), 10);
    ASSERT_EQ(ui().font->count(), 4);
    EXPECT_EQ(ui().font->itemText(2), "Courier New");
    EXPECT_EQ(o.font->selectedTag(), 0);

    // The format choices are the format table's, in its order, each reaching the controller
    // with its position as its tag, after the colour mode in the tab order.
    const std::vector<std::string_view> choices = windowChoices();
    ASSERT_EQ(form.formatButton(static_cast<int>(choices.size())), nullptr);
    QWidget* previous = ui().bwColorColour;
    for (std::size_t i = 0; i < choices.size(); ++i) {
        QAbstractButton* button = form.formatButton(static_cast<int>(i));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text().toStdString(), choices[i]);
        EXPECT_FALSE(button->accessibleName().isEmpty());
        EXPECT_EQ(previous->nextInFocusChain(), button);
        previous = button;
        button->click();
        EXPECT_EQ(o.exportMode->selectedTag(), static_cast<int>(i));
    }

    // The Adjust group's check boxes start clear and come after the character buttons in the
    // tab order, as they stand in the window.
    EXPECT_EQ(ui().adjustGroup->title(), "Adjust");
    EXPECT_EQ(std::make_pair(ui().matchShape->accessibleName(), ui().dither->accessibleName()),
              std::make_pair(QString("Detail"), QString("Dither")));
    EXPECT_FALSE(o.matchShape->state() || o.dither->state());
    const auto nextTabStop = [](QWidget* widget) {
        do {
            widget = widget->nextInFocusChain();
        } while ((widget->focusPolicy() & Qt::TabFocus) == 0);
        return widget;
    };
    EXPECT_EQ(nextTabStop(ui().setSymbols), ui().matchShape);
    EXPECT_EQ(nextTabStop(ui().matchShape), ui().dither);
    EXPECT_EQ(nextTabStop(ui().dither), ui().maxWidth);
}

TEST_F(RealWindow, ButtonsTypingAndOpenCommandsReachTheController) {
    ui().characterSet->clear(); // the program's change: no notification
    EXPECT_FALSE(ui().setLower->isEnabled());
    QTest::keyClicks(ui().characterSet, "xyz");
    EXPECT_TRUE(ui().setLower->isEnabled());
    ui().setLower->click();
    EXPECT_EQ(ui().characterSet->text(), "xyzabcdefghijklmnopqrstuvw");
    EXPECT_FALSE(ui().setLower->isEnabled());

    ui().matchShape->click();
    EXPECT_EQ(fake.defaults.integerForKey("matchShape"), 1);
    ui().matchShape->click();
    ui().dither->click();
    EXPECT_EQ(std::make_pair(fake.defaults.integerForKey("matchShape"),
                             fake.defaults.integerForKey("dither")),
              std::make_pair(0L, 1L));

    ui().actionOpen->trigger();
    ui().openButton->click();
    ASSERT_EQ(fake.panels.openCalls.size(), 2u);
    EXPECT_EQ(fake.panels.openCalls[0].directory, kSamples.toStdString());
}

TEST_F(RealWindow, DroppedFilesAndDataLoadAPictureOrAreRefusedWithTheReason) {
    QMimeData mime;
    const QString notAPicture = QString(GLYPHWERK_SOURCE_RESOURCES) + "/Table.txt";
    mime.setUrls({QUrl::fromLocalFile(notAPicture)});
    EXPECT_FALSE(dragAndDrop(mime));
    EXPECT_TRUE(fake.alerts.shown.empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(fake.alerts.shown.size(), 1u);
    EXPECT_THAT(fake.alerts.shown[0].message,
                ::testing::StartsWith(notAPicture.toStdString() + ": "));
    EXPECT_EQ(delegate.image, nullptr);
    EXPECT_FALSE(ui().buttonExport->isEnabled());

    mime.setUrls({QUrl::fromLocalFile(kSamples + "lighthouse.png")});
    EXPECT_TRUE(dragAndDrop(mime));
    ASSERT_NE(delegate.image, nullptr);
    EXPECT_EQ(delegate.image->pointSize().width, 640);
    EXPECT_EQ(delegate.image, ui().sourceImage->image());
    EXPECT_TRUE(ui().buttonExport->isEnabled());
    const auto dropped = delegate.image;

    // Dropped data rather than a file.
    QMimeData garbage, text, png;
    garbage.setData("image/png", QByteArray("not a picture at all"));
    EXPECT_FALSE(ui().sourceImage->acceptMimeData(&garbage));
    text.setText("hello");
    EXPECT_FALSE(ui().sourceImage->acceptMimeData(&text));
    EXPECT_EQ(delegate.image, dropped);
    ASSERT_EQ(fake.alerts.shown.size(), 3u);
    EXPECT_THAT(fake.alerts.shown[1].message, ::testing::StartsWith("dropped image: "));
    EXPECT_EQ(fake.alerts.shown[2].message, "dropped item: holds no picture");

    QFile file(kSamples + "lighthouse.png");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    png.setData("image/png", file.readAll());
    EXPECT_TRUE(ui().sourceImage->acceptMimeData(&png));
    EXPECT_EQ(delegate.image->name(), "dropped image");
    EXPECT_EQ(delegate.image->pointSize().height, 480);
}

// The program's loader decodes on a thread pool and hands results back through the event loop:
// the well is busy until then, and the newest load wins, be it a drop or an open.
TEST(ThreadedLoader, DropsLoadInTheBackgroundAndTheNewestLoadWins) {
    testing::testApplication();
    platform::qt::QtImageLoader loader;
    platform::qt::QtImageWell well;
    well.setImageLoader(&loader);
    int actions = 0;
    well.setAction([&actions](platform::Control*) { ++actions; });
    QMimeData first, second;
    first.setUrls({QUrl::fromLocalFile(kSamples + "lighthouse.png")});
    second.setUrls({QUrl::fromLocalFile(kSamples + "shapes.gif")});
    EXPECT_TRUE(well.acceptMimeData(&first) && well.acceptMimeData(&second));
    EXPECT_TRUE(well.isBusy());
    EXPECT_EQ(well.image(), nullptr);
    loader.waitForDone();
    EXPECT_FALSE(well.isBusy());
    ASSERT_NE(well.image(), nullptr);
    EXPECT_EQ(well.image()->name(), (kSamples + "shapes.gif").toStdString());
    EXPECT_EQ(actions, 1);

    platform::ImageLoad opened;
    well.acceptMimeData(&first);
    loader.loadInBackground((kSamples + "clouds.jpg").toStdString(),
                            [&opened](platform::ImageLoad l) { opened = std::move(l); });
    loader.waitForDone();
    EXPECT_EQ(std::make_pair(actions, well.isBusy()), std::make_pair(1, false));
    ASSERT_NE(opened.image, nullptr);
    EXPECT_EQ(opened.image->name(), (kSamples + "clouds.jpg").toStdString());
}

TEST_F(RealWindow, ClosingThePreviewWindowReachesTheController) {
    QWidget previewWidget;
    platform::qt::QtWindow preview(&previewWidget, windows);
    previewWidget.show();
    delegate.outlets.preview = &preview;
    ui().menuClosePreview->setEnabled(true);

    previewWidget.close();
    EXPECT_EQ(delegate.outlets.preview, nullptr);
    EXPECT_FALSE(ui().menuClosePreview->isEnabled());
}

} // namespace
} // namespace gw
