// The plain C++ parts of the platform layer: integer fields, panel folders, XDG folders and
// picture loading over the imaging library.

#include "TestFolder.h"

#include "platform/Controls.h"
#include "platform/PictureLoader.h"
#include "platform/Services.h"
#include "platform/StandardFolders.h"
#include "platform/Window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>

namespace gw::platform {
namespace {

using ::testing::ElementsAre;

TEST(LeadingInteger, ReadsLikeIntValue) {
    EXPECT_EQ(leadingInteger("73"), 73);
    EXPECT_EQ(leadingInteger("  42 characters"), 42);
    EXPECT_EQ(leadingInteger("9.5"), 9);
    EXPECT_EQ(leadingInteger("-5"), -5);
    EXPECT_EQ(leadingInteger("+8"), 8);
    EXPECT_EQ(leadingInteger("abc"), 0);
    EXPECT_EQ(leadingInteger(""), 0);
    EXPECT_EQ(leadingInteger("x12"), 0);
    EXPECT_EQ(leadingInteger("99999999999999999999"), INT_MAX);
    EXPECT_EQ(leadingInteger("-99999999999999999999"), INT_MIN);
}

TEST(PanelStartFolder, FileGivesItsFolderAndFolderItself) {
    gw::testing::TestFolder folder;
    const std::string file = folder.write("cat.png", "x");
    EXPECT_EQ(panelStartFolder(file), folder.path());
    EXPECT_EQ(panelStartFolder(folder.path()), folder.path());
    EXPECT_EQ(panelStartFolder(std::string("/gone/Samples/")), "/gone/Samples/");
    EXPECT_EQ(panelStartFolder(std::string("/gone/away.png")), "/gone");
    EXPECT_EQ(panelStartFolder(std::nullopt), std::nullopt);
    EXPECT_EQ(panelStartFolder(std::string()), std::nullopt);
    EXPECT_EQ(panelStartFolder(std::string("relative.png")), std::nullopt);
}

// Sets environment variables for one test and puts them back afterwards.
class Environment {
public:
    void set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        saved_.push_back({name, old != nullptr, old != nullptr ? old : ""});
        if (value == nullptr) {
            ::unsetenv(name);
        } else {
            ::setenv(name, value, 1);
        }
    }
    ~Environment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->had) {
                ::setenv(it->name.c_str(), it->value.c_str(), 1);
            } else {
                ::unsetenv(it->name.c_str());
            }
        }
    }

private:
    struct Saved {
        std::string name;
        bool had;
        std::string value;
    };
    std::vector<Saved> saved_;
};

TEST(StandardFolders, DataHomeFollowsXdgThenHome) {
    Environment env;
    StandardFolders folders("/opt/bundle");
    env.set("HOME", "/home/ada");
    env.set("XDG_DATA_HOME", "/data/ada");
    EXPECT_THAT(folders.applicationSupportDirectories(), ElementsAre("/data/ada"));
    env.set("XDG_DATA_HOME", "relative/ignored");
    EXPECT_THAT(folders.applicationSupportDirectories(), ElementsAre("/home/ada/.local/share"));
    env.set("XDG_DATA_HOME", nullptr);
    EXPECT_THAT(folders.applicationSupportDirectories(), ElementsAre("/home/ada/.local/share"));
    env.set("HOME", nullptr);
    EXPECT_TRUE(folders.applicationSupportDirectories().empty());
    EXPECT_EQ(folders.bundleFolder(), "/opt/bundle");
}

TEST(StandardFolders, DocumentsFromUserDirsThenDocumentsThenHome) {
    gw::testing::TestFolder home;
    Environment env;
    env.set("HOME", home.path().c_str());
    env.set("XDG_CONFIG_HOME", nullptr);
    StandardFolders folders("");
    EXPECT_EQ(folders.documentsFolder(), home.path());
    std::filesystem::create_directory(home.file("Documents"));
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

TEST(PictureLoader, LoadsTheSamplePictures) {
    PictureLoader loader;
    const ImageLoad png = loader.load(kSamples + "lighthouse.png");
    ASSERT_NE(png.image, nullptr) << png.error;
    EXPECT_EQ(png.image->size().width, 640);
    EXPECT_EQ(png.image->size().height, 480);
    EXPECT_EQ(png.image->name(), kSamples + "lighthouse.png");
    Bitmap thumb;
    std::string error;
    ASSERT_TRUE(png.image->renderThumbnail(kWellThumbnailSide, thumb, error)) << error;
    EXPECT_EQ(thumb.width, 512);
    EXPECT_EQ(thumb.height, 384);
    EXPECT_EQ(thumb.rgba.size(), 512u * 384u * 4u);

    const ImageLoad jpeg = loader.load(kSamples + "clouds.jpg");
    ASSERT_NE(jpeg.image, nullptr) << jpeg.error;
    EXPECT_EQ(jpeg.image->size().width, 480);
}

TEST(PictureLoader, CanvasHasTheRequestedPixelSize) {
    PictureLoader loader;
    const ImageLoad png = loader.load(kSamples + "tonal-scale.png");
    ASSERT_NE(png.image, nullptr) << png.error;
    Bitmap canvas;
    std::string error;
    ASSERT_TRUE(png.image->renderCanvas(80.0, 30.0, 2.0, canvas, error)) << error;
    EXPECT_EQ(canvas.width, 160);
    EXPECT_EQ(canvas.height, 60);
    // The top-left corner of the ramp is black, opaque.
    EXPECT_LT(canvas.rgba[0], 16);
    EXPECT_EQ(canvas.rgba[3], 255);
}

TEST(PictureLoader, RefusesWhatIsNotAPicture) {
    gw::testing::TestFolder folder;
    PictureLoader loader;
    const std::string text = folder.write("notes.png", "just some text, not a picture\n");
    const ImageLoad refused = loader.load(text);
    EXPECT_EQ(refused.image, nullptr);
    EXPECT_THAT(refused.error, ::testing::StartsWith(text + ": "));

    const ImageLoad missing = loader.load(folder.file("absent.png"));
    EXPECT_EQ(missing.image, nullptr);
    EXPECT_THAT(missing.error, ::testing::StartsWith(folder.file("absent.png") + ": "));

    const ImageLoad empty = loader.loadFromMemory({}, "dropped image");
    EXPECT_EQ(empty.image, nullptr);
    EXPECT_THAT(empty.error, ::testing::StartsWith("dropped image: "));
}

} // namespace
} // namespace gw::platform
