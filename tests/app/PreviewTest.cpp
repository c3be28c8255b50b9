// The preview window and export through fakes: what each output mode and run kind shows, writes
// and opens, the window's frame, the font rules, and the export panel.

#include "fakes/Fakes.h"
#include "support/DataTable.h"
#include "support/TestFolder.h"

#include "formats/OutputFormats.h"
#include "output/Outputs.h"
#include "output/TextOutput.h"
#include "render/FontResolver.h"
#include "render/PngImage.h"
#include "render/TiffImage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

// The font resolver keeps fontconfig's configuration for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace gw {
namespace {

using testing::TestFolder;

class Preview : public ::testing::Test {
protected:
    void SetUp() override {
        app.folders.support = {folder.path()};
        std::filesystem::create_directories(work);
        ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
        app.loader.pictures["/pictures/grey.png"] = {200.0, 100.0};
        ASSERT_TRUE(d().applicationOpenFile("/pictures/grey.png"));
        app.maxWidth.setStringValue("24");
    }
    GlyphwerkAppDelegate& d() { return *app.delegate; }
    void setModes(int mode, int color) {
        app.exportMode.selectCellWithTag(mode);
        app.bwColor.selectCellWithTag(color);
    }
    // The PNG or TIFF writer's own file for the current grid at the window's font size.
    std::string imageOf(bool png, bool color, const RgbColor& background = {1.0, 1.0, 1.0}) {
        std::string error;
        const std::string file = folder.file("expected");
        const render::ImageOptions options{d().fontName, 10, color, background};
        EXPECT_TRUE(
            png ? render::writePngImage(file, *d().grid, options, LinkPolicy::writeThrough, error)
                : render::writeTiffImage(file, *d().grid, options, LinkPolicy::writeThrough, error))
            << error;
        return TestFolder::read(file);
    }

