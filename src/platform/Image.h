#pragma once
// Pictures as the controller and the image well see them, and their loading from files and
// from dropped bytes. The loader over the imaging library lives beside this header; the Qt code
// and the command-line converter share it.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace gw::platform {

struct Size {
    double width = 0.0; // points
    double height = 0.0;
};

// Premultiplied RGBA, 8 bits per sample, row 0 at the top, rows packed (stride = width * 4).
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
};

class Image {
public:
    virtual ~Image() = default;
    virtual Size size() const = 0;
    // The file path or, for dropped bytes, the name they came with.
    virtual const std::string& name() const = 0;
    // Draws the whole picture, stretched, over a transparent canvas of width x height points at
    // `scale` pixels per point (source over). False with `error` set when it cannot be drawn.
    virtual bool renderCanvas(double width, double height, double scale, Bitmap& out,
                              std::string& error) const = 0;
    // A rendition that fits into maxSide x maxSide pixels, aspect kept.
    virtual bool renderThumbnail(int maxSide, Bitmap& out, std::string& error) const = 0;

protected:
    Image() = default;
    Image(const Image&) = default;
    Image& operator=(const Image&) = default;
};

struct ImageLoad {
    std::shared_ptr<const Image> image; // null when refused
    std::string error;                  // "<file>: <reason>" when refused
};

class ImageLoader {
public:
    virtual ~ImageLoader() = default;
    virtual ImageLoad load(const std::string& path) const = 0;
    virtual ImageLoad loadFromMemory(std::vector<std::uint8_t> bytes,
                                     const std::string& name) const = 0;
    // Loads `path` away from the window's thread and calls `done` with the result on the
    // window's thread later. A loader may drop a load that a newer one has overtaken before it
    // began; `done` is then never called. This form, for loaders without threads, loads at once.
    virtual void loadInBackground(const std::string& path,
                                  std::function<void(ImageLoad)> done) const {
        done(load(path));
    }

protected:
    ImageLoader() = default;
    ImageLoader(const ImageLoader&) = default;
    ImageLoader& operator=(const ImageLoader&) = default;
};

// The thumbnail size the image well asks for; loaders may keep one ready.
inline constexpr int kWellThumbnailSide = 512;

// The file types offered by the open panel, in this order.
const std::vector<std::string>& pictureFileTypes();

} // namespace gw::platform
