#include "output/SafeFile.h"

#include "support/DataTable.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace gw {
namespace {

namespace fs = std::filesystem;

class SafeFileTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return (dir / name).string(); }
    void put(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }
    // The folder's entries: a write that failed or was killed leaves only what was there.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // A file that cannot be written, a folder and a pipe, where a write must fail.
    void plantObstacles() {
        put("locked.txt", "kept");
        fs::permissions(path("locked.txt"), fs::perms(0444));
        fs::create_directory(path("folder"));
        ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
    }

    gw::testing::TestFolder folder;
    const fs::path dir = folder.path();
};

TEST_F(SafeFileTest, ReplacesKeepingPermissionsHonoursTheUmaskAndFollowsLinksByPolicy) {
    put("art.txt", "an older and longer text");
    fs::permissions(path("art.txt"), fs::perms(0640));
    std::string error;
    ASSERT_TRUE(writeFileSafely(path("art.txt"), "new", error)) << error;
    EXPECT_EQ(test::readBytes(path("art.txt")), "new");
    EXPECT_EQ(fs::status(path("art.txt")).permissions(), fs::perms(0640));

    const mode_t old = ::umask(027);
    const bool written = writeFileSafely(path("fresh.txt"), "", error);
    ::umask(old);
    ASSERT_TRUE(written) << error;
    EXPECT_EQ(fs::status(path("fresh.txt")).permissions(), fs::perms(0640));
    EXPECT_EQ(entries(), std::vector<std::string>({"art.txt", "fresh.txt"}));

    // Links are written through unless the policy says to replace them.
    put("real.txt", "old");
    fs::create_symlink("real.txt", path("named.txt"));
    fs::create_symlink("real.txt", path("made-up.txt"));
    fs::create_symlink("later.txt", path("dangling.txt"));
    ASSERT_TRUE(writeFileSafely(path("named.txt"), "through", error)) << error;
    EXPECT_TRUE(fs::is_symlink(path("named.txt")));
    EXPECT_EQ(test::readBytes(path("real.txt")), "through");

    ASSERT_TRUE(writeFileSafely(path("made-up.txt"), "own", error, LinkPolicy::replaceLink));
    EXPECT_FALSE(fs::is_symlink(path("made-up.txt")));
    EXPECT_EQ(test::readBytes(path("made-up.txt")), "own");
    EXPECT_EQ(test::readBytes(path("real.txt")), "through");

    ASSERT_TRUE(writeFileSafely(path("dangling.txt"), "created", error)) << error;
    EXPECT_EQ(test::readBytes(path("later.txt")), "created");
}

GW_TABLE_TEST_F(SafeFileTest, RefusedWriteRows, FailsNamingThePath, "output/refused-writes.tsv") {
    plantObstacles();
    const std::string& name = GetParam()[0];
    const std::string target = name.starts_with('/') ? name : path(name);
    std::string error;
    EXPECT_FALSE(writeFileSafely(target, "bytes", error));
    EXPECT_EQ(error, target + ": " + GetParam()[1]);
    EXPECT_EQ(test::readBytes(path("locked.txt")), "kept");
}

TEST_F(SafeFileTest, FailuresLeaveTheEarlierFileAlone) {
    plantObstacles();
    // A name the program made up never leads to a pipe or device planted there.
    std::string error;
    SafeFile file;
    EXPECT_FALSE(file.open(path("pipe"), LinkPolicy::replaceLink, error));
    EXPECT_EQ(error, path("pipe") + ": not a regular file");
    EXPECT_EQ(test::readBytes(path("locked.txt")), "kept");
    { // A rename that fails at the end takes the finished temporary file with it.
        SafeFile late;
        ASSERT_TRUE(late.open(path("late.txt"), LinkPolicy::writeThrough, error) &&
                    late.write("bytes", error));
        fs::create_directories(path("late.txt/held"));
        EXPECT_FALSE(late.commit(error));
        EXPECT_EQ(error, path("late.txt") + ": Is a directory");
    }
    EXPECT_EQ(entries(), std::vector<std::string>({"folder", "late.txt", "locked.txt", "pipe"}));
    // A device is written as it stands, never replaced.
    EXPECT_TRUE(writeFileSafely("/dev/null", "gone", error)) << error;
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

TEST_F(SafeFileTest, AWriteThatFailsOrIsKilledHalfwayLeavesTheOldFileAndNothingElse) {
    put("art.txt", "the old art");
    // In a child: a file size limit makes the write fail as a full disk would; then the process
    // is killed in the middle of a second write.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string error;
        const rlimit limit{4096, 4096};
        ::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool failed = !writeFileSafely(path("art.txt"), std::string(8192, 'x'), error) &&
                            error == path("art.txt") + ": File too large";
        SafeFile file;
        if (failed && file.open(path("art.txt"), LinkPolicy::writeThrough, error) &&
            file.write(std::string(1024, 'x'), error)) {
            ::raise(SIGKILL);
        }
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(test::readBytes(path("art.txt")), "the old art");
    EXPECT_EQ(entries(), std::vector<std::string>({"art.txt"}));
}

} // namespace
} // namespace gw
