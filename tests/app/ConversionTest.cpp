// The controller hands its picture, fields and screens to the engine and keeps the results.

#include "fakes/Fakes.h"

#include "engine/SystemVersion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace gw {
namespace {

using fakes::FakeApplication;

// Left half black, right half white; remembers the scale it was drawn at.
class HalfBlackImage final : public platform::Image {
public:
    HalfBlackImage(double width, double height) : size_{width, height} {}
    platform::Size size() const override { return size_; }
    const std::string& name() const override { return name_; }
    bool renderCanvas(double width, double height, double scale, platform::Bitmap& out,
                      std::string& error) const override {
        lastScale = scale;
        if (fail) {
            error = "half.png: damaged PNG data";
            return false;
        }
        out.width = static_cast<int>(std::ceil(width * scale));
        out.height = static_cast<int>(std::ceil(height * scale));
        out.rgba.assign(static_cast<std::size_t>(out.width) * out.height * 4, 255);
        for (int y = 0; y < out.height; ++y)
            for (int x = 0; x < out.width / 2; ++x)
                for (int c = 0; c < 3; ++c)
                    out.rgba[(static_cast<std::size_t>(y) * out.width + x) * 4 + c] = 0;
        return true;
    }
    bool renderThumbnail(int, platform::Bitmap&, std::string&) const override { return true; }

    mutable double lastScale = 0.0;
    bool fail = false;

private:
    std::string name_ = "half.png";
    platform::Size size_;
};

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
    std::shared_ptr<HalfBlackImage> convert(double width, double height, const char* maxWidth,
                                            bool fail = false) {
        auto picture = std::make_shared<HalfBlackImage>(width, height);
        picture->fail = fail;
        app.delegate->image = picture;
        app.maxWidth.setStringValue(maxWidth);
        app.delegate->processImage();
        return picture;
    }
    FakeApplication app;
};

// The engine's own tests cover the arithmetic; these check what the controller hands over and
// keeps.
TEST_F(Conversion, HandsOverTheFieldsAndKeepsTheResults) {
    app.characterSet.setStringValue("@.");
    app.delegate->processImage(); // no picture yet: an empty grid, but the list is made
    EXPECT_EQ(std::make_tuple(app.delegate->width, app.delegate->grid->width2,
                              app.delegate->numCharacters, app.delegate->charactersInSet[2]),
              std::make_tuple(0, 0, 3, int{' '}));
    const auto picture = convert(1024, 768, "80 columns");
    const CellGrid& grid = *app.delegate->grid;
    EXPECT_EQ(std::make_tuple(app.delegate->width, app.delegate->height, grid.width2, grid.height2),
              std::make_tuple(1024, 768, 80, 30));
    EXPECT_EQ(grid.ascii[1][1], '@');
    EXPECT_EQ(grid.ascii[78][28], ' '); // 254/256 lies nearer the blank than the full stop
    EXPECT_EQ(std::string(grid.hexColor[78][28], 6), "fefefe");
    EXPECT_EQ(picture->lastScale, 1.0);
}

TEST_F(Conversion, ScreensDecideTheScaleFromVersion1070AndAFailedDrawingIsLogged) {
    setVersionQuery(&reportsVersion1070);
    app.screens.factors = {1.0, 2.0};
    EXPECT_EQ(convert(100, 100, "50")->lastScale, 2.0);
    EXPECT_EQ(app.delegate->grid->width2, 50);
    app.log.clear();
    convert(100, 100, "50", true);
    EXPECT_EQ(app.delegate->grid->width2, 0);
    EXPECT_EQ(app.log, std::vector<std::string>({"half.png: damaged PNG data"}));
}

} // namespace
} // namespace gw
