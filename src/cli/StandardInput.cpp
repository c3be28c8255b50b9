#include "StandardInput.h"

#include "imaging/Picture.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace gw::cli {
namespace {

// Reads until `buffer` is full or the input ends; false on a read error.
bool readFully(int fd, std::vector<std::uint8_t>& buffer, std::size_t& got) {
    got = 0;
    while (got < buffer.size()) {
        const ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool writeFully(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// An unnamed file in the temporary folder, gone when closed.
int unnamedTemporaryFile() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
    std::string name = folder + "/glyphwerk-stdin-XXXXXX";
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0) ::unlink(name.c_str());
    return named;
}

} // namespace

StandardInput::~StandardInput() {
    if (fd_ >= 0) ::close(fd_);
}

std::string StandardInput::path() const {
    return "/proc/self/fd/" + std::to_string(fd_);
}

// Its first bytes decide whether reading goes on, so an endless or huge stream that is not a
// picture is refused at once.
std::string StandardInput::read(int in, std::uint64_t limit) {
    const auto failure = [](const std::string& reason) {
        return std::string(kStandardInputName) + ": " + reason;
    };
    std::vector<std::uint8_t> buffer(64 * 1024);
    std::size_t got = 0;
    if (!readFully(in, buffer, got)) return failure(std::strerror(errno));
    if (got > 0 && !imaging::detectFormat({buffer.data(), got}))
        return failure("not a picture in a supported format");
    fd_ = unnamedTemporaryFile();
    if (fd_ < 0)
        return failure(std::string("cannot keep a temporary copy: ") + std::strerror(errno));
    std::uint64_t total = 0;
    while (got > 0) {
        total += got;
        if (total > limit) {
            return failure("too large (more than " + std::to_string(limit) + " bytes)");
        }
        if (!writeFully(fd_, buffer.data(), got)) {
            return failure(std::string("cannot keep a temporary copy: ") + std::strerror(errno));
        }
        if (!readFully(in, buffer, got)) return failure(std::strerror(errno));
    }
    return {};
}

} // namespace gw::cli
