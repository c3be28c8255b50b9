// The plain and terminal texts, the display texts, the HTML page and the RTF document of one
// small grid. The expected pages and images are in tests/data/output; the RTF document is read
// back by unrtf.

#include "output/Outputs.h"
#include "output/SvgImage.h"
#include "output/TextOutput.h"

#include "support/DataTable.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <unistd.h>

namespace gw {
namespace {

const std::string kData = GLYPHWERK_TEST_DATA "/output/";
const std::string kFooter = "</div>\n</body>\n</html>\n";

class OutputsTest : public ::testing::Test {
protected:
    // A 6 x 5 grid framed in '#', which no output may show; output/grid.tsv fills its 4 x 3 inside:
    // "@ +<" red, green, blue, "&>a" and 0xe9 in 102030, four spaces in black.
    void SetUp() override {
        grid->width2 = 6;
        grid->height2 = 5;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 6; ++x)
                set(x, y, '#', "ffffff", {255, 255, 255});
        for (const auto& c : test::dataTable("output/grid.tsv"))
            set(std::stoi(c[0]), std::stoi(c[1]), std::stoi(c[2]), c[3],
                {std::stoull(c[4]), std::stoull(c[5]), std::stoull(c[6])});
    }
    void set(int x, int y, int code, const std::string& hex,
             std::array<std::uint64_t, 3> rgb = {}) {
        grid->ascii[x][y] = code;
        std::copy(hex.begin(), hex.end(), grid->hexColor[x][y]);
        std::copy(rgb.begin(), rgb.end(), grid->data[x][y]);
    }
    CellGridPtr grid = makeCellGrid();
};

TEST_F(OutputsTest, HtmlPagesAreByteExactInBothColourModes) {
    const std::string colorPage = test::readBytes(kData + "page-color.html");
    EXPECT_EQ(htmlPage(*grid, true, {1.0, 0.5, 0.25}), colorPage);
    EXPECT_EQ(htmlPage(*grid, false, {0.0, 1.0, 0.5}), test::readBytes(kData + "page-bw.html"));

    const std::string header = colorPage.substr(0, colorPage.find("<span"));
    grid->height2 = 2; // no visible row: header and footer only
    EXPECT_EQ(htmlPage(*grid, true, {1.0, 0.5, 0.25}), header + kFooter);
    grid->height2 = 5;
    grid->width2 = 2; // rows without cells
    const std::string emptyRow = "<span style=\"color: #000000\"></span><br>\n";
    EXPECT_EQ(htmlPage(*grid, false, {-0.5, 1e9, 1.0 / 255}), // the background clamped, rounded
              header.substr(0, header.size() - 9) + "#00ff01\">" + emptyRow + emptyRow + emptyRow +
                  kFooter);
}

// Colour: runs of one ink share a <tspan>, spaces join them, and the markup characters in the
// art and the font's name are escaped. Black and white: no <tspan>, and a size out of range is
// 12 points.
TEST_F(OutputsTest, SvgImagesAreByteExactInBothColourModes) {
    const std::string colorImage = test::readBytes(kData + "image-color.svg");
    EXPECT_EQ(svgImage(*grid, {"Courier New", 10, true, {1.0, 0.5, 0.25}}), colorImage);
    EXPECT_EQ(svgImage(*grid, {"It's \\<\"A&B\">\t", 80, false, {0.0, 1.0, 0.5}}),
              test::readBytes(kData + "image-bw.svg"));

    // No visible row, or rows without cells: the page and its background alone.
    const std::string page = colorImage.substr(0, colorImage.find("<text"));
    for (const auto& [width2, height2] : {std::pair{6, 2}, std::pair{2, 5}}) {
        grid->width2 = width2;
        grid->height2 = height2;
        const std::string image = svgImage(*grid, {"Courier New", 10, true, {1.0, 0.5, 0.25}});
        EXPECT_EQ(image.find("<text"), std::string::npos) << image;
        EXPECT_TRUE(image.ends_with("</g>\n</svg>\n")) << image;
    }
    EXPECT_TRUE(page.starts_with("<?xml")) << page;
}

// Black and white takes the ink that reads on the background, in the page's row spans and the
// image's fill; colour keeps its characters' own colours and the page's black row spans.
GW_TABLE_TEST_F(OutputsTest, InkRows, ContrastsWithTheBackground, "output/ink.tsv") {
    const test::DataRow& row = GetParam();
    const RgbColor background{std::stod(row[1]), std::stod(row[2]), std::stod(row[3])};
    const std::string& ink = row[4];
    const RgbColor expected = ink == "#000000" ? RgbColor{} : RgbColor{1.0, 1.0, 1.0};
    EXPECT_EQ(inkOn(background), expected);

    const auto count = [](const std::string& text, const std::string& what) {
        int n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    };
    const std::string span = "<span style=\"color: " + ink + "\">";
    EXPECT_EQ(count(htmlPage(*grid, false, background), span), 3);
    EXPECT_EQ(count(htmlPage(*grid, true, background), "<span style=\"color: #000000\">"), 3);
    EXPECT_NE(svgImage(*grid, {"Courier New", 10, false, background})
                  .find("fill=\"" + ink + "\">\n<text"),
              std::string::npos);
    const std::string colorImage = svgImage(*grid, {"Courier New", 10, true, background});
    EXPECT_NE(colorImage.find("fill=\"#000000\">\n<text"), std::string::npos);
    EXPECT_NE(colorImage.find("<tspan fill=\"#ff0000\">@"), std::string::npos);
}

TEST_F(OutputsTest, TextsKeepTheLowByteAndTerminalsGetEachColourChangeButNoneForSpaces) {
    grid->ascii[1][1] = 0x140; // '@' in the low byte
    EXPECT_EQ(plainText(*grid), "@ +<\n&>a\xe9\n    \n");
    EXPECT_EQ(ansiText(*grid, false), "@ +<\n&>a?\n    \n");
    grid->ascii[3][1] = 27; // control bytes show as '?' too
    EXPECT_EQ(ansiText(*grid, true), "\x1b[38;2;255;0;0m@ \x1b[38;2;0;255;0m?<\x1b[0m\n"
                                     "\x1b[38;2;16;32;48m&>a?\x1b[0m\n    \x1b[0m\n");
}

TEST_F(OutputsTest, DisplayTextsCoverTheVisibleCellsInTheirColours) {
    EXPECT_EQ(plainDisplayText(*grid), "@ +<\n&>a\xc3\xa9\n    \n");
    std::vector<std::tuple<std::string, bool, RgbColor>> want, got;
    for (const auto& c : test::dataTable("output/display-runs.tsv"))
        want.emplace_back(
            c[0], c[1] == "yes",
            RgbColor{std::stod(c[2]) / 256, std::stod(c[3]) / 256, std::stod(c[4]) / 256});
    for (const ColorRun& run : colorDisplayRuns(*grid))
        got.emplace_back(run.text, run.hasColor, run.color);
    EXPECT_EQ(got, want);

    grid->height2 = 2;
    EXPECT_EQ(plainDisplayText(*grid), "");
    EXPECT_TRUE(colorDisplayRuns(*grid).empty());
    EXPECT_EQ(plainText(*grid), "");
    grid->height2 = 5;
    grid->width2 = 1;
    EXPECT_EQ(plainDisplayText(*grid), "\n\n\n");
    EXPECT_EQ(plainText(*grid), "\n\n\n");
    EXPECT_EQ(ansiText(*grid, true), "\x1b[0m\n\x1b[0m\n\x1b[0m\n");
}

// What `command` prints, with `file` holding `bytes` for it to read.
std::string runOn(const std::string& command, const std::string& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
    const std::string out = file + ".out";
    const int status = std::system((command + " >" + out + " 2>&1").c_str());
    EXPECT_EQ(status, 0) << command << "\n" << test::readBytes(out);
    return test::readBytes(out);
}

TEST_F(OutputsTest, RtfReadsBackWithItsCharactersColoursFontAndSize) {
    set(1, 3, '\\', "000000");
    set(2, 3, '{', "000000");
    set(3, 3, '}', "000000");
    const std::string rtf = rtfDocument(*grid, {"Courier New", "Liberation Mono"}, 14);
    EXPECT_EQ(rtf.substr(0, 31), "{\\rtf1\\ansi\\ansicpg1252\\deff0\n{");
    EXPECT_NE(rtf.find("\\fmodern\\fprq1\\fcharset0 Liberation Mono{\\*\\falt Courier New};}"),
              std::string::npos);
    EXPECT_NE(rtf.find("\\fs28\n"), std::string::npos);
    // The table never holds a nameless font.
    EXPECT_NE(rtfDocument(*grid, {"", ""}, 14).find("\\fcharset0 Courier New;}"),
              std::string::npos);
    // The text follows unrtf's comment header, in the document's code page (0xe9 is é).
    const testing::TestFolder scratch;
    const std::string folder = scratch.path();
    const std::string file = folder + "/art.rtf";
    const std::string text = runOn("unrtf --nopict --text " + file, file, rtf);
    EXPECT_EQ(text.substr(text.find("-----------------\n") + 18), "@ +<\n&>a\xe9\n\\{} \n");

    // Each character in the colour of its cell, one colour change per run.
    std::string colors;
    const std::string html = runOn("unrtf --nopict --html " + file, file, rtf);
    const std::regex font("<font color=\"(#[0-9a-f]{6})\">([^<]*)");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), font);
         it != std::sregex_iterator(); ++it)
        colors += (*it)[1].str() + " " + (*it)[2].str() + "|";
    EXPECT_EQ(colors, "#fe0000 @ |#00fe00 +&lt;|#102030 &amp;&gt;a&eacute;|#000000 \\{} |");

    EXPECT_EQ(rtfDocument(*grid, {"Monaco", ""}, 12, false).find("\\cf"), std::string::npos);

    // LibreOffice gives back the plain display text, after a byte-order mark.
    runOn("soffice -env:UserInstallation=file://" + folder + "/profile --headless --convert-to " +
              "txt:Text --outdir " + folder + " " + file,
          file, rtf);
    EXPECT_EQ(test::readBytes(folder + "/art.txt"), "\xef\xbb\xbf" + plainDisplayText(*grid));
}

} // namespace
} // namespace gw
