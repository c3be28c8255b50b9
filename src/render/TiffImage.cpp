// The TIFF image, drawn band by band: each band of scanlines is filled with the background, the
// glyphs of the text rows that reach into it are blended in, and the band is compressed as one
// LZW strip, which libtiff writes into the file. Memory is a band and the glyph cache, whatever
// the picture's size.
//
// libtiff is loaded when the first image is written, as the picture decoder does: linking it
// would cost every start of the command-line converter the loading of seven libraries, for an
// output most runs never make.
#include "render/TiffImage.h"

#include "render/FontResolver.h"
#include "render/LzwEncoder.h"
#include "render/TextRaster.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include <tiffio.h>

#include "common/Posix.h"
#include "common/SharedLibrary.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gw::render {
namespace {

struct TiffApi {
    decltype(&TIFFClientOpenExt) ClientOpenExt = nullptr;
    decltype(&TIFFClose) Close = nullptr;
    decltype(&TIFFSetField) SetField = nullptr;
    decltype(&TIFFWriteRawStrip) WriteRawStrip = nullptr;
    decltype(&TIFFOpenOptionsAlloc) OpenOptionsAlloc = nullptr;
    decltype(&TIFFOpenOptionsFree) OpenOptionsFree = nullptr;
    decltype(&TIFFOpenOptionsSetErrorHandlerExtR) OpenOptionsSetErrorHandlerExtR = nullptr;
    decltype(&TIFFOpenOptionsSetWarningHandlerExtR) OpenOptionsSetWarningHandlerExtR = nullptr;
    std::string failure; // empty when every function was found
};

const TiffApi& tiffApi() {
    static const TiffApi api = [] {
        TiffApi a;
        void* library = openSharedLibrary({GLYPHWERK_TIFF_SONAME, "libtiff.so.6", "libtiff.so"});
        if (!library) {
            a.failure = "libtiff cannot be loaded";
            return a;
        }
#define GW_RESOLVE(name) resolveSymbol(library, "TIFF" #name, a.name, "libtiff", a.failure)
        GW_RESOLVE(ClientOpenExt);
        GW_RESOLVE(Close);
        GW_RESOLVE(SetField);
        GW_RESOLVE(WriteRawStrip);
        GW_RESOLVE(OpenOptionsAlloc);
        GW_RESOLVE(OpenOptionsFree);
        GW_RESOLVE(OpenOptionsSetErrorHandlerExtR);
        GW_RESOLVE(OpenOptionsSetWarningHandlerExtR);
#undef GW_RESOLVE
        return a;
    }();
    return api;
}

// The file libtiff writes into, through our own procedures so that a failed write keeps the
// system's reason.
struct TiffTarget {
    int fd = -1;
    int writeErrno = 0;  // first failed write or seek
    std::string message; // first error libtiff reported
};

tmsize_t readProc(thandle_t h, void* buffer, tmsize_t size) {
    return static_cast<tmsize_t>(
        readFully(static_cast<TiffTarget*>(h)->fd, buffer, static_cast<std::size_t>(size)).done);
}

tmsize_t writeProc(thandle_t h, void* buffer, tmsize_t size) {
    auto* t = static_cast<TiffTarget*>(h);
    const Transfer written = writeFully(t->fd, buffer, static_cast<std::size_t>(size));
    if (written.error != 0 && t->writeErrno == 0) t->writeErrno = written.error;
    return static_cast<tmsize_t>(written.done);
}

toff_t seekProc(thandle_t h, toff_t offset, int whence) {
    auto* t = static_cast<TiffTarget*>(h);
    const off_t at = ::lseek(t->fd, static_cast<off_t>(offset), whence);
    if (at < 0 && t->writeErrno == 0) t->writeErrno = errno;
    return static_cast<toff_t>(at);
}

int closeProc(thandle_t) {
    return 0; // the descriptor belongs to the caller
}

toff_t sizeProc(thandle_t h) {
    struct stat st {};
    return ::fstat(static_cast<TiffTarget*>(h)->fd, &st) == 0 ? static_cast<toff_t>(st.st_size) : 0;
}

int mapProc(thandle_t, void**, toff_t*) {
    return 0;
}
void unmapProc(thandle_t, void*, toff_t) {}

int errorHandler(TIFF*, void* user, const char*, const char* format, va_list args) {
    auto* t = static_cast<TiffTarget*>(user);
    if (t->message.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        t->message = text;
    }
    return 1;
}

int warningHandler(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

// A colour component (0 to 1) as an 8-bit sample, as the page's colour string has it:
// times 255.99998474121094, truncated. A cell's data / 256 thus gives back its data.
std::uint8_t sampleOf(double component) {
    if (!(component > 0.0)) return 0;
    return static_cast<std::uint8_t>(std::min(component * 255.99998474121094, 255.0));
}

std::uint8_t sampleOfData(std::uint64_t value) {
    return static_cast<std::uint8_t>(std::min<std::uint64_t>(value, 255));
}

// round(v / 255) for v up to 255 * 255.
inline std::uint8_t divide255(unsigned v) {
    v += 128;
    return static_cast<std::uint8_t>((v + (v >> 8)) >> 8);
}

// About this many bytes of scanlines per strip: small enough to stay in the cache while the
// glyphs are blended and libtiff differences and compresses it.
constexpr std::size_t kBandBytes = 256 * 1024;

class BandPainter {
public:
    BandPainter(const CellGrid& grid, const TextLayout& layout, GlyphSource& glyphs, bool color,
                const std::uint8_t background[3])
        : grid_(grid), layout_(layout), glyphs_(glyphs), color_(color) {
        std::copy_n(background, 3, background_);
        rowBytes_ = static_cast<std::size_t>(layout.width) * 3;
        pens_.resize(static_cast<std::size_t>(layout.columns));
        for (int c = 0; c < layout.columns; ++c)
            pens_[static_cast<std::size_t>(c)] = layout.penX(c);
        backgroundRow_.reserve(rowBytes_);
        for (std::size_t i = 0; i < rowBytes_; ++i)
            backgroundRow_.push_back(background_[i % 3]);
    }

    std::size_t rowBytes() const { return rowBytes_; }

    // Scanlines y0 to y1 (exclusive) into `band`.
    void paint(int y0, int y1, std::uint8_t* band) {
        for (int y = y0; y < y1; ++y)
            std::memcpy(band + static_cast<std::size_t>(y - y0) * rowBytes_, backgroundRow_.data(),
                        rowBytes_);
        const FaceMetrics& m = glyphs_.metrics();
        for (int row = 0; row < layout_.rows; ++row) {
            const int baseline = layout_.baseline(row);
            if (baseline + m.inkBottom <= y0) continue;
            if (baseline - m.inkTop >= y1) break;
            for (int column = 0; column < layout_.columns; ++column) {
                const std::int32_t code = grid_.ascii[column + 1][row + 1];
                if (!isDrawnCode(code)) continue;
                const int pen = pens_[static_cast<std::size_t>(column)];
                const GlyphBitmap* glyph = glyphs_.glyph(code, pen % kSubpixelPhases);
                if (glyph == nullptr || glyph->width == 0) continue;
                std::uint8_t ink[3] = {0, 0, 0};
                if (color_) {
                    for (int i = 0; i < 3; ++i)
                        ink[i] = sampleOfData(grid_.data[column + 1][row + 1][i]);
                }
                blit(*glyph, pen / kSubpixelPhases + glyph->left, baseline - glyph->top, ink, y0,
                     y1, band);
            }
        }
    }

private:
    void blit(const GlyphBitmap& glyph, int x, int y, const std::uint8_t ink[3], int y0, int y1,
              std::uint8_t* band) const {
        const int top = std::max(y, y0);
        const int bottom = std::min(y + glyph.rows, y1);
        const int from = std::max(0, -x);
        const int to = std::min(glyph.width, layout_.width - x);
        for (int gy = top; gy < bottom; ++gy) {
            const std::uint8_t* cover =
                glyph.coverage.data() + static_cast<std::size_t>(gy - y) * glyph.width;
            std::uint8_t* out = band + static_cast<std::size_t>(gy - y0) * rowBytes_ +
                                static_cast<std::size_t>(x) * 3;
            for (int gx = from; gx < to; ++gx) {
                const unsigned a = cover[gx];
                if (a == 0) continue;
                std::uint8_t* p = out + gx * 3;
                for (int i = 0; i < 3; ++i)
                    p[i] = divide255(p[i] * (255 - a) + ink[i] * a);
            }
        }
    }

    const CellGrid& grid_;
    const TextLayout& layout_;
    GlyphSource& glyphs_;
    bool color_;
    std::uint8_t background_[3] = {255, 255, 255};
    std::size_t rowBytes_ = 0;
    std::vector<int> pens_;
    std::vector<std::uint8_t> backgroundRow_;
};

// The image into `fd`, an empty file open for reading and writing. `name` begins every error.
bool writeTiffToFd(int fd, const std::string& name, const CellGrid& grid,
                   const TiffImageOptions& options, std::string& error) {
    const TiffApi& api = tiffApi();
    if (!api.failure.empty()) {
        error = name + ": " + api.failure;
        return false;
    }
    const int pointSize =
        options.pointSize >= 1 && options.pointSize <= 73 ? options.pointSize : 12;
    std::string reason;
    const std::unique_ptr<GlyphSource> glyphs =
        GlyphSource::open(resolveMonospaceFont(options.fontName), pointSize, reason);
    if (!glyphs) {
        error = name + ": " + reason;
        return false;
    }
    const TextLayout layout = layoutText(glyphs->metrics(), grid.width2, grid.height2, pointSize);
    const std::uint8_t background[3] = {sampleOf(options.background.red),
                                        sampleOf(options.background.green),
                                        sampleOf(options.background.blue)};
    BandPainter painter(grid, layout, *glyphs, options.color, background);
    const int bandRows = static_cast<int>(
        std::clamp<std::size_t>(kBandBytes / painter.rowBytes(), 1, layout.height));

    TiffTarget target;
    target.fd = fd;
    TIFFOpenOptions* openOptions = api.OpenOptionsAlloc();
    if (openOptions == nullptr) {
        error = name + ": out of memory";
        return false;
    }
    api.OpenOptionsSetErrorHandlerExtR(openOptions, errorHandler, &target);
    api.OpenOptionsSetWarningHandlerExtR(openOptions, warningHandler, &target);
    TIFF* tif = api.ClientOpenExt(name.c_str(), "w", &target, readProc, writeProc, seekProc,
                                  closeProc, sizeProc, mapProc, unmapProc, openOptions);
    api.OpenOptionsFree(openOptions);
    bool ok = tif != nullptr;
    if (ok) {
        api.SetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(layout.width));
        api.SetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(layout.height));
        api.SetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        api.SetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
        api.SetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        api.SetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        api.SetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        api.SetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
        api.SetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(bandRows));
        api.SetField(tif, TIFFTAG_XRESOLUTION, 72.0);
        api.SetField(tif, TIFFTAG_YRESOLUTION, 72.0);
        api.SetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        // The strips are compressed here rather than by libtiff: text pictures difference to
        // long runs of zeros, which this encoder takes with one look-up a byte, differencing
        // in the same pass; libtiff's general encoder was the slowest part of the writer.
        std::vector<std::uint8_t> band(static_cast<std::size_t>(bandRows) * painter.rowBytes());
        std::vector<std::uint8_t> encoded;
        LzwEncoder encoder;
        for (int y0 = 0, strip = 0; ok && y0 < layout.height; y0 += bandRows, ++strip) {
            const int y1 = std::min(y0 + bandRows, layout.height);
            painter.paint(y0, y1, band.data());
            encoder.encodeStrip(band.data(), y1 - y0, painter.rowBytes(), encoded);
            const auto bytes = static_cast<tmsize_t>(encoded.size());
            ok = api.WriteRawStrip(tif, static_cast<std::uint32_t>(strip), encoded.data(), bytes) ==
                 bytes;
        }
        api.Close(tif); // writes the directory
    }
    if (ok && target.writeErrno == 0 && target.message.empty()) return true;
    if (target.writeErrno != 0) {
        error = name + ": " + std::strerror(target.writeErrno);
    } else if (!target.message.empty()) {
        error = name + ": " + target.message;
    } else {
        error = name + ": the image cannot be written";
    }
    return false;
}

