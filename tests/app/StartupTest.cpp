// Start-up, the character table it needs, and the window lifecycle.

#include "engine/Engine.h"
#include "fakes/Fakes.h"
#include "support/TestFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>

namespace gw {
namespace {

using fakes::FakeApplication;
using ::testing::ElementsAre;

const std::string kSamples = std::string(GLYPHWERK_SOURCE_RESOURCES) + "/Samples/";

TEST(Startup, FirstLaunchSetsUpAndASecondKeepsTheUsersPath) {
    FakeApplication app;
    ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
    GlyphwerkAppDelegate& d = *app.delegate;
    EXPECT_EQ(d.getChar('@'), 32); // the table is loaded; its contents are the table's test
    EXPECT_EQ(d.fontName, "Monaco");
    EXPECT_THAT(app.folders.created, ElementsAre("/home/tester/.local/share/Glyphwerk/"));
    EXPECT_EQ(app.defaults.integerForKey("firstLaunch"), 1);
    EXPECT_EQ(app.defaults.strings.at("userDirectory"), kSamples);
    EXPECT_FALSE(app.setLower.isEnabled() || app.setUpper.isEnabled() ||
                 app.setNumbers.isEnabled());
    EXPECT_TRUE(app.setSymbols.isEnabled()); // as the window form left it
    EXPECT_FALSE(d.path.has_value() || d.savePath.has_value() || d.image || d.outlets.preview);
    EXPECT_TRUE(app.alerts.shown.empty());

    app.loader.pictures["/pics/cat.png"] = {64, 48};
    ASSERT_TRUE(app.delegate->applicationOpenFile("/pics/cat.png"));

    EXPECT_FALSE(app.matchShape.state() || app.dither.state());
    app.matchShape.toggle(); // Detail and Dither are remembered as they are left
    app.dither.toggle();
    app.dither.toggle();

    app.relaunch();
    app.matchShape.setState(false);
    app.dither.setState(true);
    ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
    EXPECT_EQ(std::make_pair(app.matchShape.state(), app.dither.state()),
              std::make_pair(true, false));
    EXPECT_EQ(app.delegate->userDirectory(), "/pics/cat.png");
    EXPECT_EQ(app.delegate->image, nullptr); // nothing carries over but the defaults
    EXPECT_FALSE(app.buttonPreview.isEnabled());
}

TEST(Startup, ToneAndInvertStartOffAreSavedAsChangedAndRestoredWithinRange) {
    FakeApplication app;
    ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
    EXPECT_EQ(std::make_tuple(app.brightness.intValue(), app.contrast.intValue(),
                              app.autoContrast.state(), app.invert.state()),
              std::make_tuple(0, 0, false, false));
    EXPECT_TRUE(app.delegate->toneSettings().isIdentity());

    app.brightness.userSet(-35);
    app.contrast.userSet(60);
    app.autoContrast.toggle();
    app.invert.toggle();
    app.invert.toggle();
    app.invert.toggle();
    EXPECT_EQ(app.defaults.integers, (std::map<std::string, long>{{"autoContrast", 1},
                                                                  {"brightness", -35},
                                                                  {"contrast", 60},
                                                                  {"firstLaunch", 1},
                                                                  {"invert", 1}}));

    app.relaunch();
    app.brightness.setIntValue(0);
    app.contrast.setIntValue(0);
    app.autoContrast.setState(false);
    app.invert.setState(false);
    ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
    EXPECT_EQ(std::make_tuple(app.brightness.intValue(), app.contrast.intValue(),
                              app.autoContrast.state(), app.invert.state()),
              std::make_tuple(-35, 60, true, true));

    // A settings file edited by hand, or written by another version.
    for (const auto& [stored, shown] : {std::pair{101L, 100}, std::pair{-100000L, -100},
                                        std::pair{1L << 40, 100}, std::pair{-100L, -100}}) {
        app.defaults.integers["brightness"] = stored;
        app.defaults.integers["contrast"] = -stored;
        app.defaults.integers["invert"] = stored;
        app.relaunch();
        ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
        EXPECT_EQ(
            std::make_tuple(app.brightness.intValue(), app.contrast.intValue(), app.invert.state()),
            std::make_tuple(shown, -shown, true))
            << stored;
    }
}

TEST(Startup, WorkFolderFailureOrAbsenceIsSilent) {
    FakeApplication failing, none;
    failing.folders.createSucceeds = false;
    none.folders.support.clear();
    for (FakeApplication* app : {&failing, &none}) {
        EXPECT_TRUE(app->delegate->applicationDidFinishLaunching());
        EXPECT_TRUE(app->alerts.shown.empty());
    }
    EXPECT_TRUE(none.folders.created.empty());
    EXPECT_FALSE(none.delegate->workFolder().has_value());
}

TEST(Startup, AShortOrUnplacedTableOrNoGridStopsWithAnAlertNamingIt) {
    // Which tables are refused, and why, is the table's own test.
    testing::TestFolder shortTable;
    shortTable.write("Table.txt", "65 A 100\n");
    const struct {
        std::string bundle, message;
        bool noGrid = false;
    } rows[] = {
        {shortTable.path(), shortTable.file("Table.txt") +
                                ": the character table holds only 1 data lines; 223 are needed"},
        {"", "Table.txt: not found (the resource folder is missing; set GLYPHWERK_RESOURCES to "
             "the folder that holds it)"},
        {GLYPHWERK_SOURCE_RESOURCES, "not enough memory for the character grid (5 MB)", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message);
        FakeApplication app;
        app.folders.bundle = row.bundle;
        if (row.noGrid) app.delegate->grid.reset();
        EXPECT_FALSE(app.delegate->applicationDidFinishLaunching());
        ASSERT_EQ(app.alerts.shown.size(), 1u);
        EXPECT_EQ(app.alerts.shown[0].title, "Glyphwerk cannot start");
        EXPECT_EQ(app.alerts.shown[0].message, row.message);
        EXPECT_THAT(app.log, ElementsAre(row.message));
        // Nothing after the table ran.
        EXPECT_TRUE(app.folders.created.empty());
        EXPECT_EQ(app.defaults.integerForKey("firstLaunch"), 0);
        EXPECT_TRUE(app.setLower.isEnabled());
    }
}

TEST(WindowLifecycle, OnlyClosingThePreviewWindowForgetsIt) {
    FakeApplication app;
    ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
    // What opening a preview leaves behind.
    app.delegate->outlets.preview = &app.previewWindow;
    app.menuClosePreview.setEnabled(true);

    fakes::FakeWindow other(app.windows);
    other.close();
    app.mainWindow.close();
    EXPECT_EQ(app.delegate->outlets.preview, &app.previewWindow);
    EXPECT_TRUE(app.menuClosePreview.isEnabled());

    app.previewWindow.close();
    EXPECT_EQ(app.delegate->outlets.preview, nullptr);
    EXPECT_FALSE(app.menuClosePreview.isEnabled());
    EXPECT_EQ(app.delegate->window(), &app.mainWindow);
    EXPECT_TRUE(app.delegate->applicationShouldTerminateAfterLastWindowClosed());

    // A controller that is gone observes nothing: closing a window must not reach it.
    app.delegate.reset();
    app.previewWindow.close();
}

} // namespace
} // namespace gw
