// The real preview window, loaded from its form: its outlets, the colours it shows, its size on
// the screen, a form that does not load, and exports equal to the command-line converter's.

#include "fakes/Fakes.h"
#include "gui/MainWindowForm.h"
#include "output/Outputs.h"
#include "platform/PictureLoader.h"
#include "platform/qt/QtArtView.h"
#include "platform/qt/QtInterfaceLoader.h"
#include "render/FontResolver.h"
#include "support/DataTable.h"
#include "support/TestFolder.h"
#include "ui_MainWindow.h"

#include "TestApplication.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

namespace gw {
namespace {

const std::string kLighthouse = std::string(GLYPHWERK_SOURCE_RESOURCES) + "/Samples/lighthouse.png";

class PreviewWindow : public ::testing::Test {
protected:
    explicit PreviewWindow(std::string forms = GLYPHWERK_SOURCE_RESOURCES)
        : interfaces(std::move(forms), windows) {
        fake.folders.support = {folder.path()};
        std::filesystem::create_directories(folder.path() + "/Glyphwerk");
        delegate.outlets = form.outlets();
        delegate.connectActions({form.openCommand(), form.openButton()});
        EXPECT_TRUE(delegate.applicationDidFinishLaunching());
        EXPECT_TRUE(delegate.applicationOpenFile(kLighthouse));
        // A picture may be decoded off the window's thread.
        for (int i = 0; i < 1000 && !delegate.image; ++i) {
            QCoreApplication::processEvents();
            QThread::msleep(5);
        }
        EXPECT_NE(delegate.image, nullptr);
        form.ui().maxWidth->setText("60");
    }
    ~PreviewWindow() override { delegate.closePreview(nullptr); }
    Ui::MainWindow& ui() { return form.ui(); }
    platform::qt::QtArtView* view() {
        return dynamic_cast<platform::qt::QtArtView*>(delegate.outlets.previewText2);
    }

    // Exports `name` from the window and converts `picture` with `options`: the same bytes.
    void expectTheConvertersBytes(const std::string& name, const std::string& options,
                                  const std::string& picture) {
        SCOPED_TRACE(name);
        fake.panels.answers.push_back(folder.file(name));
        ui().buttonExport->click();
        const std::string cli = folder.file("cli-" + name);
        const std::string command = std::string(GLYPHWERK_CLI) + " --max-width 60 " + options +
                                    " -o " + cli + " " + picture;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const std::string exported = folder.read(folder.file(name));
        EXPECT_FALSE(exported.empty());
        EXPECT_TRUE(exported == folder.read(cli));
    }

