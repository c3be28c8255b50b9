// The format table: what the window and the command line find in it, and that each row's writer
// writes its own file. The shells' own tests show they read it (the window's choices, -f).
#include "formats/OutputFormats.h"

#include "output/SvgImage.h"
#include "output/TextOutput.h"
#include "render/FontResolver.h"

#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>

// The font resolver keeps fontconfig's configuration for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace gw {
namespace {

TEST(OutputFormats, NamesAndExtensionsAreUniqueAndEachRowHasOneWriter) {
    std::set<std::string_view> cliNames, extensions;
    for (const OutputFormat& f : outputFormats()) {
        SCOPED_TRACE(f.cliName);
        EXPECT_TRUE(cliNames.insert(f.cliName).second);
        EXPECT_TRUE(extensions.insert(f.extension).second);
        EXPECT_NE(f.document == nullptr, f.image == nullptr);
        EXPECT_EQ(&outputFormat(f.id), &f);
        EXPECT_EQ(formatByCliName(f.cliName), &f);
        // Only formats that write a file are opened by a preview; a binary one never goes to a
        // terminal and is an image.
        EXPECT_TRUE(!f.binary || f.image != nullptr);
    }
    EXPECT_EQ(formatByCliName("pdf"), nullptr);
    EXPECT_EQ(cliNameList(), "text, ansi, html, rtf, tiff, png or svg");
}

TEST(OutputFormats, TheWindowsChoicesByColourMode) {
    EXPECT_EQ(windowChoices(), (std::vector<std::string_view>{"Text", "HTML", "TIFF image",
                                                              "PNG image", "SVG image"}));
    struct Row {
        int choice;
        FormatId blackAndWhite, color;
        PreviewAction preview;
    };
    for (const Row row : {Row{0, FormatId::Text, FormatId::Rtf, PreviewAction::showOnly},
                          Row{1, FormatId::Html, FormatId::Html, PreviewAction::openBrowser},
                          Row{2, FormatId::Tiff, FormatId::Tiff, PreviewAction::openFile},
                          Row{3, FormatId::Png, FormatId::Png, PreviewAction::openFile},
                          Row{4, FormatId::Svg, FormatId::Svg, PreviewAction::openBrowser}}) {
        SCOPED_TRACE(row.choice);
        ASSERT_NE(windowFormat(row.choice, false), nullptr);
        ASSERT_NE(windowFormat(row.choice, true), nullptr);
        EXPECT_EQ(windowFormat(row.choice, false)->id, row.blackAndWhite);
        EXPECT_EQ(windowFormat(row.choice, true)->id, row.color);
        EXPECT_EQ(windowFormat(row.choice, true)->preview, row.preview);
    }
    EXPECT_EQ(windowFormat(5, false), nullptr);
    EXPECT_EQ(windowFormat(-1, true), nullptr);
    EXPECT_EQ(saveTypeNames(outputFormat(FormatId::Tiff)),
              (std::vector<std::string>{"tif", "tiff"}));
    EXPECT_EQ(withFormatExtension("/a/scan.TIFF", outputFormat(FormatId::Tiff)), "/a/scan.TIFF");
    EXPECT_EQ(withFormatExtension("/a/scan", outputFormat(FormatId::Tiff)), "/a/scan.tif");
}

TEST(OutputFormats, EachWriterWritesItsFormatToAPathAndToAStream) {
    const CellGridPtr grid = makeCellGrid();
    grid->width2 = 5;
    grid->height2 = 4;
    for (auto& column : grid->ascii)
        std::fill(std::begin(column), std::end(column), '#');
    const ArtStyle style{"DejaVu Sans Mono", 9, true, {0.0, 0.0, 0.5}};
    const testing::TestFolder scratch;
    const std::string folder = scratch.path();
    for (const OutputFormat& f : outputFormats()) {
        SCOPED_TRACE(f.cliName);
        OutputTarget target;
        target.path = folder + "/art." + std::string(f.extension);
        std::string error;
        ASSERT_TRUE(writeFormat(f, target, *grid, style, error)) << error;
        std::FILE* stream = std::tmpfile();
        ASSERT_TRUE(writeFormat(f, {{}, LinkPolicy::writeThrough, stream}, *grid, style, error))
            << error;
        std::string streamed(static_cast<std::size_t>(std::ftell(stream)), '\0');
        std::rewind(stream);
        EXPECT_EQ(std::fread(streamed.data(), 1, streamed.size(), stream), streamed.size());
        std::fclose(stream);
        std::FILE* file = std::fopen(target.path.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        std::string written(streamed.size() + 1, '\0');
        written.resize(std::fread(written.data(), 1, written.size(), file));
        std::fclose(file);
        EXPECT_EQ(written, streamed);
        if (f.document != nullptr) {
            EXPECT_EQ(written, f.document(*grid, style));
        }
    }
    EXPECT_EQ(outputFormat(FormatId::Svg).document(*grid, style), svgImage(*grid, style));
    EXPECT_EQ(outputFormat(FormatId::Text).document(*grid, style), plainText(*grid));
    // The SVG names the chosen font unless it is proportional, then the one standing in for it:
    // whichever fonts this machine has, the viewer finds a monospace one first.
    for (const std::string name : {"DejaVu Sans", "Glyphwerk No Such Font", "Monaco"}) {
        SCOPED_TRACE(name);
        const render::ResolvedFont font = render::resolveMonospaceFont(name);
        const std::string image =
            outputFormat(FormatId::Svg).document(*grid, {name, 9, false, {1.0, 1.0, 1.0}});
        EXPECT_EQ(image.find("'" + name + "'") != std::string::npos, !font.proportional);
        if (font.substituted && !font.family.empty()) {
            EXPECT_NE(image.find("'" + font.family + "', monospace\""), std::string::npos) << image;
        }
    }
    std::string error;
    EXPECT_FALSE(
        writeFormat(outputFormat(FormatId::Svg), {folder + "/none/art.svg"}, *grid, style, error));
    EXPECT_EQ(error, folder + "/none/art.svg: No such file or directory");
}

} // namespace
} // namespace gw
