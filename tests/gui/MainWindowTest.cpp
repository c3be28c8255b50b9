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

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QSpinBox>
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
             o.window,       o.fontSize,      o.sourceImage,  o.characterSet,     o.setLower,
             o.setUpper,     o.setNumbers,    o.setSymbols,   o.exportMode,       o.maxWidth,
             o.bwColor,      o.buttonPreview, o.buttonExport, o.menuClosePreview, o.bgColor,
             o.font,         o.matchShape,    o.dither,       o.brightness,       o.contrast,
             o.autoContrast, o.invert})
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

    // The Adjust group's controls start at their defaults and come after the character buttons
    // in the tab order, as they stand in the window; Invert comes after the background.
    EXPECT_EQ(ui().adjustGroup->title(), "Adjust");
    EXPECT_FALSE(o.matchShape->state() || o.dither->state() || o.autoContrast->state() ||
                 o.invert->state());
    EXPECT_EQ(std::make_pair(o.brightness->intValue(), o.contrast->intValue()),
              std::make_pair(0, 0));
    for (const QSpinBox* number : {ui().brightnessValue, ui().contrastValue})
        EXPECT_EQ(std::make_tuple(number->minimum(), number->maximum(), number->value()),
                  std::make_tuple(-100, 100, 0));
    // As Tab moves: a spin box's own text field hands its focus to the spin box.
    const auto nextTabStop = [](QWidget* widget) {
        do {
            widget = widget->nextInFocusChain();
        } while ((widget->focusPolicy() & Qt::TabFocus) == 0 || widget->focusProxy() != nullptr);
        return widget;
    };
    const std::vector<QWidget*> order = {ui().setSymbols, ui().brightness,    ui().brightnessValue,
                                         ui().contrast,   ui().contrastValue, ui().autoContrast,
                                         ui().matchShape, ui().dither,        ui().maxWidth};
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        EXPECT_EQ(nextTabStop(order[i]), order[i + 1]) << order[i]->objectName().toStdString();
    EXPECT_EQ(nextTabStop(ui().bgColor), ui().invert);
    EXPECT_EQ(nextTabStop(ui().invert), ui().bwColorBlackWhite);
}

// What a screen reader announces: every control the user can reach has a name.
TEST_F(RealWindow, EveryControlHasAnAccessibleName) {
    form.widget()->show();
    const QList<QWidget*> widgets = form.widget()->findChildren<QWidget*>();
    int controls = 0;
    for (QWidget* widget : widgets) {
        if ((widget->focusPolicy() & Qt::TabFocus) == 0 || widget->focusProxy() != nullptr)
            continue;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(accessible, nullptr);
        EXPECT_FALSE(accessible->text(QAccessible::Name).trimmed().isEmpty())
            << widget->objectName().toStdString();
        ++controls;
    }
    EXPECT_GE(controls, 20);
    const auto name = [](QWidget* widget) {
        return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
    };
    EXPECT_EQ(name(ui().brightness), "Brightness");
    EXPECT_EQ(name(ui().brightnessValue), "Brightness value");
    EXPECT_EQ(name(ui().contrast), "Contrast");
    EXPECT_EQ(name(ui().contrastValue), "Contrast value");
    EXPECT_EQ(name(ui().autoContrast), "Auto contrast");
    EXPECT_EQ(name(ui().invert), "Invert brightness");
    // The font pop-up's list, a child of the box to a screen reader though it never takes Tab.
    EXPECT_EQ(name(ui().font->view()), "Fonts");
}

