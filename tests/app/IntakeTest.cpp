// The three ways a picture comes in, the refused file, and the enabled state over a session.

#include "fakes/Fakes.h"

#include "platform/Image.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

namespace gw {
namespace {

using fakes::FakeApplication;
using fakes::FakeImage;
using ::testing::ElementsAre;

const std::string kSamples = std::string(GLYPHWERK_SOURCE_RESOURCES) + "/Samples/";

class Intake : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
        app.loader.pictures["/pics/cat.png"] = {640, 480};
        app.loader.pictures["/pics/dog.jpg"] = {300, 200};
    }
    void open(const std::optional<std::string>& answer) {
        app.panels.answers.push_back(answer);
        app.openItem.click();
    }
    bool actionsEnabled() const {
        return app.buttonPreview.isEnabled() && app.buttonExport.isEnabled();
    }
    void expectLoaded(const std::string& file) {
        ASSERT_NE(app.delegate->image, nullptr);
        EXPECT_EQ(app.delegate->image->name(), file);
        EXPECT_EQ(app.sourceImage.image(), app.delegate->image);
        EXPECT_EQ(app.delegate->path, file);
        EXPECT_EQ(app.defaults.strings.at("userDirectory"), file); // the file, unchanged
        EXPECT_TRUE(actionsEnabled());
    }
    FakeApplication app;
};

TEST_F(Intake, PanelAndFileManagerLoadTheFileAndTheNextPanelStartsThere) {
    open("/pics/cat.png");
    expectLoaded("/pics/cat.png");
    EXPECT_EQ(app.panels.openCalls.at(0).fileTypes, app.loader.types); // the loader's own list
    EXPECT_TRUE(app.log.empty());

    EXPECT_TRUE(app.delegate->applicationOpenFile("/pics/dog.jpg"));
    expectLoaded("/pics/dog.jpg");
    EXPECT_THAT(app.log, ElementsAre("A"));
    open(std::nullopt);
    ASSERT_EQ(app.panels.openCalls.size(), 2u);
    EXPECT_EQ(app.panels.openCalls[1].directory, "/pics/dog.jpg");

    app.delegate->path = "/pics/cat.png";
    app.delegate->loadImageOpened(nullptr);
    expectLoaded("/pics/cat.png");
}

TEST_F(Intake, DropTakesTheWellsPictureAndLeavesThePaths) {
    app.sourceImage.drop(std::make_shared<FakeImage>("dropped image", 3, 4));
    EXPECT_TRUE(actionsEnabled());
    EXPECT_FALSE(app.delegate->path.has_value());
    EXPECT_EQ(app.delegate->userDirectory(), kSamples);

    open("/pics/cat.png");
    auto dropped = std::make_shared<FakeImage>("dropped image", 10, 10);
    app.sourceImage.drop(dropped);
    EXPECT_EQ(app.delegate->image, dropped);
    EXPECT_EQ(app.delegate->path, "/pics/cat.png");
    EXPECT_EQ(app.delegate->userDirectory(), "/pics/cat.png");
}

// Loads end later, in any order: the well is busy until the newest one ends, and only the
// newest counts, whether an older one ends before or after it. A drop is newer than any load.
TEST_F(Intake, OpensInTheBackgroundAndTheNewestOpenWins) {
    app.loader.holdLoads = true;
    open("/pics/cat.png");
    app.delegate->applicationOpenFile("/pics/missing.png");
    open("/pics/dog.jpg");
    EXPECT_TRUE(app.sourceImage.busy);
    EXPECT_FALSE(app.delegate->image || actionsEnabled());
    app.loader.finishHeld(1); // overtaken: no alert for it
    EXPECT_TRUE(app.sourceImage.busy);
    app.loader.finishHeld(2);
    EXPECT_FALSE(app.sourceImage.busy);
    app.loader.finishHeld(0);
    expectLoaded("/pics/dog.jpg");
    EXPECT_TRUE(app.alerts.shown.empty());

    open("/pics/cat.png");
    auto dropped = std::make_shared<FakeImage>("dropped image", 10, 10);
    app.sourceImage.drop(dropped);
    EXPECT_FALSE(app.sourceImage.busy);
    app.loader.finishHeld(3);
    EXPECT_EQ(app.delegate->image, dropped);

    // A load that ends after its controller is gone changes nothing.
    open("/pics/cat.png");
    app.delegate.reset();
    app.loader.finishHeld(4);
    EXPECT_EQ(app.sourceImage.image(), dropped);
}

// Before any picture and after one, every refusal leaves the picture, the paths and the buttons
// as they were, and says why.
TEST_F(Intake, RefusalsKeepEverythingAndSayWhy) {
    const std::pair<std::function<void()>, std::vector<std::string>> rows[] = {
        {[&] { open(std::nullopt); }, {}},
        {[&] { open("/pics/notes.txt"); }, {"/pics/notes.txt: unsupported format"}},
        {[&] { EXPECT_TRUE(app.delegate->applicationOpenFile("/pics/broken.png")); },
         {"A", "/pics/broken.png: unsupported format"}},
        {[&] { app.sourceImage.refuseDrop("dropped image: too large"); },
         {"dropped image: too large"}}};
    for (const bool withPicture : {false, true}) {
        if (withPicture) open("/pics/cat.png");
        const auto picture = app.delegate->image;
        const auto path = app.delegate->path;
        const auto userDirectory = app.delegate->userDirectory();
        for (std::size_t row = 0; row < std::size(rows); ++row) {
            SCOPED_TRACE(::testing::Message() << "row " << row << " with picture " << withPicture);
            const auto& [act, log] = rows[row];
            app.log.clear();
            app.alerts.shown.clear();
            act();
            EXPECT_EQ(app.delegate->image, picture);
            EXPECT_EQ(app.sourceImage.image(), picture);
            EXPECT_EQ(app.delegate->path, path);
            EXPECT_EQ(app.delegate->userDirectory(), userDirectory);
            EXPECT_EQ(actionsEnabled(), withPicture);
            EXPECT_EQ(app.log, log);
            ASSERT_EQ(app.alerts.shown.size(), log.empty() ? 0u : 1u);
            if (!log.empty()) {
                EXPECT_EQ(app.alerts.shown[0].title, "The picture cannot be opened");
                EXPECT_EQ(app.alerts.shown[0].message, log.back());
            }
        }
    }
}

} // namespace
} // namespace gw
