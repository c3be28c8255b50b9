#include "common/Posix.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

namespace gw {

Transfer readFully(int fd, void* buffer, std::size_t count) {
    Transfer t;
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (t.done < count) {
        const ssize_t n =
            retryOnInterrupt([&] { return ::read(fd, bytes + t.done, count - t.done); });
        if (n < 0) t.error = errno;
        if (n <= 0) break;
        t.done += static_cast<std::size_t>(n);
    }
    return t;
}

Transfer readFullyAt(int fd, void* buffer, std::size_t count, std::uint64_t offset) {
    Transfer t;
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (t.done < count) {
        const ssize_t n = retryOnInterrupt([&] {
            return ::pread(fd, bytes + t.done, count - t.done, static_cast<off_t>(offset + t.done));
        });
        if (n < 0) t.error = errno;
        if (n <= 0) break;
        t.done += static_cast<std::size_t>(n);
    }
    return t;
}

Transfer writeFully(int fd, const void* data, std::size_t count) {
    Transfer t;
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (t.done < count) {
        const ssize_t n =
            retryOnInterrupt([&] { return ::write(fd, bytes + t.done, count - t.done); });
        if (n <= 0) {
            t.error = n < 0 ? errno : ENOSPC;
            break;
        }
        t.done += static_cast<std::size_t>(n);
    }
    return t;
}

std::string temporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

std::string temporaryFileName(const std::string& folder, const std::string& stem) {
    static std::atomic<unsigned long> counter{0};
    unsigned long long seed = static_cast<unsigned long long>(
                                  std::chrono::steady_clock::now().time_since_epoch().count()) ^
                              (static_cast<unsigned long long>(::getpid()) << 32) ^
                              (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    static constexpr char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 8; ++i) {
        suffix += kDigits[seed % 36];
        seed = seed / 36 * 6364136223846793005ull + 1442695040888963407ull;
    }
    return folder + "/." + stem.substr(0, 200) + "." + suffix + ".tmp";
}

TemporaryFile createTemporaryFile(const std::string& folder, const std::string& stem, mode_t mode,
                                  bool unnamed) {
    TemporaryFile file;
    if (unnamed) {
        file.fd = retryOnInterrupt(
            [&] { return ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode); });
        if (file.fd >= 0) return file;
        // Only a file system without unnamed files falls back; any other failure is final.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            file.error = errno;
            return file;
        }
    }
    // The name is random; a clash with another writer's file is tried again, a hundred times.
    file.error = EEXIST;
    for (int attempt = 0; attempt < 100 && file.error == EEXIST; ++attempt) {
        file.path = temporaryFileName(folder, stem);
        file.fd = retryOnInterrupt([&] {
            return ::open(file.path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          mode);
        });
        file.error = file.fd >= 0 ? 0 : errno;
    }
    if (file.fd < 0) file.path.clear();
    return file;
}

TemporaryFile scratchFile() {
    TemporaryFile file = createTemporaryFile(temporaryFolder(), "glyphwerk", 0600);
    if (!file.path.empty()) {
        ::unlink(file.path.c_str());
        file.path.clear();
    }
    return file;
}

} // namespace gw
