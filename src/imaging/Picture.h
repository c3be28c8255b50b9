#pragma once
// Pictures from files or memory, decoded and drawn into canvases. Plain C++: no Qt.
//
// This header is the library's public face; the application, the platform layer and the
// command-line converter use nothing else of the imaging library.

#include "common/Canvas.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace gw::imaging {

enum class Format { Psd, Bmp, Gif, Jpeg, Png, Tga, Tiff };

// Lower-case short name ("jpeg", "png", ...).
std::string_view formatName(Format format);

// The format that a file's first bytes show (64 KiB are enough for every format), or nothing
// when they show none that is read. Decides from the content alone, as opening does.
std::optional<Format> detectFormat(std::span<const std::uint8_t> head);

// The file types the open panel offers, in order: psd bmp gif jpg jpeg png tga tif tiff.
const std::vector<std::string>& pictureFileTypes();

struct PictureSize {
    std::uint32_t width = 0; // pixels, after orientation is applied
    std::uint32_t height = 0;
};

struct PictureError {
    std::string message; // "<file name>: <reason>", ready to show to a user
};

// What to tell a user about a picture drawn from damaged data (a canvas marked `partial`).
std::string damagedDataWarning(const std::string& name);

class PictureData; // decoder-side state; see the .cpp files

// One point per pixel: no file format read here gives a point another size.
class Picture final : public PictureSource {
public:
    // Probes a file: detects the format from its content (not its name) and reads the size
    // from the header. Large files are not read whole.
    static std::optional<Picture> open(const std::string& path, PictureError* error = nullptr);

    // The same for bytes already in memory (a drop, standard input). `name` appears in errors.
    static std::optional<Picture> fromMemory(std::vector<std::uint8_t> bytes, std::string name,
                                             PictureError* error = nullptr);

    Format format() const;
    PictureSize size() const;
    PointSize pointSize() const override;
    const std::string& name() const; // the path or the given name

    // Draws the whole picture over a transparent canvas of gw x gh points (fractional sizes
    // allowed) at `scale`: the canvas has ceil(gw * scale) x ceil(gh * scale) pixels. The
    // picture is decoded through even for an empty canvas, so that damage is reported. Box
    // filter when shrinking, smooth filter when enlarging, source-over. False and `error` set
    // when the pixels cannot be decoded. The decoders write into the canvas handed out: no copy.
    // A damaged picture with some usable pixel data is drawn as far as it could be read (the
    // rest grey for JPEG, as libjpeg fills it, and transparent for the others), and the canvas
    // is marked `partial`.
    bool renderCanvas(double gw, double gh, double scale, RgbaCanvas& out,
                      std::string& error) const override;

    // The most memory drawing the picture may take, beyond the canvas, in bytes: an estimate
    // from the header, for callers that share memory between several pictures at once.
    std::uint64_t decodeMemory() const;

    // A rendition that fits into maxSide x maxSide, aspect kept, for an image well.
    bool renderThumbnail(int maxSide, RgbaCanvas& out, std::string& error) const;

    Picture(const Picture&);
    Picture& operator=(const Picture&);
    Picture(Picture&&) noexcept;
    Picture& operator=(Picture&&) noexcept;
    ~Picture() override;

private:
    explicit Picture(std::shared_ptr<const PictureData> data);
    std::shared_ptr<const PictureData> data_;
};

} // namespace gw::imaging