// Assistive tools toggle check boxes and radio buttons through their accessible action, which
// changes the button without a click: the controller hears of it all the same, once.
TEST_F(RealWindow, ButtonsToggledByAnAssistiveToolReachTheController) {
    const auto toggle = [](QWidget* button) {
        QAccessibleActionInterface* actions =
            QAccessible::queryAccessibleInterface(button)->actionInterface();
        ASSERT_NE(actions, nullptr);
        ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
        actions->doAction(QAccessibleActionInterface::toggleAction());
    };
    toggle(ui().invert);
    toggle(ui().autoContrast);
    EXPECT_EQ(std::make_pair(fake.defaults.integerForKey("invert"),
                             fake.defaults.integerForKey("autoContrast")),
              std::make_pair(1L, 1L));

    int sent = 0;
    const platform::Action count = [&sent](platform::Control* /*sender*/) { ++sent; };
    delegate.outlets.invert->setAction(count);
    delegate.outlets.bwColor->setAction(count);
    delegate.outlets.exportMode->setAction(count);
    toggle(ui().bwColorColour);
    toggle(form.formatButton(1));
    EXPECT_EQ(std::make_tuple(delegate.outlets.bwColor->selectedTag(),
                              delegate.outlets.exportMode->selectedTag(), sent),
              std::make_tuple(1, 1, 2));
    toggle(ui().bwColorColour); // a chosen radio button stays chosen
    ui().invert->click();
    ui().bwColorBlackWhite->click();
    EXPECT_EQ(std::make_pair(ui().invert->isChecked(), sent), std::make_pair(false, 4));

    // The program's own changes send nothing.
    delegate.outlets.invert->setState(true);
    delegate.outlets.bwColor->selectCellWithTag(1);
    delegate.outlets.exportMode->selectCellWithTag(0);
    EXPECT_EQ(std::make_tuple(ui().invert->isChecked(), ui().bwColorColour->isChecked(), sent),
              std::make_tuple(true, true, 4));
}

// The slider and its number are one control: either moves the other, and one change by the
// user sends one action, which the controller saves.
TEST_F(RealWindow, TheToneSlidersAndTheirNumbersMoveTogetherAndAreSaved) {
    int sent = 0;
    platform::Slider& brightness = *delegate.outlets.brightness;
    const platform::Action save = [this, &sent](platform::Control* sender) {
        ++sent;
        delegate.changeAdjustment(sender);
    };
    brightness.setAction(save);
    ui().brightness->setFocus();
    QTest::keyClick(ui().brightness, Qt::Key_PageUp);
    EXPECT_EQ(std::make_tuple(ui().brightness->value(), ui().brightnessValue->value(), sent),
              std::make_tuple(10, 10, 1));
    EXPECT_EQ(fake.defaults.integerForKey("brightness"), 10);

    ui().brightnessValue->selectAll();
    QTest::keyClicks(ui().brightnessValue, "-45");
    EXPECT_EQ(std::make_pair(ui().brightness->value(), brightness.intValue()),
              std::make_pair(-45, -45));
    EXPECT_EQ(fake.defaults.integerForKey("brightness"), -45);
    const int typed = sent;
    ui().brightnessValue->stepUp();
    EXPECT_EQ(std::make_tuple(ui().brightness->value(), sent), std::make_tuple(-44, typed + 1));

    // The program's changes send nothing and stay within the range.
    brightness.setIntValue(70);
    brightness.setIntValue(500);
    EXPECT_EQ(std::make_tuple(ui().brightnessValue->value(), brightness.intValue(), sent),
              std::make_tuple(100, 100, typed + 1));
    EXPECT_EQ(fake.defaults.integerForKey("brightness"), -44);

    // Through the controller's own wiring.
    ui().contrastValue->setValue(-30);
    ui().autoContrast->click();
    ui().invert->click();
    EXPECT_EQ(std::make_tuple(fake.defaults.integerForKey("contrast"),
                              fake.defaults.integerForKey("autoContrast"),
                              fake.defaults.integerForKey("invert")),
              std::make_tuple(-30L, 1L, 1L));
    EXPECT_EQ(delegate.outlets.contrast->intValue(), -30);

    delegate.outlets.contrast->setEnabled(false);
    EXPECT_FALSE(ui().contrast->isEnabled() || ui().contrastValue->isEnabled());
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
