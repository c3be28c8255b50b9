// Start-up, the window lifecycle and the darkness table as the controller loads it.

#include "TestFolder.h"
#include "fakes/Fakes.h"

#include "palette/CharacterSet.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace gw {
namespace {

using fakes::FakeApplication;
using ::testing::ElementsAre;

const std::string kSamples = std::string(GLYPHWERK_SOURCE_RESOURCES) + "/Samples/";

TEST(Startup, RunsEveryStepInOrderOnFirstLaunch) {
    FakeApplication app;
    ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
    GlyphwerkAppDelegate& d = *app.delegate;

    EXPECT_EQ(d.characters[0].ascii, 32);
    EXPECT_EQ(d.characters[0].black, 1.0f);
    EXPECT_EQ(d.characters[1].ascii, 33); // the table file's first record
    EXPECT_EQ(d.fontName, "Monaco");
    EXPECT_FALSE(app.setLower.isEnabled());
    EXPECT_FALSE(app.setUpper.isEnabled());
    EXPECT_FALSE(app.setNumbers.isEnabled());
    EXPECT_TRUE(app.setSymbols.isEnabled()); // as the window form left it
    EXPECT_EQ(app.characterSet.delegate(), app.delegate.get());
    EXPECT_THAT(app.folders.created, ElementsAre("/home/tester/.local/share/Glyphwerk/"));
    EXPECT_EQ(app.defaults.strings.at("userDirectory"), kSamples);
    EXPECT_EQ(app.defaults.integerForKey("firstLaunch"), 1);
    EXPECT_EQ(d.outlets.preview, nullptr);
    EXPECT_FALSE(d.path.has_value());
    EXPECT_FALSE(d.savePath.has_value());
    EXPECT_EQ(d.image, nullptr);
    EXPECT_FALSE(app.buttonPreview.isEnabled());
    EXPECT_FALSE(app.buttonExport.isEnabled());
    EXPECT_FALSE(app.menuClosePreview.isEnabled());
    EXPECT_TRUE(app.alerts.shown.empty());
}

TEST(Startup, FirstOpenPanelStartsInSamplesAndSecondLaunchKeepsTheUsersPath) {
    FakeApplication app;
    ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
    app.openItem.click();
    ASSERT_EQ(app.panels.openCalls.size(), 1u);
    EXPECT_EQ(app.panels.openCalls[0].directory, kSamples);

    app.loader.pictures["/pics/cat.png"] = {64, 48};
    app.panels.answers.push_back("/pics/cat.png");
    app.openItem.click();
    EXPECT_EQ(app.delegate->userDirectory(), "/pics/cat.png");

    app.relaunch();
    ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
    EXPECT_EQ(app.delegate->userDirectory(), "/pics/cat.png");
    EXPECT_EQ(app.defaults.integerForKey("firstLaunch"), 1);
    EXPECT_EQ(app.delegate->image, nullptr); // nothing carries over but the defaults
    EXPECT_FALSE(app.buttonPreview.isEnabled());
}

TEST(Startup, WorkFolderFailureOrAbsenceIsSilent) {
    FakeApplication app;
    app.folders.createSucceeds = false;
    EXPECT_TRUE(app.delegate->applicationDidFinishLaunching());
    EXPECT_TRUE(app.alerts.shown.empty());

    FakeApplication none;
    none.folders.support.clear();
    EXPECT_TRUE(none.delegate->applicationDidFinishLaunching());
    EXPECT_TRUE(none.folders.created.empty());
    EXPECT_FALSE(none.delegate->workFolder().has_value());
    EXPECT_TRUE(none.alerts.shown.empty());
}

std::string tableWithRecords(int count) {
    std::ostringstream text;
    text << "# test table\n";
    for (int i = 0; i < count; ++i)
        text << (33 + i % 94) << ' ' << char(33 + i % 94) << " 100\n";
    return text.str();
}

TEST(Startup, MissingTableStopsWithAnAlertNamingTheFile) {
    testing::TestFolder bundle;
    FakeApplication app;
    app.folders.bundle = bundle.path();
    EXPECT_FALSE(app.delegate->applicationDidFinishLaunching());
    ASSERT_EQ(app.alerts.shown.size(), 1u);
    EXPECT_EQ(app.alerts.shown[0].title, "Glyphwerk cannot start");
    EXPECT_EQ(app.alerts.shown[0].message, bundle.file("Table.txt") +
                                               ": cannot open the character table: No such "
                                               "file or directory");
    EXPECT_THAT(app.log, ElementsAre(app.alerts.shown[0].message));
    // Nothing after the table ran.
    EXPECT_TRUE(app.folders.created.empty());
    EXPECT_EQ(app.defaults.integerForKey("firstLaunch"), 0);
    EXPECT_TRUE(app.setLower.isEnabled());
}

TEST(Startup, ShortTableStopsWithTheCountInTheAlert) {
    testing::TestFolder bundle;
    bundle.write("Table.txt", tableWithRecords(222));
    FakeApplication app;
    app.folders.bundle = bundle.path();
    EXPECT_FALSE(app.delegate->applicationDidFinishLaunching());
    ASSERT_EQ(app.alerts.shown.size(), 1u);
    EXPECT_EQ(app.alerts.shown[0].message,
              bundle.file("Table.txt") +
                  ": the character table holds only 222 data lines; 223 are needed");
}

TEST(Startup, NoResourceFolderStops) {
    FakeApplication app;
    app.folders.bundle.clear();
    EXPECT_FALSE(app.delegate->applicationDidFinishLaunching());
    ASSERT_EQ(app.alerts.shown.size(), 1u);
    EXPECT_THAT(app.alerts.shown[0].message, ::testing::StartsWith("Table.txt: not found"));
}

TEST(WindowLifecycle, ClosingThePreviewWindowForgetsIt) {
    FakeApplication app;
    ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
    // What opening a preview leaves behind.
    app.delegate->outlets.preview = &app.previewWindow;
    app.menuClosePreview.setEnabled(true);

    app.mainWindow.close();
    EXPECT_EQ(app.delegate->outlets.preview, &app.previewWindow);
    EXPECT_TRUE(app.menuClosePreview.isEnabled());

    app.previewWindow.close();
    EXPECT_EQ(app.delegate->outlets.preview, nullptr);
    EXPECT_FALSE(app.menuClosePreview.isEnabled());
    EXPECT_EQ(app.delegate->window(), &app.mainWindow);
}

TEST(WindowLifecycle, OtherWindowsChangeNothing) {
    FakeApplication app;
    ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
    fakes::FakeWindow other(app.windows);
    app.menuClosePreview.setEnabled(true); // as if a preview menu were live
    other.close();
    app.mainWindow.close();
    EXPECT_TRUE(app.menuClosePreview.isEnabled());
    EXPECT_TRUE(app.delegate->applicationShouldTerminateAfterLastWindowClosed());
}

TEST(DarknessTable, ShippedTableCoversEveryGroupCharacter) {
    FakeApplication app;
    ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
    const GlyphwerkAppDelegate& d = *app.delegate;
    float darkest = 1.0f;
    for (CharacterGroup group : kCharacterGroups) {
        for (char c : groupString(group)) {
            const int index = d.getChar(c);
            ASSERT_GT(index, 0) << c;
            EXPECT_EQ(d.characters[index].ascii, c);
            EXPECT_EQ(d.characters[index].character, c);
            EXPECT_GE(d.characters[index].black, 0.0f);
            EXPECT_LT(d.characters[index].black, 1.0f) << c; // every glyph has some ink
            darkest = std::min(darkest, d.characters[index].black);
        }
    }
    EXPECT_EQ(darkest, 0.0f); // the scale is stretched to its full range
    EXPECT_EQ(d.getChar('@'), 32);
    EXPECT_EQ(d.characters[d.getChar('@')].black, 0.0f);
    EXPECT_LT(d.characters[d.getChar('M')].black, d.characters[d.getChar('.')].black);
    EXPECT_TRUE(app.log.empty());
}

TEST(DarknessTable, LookupThroughTheController) {
    FakeApplication app;
    ASSERT_TRUE(app.delegate->applicationDidFinishLaunching());
    EXPECT_EQ(app.delegate->getChar(0), 0);
    EXPECT_EQ(app.delegate->getChar(' '), 0);
    EXPECT_TRUE(app.log.empty());
    EXPECT_EQ(app.delegate->getChar(static_cast<char>(0xC3)), -1); // first byte of "é"
    EXPECT_THAT(app.log, ElementsAre("Shouldn't Be Hit A"));
}

} // namespace
} // namespace gw
