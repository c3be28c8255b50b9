// The plain C++ parts of the platform layer: integer fields, panel folders, XDG folders,
// picture loading over the imaging library, and the worker thread.

#include "support/DataTable.h"
#include "support/TestFolder.h"

#include "platform/Controls.h"
#include "platform/PictureLoader.h"
#include "platform/Services.h"
#include "platform/StandardFolders.h"
#include "platform/ThreadWorker.h"
#include "platform/Window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <map>
#include <vector>

namespace gw::platform {
namespace {

using ::testing::ElementsAre;

GW_TABLE_TEST(LeadingIntegerRows, ReadsLikeIntValue, "app/leading-integer.tsv") {
    EXPECT_EQ(leadingInteger(GetParam()[0]), std::stoi(GetParam()[1]));
}

TEST(ThreadWorker, RunsTheNewestJobAndDropsTheOneItOvertook) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> started;
    std::promise<void> last;
    std::vector<char> ran; // written by the worker only, read after it is joined
    {
        ThreadWorker worker;
        worker.submit([&] {
            started.set_value();
            released.wait();
            ran.push_back('a');
        });
        started.get_future().wait();
        worker.submit([&] { ran.push_back('b'); }); // waits, then is overtaken
        worker.submit([&] {
            ran.push_back('c');
            last.set_value();
        });
        release.set_value();
        last.get_future().wait();
    }
    EXPECT_EQ(ran, (std::vector<char>{'a', 'c'}));
}

TEST(PanelStartFolder, FileGivesItsFolderAndFolderItself) {
    gw::testing::TestFolder folder;
    const std::pair<std::optional<std::string>, std::optional<std::string>> rows[] = {
        {folder.write("cat.png", "x"), folder.path()},
        {folder.path(), folder.path()},
        {"/gone/Samples/", "/gone/Samples/"},
        {"/gone/away.png", "/gone"},
        {std::nullopt, std::nullopt},
        {"", std::nullopt},
        {"relative.png", std::nullopt}};
    for (const auto& [path, start] : rows)
        EXPECT_EQ(panelStartFolder(path), start) << path.value_or("(none)");
}

// Puts back the environment variables the folder tests change.
class StandardFoldersEnv : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kNames)
            if (const char* value = std::getenv(name)) saved_[name] = value;
    }
    void TearDown() override {
        for (const char* name : kNames)
            set(name, saved_.contains(name) ? saved_[name].c_str() : nullptr);
    }
    static void set(const char* name, const char* value) {
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    static constexpr const char* kNames[] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"};
    std::map<std::string, std::string> saved_;
};

TEST_F(StandardFoldersEnv, DataHomeFollowsXdgThenHome) {
    StandardFolders folders("");
    set("HOME", "/home/ada");
    set("XDG_DATA_HOME", "/data/ada");
    EXPECT_THAT(folders.applicationSupportDirectories(), ElementsAre("/data/ada"));
    set("XDG_DATA_HOME", "relative/ignored");
    EXPECT_THAT(folders.applicationSupportDirectories(), ElementsAre("/home/ada/.local/share"));
    set("XDG_DATA_HOME", nullptr);
    EXPECT_THAT(folders.applicationSupportDirectories(), ElementsAre("/home/ada/.local/share"));
    set("HOME", nullptr);
    EXPECT_TRUE(folders.applicationSupportDirectories().empty());
}

TEST_F(StandardFoldersEnv, DocumentsFromUserDirsThenDocuments) {
    gw::testing::TestFolder home;
    set("HOME", home.path().c_str());
    set("XDG_CONFIG_HOME", nullptr);
    StandardFolders folders("");
    EXPECT_EQ(folders.documentsFolder(), home.file("Documents"));
    std::filesystem::create_directory(home.file(".config"));
    home.write(".config/user-dirs.dirs", "# written by xdg-user-dirs-update\n"
                                         "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                         "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    EXPECT_EQ(folders.documentsFolder(), home.path() + "/Dokumente");
}

TEST(StandardFolders, CreateFolderMakesParentsAndToleratesExisting) {
    gw::testing::TestFolder root;
    StandardFolders folders("");
    const std::string work = root.file("a/b/Glyphwerk/");
    EXPECT_TRUE(folders.createFolder(work));
    EXPECT_TRUE(std::filesystem::is_directory(work));
    EXPECT_TRUE(folders.createFolder(work));
    const std::string blocker = root.write("file", "x");
    EXPECT_FALSE(folders.createFolder(blocker + "/sub"));
}

const std::string kSamples = std::string(GLYPHWERK_SOURCE_RESOURCES) + "/Samples/";

TEST(PictureLoader, LoadsASampleAndDrawsItsThumbnailAndCanvas) {
    PictureLoader loader;
    const ImageLoad png = loader.load(kSamples + "lighthouse.png");
    ASSERT_NE(png.image, nullptr) << png.error;
    EXPECT_EQ(png.image->name(), kSamples + "lighthouse.png");
    EXPECT_EQ(png.image->pointSize().width, 640);
    EXPECT_EQ(png.image->pointSize().height, 480);
    RgbaCanvas thumb;
    std::string error;
    ASSERT_TRUE(png.image->renderThumbnail(kWellThumbnailSide, thumb, error)) << error;
    EXPECT_EQ(thumb.width, 512);
    EXPECT_EQ(thumb.height, 384);
    EXPECT_EQ(thumb.rgba.size(), 512u * 384u * 4u);
    ASSERT_TRUE(png.image->renderCanvas(80.0, 30.0, 2.0, thumb, error)) << error;
    EXPECT_EQ(std::make_pair(thumb.width, thumb.height), std::make_pair(160, 60));
}

TEST(PictureLoader, RefusesWhatIsNotAPictureNamingIt) {
    gw::testing::TestFolder folder;
    PictureLoader loader;
    const std::string text = folder.write("notes.png", "just some text, not a picture\n");
    const std::pair<ImageLoad, std::string> rows[] = {
        {loader.load(text), text},
        {loader.load(folder.file("absent.png")), folder.file("absent.png")},
        {loader.loadFromMemory({}, "dropped image"), "dropped image"}};
    for (const auto& [refused, name] : rows) {
        EXPECT_EQ(refused.image, nullptr);
        EXPECT_THAT(refused.error, ::testing::StartsWith(name + ": "));
    }
}

} // namespace
} // namespace gw::platform
