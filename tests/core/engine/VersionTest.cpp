#include "EngineFakes.h"

#include <gtest/gtest.h>

namespace gw {
namespace {

using test::LogCapture;
using test::VersionScope;

int queries = 0;

bool countedSuccess(std::uint32_t& code) {
    ++queries;
    code = 0x1070;
    return true;
}

bool countedFailure(std::uint32_t&) {
    ++queries;
    return false;
}

TEST(SystemVersion, IsAskedOnceAndLoggedOnce) {
    queries = 0;
    VersionScope scope(&countedSuccess);
    LogCapture log;
    EXPECT_EQ(QVMacOSVersion(), 1070);
    EXPECT_EQ(QVMacOSVersion(), 1070);
    EXPECT_EQ(queries, 1);
    EXPECT_EQ(log.lines, std::vector<std::string>({"Mac OS Version 1070"}));
}

TEST(SystemVersion, FailureIsLoggedOnceAndNeverRetried) {
    queries = 0;
    VersionScope scope(&countedFailure);
    LogCapture log;
    EXPECT_EQ(QVMacOSVersion(), 0);
    EXPECT_EQ(QVMacOSVersion(), 0);
    EXPECT_EQ(queries, 1);
    EXPECT_EQ(log.lines, std::vector<std::string>({"Error getting QVMacOSVersion()"}));

    // Conversions after the failure neither ask nor log again, and use scale 1.0.
    const CharacterTable table = test::makeTable({});
    test::FakeScreens screens({2.0});
    test::FakePicture picture(8, 8, test::solid(0, 0, 0, 255));
    CellGridPtr grid = makeCellGrid();
    ConversionInfo info;
    ConversionInput input{&picture, 80, u"", &table, &screens};
    processImage(input, *grid, info);
    processImage(input, *grid, info);
    EXPECT_EQ(queries, 1);
    EXPECT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(info.scale, 1.0f);
    EXPECT_EQ(screens.asked, 0);
}

TEST(SystemVersion, HexDigitsAreReadAsDecimal) {
    VersionScope scope(+[](std::uint32_t& code) {
        code = 0x1049;
        return true;
    });
    LogCapture log;
    EXPECT_EQ(QVMacOSVersion(), 1049);
}

TEST(LinuxVersion, ReleaseBecomesOneDigitPerComponent) {
    std::uint32_t code = 0;
    ASSERT_TRUE(linuxVersionCode("6.1.0-18-amd64", code));
    EXPECT_EQ(code, 0x610u);
    ASSERT_TRUE(linuxVersionCode("5.15.2", code));
    EXPECT_EQ(code, 0x592u);
    ASSERT_TRUE(linuxVersionCode("6.18.44-fc-v1272", code));
    EXPECT_EQ(code, 0x699u);
    ASSERT_TRUE(linuxVersionCode("6", code));
    EXPECT_EQ(code, 0x600u);
    ASSERT_TRUE(linuxVersionCode("12.0.1", code));
    EXPECT_EQ(code, 0x901u);
    EXPECT_FALSE(linuxVersionCode("", code));
    EXPECT_FALSE(linuxVersionCode("v6.1", code));
}

TEST(LinuxVersion, TheRunningKernelReadsBelow1070) {
    VersionScope scope(nullptr);
    LogCapture log;
    const int version = QVMacOSVersion();
    EXPECT_GT(version, 0);
    EXPECT_LT(version, 1070);
}

} // namespace
} // namespace gw
