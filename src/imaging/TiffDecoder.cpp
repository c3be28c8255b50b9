// TIFF through libtiff's RGBA interface, read in bands of whole strips or tiles so that memory
// follows the layout, not the picture's height.
//
// libtiff is loaded on first use: it brings seven libraries (WebP, LERC, JBIG, zstd, ...) whose
// loading costs about 14 ms at every start of a program, more than drawing a large JPEG.
#include "Decoding.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include <tiffio.h>

#include "common/SharedLibrary.h"

namespace gw::imaging::detail {

namespace {

// The libtiff functions used here, resolved from the shared library at first use.
struct TiffApi {
    decltype(&TIFFClientOpenExt) ClientOpenExt = nullptr;
    decltype(&TIFFClose) Close = nullptr;
    decltype(&TIFFGetField) GetField = nullptr;
    decltype(&TIFFGetFieldDefaulted) GetFieldDefaulted = nullptr;
    decltype(&TIFFIsTiled) IsTiled = nullptr;
    decltype(&TIFFOpenOptionsAlloc) OpenOptionsAlloc = nullptr;
    decltype(&TIFFOpenOptionsFree) OpenOptionsFree = nullptr;
    decltype(&TIFFOpenOptionsSetErrorHandlerExtR) OpenOptionsSetErrorHandlerExtR = nullptr;
    decltype(&TIFFOpenOptionsSetWarningHandlerExtR) OpenOptionsSetWarningHandlerExtR = nullptr;
    decltype(&TIFFOpenOptionsSetMaxSingleMemAlloc) OpenOptionsSetMaxSingleMemAlloc = nullptr;
    decltype(&TIFFRGBAImageOK) RGBAImageOK = nullptr;
    decltype(&TIFFRGBAImageBegin) RGBAImageBegin = nullptr;
    decltype(&TIFFRGBAImageGet) RGBAImageGet = nullptr;
    decltype(&TIFFRGBAImageEnd) RGBAImageEnd = nullptr;
    decltype(&TIFFReadScanline) ReadScanline = nullptr;
    decltype(&TIFFScanlineSize64) ScanlineSize64 = nullptr;
    decltype(&TIFFStripSize64) StripSize64 = nullptr;
    decltype(&TIFFTileSize64) TileSize64 = nullptr;
    decltype(&TIFFReadEncodedStrip) ReadEncodedStrip = nullptr;
    decltype(&TIFFReadTile) ReadTile = nullptr;
    decltype(&TIFFComputeStrip) ComputeStrip = nullptr;
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
        GW_RESOLVE(GetField);
        GW_RESOLVE(GetFieldDefaulted);
        GW_RESOLVE(IsTiled);
        GW_RESOLVE(OpenOptionsAlloc);
        GW_RESOLVE(OpenOptionsFree);
        GW_RESOLVE(OpenOptionsSetErrorHandlerExtR);
        GW_RESOLVE(OpenOptionsSetWarningHandlerExtR);
        GW_RESOLVE(OpenOptionsSetMaxSingleMemAlloc);
        GW_RESOLVE(RGBAImageOK);
        GW_RESOLVE(RGBAImageBegin);
        GW_RESOLVE(RGBAImageGet);
        GW_RESOLVE(RGBAImageEnd);
        GW_RESOLVE(ReadScanline);
        GW_RESOLVE(ScanlineSize64);
        GW_RESOLVE(StripSize64);
        GW_RESOLVE(TileSize64);
        GW_RESOLVE(ReadEncodedStrip);
        GW_RESOLVE(ReadTile);
        GW_RESOLVE(ComputeStrip);
#undef GW_RESOLVE
        return a;
    }();
    return api;
}

constexpr std::uint16_t kMaxTiffSamples = 32;

struct TiffHandle {
    ByteSource* source = nullptr;
    std::uint64_t position = 0;
    std::string message; // first error libtiff reported
};

tmsize_t readProc(thandle_t h, void* out, tmsize_t count) {
    auto* t = static_cast<TiffHandle*>(h);
    if (count <= 0) return 0;
    const std::size_t got = t->source->readAt(t->position, out, static_cast<std::size_t>(count));
    t->position += got;
    return static_cast<tmsize_t>(got);
}

tmsize_t writeProc(thandle_t, void*, tmsize_t) {
    return 0;
}

toff_t seekProc(thandle_t h, toff_t offset, int whence) {
    auto* t = static_cast<TiffHandle*>(h);
    std::uint64_t base = 0;
    if (whence == SEEK_CUR)
        base = t->position;
    else if (whence == SEEK_END)
        base = t->source->size();
    if (offset > UINT64_MAX - base) return static_cast<toff_t>(-1);
    t->position = base + offset;
    return t->position;
}

int closeProc(thandle_t) {
    return 0;
}
toff_t sizeProc(thandle_t h) {
    return static_cast<TiffHandle*>(h)->source->size();
}
// Mapping matters beyond speed: libtiff 4.5 refuses uncompressed tiles read through the
// read procedure whose size is not a multiple of 1024 bytes.
int mapProc(thandle_t h, void** base, toff_t* size) {
    const auto view = static_cast<TiffHandle*>(h)->source->map();
    if (view.empty()) return 0;
    *base = const_cast<std::uint8_t*>(view.data());
    *size = view.size();
    return 1;
}
void unmapProc(thandle_t, void*, toff_t) {}

int onError(TIFF*, void* user, const char*, const char* format, va_list args) {
    auto* t = static_cast<TiffHandle*>(user);
    if (t->message.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        t->message = text;
        // Some messages start with the name given to TIFFClientOpen, which means nothing here.
        constexpr std::string_view prefix = "tiff: ";
        if (t->message.starts_with(prefix)) t->message.erase(0, prefix.size());
    }
    return 1;
}

int onWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* tif) const { tiffApi().Close(tif); }
};

