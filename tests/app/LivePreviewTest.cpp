// The live preview through fakes: a burst of changes gives one refresh, drawn without decoding
// the picture again; only the text format refreshes, and only while the preview is open; a
// result overtaken by a newer change is never shown.

#include "fakes/Fakes.h"

#include "app/PictureCache.h"
#include "output/Outputs.h"

#include <gtest/gtest.h>

#include <memory>

namespace gw {
namespace {

class LivePreview : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
        picture = std::make_shared<fakes::FakeImage>("grey.png", 200.0, 100.0);
        app.sourceImage.drop(picture);
        app.maxWidth.setStringValue("24");
        app.buttonPreview.click();
        settle();
    }
    GlyphwerkAppDelegate& d() { return *app.delegate; }
    // The worker's jobs, then what they handed to the window's thread.
    void settle() {
        app.worker.runAll();
        app.mainQueue.runAll();
    }
    // The text a Preview click shows for the current settings.
    std::string previewed() {
        app.buttonPreview.click();
        settle();
        return app.previewText.plainText();
    }

    fakes::FakeApplication app;
    std::shared_ptr<fakes::FakeImage> picture;
};

TEST_F(LivePreview, ABurstOfChangesGivesOneRefreshWithoutDecodingAgain) {
    const int decoded = picture->canvases;
    const auto counts = d().liveCounts();
    const std::string before = app.previewText.plainText();
    app.characterSet.userEdit("@.");
    app.setLower.click();
    app.fontSize.userEdit("14");
    app.bgColor.setColor({0.0, 0.0, 0.5, 1.0});
    app.bgColor.click();
    app.bwColor.selectCellWithTag(1);
    app.bwColor.click();
    app.font.selectItemWithTag(2);
    app.font.click();
    app.dither.toggle();
    EXPECT_EQ(app.refreshTimer.starts, 7);
    EXPECT_EQ(app.refreshTimer.lastDelay, GlyphwerkAppDelegate::kRefreshDelay);
    EXPECT_EQ(app.previewText.plainText(), before);

    ASSERT_TRUE(app.refreshTimer.fire());
    EXPECT_EQ(app.worker.jobs.size(), 1u);
    settle();
    EXPECT_EQ(d().liveCounts().started, counts.started + 1);
    EXPECT_EQ(d().liveCounts().shown, counts.shown + 1);
    EXPECT_EQ(picture->canvases, decoded);
    const std::string live = app.previewText.plainText();
    EXPECT_NE(live, before);
    EXPECT_GT(app.previewText.coloredRuns, 0);
    EXPECT_EQ(app.previewText.font, (std::pair<std::string, int>{"Courier New", 14}));
    EXPECT_FALSE(app.refreshTimer.fire()); // nothing more waits
    EXPECT_EQ(live, previewed());
    EXPECT_EQ(picture->canvases, decoded);
}

TEST_F(LivePreview, ANewWidthIsShownFromTheCopyThenExactly) {
    const int decoded = picture->canvases;
    app.maxWidth.userEdit("3");
    app.maxWidth.userEdit("30");
    ASSERT_TRUE(app.refreshTimer.fire());
    app.worker.runAll();
    ASSERT_EQ(app.mainQueue.calls.size(), 2u); // from the copy, then exact
    app.mainQueue.runAll();
    EXPECT_EQ(d().grid->width2, 30);
    EXPECT_TRUE(d().liveCounts().lastExact);
    EXPECT_EQ(picture->canvases, decoded + 1);
    EXPECT_EQ(app.previewText.plainText(), plainDisplayText(*d().grid));
    EXPECT_EQ(app.previewText.plainText(), previewed());
    EXPECT_EQ(picture->canvases, decoded + 1); // the Preview click drew from what was kept
    // An empty grid (no width yet) is not worth a decoding either.
    app.maxWidth.userEdit("");
    ASSERT_TRUE(app.refreshTimer.fire());
    settle();
    EXPECT_EQ(d().grid->width2, 0);
    EXPECT_EQ(picture->canvases, decoded + 1);
}

// The tone and invert controls refresh like any other, and a background changed live takes the
// ink that reads on it, as a Preview click would.
TEST_F(LivePreview, ToneInvertAndBackgroundRefreshWithTheirInk) {
    const std::string before = app.previewText.plainText();
    app.brightness.userSet(40);
    app.invert.toggle();
    app.bgColor.setColor({0.0, 0.0, 0.0, 1.0});
    app.bgColor.click();
    ASSERT_TRUE(app.refreshTimer.fire());
    settle();
    const std::string live = app.previewText.plainText();
    EXPECT_NE(live, before);
    EXPECT_EQ(app.previewText.textColor, (platform::Color{1, 1, 1, 1}));
    EXPECT_EQ(live, previewed());
    EXPECT_EQ(app.previewText.textColor, (platform::Color{1, 1, 1, 1}));
}

TEST_F(LivePreview, OnlyTheOpenTextPreviewFollows) {
    for (const int mode : {1, 2, 3, 4}) { // HTML, TIFF, PNG, SVG open other programs
        SCOPED_TRACE(mode);
        app.exportMode.selectCellWithTag(mode);
        app.exportMode.click();
        app.characterSet.userEdit("@");
        app.maxWidth.userEdit("20");
        EXPECT_FALSE(app.refreshTimer.isActive());
    }
    app.exportMode.selectCellWithTag(0);
    app.exportMode.click();
    EXPECT_TRUE(app.refreshTimer.isActive());
    // A refresh still waiting when the window closes never comes.
    app.menuClosePreview.click();
    EXPECT_FALSE(app.refreshTimer.fire());
    app.characterSet.userEdit("@.");
    EXPECT_FALSE(app.refreshTimer.isActive());
    EXPECT_TRUE(app.worker.jobs.empty());
}

TEST_F(LivePreview, AResultOvertakenByANewerChangeOrAPreviewIsDropped) {
    const std::string before = app.previewText.plainText();
    app.characterSet.userEdit("@");
    app.refreshTimer.fire();
    app.worker.runAll(); // its result waits for the window's thread
    app.characterSet.userEdit(".");
    app.refreshTimer.fire();
    const auto shown = d().liveCounts().shown;
    app.mainQueue.runAll();
    EXPECT_EQ(d().liveCounts().shown, shown);
    EXPECT_EQ(app.previewText.plainText(), before);
    settle();
    EXPECT_EQ(d().liveCounts().shown, shown + 1);
    EXPECT_EQ(app.previewText.plainText(), previewed());

    // Preview converts for itself; a refresh under way when it is clicked is not shown after.
    app.characterSet.userEdit("@");
    app.refreshTimer.fire();
    app.worker.runAll();
    app.characterSet.setStringValue("#");
    const std::string clicked = previewed();
    EXPECT_EQ(d().liveCounts().shown, shown + 1);
    EXPECT_EQ(app.previewText.plainText(), clicked);
}

TEST(PictureCache, ResamplesAreaAveragesAndCoversTheLastPixelPartly) {
    RgbaCanvas source;
    source.width = 4;
    source.height = 4;
    source.rgba.assign(64, 200);
    RgbaCanvas out;
    resampleCanvas(source, 1.5, 1.5, 2, 2, out);
    ASSERT_EQ(out.rgba.size(), 16u);
    EXPECT_EQ(out.rgba[0], 200); // whole
    EXPECT_EQ(out.rgba[4], 100); // half across
    EXPECT_EQ(out.rgba[8], 100); // half down
    EXPECT_EQ(out.rgba[12], 50); // a quarter
}

} // namespace
} // namespace gw
