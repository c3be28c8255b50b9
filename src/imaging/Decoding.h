#pragma once
// What the decoders share: the limits, the header probe result, the orientation of stored
// pixels, and the row-streaming resampler that draws stored rows into a canvas. Internal to the
// imaging library.

#include "ByteSource.h"
#include "Picture.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace gw::imaging::detail {

// Every picture is refused above this many pixels, or with a side above kMaxSide, at its
// header: even a streamed layout costs time in proportion to its pixels, and a small file can
// declare billions of them. A gigapixel admits stitched panoramas; a million pixels a side is
// libpng's own default limit and far beyond any camera.
inline constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 30;
inline constexpr std::uint64_t kMaxSide = 1'000'000;

// Pictures that must be decoded whole (progressive JPEG, BMP, TGA, PSD) are refused above
// this many pixels, checked against the header before any pixel buffer exists. At 4 bytes a pixel
// the largest accepted buffer is 512 MiB; it admits every camera up to 100-megapixel medium format
// (the largest common photographs). The buffers start as untouched zero pages, so memory follows
// the data the file holds.
inline constexpr std::uint64_t kMaxWholePixels = std::uint64_t{1} << 27;

// Files that have to be read into memory whole (BMP, TGA, PSD) are refused when the file and
// the decoded picture together would take more than this, so that no single picture needs more
// than about 600 MB.
inline constexpr std::uint64_t kMaxWholeBytes = std::uint64_t{560} << 20;

// The largest canvas a caller may ask for, per side and in pixels.
inline constexpr std::uint32_t kMaxCanvasSide = 1u << 15;
inline constexpr std::uint64_t kMaxCanvasPixels = std::uint64_t{1} << 26;

// Stored-pixel orientation, as the EXIF and TIFF orientation tag number it (1 to 8).
// 1 is row 0 at the top, column 0 at the left; 5 to 8 exchange width and height.
using Orientation = int;
inline bool swapsAxes(Orientation o) {
    return o >= 5 && o <= 8;
}

// Reads the orientation tag from an EXIF block (the APP1 payload after "Exif\0\0", a TIFF
// header and IFD0). Returns 1 when absent or malformed.
Orientation exifOrientation(std::span<const std::uint8_t> tiffBlock);

struct HeaderInfo {
    std::uint32_t width = 0; // stored pixels, before orientation
    std::uint32_t height = 0;
    Orientation orientation = 1;
    // Bytes of the largest buffers the layout needs at once beyond a few rows (a whole
    // interlaced picture, a strip or tile), as far as the header tells.
    std::uint64_t wholeBytes = 0;
};

// Where stored rows go: a canvas of `pixelsX` x `pixelsY` whose picture area is `extentX` x
// `extentY` pixels from the top-left corner (fractional extents cover the last pixel partly).
struct RenderTarget {
    double extentX = 0;
    double extentY = 0;
    RgbaCanvas* canvas = nullptr;
    // Set by a decoder that drew only the part of a damaged picture it could read (the rest
    // grey or transparent, as the format's viewers show it); null when nobody asks.
    bool* partial = nullptr;

    void markPartial() const {
        if (partial) *partial = true;
    }

    // The extents measured along the stored axes, for decoders that pick a reduced size.
    double storedExtentX(Orientation o) const { return swapsAxes(o) ? extentY : extentX; }
    double storedExtentY(Orientation o) const { return swapsAxes(o) ? extentX : extentY; }
};

