// The three ways a picture comes in, the refused file, and the enabled state over a session.

#include "fakes/Fakes.h"

#include "platform/Image.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace gw {
namespace {

using fakes::FakeApplication;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class Intake : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
        app.loader.pictures["/pics/cat.png"] = {640, 480};
        app.loader.pictures["/pics/dog.jpg"] = {300, 200};
    }
    bool actionsEnabled() const {
        return app.buttonPreview.isEnabled() && app.buttonExport.isEnabled();
    }
    FakeApplication app;
};

TEST_F(Intake, OpenPanelLoadsTheChosenFile) {
    app.panels.answers.push_back("/pics/cat.png");
    app.openItem.click();

    ASSERT_EQ(app.panels.openCalls.size(), 1u);
    EXPECT_THAT(app.panels.openCalls[0].fileTypes,
                ElementsAre("psd", "bmp", "gif", "jpg", "jpeg", "png", "tga", "tif", "tiff"));
    ASSERT_NE(app.delegate->image, nullptr);
    EXPECT_EQ(app.delegate->image->size().width, 640);
    EXPECT_EQ(app.sourceImage.image(), app.delegate->image);
    EXPECT_EQ(app.delegate->path, "/pics/cat.png");
    EXPECT_TRUE(actionsEnabled());
    EXPECT_EQ(app.defaults.strings.at("userDirectory"), "/pics/cat.png"); // the file, unchanged
    // The next panel starts from the file just opened.
    app.openItem.click();
    EXPECT_EQ(app.panels.openCalls[1].directory, "/pics/cat.png");
}

TEST_F(Intake, CancelledPanelChangesNothing) {
    app.panels.answers.push_back("/pics/cat.png");
    app.openItem.click();
    const auto picture = app.delegate->image;

    app.panels.answers.push_back(std::nullopt);
    app.openItem.click();
    EXPECT_EQ(app.delegate->image, picture);
    EXPECT_EQ(app.delegate->path, "/pics/cat.png");
    EXPECT_TRUE(actionsEnabled());
    EXPECT_EQ(app.delegate->userDirectory(), "/pics/cat.png");
    EXPECT_THAT(app.loader.loaded, ElementsAre("/pics/cat.png"));
}

TEST_F(Intake, FileFromTheFileManagerLogsAAndLoads) {
    EXPECT_TRUE(app.delegate->applicationOpenFile("/pics/dog.jpg"));
    EXPECT_THAT(app.log, ElementsAre("A"));
    EXPECT_TRUE(app.panels.openCalls.empty());
    EXPECT_EQ(app.delegate->path, "/pics/dog.jpg");
    EXPECT_EQ(app.sourceImage.image(), app.delegate->image);
    EXPECT_EQ(app.delegate->userDirectory(), "/pics/dog.jpg");
    EXPECT_TRUE(actionsEnabled());
}

TEST_F(Intake, LoadImageOpenedReloadsThePath) {
    app.delegate->path = "/pics/dog.jpg";
    app.delegate->loadImageOpened(nullptr);
    EXPECT_THAT(app.loader.loaded, ElementsAre("/pics/dog.jpg"));
    EXPECT_EQ(app.delegate->image->name(), "/pics/dog.jpg");
    EXPECT_TRUE(actionsEnabled());
}

TEST_F(Intake, DropTakesTheWellsPictureAndLeavesThePaths) {
    app.panels.answers.push_back("/pics/cat.png");
    app.openItem.click();
    auto dropped = std::make_shared<fakes::FakeImage>("dropped image", 10, 10);
    app.sourceImage.drop(dropped);

    EXPECT_EQ(app.delegate->image, dropped);
    EXPECT_EQ(app.delegate->path, "/pics/cat.png");
    EXPECT_EQ(app.delegate->userDirectory(), "/pics/cat.png");
    EXPECT_TRUE(actionsEnabled());
}

TEST_F(Intake, DropAloneEnablesTheActions) {
    app.sourceImage.drop(std::make_shared<fakes::FakeImage>("dropped image", 3, 4));
    EXPECT_TRUE(actionsEnabled());
    EXPECT_FALSE(app.delegate->path.has_value());
    EXPECT_EQ(app.delegate->userDirectory(), std::string(GLYPHWERK_SOURCE_RESOURCES) + "/Samples/");
}

