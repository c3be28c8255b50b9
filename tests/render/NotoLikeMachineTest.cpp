// The converter on a machine like a desktop with Noto Sans Mono: this whole process (and the
// converters it starts) runs under a fontconfig configuration of its own whose monospace font
// carries no spacing property and whose "monospace" prefers a proportional font.
#include "TestFonts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace gw::testing {
namespace {

std::optional<FontFile> mono;
std::unique_ptr<FontConfiguration> configuration;

class NotoLikeMachine : public ::testing::Environment {
public:
    void SetUp() override {
        // Found under the machine's configuration, before ours takes over.
        mono = findFont("monospace", true);
        const std::optional<FontFile> proportional = findFont("sans-serif", false);
        if (!mono || !proportional) return;
        configuration = std::make_unique<FontConfiguration>(
            std::vector<FontFile>{*proportional, *mono},
            std::vector<std::string>{proportional->family, mono->family});
        setenv("FONTCONFIG_FILE", configuration->file().c_str(), 1);
    }
    void TearDown() override { configuration.reset(); }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new NotoLikeMachine);

TEST(NotoLikeMachine, EveryFontOfTheMenuGivesATiffAndAnRtfInTheStandIn) {
    if (!configuration) GTEST_SKIP() << "needs a monospace and a proportional font";
    TestFolder folder;
    const std::string picture = std::string(GLYPHWERK_SOURCE_RESOURCES) + "/Samples/lighthouse.png";
    for (const std::string name : {"Monaco", "Courier", "Courier New", "Andale Mono", ""}) {
        SCOPED_TRACE("\"" + name + "\"");
        const std::string run = std::string(GLYPHWERK_CLI) + " -w 40 --font '" + name + "' " +
                                picture + " 2>" + folder.file("log") + " -o ";
        ASSERT_EQ(std::system((run + folder.file("art.tif") + " -f tiff").c_str()), 0)
            << TestFolder::read(folder.file("log"));
        EXPECT_EQ(TestFolder::read(folder.file("art.tif")).substr(0, 4), std::string("II*\0", 4));
        // The log line names the stand-in.
        EXPECT_NE(TestFolder::read(folder.file("log")).find("; using \"" + mono->family + "\""),
                  std::string::npos)
            << TestFolder::read(folder.file("log"));
        ASSERT_EQ(std::system((run + folder.file("art.rtf") + " -f rtf --color").c_str()), 0);
        const std::string rtf = TestFolder::read(folder.file("art.rtf"));
        EXPECT_NE(rtf.find("\\fcharset0 " + mono->family + (name.empty() ? ";" : "{\\*\\falt ")),
                  std::string::npos)
            << rtf.substr(0, 200);
    }
}

} // namespace
} // namespace gw::testing