    QApplication& application = testing::testApplication();
    gw::testing::TestFolder folder;
    fakes::FakeApplication fake;
    platform::WindowCloseCenter windows;
    platform::PictureLoader loader;
    platform::qt::QtInterfaceLoader interfaces;
    GlyphwerkAppDelegate delegate{{fake.defaults, fake.panels, fake.alerts, fake.folders, loader,
                                   fake.workspace, fake.screens, interfaces},
                                  windows};
    gui::MainWindowForm form{loader, windows};
};

// The frame allows for nominal text metrics; whatever font stands in, a window with room on the
// screen shows the whole art, with no row hidden behind a scroll bar.
TEST_F(PreviewWindow, ShowsTheWholeArtWhereTheScreenHasRoom) {
    ui().maxWidth->setText("100");
    for (const char* size : {"10", "7", "4"}) {
        SCOPED_TRACE(size);
        ui().fontSize->setText(size);
        ui().buttonPreview->click();
        QWidget* window = interfaces.openPreviewWidget();
        ASSERT_NE(window, nullptr);
        const auto* scroll = window->findChild<QScrollArea*>("previewScroll");
        ASSERT_NE(scroll, nullptr);
        const QSize art = view()->artSize();
        const QSize frame(static_cast<int>(delegate.windowFrame.width),
                          static_cast<int>(delegate.windowFrame.height));
        ASSERT_TRUE(window->screen()->availableGeometry().size().boundedTo(frame) == frame);
        QCoreApplication::processEvents();
        EXPECT_GE(scroll->viewport()->width(), art.width());
        EXPECT_GE(scroll->viewport()->height(), art.height());
        EXPECT_FALSE(scroll->verticalScrollBar()->isVisible());
        EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
    }
}

TEST_F(PreviewWindow, TheFormLoadsWiredAndShowsEveryCharacterInItsColourWithinTheScreen) {
    // A larger size grows the window up and to the right from its bottom-left corner.
    ui().fontSize->setText("4");
    ui().buttonPreview->click();
    ASSERT_NE(interfaces.openPreviewWidget(), nullptr);
    const QRect small = interfaces.openPreviewWidget()->geometry();
    ui().fontSize->setText("6");
    ui().buttonPreview->click();
    const QRect larger = interfaces.openPreviewWidget()->geometry();
    EXPECT_EQ(larger.bottomLeft(), small.bottomLeft());
    EXPECT_GT(larger.width(), small.width());

    ui().bwColorColour->click();
    ui().fontSize->setText("73");
    ui().buttonPreview->click();
    QWidget* window = interfaces.openPreviewWidget();
    ASSERT_NE(window, nullptr);
    ASSERT_NE(view(), nullptr);
    EXPECT_EQ(window->objectName(), "preview");
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(ui().menuClosePreview->isEnabled());
    const auto* scroll = window->findChild<QScrollArea*>("previewScroll");
    ASSERT_NE(scroll, nullptr);
    EXPECT_EQ(scroll->widget(), view());
    EXPECT_FALSE(view()->accessibleName().isEmpty());
    for (const QScrollBar* bar : {scroll->horizontalScrollBar(), scroll->verticalScrollBar()})
        EXPECT_FALSE(bar->accessibleName().isEmpty());

    int row = 0, column = 0, checked = 0;
    for (const ColorRun& run : colorDisplayRuns(*delegate.grid)) {
        if (!run.hasColor) {
            ++row;
            column = 0;
            continue;
        }
        const QColor expected =
            QColor::fromRgb(static_cast<int>(std::lround(run.color.red * 255)),
                            static_cast<int>(std::lround(run.color.green * 255)),
                            static_cast<int>(std::lround(run.color.blue * 255)));
        for (std::size_t i = 0; i < run.text.size(); ++i, ++column, ++checked)
            ASSERT_EQ(view()->colorAt(row, column), expected) << row << ", " << column;
    }
    EXPECT_EQ(checked, (delegate.grid->width2 - 2) * (delegate.grid->height2 - 2));

    // At 73 points the frame is far larger than any screen: the window stays on the screen and
    // the text keeps its full size inside the scrolling area.
    const QRect area = window->screen()->availableGeometry();
    EXPECT_TRUE(area.contains(window->geometry()));
    EXPECT_GT(delegate.windowFrame.width, area.width());
    EXPECT_GE(view()->width(), delegate.previewFrame.width);
    EXPECT_GE(view()->height(), delegate.previewFrame.height);
    EXPECT_EQ(view()->artFont().pixelSize(), 73);

    // The user can select and copy all of it, and type into it.
    QTest::keyClick(view(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), view()->plainText());
    QTest::keyClick(view(), Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClicks(view(), "x");
    EXPECT_EQ(view()->characterAt(0, 0), QChar('x'));

    // The font pop-up names the font that stands in for one that is not installed.
    const render::ResolvedFont monaco = render::resolveMonospaceFont("Monaco");
    if (monaco.substituted) {
        EXPECT_TRUE(ui().font->toolTip().contains(QString::fromStdString(monaco.family)));
    }

    ui().menuClosePreview->trigger();
    EXPECT_EQ(delegate.outlets.preview, nullptr);
    EXPECT_FALSE(window->isVisible());
    QCoreApplication::processEvents(); // the closed window is deleted
    EXPECT_EQ(interfaces.openPreviewWidget(), nullptr);
}

// A form folder with no Preview.ui, one that is not a form, and one without the text view.
class BrokenForm : public PreviewWindow, public ::testing::WithParamInterface<const char*> {
protected:
    BrokenForm() : PreviewWindow(forms.path()) {}
    static inline gw::testing::TestFolder forms;
};

TEST_P(BrokenForm, LogsAndConvertsNothing) {
    forms.write("Preview.ui", GetParam());
    if (*GetParam() == '\0') std::filesystem::remove(forms.file("Preview.ui"));
    delegate.width = -1;
    ui().buttonPreview->click();
    EXPECT_EQ(fake.log.back(), "Load of Preview.ui failed");
    EXPECT_EQ(delegate.width, -1);
    EXPECT_FALSE(ui().menuClosePreview->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Forms, BrokenForm,
    ::testing::Values("", "not a form",
                      R"(<ui version="4.0"><widget class="QWidget" name="preview"/></ui>)"));

// Each row sets the Adjust controls and Invert as the user would, and the window's export is
// the converter's file with the row's options.
GW_TABLE_TEST_F(PreviewWindow, ExportRows, AreTheCommandLineConvertersBytes, "gui/exports.tsv") {
    const test::DataRow& c = GetParam();
    ui().bgColor->setColor({0.2, 0.4, 0.6, 1.0});
    ui().fontSize->setText("9");
    ui().font->setCurrentIndex(2);
    emit ui().font->activated(2);
    form.formatButton(std::stoi(c[1]))->click();
    (c[2] == "colour" ? ui().bwColorColour : ui().bwColorBlackWhite)->click();
    std::map<std::string, int> adjust;
    std::istringstream settings(c[3] == "-" ? "" : c[3]);
    for (std::string setting; std::getline(settings, setting, ',');) {
        const std::size_t equals = setting.find('=');
        adjust[setting.substr(0, equals)] =
            equals == std::string::npos ? 1 : std::stoi(setting.substr(equals + 1));
    }
    const std::pair<const char*, QAbstractButton*> boxes[] = {{"detail", ui().matchShape},
                                                              {"dither", ui().dither},
                                                              {"auto", ui().autoContrast},
                                                              {"invert", ui().invert}};
    for (const auto& [name, box] : boxes) {
        if (box->isChecked() != (adjust[name] != 0)) box->click();
    }
    ui().brightnessValue->setValue(adjust["brightness"]);
    ui().contrastValue->setValue(adjust["contrast"]);
    expectTheConvertersBytes(
        c[0], c[4] + " --background '#336699' --font-size 9 --font 'Courier New'", kLighthouse);
    EXPECT_TRUE(fake.alerts.shown.empty());
}

// The two image formats of every picture type, from the real window as from the converter.
TEST_F(PreviewWindow, PngAndSvgOfEveryPictureTypeAreTheCommandLineConvertersBytes) {
    ui().bwColorColour->click();
    for (const char* type : {"psd", "bmp", "gif", "jpg", "jpeg", "png", "tga", "tif", "tiff"}) {
        const std::string picture = std::string(GLYPHWERK_TEST_DATA) + "/cli/half." + type;
        SCOPED_TRACE(picture);
        const void* before = delegate.image.get();
        ASSERT_TRUE(delegate.applicationOpenFile(picture));
        for (int i = 0; i < 1000 && delegate.image.get() == before; ++i) {
            QCoreApplication::processEvents();
            QThread::msleep(5);
        }
        for (const auto& [choice, format] : {std::pair{3, "png"}, std::pair{4, "svg"}}) {
            form.formatButton(choice)->click();
            expectTheConvertersBytes(std::string(type) + "." + format,
                                     std::string("--color -f ") + format + " --font-size 10",
                                     picture);
        }
    }
    EXPECT_TRUE(fake.alerts.shown.empty());
}

} // namespace
} // namespace gw