TEST_F(Intake, RefusedFileKeepsEverythingAndSaysWhy) {
    app.panels.answers.push_back("/pics/cat.png");
    app.openItem.click();
    const auto picture = app.delegate->image;
    app.log.clear();

    app.panels.answers.push_back("/pics/notes.txt");
    app.openItem.click();
    EXPECT_EQ(app.delegate->image, picture);
    EXPECT_EQ(app.sourceImage.image(), picture);
    EXPECT_EQ(app.delegate->path, "/pics/cat.png");
    EXPECT_EQ(app.delegate->userDirectory(), "/pics/cat.png");
    EXPECT_TRUE(actionsEnabled());
    ASSERT_EQ(app.alerts.shown.size(), 1u);
    EXPECT_EQ(app.alerts.shown[0].title, "The picture cannot be opened");
    EXPECT_EQ(app.alerts.shown[0].message, "/pics/notes.txt: unsupported format");
    EXPECT_THAT(app.log, ElementsAre("/pics/notes.txt: unsupported format"));
}

TEST_F(Intake, RefusedFirstFileLeavesTheActionsDisabled) {
    app.loader.refusal = "damaged file";
    EXPECT_FALSE(app.delegate->applicationOpenFile("/pics/broken.png"));
    EXPECT_EQ(app.delegate->image, nullptr);
    EXPECT_FALSE(app.buttonPreview.isEnabled());
    EXPECT_FALSE(app.buttonExport.isEnabled());
    EXPECT_FALSE(app.delegate->path.has_value());
    EXPECT_EQ(app.delegate->userDirectory(), std::string(GLYPHWERK_SOURCE_RESOURCES) + "/Samples/");
    EXPECT_THAT(app.log, ElementsAre("A", "/pics/broken.png: damaged file"));
    ASSERT_EQ(app.alerts.shown.size(), 1u);
    EXPECT_EQ(app.alerts.shown[0].message, "/pics/broken.png: damaged file");
}

TEST_F(Intake, RefusedDropIsReportedAndChangesNothing) {
    app.sourceImage.refuseDrop("dropped image: too large");
    EXPECT_EQ(app.delegate->image, nullptr);
    EXPECT_FALSE(actionsEnabled());
    ASSERT_EQ(app.alerts.shown.size(), 1u);
    EXPECT_EQ(app.alerts.shown[0].message, "dropped image: too large");
}

TEST_F(Intake, EnabledStateOverAWholeSession) {
    struct State {
        bool preview, exportButton, closePreview, lower, upper, numbers, symbols;
        bool operator==(const State&) const = default;
    };
    auto state = [&] {
        return State{app.buttonPreview.isEnabled(),    app.buttonExport.isEnabled(),
                     app.menuClosePreview.isEnabled(), app.setLower.isEnabled(),
                     app.setUpper.isEnabled(),         app.setNumbers.isEnabled(),
                     app.setSymbols.isEnabled()};
    };
    EXPECT_EQ(state(), (State{false, false, false, false, false, false, true}));

    app.panels.answers.push_back(std::nullopt);
    app.openItem.click();
    EXPECT_EQ(state(), (State{false, false, false, false, false, false, true}));

    app.delegate->applicationOpenFile("/pics/missing.png");
    EXPECT_EQ(state(), (State{false, false, false, false, false, false, true}));

    app.panels.answers.push_back("/pics/cat.png");
    app.openItem.click();
    EXPECT_EQ(state(), (State{true, true, false, false, false, false, true}));

    app.characterSet.userEdit("abc");
    EXPECT_EQ(state(), (State{true, true, false, true, true, true, true}));

    app.setUpper.click();
    EXPECT_EQ(state(), (State{true, true, false, true, false, true, true}));

    app.delegate->applicationOpenFile("/pics/missing.png"); // refused: nothing moves
    app.sourceImage.drop(std::make_shared<fakes::FakeImage>("dropped image", 2, 2));
    app.delegate->applicationOpenFile("/pics/dog.jpg");
    EXPECT_EQ(state(), (State{true, true, false, true, false, true, true}));

    app.delegate->outlets.preview = &app.previewWindow;
    app.menuClosePreview.setEnabled(true);
    app.previewWindow.close();
    EXPECT_EQ(state(), (State{true, true, false, true, false, true, true}));
    EXPECT_EQ(app.alerts.shown.size(), 2u); // the two refusals
}

TEST_F(Intake, ActionsAreConnected) {
    EXPECT_TRUE(app.openItem.hasAction());
    EXPECT_TRUE(app.sourceImage.hasAction());
    for (auto* button : {&app.setLower, &app.setUpper, &app.setNumbers, &app.setSymbols})
        EXPECT_TRUE(button->hasAction());
    // Preview, Export, Close Preview and the font menu get theirs with their commands.
    EXPECT_FALSE(app.buttonPreview.hasAction());
    EXPECT_FALSE(app.buttonExport.hasAction());
}

} // namespace
} // namespace gw