// An unlinked file for an image bound for a stream that cannot seek.
int anonymousFile(std::string& error) {
    const TemporaryFile file = scratchFile();
    if (file.fd < 0)
        error = temporaryFolder() + ": cannot make a temporary file: " + std::strerror(file.error);
    return file.fd;
}

// The image built in an unlinked file, for a target that cannot seek, then handed to `sink`
// in pieces.
template <typename Sink>
bool writeTiffThroughAnonymousFile(const std::string& name, const CellGrid& grid,
                                   const TiffImageOptions& options, std::string& error,
                                   Sink&& sink) {
    const int fd = anonymousFile(error);
    if (fd < 0) return false;
    bool ok = writeTiffToFd(fd, name, grid, options, error);
    if (ok && ::lseek(fd, 0, SEEK_SET) != 0) {
        error = name + ": " + std::strerror(errno);
        ok = false;
    }
    std::vector<char> buffer(ok ? 1 << 16 : 0);
    while (ok) {
        const ssize_t n =
            retryOnInterrupt([&] { return ::read(fd, buffer.data(), buffer.size()); });
        if (n < 0) {
            error = name + ": " + std::strerror(errno);
            ok = false;
        }
        if (n <= 0) break;
        ok = sink(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    }
    ::close(fd);
    return ok;
}

} // namespace

bool writeTiffImage(const std::string& path, const CellGrid& grid, const TiffImageOptions& options,
                    LinkPolicy policy, std::string& error) {
    SafeFile file;
    if (!file.open(path, policy, error)) return false;
    // A device or a pipe written as it stands cannot seek, which libtiff needs.
    const bool written = file.direct()
                             ? writeTiffThroughAnonymousFile(
                                   path, grid, options, error,
                                   [&](std::string_view bytes) { return file.write(bytes, error); })
                             : writeTiffToFd(file.fd(), path, grid, options, error);
    return written && file.commit(error);
}

bool writeTiffImage(std::FILE* out, const CellGrid& grid, const TiffImageOptions& options,
                    std::string& error) {
    const std::string name = out == stdout ? "standard output" : "output";
    const bool written =
        writeTiffThroughAnonymousFile(name, grid, options, error, [&](std::string_view bytes) {
            if (std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size()) return true;
            error = name + ": " + std::strerror(errno);
            return false;
        });
    if (written && std::fflush(out) != 0) {
        error = name + ": " + std::strerror(errno);
        return false;
    }
    return written;
}

} // namespace gw::render
