#include "EngineFakes.h"

#include <gtest/gtest.h>

namespace gw {
namespace {

int queries = 0;

TEST(SystemVersion, IsAskedOnceAndLoggedOnce) {
    queries = 0;
    test::VersionScope scope(+[](std::uint32_t& code) {
        ++queries;
        code = 0x1070; // hexadecimal digits read as a decimal number
        return true;
    });
    test::LogCapture log;
    EXPECT_EQ(QVMacOSVersion(), 1070);
    EXPECT_EQ(QVMacOSVersion(), 1070);
    EXPECT_EQ(queries, 1);
    EXPECT_EQ(log.lines, std::vector<std::string>({"Mac OS Version 1070"}));
}

TEST(SystemVersion, FailureIsLoggedOnceAndLaterConversionsUseScaleOne) {
    queries = 0;
    test::VersionScope scope(+[](std::uint32_t&) {
        ++queries;
        return false;
    });
    test::LogCapture log;
    const CharacterTable table = test::makeTable({});
    test::FakeScreens screens({2.0});
    test::FakePicture picture(8, 8, test::solid({0, 0, 0, 255}));
    CellGridPtr grid = makeCellGrid();
    ConversionInfo info;
    const ConversionInput input{&picture, 80, u"", &table, &screens};
    processImage(input, *grid, info);
    processImage(input, *grid, info);
    EXPECT_EQ(QVMacOSVersion(), 0);
    EXPECT_EQ(queries, 1);
    EXPECT_EQ(log.lines, std::vector<std::string>({"Error getting QVMacOSVersion()"}));
    EXPECT_EQ(info.scale, 1.0f);
    EXPECT_EQ(screens.asked, 0);
}

TEST(SystemVersion, LinuxReleaseGivesOneDigitPerComponentAndStaysBelow1070) {
    std::uint32_t code = 0;
    const std::pair<const char*, std::uint32_t> cases[] = {{"6.1.0-18-amd64", 0x610},
                                                           {"5.15.2", 0x592},
                                                           {"6.18.44-fc", 0x699},
                                                           {"6", 0x600},
                                                           {"12.0.1", 0x901}};
    for (const auto& [release, want] : cases) {
        ASSERT_TRUE(linuxVersionCode(release, code)) << release;
        EXPECT_EQ(code, want) << release;
    }
    EXPECT_FALSE(linuxVersionCode("v6.1", code));
    test::VersionScope scope(nullptr); // the running kernel
    test::LogCapture log;
    EXPECT_GT(QVMacOSVersion(), 0);
    EXPECT_LT(QVMacOSVersion(), 1070);
}

} // namespace
} // namespace gw
