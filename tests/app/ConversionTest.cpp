// The controller hands its picture, fields and screens to the engine and keeps the results.

#include "fakes/Fakes.h"

#include "engine/Engine.h"
#include "engine/SystemVersion.h"

#include <gtest/gtest.h>

#include <memory>

namespace gw {
namespace {

using fakes::FakeApplication;

bool reportsVersion1070(std::uint32_t& code) {
    code = 0x1070;
    return true;
}

class Conversion : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
        resetVersionCache();
    }
    void TearDown() override {
        setVersionQuery(nullptr);
        resetVersionCache();
    }
    // Converts a width x height picture with the field set to `maxWidth`.
    std::shared_ptr<fakes::FakeImage> convert(double width, double height, const char* maxWidth,
                                              bool fail = false) {
        auto picture = std::make_shared<fakes::FakeImage>("grey.png", width, height);
        picture->failWith = fail ? "grey.png: damaged PNG data" : "";
        app.delegate->image = picture;
        app.maxWidth.setStringValue(maxWidth);
        app.delegate->processImage();
        return picture;
    }
    FakeApplication app;
};

// The engine's own tests cover the arithmetic; this checks what the controller hands over
// (fields, screens) and keeps.
TEST_F(Conversion, HandsOverTheFieldsAndScreensAndKeepsTheResults) {
    app.characterSet.setStringValue("@.");
    app.delegate->processImage(); // no picture yet: an empty grid, but the list is made
    EXPECT_EQ(std::make_tuple(app.delegate->width, app.delegate->grid->width2,
                              app.delegate->numCharacters, app.delegate->charactersInSet[2]),
              std::make_tuple(0, 0, 3, int{' '}));
    const CellGrid& grid = *app.delegate->grid;
    EXPECT_EQ(convert(1024, 768, "80 columns")->lastScale, 1.0);
    EXPECT_EQ(std::make_tuple(app.delegate->width, app.delegate->height, grid.width2, grid.height2),
              std::make_tuple(1024, 768, 80, 30));
    EXPECT_EQ(grid.ascii[78][28], '.'); // 127/256 lies nearer the full stop (0.91) than '@' (0)
    // On flat grey, Detail matches darkness and Dither spreads the grey over '@' and '.'.
    app.matchShape.toggle();
    app.dither.toggle();
    convert(1024, 768, "80");
    int dark = 0;
    for (int x = 1; x < 79; ++x)
        dark += grid.ascii[x][10] == '@' ? 1 : 0;
    EXPECT_GT(dark, 0);
    EXPECT_LT(dark, 78);
    app.matchShape.toggle();
    app.dither.toggle();

    setVersionQuery(&reportsVersion1070);
    resetVersionCache();
    app.screens.factors = {1.0, 2.0};
    EXPECT_EQ(convert(100, 100, "50")->lastScale, 2.0);
    app.log.clear();
    convert(100, 100, "50", true);
    EXPECT_EQ(grid.width2, 0);
    EXPECT_EQ(app.log, std::vector<std::string>({"grey.png: damaged PNG data"}));
}

TEST_F(Conversion, TheToneIsTheControlsAndAMissingControlLeavesItsDefault) {
    app.brightness.userSet(25);
    app.contrast.userSet(-70);
    app.invert.toggle();
    EXPECT_EQ(app.delegate->toneSettings(), (ToneSettings{false, -70, 25, true}));
    app.autoContrast.toggle();
    app.invert.toggle();
    EXPECT_EQ(app.delegate->toneSettings(), (ToneSettings{true, -70, 25, false}));

    GlyphwerkAppDelegate::Outlets& outlets = app.delegate->outlets;
    outlets.brightness = outlets.contrast = nullptr;
    outlets.autoContrast = outlets.invert = nullptr;
    EXPECT_TRUE(app.delegate->toneSettings().isIdentity());
}

// The engine's own tests cover the tone's arithmetic; invert is the unmistakable one: a light
// picture comes out in the densest character.
TEST_F(Conversion, InvertFromTheWindowReachesTheEngine) {
    app.characterSet.setStringValue("@.");
    const auto light = std::make_shared<fakes::FakeImage>("light.png", 240, 160);
    light->grey = 230;
    app.delegate->image = light;
    app.maxWidth.setStringValue("40");
    app.delegate->processImage();
    EXPECT_EQ(app.delegate->grid->ascii[20][5], '.');
    app.invert.toggle();
    app.delegate->processImage();
    EXPECT_EQ(app.delegate->grid->ascii[20][5], '@');
}

} // namespace
} // namespace gw
