#include "platform/Services.h"

#include <filesystem>
#include <system_error>

namespace gw::platform {

std::optional<std::string> panelStartFolder(const std::optional<std::string>& directory) {
    if (!directory || directory->empty()) return std::nullopt;
    const std::filesystem::path path(*directory);
    std::error_code ec;
    // A trailing slash marks a folder even when it no longer exists.
    if (directory->back() == '/' || std::filesystem::is_directory(path, ec)) return *directory;
    const std::filesystem::path parent = path.parent_path();
    if (parent.empty()) return std::nullopt;
    return parent.string();
}

} // namespace gw::platform