// Separable area-average (when shrinking) or bilinear (when enlarging) resampling of straight
// RGBA8 rows, premultiplied while filtering, fed one stored row at a time, top to bottom, so that
// memory stays a few rows of the source plus the canvas.
class Resampler {
public:
    // How the pushed rows hold their pixels.
    enum class Layout {
        Rgba,              // straight RGBA8
        PremultipliedRgba, // colour already multiplied by alpha
        Rgb,               // opaque RGB8; rows need one byte of slack after the last pixel
    };
    // In which order rows arrive: top to bottom, each once, or in any order (the passes of an
    // interlaced picture), a row perhaps several times, each pixel in one push only. Rows in
    // any order are added straight into every canvas row they weigh in, so memory follows the
    // canvas, not the picture; a pixel never pushed counts as transparent.
    enum class Order { TopToBottom, Any };
    Resampler(const RenderTarget& target, std::uint32_t width, std::uint32_t height,
              Orientation orientation, Layout layout = Layout::Rgba,
              Order order = Order::TopToBottom);
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // `rgba` holds `width` pixels of the next stored row in the layout given; null stands for a
    // fully transparent row, which costs almost nothing (a small frame on a huge GIF screen).
    void pushRow(const std::uint8_t* rgba);
    std::uint32_t rowsPushed() const { return row_; }
    // Pushes stored row `y`. In any order, transparent pixels (zeros) stand for the pixels that
    // other pushes of the row bring: the sums do not mind. Top to bottom, rows skipped are
    // transparent and a row already passed is ignored.
    void pushRowAt(std::uint32_t y, const std::uint8_t* rgba);
    // Top to bottom: pushes transparent rows up to the last; any order: writes the canvas.
    void finish();

private:
    struct Taps {
        std::uint32_t first = 0; // lowest source index with a weight
        std::vector<float> weights;
    };
    static std::vector<Taps> buildTaps(std::uint32_t sourceLength, double extent,
                                       std::uint32_t pixels, bool flip);
    template <Layout L>
    void horizontalPass(const std::vector<Taps>& taps, const std::uint8_t* pixels);
    // A column's taps as a first and a last weight with equal weights between them, which every
    // area average and bilinear tap set has: the pixels between are summed in integers.
    struct Box {
        std::uint32_t first = 0;
        std::uint32_t count = 0;
        float firstWeight = 0, middleWeight = 0, lastWeight = 0;
    };
    template <Layout L> void boxPass(const std::uint8_t* pixels);
    void finishRow(std::size_t out);
    void horizontal(const std::uint8_t* rgba);

    RgbaCanvas& canvas_;
    bool transpose_;
    Layout layout_;
    std::vector<Taps> tapsX_;        // one per output column of the stored-axis buffer
    std::vector<Box> boxesX_;        // tapsX_ in short form; empty when it has no such form
    std::vector<Taps> tapsY_;        // one per output row of the stored-axis buffer
    std::vector<std::size_t> order_; // output rows by first source row
    std::size_t nextActive_ = 0;
    std::vector<std::size_t> active_;
    std::vector<std::vector<float>> accumulators_; // per active output row, else empty
    std::vector<std::vector<float>> spare_;
    std::vector<float> horizontal_;
    // Narrow pictures on wide canvases are filtered down the columns first, at the picture's
    // width, and across only once per canvas row: the cost then follows the smaller width.
    bool verticalFirst_ = false;
    std::vector<Taps> identity_;  // one tap per source pixel, for the premultiplying pass
    std::vector<float> finished_; // a canvas row, when filtering down the columns first
    std::uint32_t row_ = 0;
    std::uint32_t height_ = 0;
    bool anyOrder_ = false;
    bool done_ = false;
    // Any order: the output rows each stored row weighs in, as offsets into `weighs_`.
    std::vector<std::uint32_t> weighsFrom_;
    std::vector<std::uint32_t> weighs_;
};

// Probes read the header only; decoders draw the stored pixels into the target. Both return
// false with a short reason for a user (no file name).
bool probeJpeg(ByteSource& source, HeaderInfo& info, std::string& reason);
bool decodeJpeg(ByteSource& source, const HeaderInfo& expected, const RenderTarget& target,
                std::string& reason);
bool probePng(ByteSource& source, HeaderInfo& info, std::string& reason);
bool decodePng(ByteSource& source, const HeaderInfo& expected, const RenderTarget& target,
               std::string& reason);
bool probeGif(ByteSource& source, HeaderInfo& info, std::string& reason);
bool decodeGif(ByteSource& source, const HeaderInfo& expected, const RenderTarget& target,
               std::string& reason);
bool probeTiff(ByteSource& source, HeaderInfo& info, std::string& reason);
bool decodeTiff(ByteSource& source, const HeaderInfo& expected, const RenderTarget& target,
                std::string& reason);

// Shared phrases. "the picture is too large to decode (W x H pixels, limit ...)"; the first
// names the whole-picture limit.
std::string tooLargeReason(std::uint64_t width, std::uint64_t height);
std::string tooLargeReason(std::uint64_t width, std::uint64_t height, const std::string& limit);

// The caps every picture meets, whatever its layout; false with a reason when it does not.
bool withinPictureCaps(std::uint64_t width, std::uint64_t height, std::string& reason);
inline const char* kChangedReason = "the file changed since it was opened";

} // namespace gw::imaging::detail
