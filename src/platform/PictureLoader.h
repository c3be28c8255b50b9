#pragma once
// The image loader over the imaging library: what the window, the controller and the
// command-line converter use to read pictures.

#include "platform/Image.h"

namespace gw::platform {

class PictureLoader final : public ImageLoader {
public:
    const std::vector<std::string>& fileTypes() const override;
    ImageLoad load(const std::string& path) const override;
    ImageLoad loadFromMemory(std::vector<std::uint8_t> bytes,
                             const std::string& name) const override;
};

} // namespace gw::platform
