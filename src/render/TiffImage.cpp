// Each band the painter draws is compressed as one LZW strip, which libtiff writes into the
// file with its directory.
#include "render/TiffImage.h"

#include "render/LzwEncoder.h"
#include "render/TiffTarget.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace gw::render {
namespace {

// About this many bytes of scanlines per strip: small enough to stay in the cache while the
// glyphs are blended and the strip is differenced and compressed.
constexpr std::size_t kBandBytes = 256 * 1024;

// The image into `fd`, an empty file open for reading and writing. `name` begins every error.
bool writeTiffToFd(int fd, const std::string& name, const CellGrid& grid,
                   const ImageOptions& options, std::string& error) {
    const TiffApi& api = tiffApi();
    if (!api.failure.empty()) {
        error = name + ": " + api.failure;
        return false;
    }
    const std::unique_ptr<BandPainter> painter = BandPainter::open(grid, options, name, error);
    if (!painter) return false;
    const int height = painter->height();
    const int bandRows = painter->bandRows(kBandBytes);

    TiffTarget target;
    target.fd = fd;
    TIFF* tif = openTiffTarget(api, name, target);
    bool ok = tif != nullptr;
    if (ok) {
        api.SetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(painter->width()));
        api.SetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
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
        std::vector<std::uint8_t> band(static_cast<std::size_t>(bandRows) * painter->rowBytes());
        std::vector<std::uint8_t> encoded;
        LzwEncoder encoder;
        for (int y0 = 0, strip = 0; ok && y0 < height; y0 += bandRows, ++strip) {
            const int y1 = std::min(y0 + bandRows, height);
            painter->paint(y0, y1, band.data());
            encoder.encodeStrip(band.data(), y1 - y0, painter->rowBytes(), encoded);
            const auto bytes = static_cast<tmsize_t>(encoded.size());
            ok = api.WriteRawStrip(tif, static_cast<std::uint32_t>(strip), encoded.data(), bytes) ==
                 bytes;
        }
        api.Close(tif); // writes the directory
    }
    const std::string failure = tiffTargetError(target, name);
    if (ok && failure.empty()) return true;
    error = failure.empty() ? name + ": the image cannot be written" : failure;
    return false;
}

} // namespace

bool writeTiffImage(const std::string& path, const CellGrid& grid, const ImageOptions& options,
                    LinkPolicy policy, std::string& error) {
    SafeFile file;
    if (!file.open(path, policy, error)) return false;
    // A device or a pipe written as it stands cannot seek, which libtiff needs.
    const bool written =
        file.direct() ? writeThroughAnonymousFile(
                            path, error,
                            [&](int fd) { return writeTiffToFd(fd, path, grid, options, error); },
                            [&](std::string_view bytes) { return file.write(bytes, error); })
                      : writeTiffToFd(file.fd(), path, grid, options, error);
    return written && file.commit(error);
}

bool writeTiffImage(std::FILE* out, const CellGrid& grid, const ImageOptions& options,
                    std::string& error) {
    return writeImageToStream(out, error, [&](const std::string& name, const ByteSink& sink) {
        return writeThroughAnonymousFile(
            name, error, [&](int fd) { return writeTiffToFd(fd, name, grid, options, error); },
            sink);
    });
}

} // namespace gw::render