std::unique_ptr<TIFF, TiffCloser> openTiff(TiffHandle& handle, std::string& reason) {
    if (!tiffApi().failure.empty()) {
        reason = "TIFF support is unavailable (" + tiffApi().failure + ")";
        return nullptr;
    }
    const std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(
        tiffApi().OpenOptionsAlloc(), tiffApi().OpenOptionsFree);
    if (!options) {
        reason = "out of memory";
        return nullptr;
    }
    tiffApi().OpenOptionsSetErrorHandlerExtR(options.get(), &onError, &handle);
    tiffApi().OpenOptionsSetWarningHandlerExtR(options.get(), &onWarning, &handle);
    tiffApi().OpenOptionsSetMaxSingleMemAlloc(options.get(),
                                              static_cast<tmsize_t>(kMaxWholePixels * 4));
    std::unique_ptr<TIFF, TiffCloser> tif(
        tiffApi().ClientOpenExt("tiff", "r", &handle, &readProc, &writeProc, &seekProc, &closeProc,
                                &sizeProc, &mapProc, &unmapProc, options.get()));
    if (!tif)
        reason = handle.message.empty() ? "damaged TIFF data"
                                        : "damaged TIFF data (" + handle.message + ")";
    return tif;
}

std::string tiffReason(const TiffHandle& handle) {
    // libtiff's wording here includes offsets computed past the end of the file.
    if (handle.message.starts_with("Read error"))
        return "truncated TIFF data (image data past the end of the file)";
    return handle.message.empty() ? "damaged TIFF data"
                                  : "damaged TIFF data (" + handle.message + ")";
}

bool readsByScanline(TIFF* tif, const TIFFRGBAImage& image) {
    std::uint16_t planar = PLANARCONFIG_CONTIG, photometric = 0, compression = COMPRESSION_NONE;
    tiffApi().GetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    tiffApi().GetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    tiffApi().GetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    // libtiff's YCbCr and JPEG conversions work on blocks of rows, not on single rows.
    return !tiffApi().IsTiled(tif) && planar == PLANARCONFIG_CONTIG && image.isContig &&
           image.put.contig != nullptr && photometric != PHOTOMETRIC_YCBCR &&
           compression != COMPRESSION_JPEG && compression != COMPRESSION_OJPEG;
}

