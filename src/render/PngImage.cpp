// libpng reports its errors by a long jump. Nothing between the jump's start and its target
// owns memory of its own: the session, the band and the row pointers live in the caller of the
// function that sets the jump, and the write callback leaves its own frame clean before it
// raises an error.
#include "render/PngImage.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace gw::render {
namespace {

// About this many bytes of scanlines per band, as for the TIFF image's strips.
constexpr std::size_t kBandBytes = 256 * 1024;
// 72 dots per inch in pixels per metre, as PNG counts them.
constexpr png_uint_32 kPixelsPerMetre = 2835;

// Where the encoded bytes go, gathered into larger writes than libpng's chunks.
struct PngSink {
    std::function<bool(std::string_view)> write;
    std::string pending;
    bool failed = false; // `write` failed; its error is the caller's
    char libpngMessage[256] = {};

    bool flush() {
        if (!failed && !pending.empty() && !write(pending)) failed = true;
        pending.clear();
        return !failed;
    }
};

void writeData(png_structp png, png_bytep data, std::size_t size) {
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    bool ok = !sink->failed;
    if (ok) {
        sink->pending.append(reinterpret_cast<const char*>(data), size);
        if (sink->pending.size() >= (std::size_t{1} << 16)) ok = sink->flush();
    }
    if (!ok) png_error(png, "the output cannot be written");
}

void flushData(png_structp) {}

[[noreturn]] void onError(png_structp png, png_const_charp message) {
    auto* sink = static_cast<PngSink*>(png_get_error_ptr(png));
    if (sink->libpngMessage[0] == '\0')
        std::snprintf(sink->libpngMessage, sizeof sink->libpngMessage, "%s", message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// One libpng write session, destroyed whichever way encoding ends.
struct PngSession {
    png_structp png = nullptr;
    png_infop info = nullptr;
    explicit PngSession(PngSink& sink) {
        png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, onError, onWarning);
        if (png != nullptr) info = png_create_info_struct(png);
    }
    ~PngSession() {
        if (png != nullptr) png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
    }
    PngSession(const PngSession&) = delete;
    PngSession& operator=(const PngSession&) = delete;
};

// True when libpng took every row. Only plain values live in this frame (see the top).
bool encode(PngSession& session, PngSink& sink, BandPainter& painter, const PngEncoding& encoding,
            std::vector<std::uint8_t>& band, std::vector<png_bytep>& rows) {
    png_structp png = session.png;
    png_infop info = session.info;
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, &sink, writeData, flushData);
    png_set_IHDR(png, info, static_cast<png_uint_32>(painter.width()),
                 static_cast<png_uint_32>(painter.height()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, kPixelsPerMetre, kPixelsPerMetre, PNG_RESOLUTION_METER);
    png_set_compression_level(png, std::clamp(encoding.level, 0, 9));
    png_set_compression_strategy(png, std::clamp(encoding.strategy, 0, 4));
    png_set_filter(png, PNG_FILTER_TYPE_BASE, encoding.filters);
    png_write_info(png, info);
    const int height = painter.height();
    const int bandRows = static_cast<int>(rows.size());
    for (int y0 = 0; y0 < height; y0 += bandRows) {
        const int y1 = std::min(y0 + bandRows, height);
        painter.paint(y0, y1, band.data());
        png_write_rows(png, rows.data(), static_cast<png_uint_32>(y1 - y0));
    }
    png_write_end(png, info);
    return true;
}

bool writePng(const std::string& name, const CellGrid& grid, const ImageOptions& options,
              const PngEncoding& encoding, std::string& error,
              std::function<bool(std::string_view)> write) {
    const std::unique_ptr<BandPainter> painter = BandPainter::open(grid, options, name, error);
    if (!painter) return false;
    const int bandRows = painter->bandRows(kBandBytes);
    std::vector<std::uint8_t> band(static_cast<std::size_t>(bandRows) * painter->rowBytes());
    std::vector<png_bytep> rows(static_cast<std::size_t>(bandRows));
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = band.data() + i * painter->rowBytes();
    PngSink sink;
    sink.write = std::move(write);
    PngSession session(sink);
    if (session.info == nullptr) {
        error = name + ": out of memory";
        return false;
    }
    const bool encoded = encode(session, sink, *painter, encoding, band, rows);
    if (encoded && sink.flush()) return true;
    // A failed write has set `error` already; libpng's own failures are named here.
    if (!sink.failed) {
        error =
            name + ": " +
            (sink.libpngMessage[0] != '\0' ? sink.libpngMessage : "the image cannot be written");
    }
    return false;
}

} // namespace

bool writePngImage(const std::string& path, const CellGrid& grid, const ImageOptions& options,
                   LinkPolicy policy, std::string& error, const PngEncoding& encoding) {
    SafeFile file;
    if (!file.open(path, policy, error)) return false;
    return writePng(path, grid, options, encoding, error,
                    [&](std::string_view bytes) { return file.write(bytes, error); }) &&
           file.commit(error);
}

bool writePngImage(std::FILE* out, const CellGrid& grid, const ImageOptions& options,
                   std::string& error, const PngEncoding& encoding) {
    return writeImageToStream(out, error, [&](const std::string& name, const ByteSink& sink) {
        return writePng(name, grid, options, encoding, error, sink);
    });
}

} // namespace gw::render
