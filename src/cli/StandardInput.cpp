#include "StandardInput.h"

#include "common/Posix.h"
#include "imaging/Picture.h"

#include <cstring>
#include <vector>

#include <unistd.h>

namespace gw::cli {

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
    Transfer got = readFully(in, buffer.data(), buffer.size());
    if (got.error != 0) return failure(std::strerror(got.error));
    if (got.done > 0 && !imaging::detectFormat({buffer.data(), got.done}))
        return failure("not a picture in a supported format");
    const TemporaryFile copy = scratchFile();
    fd_ = copy.fd;
    if (fd_ < 0)
        return failure(std::string("cannot keep a temporary copy: ") + std::strerror(copy.error));
    std::uint64_t total = 0;
    while (got.done > 0) {
        total += got.done;
        if (total > limit) {
            return failure("too large (more than " + std::to_string(limit) + " bytes)");
        }
        if (const Transfer put = writeFully(fd_, buffer.data(), got.done); put.error != 0) {
            return failure(std::string("cannot keep a temporary copy: ") +
                           std::strerror(put.error));
        }
        got = readFully(in, buffer.data(), buffer.size());
        if (got.error != 0) return failure(std::strerror(got.error));
    }
    return {};
}

} // namespace gw::cli