// The buffers libtiff's RGBA interface fills at once: a strip or tile, decoded and cleared
// before its data is read, and the band of RGBA pixels it is converted into.
std::uint64_t bandRows(TIFF* tif, std::uint32_t height) {
    std::uint32_t unit = 0;
    if (tiffApi().IsTiled(tif)) {
        tiffApi().GetField(tif, TIFFTAG_TILELENGTH, &unit);
    } else {
        tiffApi().GetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &unit);
    }
    unit = std::clamp<std::uint32_t>(unit, 1, std::max<std::uint32_t>(height, 1));
    // Whole strips or tiles per band, at least a few dozen rows so that tiny strips do not
    // cost a call each.
    return std::min<std::uint64_t>(height,
                                   std::uint64_t{unit} * std::max<std::uint32_t>(1, 32 / unit));
}

std::uint64_t layoutBytes(TIFF* tif, std::uint32_t width) {
    std::uint32_t height = 0;
    tiffApi().GetField(tif, TIFFTAG_IMAGELENGTH, &height);
    const bool tiled = tiffApi().IsTiled(tif);
    const std::uint64_t unitBytes = tiled ? tiffApi().TileSize64(tif) : tiffApi().StripSize64(tif);
    return unitBytes + std::uint64_t{width} * bandRows(tif, height) * 4;
}

// Stripped pictures of one plane are read a row at a time and converted by libtiff's own
// routine for the layout, so that memory stays a row however tall the strips are (a whole
// picture in one strip is common).
bool decodeScanlines(TIFF* tif, TIFFRGBAImage& image, TiffHandle& handle, Resampler& resampler,
                     std::string& reason) {
    const std::uint64_t scanline = tiffApi().ScanlineSize64(tif);
    if (scanline == 0 || scanline > kMaxWholeBytes) {
        reason = tiffReason(handle);
        return false;
    }
    std::vector<std::uint8_t> in(static_cast<std::size_t>(scanline));
    std::vector<std::uint32_t> rgba(image.width);
    std::vector<std::uint8_t> row(std::size_t{image.width} * 4);
    for (std::uint32_t y = 0; y < image.height; ++y) {
        if (tiffApi().ReadScanline(tif, in.data(), y, 0) < 0) {
            reason = tiffReason(handle);
            return false;
        }
        image.put.contig(&image, rgba.data(), 0, y, image.width, 1, 0, 0, in.data());
        for (std::uint32_t x = 0; x < image.width; ++x) {
            row[x * 4 + 0] = static_cast<std::uint8_t>(TIFFGetR(rgba[x]));
            row[x * 4 + 1] = static_cast<std::uint8_t>(TIFFGetG(rgba[x]));
            row[x * 4 + 2] = static_cast<std::uint8_t>(TIFFGetB(rgba[x]));
            row[x * 4 + 3] = static_cast<std::uint8_t>(TIFFGetA(rgba[x]));
        }
        resampler.pushRow(row.data());
    }
    return true;
}

// The sample layouts libtiff's RGBA interface refuses or reads coarsely, read here from the
// stored samples: grey, RGB and CMYK of 1 to 32 bits (unsigned or signed integers) or 32- and
// 64-bit floats, with an alpha sample, in strips or tiles, one plane or one per sample. Each
// sample is scaled to 8 bits; associated alpha is divided out at the stored precision first.
struct SampleLayout {
    std::uint16_t photometric = 0;
    std::uint16_t bits = 0;
    std::uint16_t format = SAMPLEFORMAT_UINT;
    std::uint16_t samples = 1; // per pixel, extra samples included
    std::uint16_t colours = 1; // 1 grey, 3 RGB, 4 CMYK
    bool alpha = false;
    bool associated = false;
    bool planar = false; // one plane per sample
};

