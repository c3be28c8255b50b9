#pragma once
// Pictures as the controller and the image well see them, and their loading from files and
// from dropped bytes. The loader over the imaging library lives beside this header; the Qt code
// and the command-line converter share it.

#include "common/Canvas.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace gw::platform {

// A loaded picture: what the engine draws from, with a name and a rendition for the well.
class Image : public PictureSource {
public:
    // The file path or, for dropped bytes, the name they came with.
    virtual const std::string& name() const = 0;
    // A rendition that fits into maxSide x maxSide pixels, aspect kept.
    virtual bool renderThumbnail(int maxSide, RgbaCanvas& out, std::string& error) const = 0;

protected:
    Image() = default;
    Image(const Image&) = default;
    Image& operator=(const Image&) = default;
};

struct ImageLoad {
    std::shared_ptr<const Image> image; // null when refused
    std::string error;                  // "<file>: <reason>" when refused
    // A background load that a newer one (from any caller) began after: no image, no error.
    bool overtaken = false;
};

class ImageLoader {
public:
    virtual ~ImageLoader() = default;
    // The file types the open panel offers, in order.
    virtual const std::vector<std::string>& fileTypes() const = 0;
    virtual ImageLoad load(const std::string& path) const = 0;
    virtual ImageLoad loadFromMemory(std::vector<std::uint8_t> bytes,
                                     const std::string& name) const = 0;
    // Load away from the window's thread and call `done` with the result on the window's
    // thread later, exactly once. The newest load wins: one that another began after ends as
    // overtaken. These forms, for loaders without threads, load at once.
    virtual void loadInBackground(const std::string& path,
                                  std::function<void(ImageLoad)> done) const {
        done(load(path));
    }
    virtual void loadFromMemoryInBackground(std::vector<std::uint8_t> bytes,
                                            const std::string& name,
                                            std::function<void(ImageLoad)> done) const {
        done(loadFromMemory(std::move(bytes), name));
    }

protected:
    ImageLoader() = default;
    ImageLoader(const ImageLoader&) = default;
    ImageLoader& operator=(const ImageLoader&) = default;
};

// The thumbnail size the image well asks for; loaders may keep one ready.
inline constexpr int kWellThumbnailSide = 512;

} // namespace gw::platform
