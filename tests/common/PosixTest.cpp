// The POSIX helpers: whole transfers that survive signals, and temporary files that leave
// nothing behind.
#include "common/Posix.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace gw {
namespace {

namespace fs = std::filesystem;

std::atomic<int> interruptions{0};

// A read that a signal interrupts again and again still gets all its bytes.
TEST(PosixTest, ReadsWholeAcrossInterruptions) {
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    struct sigaction action {};
    action.sa_handler = [](int) { interruptions.fetch_add(1); };
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: reads fail with EINTR
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGALRM, &action, &previous), 0);
    const itimerval every5ms{{0, 5000}, {0, 5000}};
    ::setitimer(ITIMER_REAL, &every5ms, nullptr);
    std::thread writer([&] {
        // The signal reaches the reading thread only once this one blocks it.
        sigset_t alarm;
        sigemptyset(&alarm);
        sigaddset(&alarm, SIGALRM);
        pthread_sigmask(SIG_BLOCK, &alarm, nullptr);
        while (interruptions.load() < 3)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        (void)writeFully(pipeEnds[1], "abc", 3);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        (void)writeFully(pipeEnds[1], "def", 3);
        ::close(pipeEnds[1]);
    });
    char buffer[8] = {};
    const Transfer got = readFully(pipeEnds[0], buffer, sizeof buffer);
    const itimerval off{};
    ::setitimer(ITIMER_REAL, &off, nullptr);
    writer.join();
    ::sigaction(SIGALRM, &previous, nullptr);
    ::close(pipeEnds[0]);
    EXPECT_GE(interruptions.load(), 3);
    EXPECT_EQ(std::make_pair(got.done, got.error), std::make_pair(std::size_t{6}, 0));
    EXPECT_EQ(std::string(buffer, 6), "abcdef");
}

TEST(PosixTest, TransfersReportWhereTheyStopped) {
    const TemporaryFile file = scratchFile();
    ASSERT_GE(file.fd, 0) << file.error;
    EXPECT_EQ(writeFully(file.fd, "0123456789", 10).done, 10u);
    char buffer[16] = {};
    const Transfer tail = readFullyAt(file.fd, buffer, sizeof buffer, 6);
    EXPECT_EQ(std::make_tuple(tail.done, tail.error, std::string(buffer, 4)),
              std::make_tuple(std::size_t{4}, 0, std::string("6789")));
    EXPECT_EQ(readFully(-1, buffer, 1).error, EBADF);
    EXPECT_EQ(writeFully(-1, buffer, 1).error, EBADF);
    ::close(file.fd);
}

TEST(PosixTest, TemporaryFilesLeaveNoName) {
    const fs::path folder = fs::temp_directory_path() / ("gw-posix-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    ::setenv("TMPDIR", folder.c_str(), 1);
    const TemporaryFile scratch = scratchFile();
    ::unsetenv("TMPDIR");
    ASSERT_GE(scratch.fd, 0) << scratch.error;
    struct stat st {};
    ASSERT_EQ(::fstat(scratch.fd, &st), 0);
    EXPECT_EQ(st.st_nlink, 0u);
    ::close(scratch.fd);
    EXPECT_TRUE(fs::is_empty(folder));

    // Where unnamed files are not wanted, the named one is hidden, beside the target's name.
    const TemporaryFile named = createTemporaryFile(folder, "art.txt", 0600, false);
    ASSERT_GE(named.fd, 0) << named.error;
    EXPECT_EQ(fs::path(named.path).parent_path(), folder);
    EXPECT_TRUE(fs::path(named.path).filename().string().starts_with(".art.txt."));
    ::close(named.fd);
    EXPECT_EQ(createTemporaryFile((folder / "missing").string(), "x", 0600).error, ENOENT);
    fs::remove_all(folder);
}

} // namespace
} // namespace gw