bool sampleLayout(TIFF* tif, SampleLayout& l) {
    const TiffApi& api = tiffApi();
    std::uint16_t compression = COMPRESSION_NONE, planar = PLANARCONFIG_CONTIG;
    api.GetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    api.GetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    api.GetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bits);
    api.GetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &l.format);
    api.GetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.samples);
    if (!api.GetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric)) return false;
    l.planar = planar == PLANARCONFIG_SEPARATE;
    switch (l.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
        l.colours = 1;
        break;
    case PHOTOMETRIC_RGB:
        l.colours = 3;
        break;
    case PHOTOMETRIC_SEPARATED: {
        std::uint16_t inkSet = INKSET_CMYK;
        api.GetFieldDefaulted(tif, TIFFTAG_INKSET, &inkSet);
        if (inkSet != INKSET_CMYK) return false;
        l.colours = 4;
        break;
    }
    default:
        return false;
    }
    if (l.samples < l.colours) return false;
    std::uint16_t extraCount = 0;
    std::uint16_t* extra = nullptr;
    api.GetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    if (l.samples > l.colours && extraCount > 0 && extra) {
        l.alpha = extra[0] == EXTRASAMPLE_ASSOCALPHA || extra[0] == EXTRASAMPLE_UNASSALPHA;
        l.associated = extra[0] == EXTRASAMPLE_ASSOCALPHA;
    } else if (l.samples == 4 && l.colours == 3) {
        l.alpha = l.associated = true; // as libtiff reads RGB with a fourth, undeclared sample
    }
    const bool integer = (l.format == SAMPLEFORMAT_UINT || l.format == SAMPLEFORMAT_INT) &&
                         l.bits >= 1 && l.bits <= 32;
    const bool floating = l.format == SAMPLEFORMAT_IEEEFP && (l.bits == 32 || l.bits == 64);
    if (!integer && !floating) return false;
    // JPEG-compressed data and the layouts libtiff's RGBA interface reads exactly stay with it.
    if (compression == COMPRESSION_JPEG || compression == COMPRESSION_OJPEG) return false;
    const bool exact = l.format == SAMPLEFORMAT_UINT &&
                       (l.bits == 8 || (l.bits == 16 && !l.associated && l.colours != 4) ||
                        (l.colours == 1 && !l.alpha && l.bits <= 4 && l.bits != 3));
    return !exact;
}

// Reads sample `index` of a row of `bits`-bit samples as libtiff hands them over: whole
// 16, 32 and 64-bit words and 24-bit words in the machine's order, other sizes packed from the
// most significant bit.
class SampleReader {
public:
    SampleReader(const SampleLayout& l)
        : l_(l), max_(l.bits >= 32 ? 0xFFFFFFFFu : (1ull << l.bits) - 1) {}

    // The sample as a fraction of its range, 0 to 1.
    double fraction(const std::uint8_t* row, std::size_t index) const {
        if (l_.format == SAMPLEFORMAT_IEEEFP) {
            double v;
            if (l_.bits == 32) {
                float f;
                std::memcpy(&f, row + index * 4, 4);
                v = f;
            } else {
                std::memcpy(&v, row + index * 8, 8);
            }
            return std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0);
        }
        std::uint64_t v = raw(row, index);
        if (l_.format == SAMPLEFORMAT_INT) v ^= std::uint64_t{1} << (l_.bits - 1); // offset binary
        return static_cast<double>(v) / static_cast<double>(max_);
    }

private:
    std::uint64_t raw(const std::uint8_t* row, std::size_t index) const {
        switch (l_.bits) {
        case 8:
            return row[index];
        case 16: {
            std::uint16_t v;
            std::memcpy(&v, row + index * 2, 2);
            return v;
        }
        case 24: {
            const std::uint8_t* p = row + index * 3;
            return std::uint64_t{p[0]} | std::uint64_t{p[1]} << 8 | std::uint64_t{p[2]} << 16;
        }
        case 32: {
            std::uint32_t v;
            std::memcpy(&v, row + index * 4, 4);
            return v;
        }
        default: {
            const std::uint64_t bit = std::uint64_t{index} * l_.bits;
            std::uint64_t v = 0;
            for (std::uint16_t b = 0; b < l_.bits; ++b) {
                const std::uint64_t at = bit + b;
                v = v << 1 | ((row[at >> 3] >> (7 - (at & 7))) & 1u);
            }
            return v;
        }
        }
    }

    const SampleLayout& l_;
    std::uint64_t max_;
};

