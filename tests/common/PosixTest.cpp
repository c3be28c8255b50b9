// The POSIX helpers: whole transfers that survive signals, and temporary files that leave
// nothing behind.
#include "common/Posix.h"
#include "support/TestFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace gw {
namespace {

namespace fs = std::filesystem;
std::atomic<int> interruptions{0};

// A timer without SA_RESTART interrupts the read every 2 ms while the writer waits for three of
// them, so the read fails with EINTR at least once and must go on.
TEST(Posix, ReadsWholeAcrossInterruptions) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    struct sigaction action {
    }, previous{};
    action.sa_handler = [](int) { interruptions.fetch_add(1); };
    ASSERT_EQ(::sigaction(SIGALRM, &action, &previous), 0);
    std::thread writer([&] {
        sigset_t alarm;
        sigemptyset(&alarm);
        sigaddset(&alarm, SIGALRM);
        pthread_sigmask(SIG_BLOCK, &alarm, nullptr); // the signal goes to the reader
        while (interruptions.load() < 3)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        (void)writeFully(ends[1], "abcdef", 6);
        ::close(ends[1]);
    });
    const itimerval every2ms{{0, 2000}, {0, 2000}}, off{};
    ::setitimer(ITIMER_REAL, &every2ms, nullptr);
    char buffer[8] = {};
    const Transfer got = readFully(ends[0], buffer, sizeof buffer);
    ::setitimer(ITIMER_REAL, &off, nullptr);
    writer.join();
    ::sigaction(SIGALRM, &previous, nullptr);
    ::close(ends[0]);
    EXPECT_EQ(std::make_tuple(got.done, got.error, std::string(buffer)),
              std::make_tuple(std::size_t{6}, 0, std::string("abcdef")));
    EXPECT_EQ(writeFully(-1, buffer, 1).error, EBADF);
}

TEST(Posix, TemporaryFilesLeaveNoNameBehind) {
    const testing::TestFolder temporary;
    const fs::path folder = temporary.path();
    ::setenv("TMPDIR", folder.c_str(), 1);
    const TemporaryFile scratch = scratchFile();
    ::unsetenv("TMPDIR");
    ASSERT_GE(scratch.fd, 0) << scratch.error;
    EXPECT_EQ(writeFully(scratch.fd, "0123456789", 10).done, 10u);
    char tail[16] = {};
    EXPECT_EQ(readFullyAt(scratch.fd, tail, sizeof tail, 6).done, 4u);
    EXPECT_EQ(std::string(tail), "6789");
    struct stat st {};
    EXPECT_EQ(::fstat(scratch.fd, &st) == 0 ? st.st_nlink : 1, 0u);
    ::close(scratch.fd);
    EXPECT_TRUE(fs::is_empty(folder));
    // Where an unnamed file is not wanted, the named one is hidden and carries the stem.
    const TemporaryFile named = createTemporaryFile(folder, "art.txt", 0600, false);
    ASSERT_GE(named.fd, 0) << named.error;
    EXPECT_TRUE(fs::path(named.path).filename().string().starts_with(".art.txt."));
    EXPECT_EQ(fs::path(named.path).parent_path(), folder);
    ::close(named.fd);
    EXPECT_EQ(createTemporaryFile((folder / "missing").string(), "x", 0600).error, ENOENT);
}

} // namespace
} // namespace gw