    testing::TestFolder folder;
    const std::string work = folder.path() + "/Glyphwerk/";
    fakes::FakeApplication app;
};

TEST_F(Preview, EachModeAndRunKindShowsWritesAndOpensWhatItShould) {
    enum File { none, plain, rtf, html, tiff, png, svg };
    struct Row {
        int mode, color;
        bool exportRun;
        File file;
        bool stays; // the window is open afterwards
    };
    for (const Row row :
         {Row{0, 0, false, none, true}, Row{0, 1, false, none, true}, Row{0, 0, true, plain, true},
          Row{0, 1, true, rtf, true}, Row{1, 0, false, html, false}, Row{1, 1, true, html, false},
          Row{2, 0, false, tiff, false}, Row{2, 1, true, tiff, false}, Row{3, 0, false, png, false},
          Row{3, 1, true, png, false}, Row{4, 1, false, svg, false}, Row{4, 0, true, svg, false}}) {
        SCOPED_TRACE(::testing::Message() << "mode " << row.mode << " colour " << row.color
                                          << (row.exportRun ? " export" : " preview"));
        setModes(row.mode, row.color);
        app.workspace.opened.clear();
        std::filesystem::remove_all(work);
        std::filesystem::create_directories(work);
        d().savePath = folder.file("chosen");
        std::filesystem::remove(*d().savePath);
        if (row.exportRun)
            d().preview(&*d().savePath);
        else
            app.buttonPreview.click();

        const CellGrid& grid = *d().grid;
        const std::string page = htmlPage(grid, row.color == 1, {1.0, 1.0, 1.0});
        const std::string expected =
            row.file == plain ? plainText(grid)
            : row.file == rtf
                ? rtfDocument(grid, {"Monaco", render::resolveMonospaceFont("Monaco").family}, 10)
            : row.file == html ? page
            : row.file == tiff ? imageOf(false, row.color == 1)
            : row.file == png  ? imageOf(true, row.color == 1)
            : row.file == svg  ? outputFormat(FormatId::Svg)
                                    .document(grid, {"Monaco", 10, row.color == 1, {1.0, 1.0, 1.0}})
                              : "";
        const char* const names[] = {
            "", "", "", "Preview.html", "Preview.tif", "Preview.png", "Preview.svg"};
        const std::string previewFile = work + names[row.file];
        const std::string written = row.exportRun ? *d().savePath : previewFile;
        if (row.file == none) {
            EXPECT_TRUE(std::filesystem::is_empty(work));
            EXPECT_FALSE(std::filesystem::exists(*d().savePath));
        } else {
            EXPECT_EQ(TestFolder::read(written), expected);
        }
        EXPECT_EQ(app.workspace.opened,
                  (row.file >= html && !row.exportRun ? std::vector<std::string>{previewFile}
                                                      : std::vector<std::string>{}));
        EXPECT_EQ(d().outlets.preview != nullptr, row.stays);
        EXPECT_EQ(app.menuClosePreview.isEnabled(), row.stays);
        EXPECT_EQ(app.previewWindow.isVisible(), row.stays);
        EXPECT_EQ(app.previewText.plainText(),
                  row.mode == 1 ? page : plainDisplayText(grid)); // replaced, never added to
        EXPECT_EQ(app.previewText.coloredRuns > 0, row.color == 1 && row.mode != 1);
        EXPECT_TRUE(app.previewText.editable && app.previewText.selectable);
        EXPECT_TRUE(app.alerts.shown.empty());
        d().closePreview(nullptr);
    }
    EXPECT_EQ(app.interfaces.loaded, std::vector<std::string>(12, "Preview.ui"));
}

// On each background of output/ink.tsv the view's uncoloured text (black and white art, the
// page's source) takes the ink that reads on it, and the page and image previews are the
// writers' own for that background.
GW_TABLE_TEST_F(Preview, PreviewInkRows, TheViewAndTheFilesTakeTheInkOfTheBackground,
                "output/ink.tsv") {
    const test::DataRow& row = GetParam();
    const platform::Color background{std::stod(row[1]), std::stod(row[2]), std::stod(row[3]), 1.0};
    const double level = row[4] == "#000000" ? 0.0 : 1.0;
    app.bgColor.setColor(background);
    for (const int mode : {0, 1, 2}) {
        SCOPED_TRACE(::testing::Message() << "mode " << mode);
        setModes(mode, 0);
        app.previewText.textColor = {0.5, 0.5, 0.5, 0.0};
        app.buttonPreview.click();
        EXPECT_EQ(app.previewText.background, background);
        EXPECT_EQ(app.previewText.textColor, (platform::Color{level, level, level, 1.0}));
        const RgbColor rgb{background.red, background.green, background.blue};
        if (mode == 1) {
            EXPECT_EQ(TestFolder::read(work + "Preview.html"), htmlPage(*d().grid, false, rgb));
        } else if (mode == 2) {
            EXPECT_TRUE(TestFolder::read(work + "Preview.tif") == imageOf(false, false, rgb));
        }
    }
}

TEST_F(Preview, OnlyTheExportsOwnStringWritesSoAPreviewAfterAnExportWritesNothing) {
    app.panels.answers.push_back(folder.file("art.txt"));
    app.buttonExport.click();
    ASSERT_EQ(TestFolder::read(folder.file("art.txt")), plainText(*d().grid));
    EXPECT_EQ(d().outlets.preview, nullptr);
    EXPECT_EQ(app.defaults.stringForKey("userDirectory"), folder.file("art.txt"));

    std::filesystem::remove(folder.file("art.txt"));
    app.buttonPreview.click();
    const std::string equal = *d().savePath; // the same text, another object
    d().preview(&equal);
    d().preview(nullptr);
    EXPECT_FALSE(std::filesystem::exists(folder.file("art.txt")));
    EXPECT_EQ(app.previewText.plainText(), plainDisplayText(*d().grid));
    EXPECT_NE(d().outlets.preview, nullptr);
}

TEST_F(Preview, TheFrameFollowsGridAndSizeAndKeepsTheBottomLeftCorner) {
    struct Row {
        const char* size;
        int width2, height2;
        double width, height;
    };
    app.buttonPreview.click();
    for (const Row row : {Row{"12", 100, 50, 780.0, 770.0}, Row{"10", 80, 40, 1630.0 / 3, 520.0},
                          Row{"12", 3, 3, 91.3, 65.0}}) {
        app.previewWindow.setFrame({100.0, 50.0, 10.0, 10.0});
        app.fontSize.setStringValue(row.size);
        d().grid->width2 = row.width2;
        d().grid->height2 = row.height2;
        d().resizeWindow();
        EXPECT_NEAR(d().previewFrame.width, row.width, 1e-9);
        EXPECT_EQ(d().previewFrame.height, row.height);
        EXPECT_EQ(d().windowFrame,
                  (platform::Rect{100.0, 50.0, d().previewFrame.width, d().previewFrame.height}));
        EXPECT_EQ(app.previewWindow.frame(), d().windowFrame);
        EXPECT_EQ(app.previewText.frame(), d().previewFrame);
    }
}

// The font size rule's cases are in the converter's option test, which shares it.
TEST_F(Preview, TheFieldsFontSizeAndANewFontAreUsedFromTheNextPreviewOn) {
    app.fontSize.setStringValue("9.5");
    app.buttonPreview.click();
    EXPECT_EQ(app.previewText.font, (std::pair<std::string, int>{"Monaco", 9}));
    for (const int tag : {2, 7}) { // 7 names no font: the last one stays
        app.font.selectItemWithTag(tag);
        app.font.click();
        EXPECT_EQ(d().fontName, "Courier New");
        EXPECT_EQ(app.log.back(), "Courier New");
    }
    EXPECT_EQ(app.previewText.font.first, "Monaco");
    app.fontSize.setStringValue("74");
    app.buttonPreview.click();
    EXPECT_EQ(app.previewText.font, (std::pair<std::string, int>{"Courier New", 12}));
}

TEST_F(Preview, ClosingTwiceAndAFormThatDoesNotLoad) {
    app.buttonPreview.click();
    app.menuClosePreview.click();
    EXPECT_EQ(d().outlets.preview, nullptr);
    EXPECT_FALSE(app.previewWindow.isVisible() || app.menuClosePreview.isEnabled());
    d().closePreview(nullptr);
    EXPECT_EQ(d().outlets.preview, nullptr);

    app.interfaces.fails = true;
    d().width = -1;
    app.buttonPreview.click();
    EXPECT_EQ(app.log.back(), "Load of Preview.ui failed");
    EXPECT_EQ(d().width, -1); // nothing converted
    EXPECT_FALSE(app.previewWindow.isVisible() || app.menuClosePreview.isEnabled());
    EXPECT_TRUE(app.alerts.shown.empty());
    // An export that cannot write says so.
    app.panels.answers.push_back(folder.file("art.txt"));
    app.buttonExport.click();
    ASSERT_EQ(app.alerts.shown.size(), 1u);
    EXPECT_EQ(app.alerts.shown[0].message,
              folder.file("art.txt") + ": the preview window's form Preview.ui cannot be loaded");
}

TEST_F(Preview, ExportOffersOneTypeAndNameByModeAndCancelChangesNothing) {
    app.buttonPreview.click();
    d().savePath = "/earlier/art.txt";
    const std::vector<test::DataRow> rows = test::dataTable("app/export-panel.tsv");
    for (const test::DataRow& row : rows) {
        SCOPED_TRACE(row.name);
        setModes(std::stoi(row[0]), std::stoi(row[1]));
        app.buttonExport.click();
        ASSERT_FALSE(app.panels.saveCalls.empty());
        const fakes::FakePanels::Call& call = app.panels.saveCalls.back();
        std::vector<std::string> types;
        std::istringstream words(row[2]);
        for (std::string type; words >> type;)
            types.push_back(type);
        EXPECT_EQ(call.fileTypes, types);
        EXPECT_EQ(call.proposedName, "Glyphwerk." + types.at(0));
        EXPECT_EQ(call.typeName, row[3]);
        EXPECT_EQ(call.directory, "/pictures/grey.png");
    }
    setModes(5, 0);
    app.buttonExport.click();
    EXPECT_EQ(app.panels.saveCalls.size(), rows.size());
    EXPECT_EQ(d().savePath, "/earlier/art.txt");
    EXPECT_EQ(app.defaults.stringForKey("userDirectory"), "/pictures/grey.png");
    EXPECT_NE(d().outlets.preview, nullptr);
}

// The rule's own cases are the core's (FileTypeTest); here, that export follows it.
TEST_F(Preview, ExportKeepsTheFilesTypeWhateverNameWasTyped) {
    setModes(3, 1);
    for (const auto& [typed, written] :
         {std::pair{"art", "art.png"}, std::pair{"photo.jpg", "photo.jpg.png"},
          std::pair{"ART.PNG", "ART.PNG"}}) {
        app.panels.answers.push_back(folder.file(typed));
        app.buttonExport.click();
        EXPECT_EQ(d().savePath, folder.file(written));
        EXPECT_EQ(TestFolder::read(folder.file(written)), imageOf(true, true)) << written;
        EXPECT_EQ(typed == std::string(written), std::filesystem::exists(folder.file(typed)));
    }
}

TEST_F(Preview, AWriteThatFailsIsShownNamingTheFileAndTheReason) {
    const std::string missing = folder.path() + "/gone/art.html";
    setModes(1, 0);
    app.panels.answers.push_back(missing);
    app.buttonExport.click();
    ASSERT_EQ(app.alerts.shown.size(), 1u);
    EXPECT_EQ(app.alerts.shown[0].title, "The file could not be written");
    EXPECT_EQ(app.alerts.shown[0].message, missing + ": No such file or directory");

    // A preview file that cannot be written is not opened.
    std::filesystem::remove_all(work);
    setModes(2, 1);
    app.buttonPreview.click();
    ASSERT_EQ(app.alerts.shown.size(), 2u);
    EXPECT_EQ(app.alerts.shown[1].message, work + "Preview.tif: No such file or directory");
    EXPECT_TRUE(app.workspace.opened.empty());
}

} // namespace
} // namespace gw