std::uint8_t toByte(double fraction) {
    return static_cast<std::uint8_t>(std::clamp(fraction, 0.0, 1.0) * 255.0 + 0.5);
}

// Converts one row, its planes at `planes` (one for interleaved samples), to straight RGBA.
void convertRow(const SampleLayout& l, const SampleReader& reader,
                const std::vector<const std::uint8_t*>& planes, std::uint32_t width,
                std::uint8_t* out) {
    double v[5] = {0, 0, 0, 0, 1};
    const std::size_t used = l.colours + (l.alpha ? 1 : 0);
    for (std::uint32_t x = 0; x < width; ++x, out += 4) {
        for (std::size_t c = 0; c < used; ++c) {
            v[c] = l.planar ? reader.fraction(planes[c], x)
                            : reader.fraction(planes[0], std::size_t{x} * l.samples + c);
        }
        const double a = l.alpha ? v[l.colours] : 1.0;
        double rgb[3];
        if (l.colours == 1) {
            rgb[0] = rgb[1] = rgb[2] = l.photometric == PHOTOMETRIC_MINISWHITE ? 1.0 - v[0] : v[0];
        } else if (l.colours == 3) {
            rgb[0] = v[0];
            rgb[1] = v[1];
            rgb[2] = v[2];
        } else {
            for (int c = 0; c < 3; ++c)
                rgb[c] = (1.0 - v[c]) * (1.0 - v[3]);
        }
        for (int c = 0; c < 3; ++c) {
            // Associated colour is the colour times alpha: divided out before it is rounded.
            const double straight = l.associated ? (a > 0 ? rgb[c] / a : 0.0) : rgb[c];
            out[c] = toByte(straight);
        }
        out[3] = toByte(a);
    }
}

