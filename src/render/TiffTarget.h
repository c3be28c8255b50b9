#pragma once
// The file libtiff writes into, through our own procedures so that a failed write keeps the
// system's reason, and the unlinked file an image is built in when its destination cannot seek.

#include "render/TiffLibrary.h"

#include <functional>
#include <string>
#include <string_view>

namespace gw::render {

struct TiffTarget {
    int fd = -1;         // stays the caller's
    int writeErrno = 0;  // first failed write or seek
    std::string message; // first error libtiff reported
};

// libtiff writing into `target` under `name` (for its messages); null when it cannot start.
TIFF* openTiffTarget(const TiffApi& api, const std::string& name, TiffTarget& target);

// The first failure of a session as "<name>: <reason>"; empty when there was none.
std::string tiffTargetError(const TiffTarget& target, const std::string& name);

// Runs `write` on an unlinked temporary file, then hands what it wrote to `sink` in pieces.
// False with `error` set when any step fails.
bool writeThroughAnonymousFile(const std::string& name, std::string& error,
                               const std::function<bool(int fd)>& write,
                               const std::function<bool(std::string_view)>& sink);

} // namespace gw::render
