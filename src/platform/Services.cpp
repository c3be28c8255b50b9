#include "platform/Services.h"

#include <filesystem>
#include <system_error>

#include "platform/Image.h"

namespace gw::platform {

const std::vector<std::string>& pictureFileTypes() {
    static const std::vector<std::string> types = {"psd", "bmp", "gif", "jpg", "jpeg",
                                                   "png", "tga", "tif", "tiff"};
    return types;
}

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