bool decodeSamples(TIFF* tif, const SampleLayout& l, std::uint32_t width, std::uint32_t height,
                   TiffHandle& handle, Resampler& resampler, bool& partial, std::string& reason) {
    const TiffApi& api = tiffApi();
    const bool tiled = api.IsTiled(tif) != 0;
    const SampleReader reader(l);
    std::vector<std::uint8_t> out(std::size_t{width} * 4);
    // Interleaved strips are read a row at a time, so that memory stays a row however tall the
    // strips are.
    if (!tiled && !l.planar) {
        const std::uint64_t scanline = api.ScanlineSize64(tif);
        if (scanline == 0 || scanline > kMaxWholeBytes ||
            scanline < (std::uint64_t{width} * l.samples * l.bits + 7) / 8) {
            reason = tiffReason(handle);
            return false;
        }
        std::vector<std::uint8_t> in(static_cast<std::size_t>(scanline));
        const std::vector<const std::uint8_t*> planes{in.data()};
        for (std::uint32_t y = 0; y < height; ++y) {
            if (api.ReadScanline(tif, in.data(), y, 0) < 0) {
                // What was read stays; the rest is transparent, unless nothing was read.
                if (y == 0 || handle.source->failed()) {
                    reason = tiffReason(handle);
                    return false;
                }
                partial = true;
                resampler.finish();
                return true;
            }
            convertRow(l, reader, planes, width, out.data());
            resampler.pushRow(out.data());
        }
        return true;
    }
    std::uint32_t unitW = width, unitH = 0;
    if (tiled) {
        api.GetField(tif, TIFFTAG_TILEWIDTH, &unitW);
        api.GetField(tif, TIFFTAG_TILELENGTH, &unitH);
    } else {
        api.GetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &unitH);
    }
    unitH = std::clamp<std::uint32_t>(unitH, 1, std::max<std::uint32_t>(height, 1));
    if (unitW == 0) {
        reason = "damaged TIFF data (zero tile width)";
        return false;
    }
    const std::size_t planeCount = l.planar ? l.samples : 1;
    const std::uint64_t perPixel = l.planar ? 1 : l.samples;
    // A band row holds whole units across: a tile row may reach past the picture's right edge.
    const std::uint64_t bandW = tiled ? (std::uint64_t{width} + unitW - 1) / unitW * unitW : width;
    const std::uint64_t rowBytes = (bandW * perPixel * l.bits + 7) / 8;
    const std::uint64_t unitBytes = tiled ? api.TileSize64(tif) : api.StripSize64(tif);
    const std::uint64_t tileRowBytes = (std::uint64_t{unitW} * perPixel * l.bits + 7) / 8;
    if (unitBytes == 0 || rowBytes * unitH * planeCount + unitBytes > kMaxWholeBytes ||
        (tiled && unitBytes < tileRowBytes * unitH)) {
        reason = tooLargeReason(width, height,
                                "in strips or tiles of " + std::to_string(unitH) + " rows, limit " +
                                    std::to_string(kMaxWholeBytes) + " bytes at once");
        return false;
    }
    std::vector<std::vector<std::uint8_t>> band(planeCount);
    for (auto& b : band)
        b.resize(static_cast<std::size_t>(rowBytes * unitH));
    std::vector<std::uint8_t> unit(tiled ? static_cast<std::size_t>(unitBytes) : 0);
    std::vector<const std::uint8_t*> planes(planeCount);
    for (std::uint32_t y = 0; y < height; y += unitH) {
        const std::uint32_t rows = std::min(unitH, height - y);
        for (std::size_t p = 0; p < planeCount; ++p) {
            bool ok = true;
            if (!tiled) {
                const auto strip = api.ComputeStrip(tif, y, static_cast<std::uint16_t>(p));
                ok = api.ReadEncodedStrip(tif, strip, band[p].data(),
                                          static_cast<tmsize_t>(band[p].size())) >= 0;
            } else {
                for (std::uint32_t x = 0; x < width && ok; x += unitW) {
                    ok =
                        api.ReadTile(tif, unit.data(), x, y, 0, static_cast<std::uint16_t>(p)) >= 0;
                    const std::uint64_t offset = std::uint64_t{x} * perPixel * l.bits / 8;
                    for (std::uint32_t r = 0; r < unitH && ok; ++r) {
                        std::memcpy(band[p].data() + r * rowBytes + offset,
                                    unit.data() + r * tileRowBytes, tileRowBytes);
                    }
                }
            }
            if (!ok) {
                // What was read stays; the rest is transparent, unless nothing was read.
                if (resampler.rowsPushed() == 0 || handle.source->failed()) {
                    reason = tiffReason(handle);
                    return false;
                }
                partial = true;
                resampler.finish();
                return true;
            }
        }
        for (std::uint32_t r = 0; r < rows; ++r) {
            for (std::size_t p = 0; p < planeCount; ++p)
                planes[p] = band[p].data() + r * rowBytes;
            convertRow(l, reader, planes, width, out.data());
            resampler.pushRow(out.data());
        }
    }
    return true;
}

} // namespace

bool probeTiff(ByteSource& source, HeaderInfo& header, std::string& reason) {
    TiffHandle handle;
    handle.source = &source;
    const auto tif = openTiff(handle, reason);
    if (!tif) return false;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    if (!tiffApi().GetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !tiffApi().GetField(tif.get(), TIFFTAG_IMAGELENGTH, &height)) {
        reason = "damaged TIFF data (no image size)";
        return false;
    }
    tiffApi().GetFieldDefaulted(tif.get(), TIFFTAG_ORIENTATION, &orientation);
    header.width = width;
    header.height = height;
    header.orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
    header.wholeBytes = layoutBytes(tif.get(), width);
    return true;
}

bool decodeTiff(ByteSource& source, const HeaderInfo& expected, const RenderTarget& target,
                std::string& reason) {
    TiffHandle handle;
    handle.source = &source;
    const auto tif = openTiff(handle, reason);
    if (!tif) return false;
    // Each extra channel widens every strip libtiff allocates and clears; files with dozens
    // of them are hostile, not pictures (Photoshop's spot and mask channels stay well below).
    std::uint16_t samples = 1;
    tiffApi().GetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    if (samples > kMaxTiffSamples) {
        reason = "unsupported TIFF layout (" + std::to_string(samples) + " samples per pixel)";
        return false;
    }
    // libjpeg-turbo's TIFF codec reads 8-bit JPEG data only: 12 and 16-bit samples in JPEG
    // strips or tiles cannot be decoded here at all.
    std::uint16_t compression = COMPRESSION_NONE, bits = 8;
    tiffApi().GetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);
    tiffApi().GetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    if ((compression == COMPRESSION_JPEG || compression == COMPRESSION_OJPEG) && bits != 8) {
        reason = "unsupported TIFF layout (JPEG-compressed " + std::to_string(bits) +
                 "-bit samples; only 8-bit JPEG data can be read)";
        return false;
    }
    SampleLayout layout;
    if (sampleLayout(tif.get(), layout)) {
        std::uint32_t width = 0, height = 0;
        tiffApi().GetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
        tiffApi().GetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
        if (width != expected.width || height != expected.height) {
            reason = kChangedReason;
            return false;
        }
        Resampler resampler(target, width, height, expected.orientation);
        bool partial = false;
        if (!decodeSamples(tif.get(), layout, width, height, handle, resampler, partial, reason))
            return false;
        if (partial) target.markPartial();
        return true;
    }
    char message[1024] = {};
    if (!tiffApi().RGBAImageOK(tif.get(), message)) {
        reason = std::string("unsupported TIFF layout (") + message + ")";
        return false;
    }
    TIFFRGBAImage image{};
    // Stop at the first damaged strip or tile rather than draw it as zeros.
    if (!tiffApi().RGBAImageBegin(&image, tif.get(), 1, message)) {
        reason = std::string("unsupported TIFF layout (") + message + ")";
        return false;
    }
    const std::unique_ptr<TIFFRGBAImage, void (*)(TIFFRGBAImage*)> cleanup(&image,
                                                                           tiffApi().RGBAImageEnd);
    const std::uint32_t width = image.width;
    const std::uint32_t height = image.height;
    if (width != expected.width || height != expected.height) {
        reason = kChangedReason;
        return false;
    }
    // Orientation is applied by the resampler; libtiff is asked for the stored order.
    image.orientation = ORIENTATION_TOPLEFT;
    image.req_orientation = ORIENTATION_TOPLEFT;
    Resampler resampler(target, width, height, expected.orientation,
                        Resampler::Layout::PremultipliedRgba);
    if (readsByScanline(tif.get(), image))
        return decodeScanlines(tif.get(), image, handle, resampler, reason);

    const auto band = static_cast<std::uint32_t>(bandRows(tif.get(), height));
    const std::uint64_t bandPixels = std::uint64_t{width} * band;
    if (bandPixels > kMaxWholePixels || layoutBytes(tif.get(), width) > kMaxWholeBytes) {
        reason = tooLargeReason(width, height,
                                "in strips or tiles of " + std::to_string(band) + " rows, limit " +
                                    std::to_string(kMaxWholeBytes) + " bytes at once");
        return false;
    }
    std::vector<std::uint32_t> raster(static_cast<std::size_t>(bandPixels));
    std::vector<std::uint8_t> row(std::size_t{width} * 4);
    for (std::uint32_t y = 0; y < height; y += band) {
        const std::uint32_t rows = std::min(band, height - y);
        image.row_offset = static_cast<int>(y);
        image.col_offset = 0;
        if (!tiffApi().RGBAImageGet(&image, raster.data(), width, rows)) {
            reason = tiffReason(handle);
            return false;
        }
        for (std::uint32_t r = 0; r < rows; ++r) {
            const std::uint32_t* src = raster.data() + std::size_t{r} * width;
            for (std::uint32_t x = 0; x < width; ++x) {
                row[x * 4 + 0] = static_cast<std::uint8_t>(TIFFGetR(src[x]));
                row[x * 4 + 1] = static_cast<std::uint8_t>(TIFFGetG(src[x]));
                row[x * 4 + 2] = static_cast<std::uint8_t>(TIFFGetB(src[x]));
                row[x * 4 + 3] = static_cast<std::uint8_t>(TIFFGetA(src[x]));
            }
            resampler.pushRow(row.data());
        }
    }
    return true;
}

} // namespace gw::imaging::detail
