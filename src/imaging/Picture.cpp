#include "Picture.h"

#include "ByteSource.h"
#include "Decoding.h"
#include "RasterReaders.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace gw::imaging {

using detail::ByteSource;
using detail::HeaderInfo;

class PictureData {
public:
    std::string name;
    std::string path;                                       // empty for bytes in memory
    std::shared_ptr<const std::vector<std::uint8_t>> bytes; // null for files
    Format format = Format::Png;
    HeaderInfo header;
};

std::string_view formatName(Format format) {
    switch (format) {
    case Format::Psd:
        return "psd";
    case Format::Bmp:
        return "bmp";
    case Format::Gif:
        return "gif";
    case Format::Jpeg:
        return "jpeg";
    case Format::Png:
        return "png";
    case Format::Tga:
        return "tga";
    case Format::Tiff:
        return "tiff";
    }
    return "unknown";
}

const std::vector<std::string>& pictureFileTypes() {
    static const std::vector<std::string> types{"psd", "bmp", "gif", "jpg", "jpeg",
                                                "png", "tga", "tif", "tiff"};
    return types;
}

namespace {

std::string failure(const std::string& name, const std::string& reason) {
    return name + ": " + reason;
}

void setError(PictureError* error, const std::string& name, const std::string& reason) {
    if (error) error->message = failure(name, reason);
}

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view magic) {
    return bytes.size() >= magic.size() &&
           std::equal(magic.begin(), magic.end(), bytes.begin(),
                      [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}

// The first bytes of a source, enough for sniffing and for the headers of the formats that
// are probed from memory.
std::vector<std::uint8_t> readHead(ByteSource& source) {
    constexpr std::size_t kHeadBytes = 64 * 1024;
    std::vector<std::uint8_t> head(
        static_cast<std::size_t>(std::min<std::uint64_t>(kHeadBytes, source.size())));
    head.resize(source.readAt(0, head.data(), head.size()));
    return head;
}

bool probe(Format format, ByteSource& source, std::span<const std::uint8_t> head, HeaderInfo& info,
           std::string& reason) {
    switch (format) {
    case Format::Jpeg:
        return detail::probeJpeg(source, info, reason);
    case Format::Png:
        return detail::probePng(source, info, reason);
    case Format::Gif:
        return detail::probeGif(source, info, reason);
    case Format::Tiff:
        return detail::probeTiff(source, info, reason);
    case Format::Bmp:
        return detail::probeBmp(head, info.width, info.height, reason);
    case Format::Tga:
        return detail::probeTga(head, info.width, info.height, reason);
    case Format::Psd:
        return detail::probePsd(head, info.width, info.height, reason);
    }
    return false;
}

std::optional<Picture> failed(PictureError* error, const std::string& name,
                              const std::string& reason) {
    setError(error, name, reason);
    return std::nullopt;
}

bool wholeFormat(Format format) {
    return format == Format::Bmp || format == Format::Tga || format == Format::Psd;
}

// The formats decoded from memory hold the file's bytes (unless already in memory) and the
// whole picture at once.
bool wholeFits(std::uint64_t width, std::uint64_t height, std::uint64_t fileBytes,
               std::string& reason) {
    const std::uint64_t pixels = width * height;
    if (pixels > detail::kMaxWholePixels) {
        reason = detail::tooLargeReason(width, height);
        return false;
    }
    if (pixels * 4 + fileBytes > detail::kMaxWholeBytes) {
        reason =
            detail::tooLargeReason(width, height,
                                   "in a file of " + std::to_string(fileBytes) + " bytes, limit " +
                                       std::to_string(detail::kMaxWholeBytes) + " bytes");
        return false;
    }
    return true;
}

// Reads a whole file for the formats that are decoded from memory.
bool readWhole(ByteSource& source, const HeaderInfo& expected, std::vector<std::uint8_t>& bytes,
               std::string& reason) {
    // The file may have grown since it was probed.
    if (!wholeFits(expected.width, expected.height, source.size(), reason)) return false;
    bytes.resize(static_cast<std::size_t>(source.size()));
    if (source.readAt(0, bytes.data(), bytes.size()) != bytes.size()) {
        reason = source.failed() ? "read error" : detail::kChangedReason;
        return false;
    }
    return true;
}

using WholeDecoder = bool (*)(std::span<const std::uint8_t>, const detail::DecodeLimits&,
                              detail::RgbaImage&, std::string&);

bool decodeWhole(WholeDecoder decoder, ByteSource& source, const HeaderInfo& expected,
                 const detail::RenderTarget& target, std::string& reason) {
    std::vector<std::uint8_t> fileBytes;
    std::span<const std::uint8_t> bytes = source.memory();
    if (bytes.empty()) {
        if (!readWhole(source, expected, fileBytes, reason)) return false;
        bytes = fileBytes;
    }
    detail::RgbaImage image;
    if (!decoder(bytes, detail::DecodeLimits{detail::kMaxWholePixels}, image, reason)) return false;
    if (image.width != expected.width || image.height != expected.height ||
        image.rgba.size() != std::size_t{image.width} * image.height * 4) {
        reason = detail::kChangedReason;
        return false;
    }
    fileBytes = {};
    detail::Resampler resampler(target, image.width, image.height, 1);
    for (std::uint32_t y = 0; y < image.height; ++y) {
        resampler.pushRow(image.rowWritten(y) ? image.rgba.data() + std::size_t{y} * image.width * 4
                                              : nullptr);
    }
    return true;
}

bool decode(Format format, ByteSource& source, const HeaderInfo& expected,
            const detail::RenderTarget& target, std::string& reason) {
    switch (format) {
    case Format::Jpeg:
        return detail::decodeJpeg(source, expected, target, reason);
    case Format::Png:
        return detail::decodePng(source, expected, target, reason);
    case Format::Gif:
        return detail::decodeGif(source, expected, target, reason);
    case Format::Tiff:
        return detail::decodeTiff(source, expected, target, reason);
    case Format::Bmp:
        return decodeWhole(&detail::decodeBmp, source, expected, target, reason);
    case Format::Tga:
        return decodeWhole(&detail::decodeTga, source, expected, target, reason);
    case Format::Psd:
        return decodeWhole(&detail::decodePsd, source, expected, target, reason);
    }
    return false;
}

// A progressive JPEG keeps all its DCT coefficients, two bytes each, until its last scan: the
// bytes they take, 0 for a single-scan file, or nothing when the frame header lies beyond the
// first bytes.
std::optional<std::uint64_t> jpegCoefficientBytes(std::span<const std::uint8_t> head,
                                                  const HeaderInfo& header) {
    const std::uint64_t pixels = std::uint64_t{header.width} * header.height;
    std::size_t at = 2;
    while (at + 4 <= head.size() && head[at] == 0xFF) {
        const std::uint8_t marker = head[at + 1];
        const std::size_t length = std::size_t{head[at + 2]} << 8 | head[at + 3];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            const bool multiScan =
                marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
            if (!multiScan) return 0;
            if (at + 10 > head.size()) break;
            // Samples per pixel: the sum of each component's sampling area over the largest.
            const unsigned components = head[at + 9];
            unsigned maxH = 1, maxV = 1, area = 0;
            for (unsigned c = 0; c < components && at + 12 + 3 * c <= head.size(); ++c) {
                const unsigned h = head[at + 11 + 3 * c] >> 4, v = head[at + 11 + 3 * c] & 15;
                maxH = std::max(maxH, h);
                maxV = std::max(maxV, v);
                area += h * v;
            }
            return pixels * 2 * std::max(1u, area) / (maxH * maxV);
        }
        at += 2 + length;
    }
    return std::nullopt;
}

std::optional<Picture> probeSource(ByteSource& source, PictureData& data, PictureError* error,
                                   Picture (*make)(std::shared_ptr<const PictureData>)) {
    if (source.size() == 0) return failed(error, data.name, "the file is empty");
    const std::vector<std::uint8_t> head = readHead(source);
    if (head.empty())
        return failed(error, data.name, source.failed() ? "read error" : "the file is empty");
    const std::optional<Format> format = detectFormat(head);
    if (!format) return failed(error, data.name, "not a picture in a supported format");
    data.format = *format;
    std::string reason;
    if (!probe(*format, source, head, data.header, reason)) return failed(error, data.name, reason);
    HeaderInfo& header = data.header;
    if (header.width == 0 || header.height == 0) {
        return failed(error, data.name, "the picture has zero width or height");
    }
    if (!detail::withinPictureCaps(header.width, header.height, reason))
        return failed(error, data.name, reason);
    if (wholeFormat(*format)) {
        const std::uint64_t fileBytes = data.bytes ? 0 : source.size();
        if (!wholeFits(header.width, header.height, fileBytes, reason))
            return failed(error, data.name, reason);
        header.wholeBytes = std::uint64_t{header.width} * header.height * 4 + fileBytes;
    } else if (*format == Format::Jpeg) {
        const std::optional<std::uint64_t> coefficients = jpegCoefficientBytes(head, header);
        if (coefficients > detail::kMaxWholeBytes) {
            return failed(error, data.name,
                          detail::tooLargeReason(header.width, header.height,
                                                 "progressive, " + std::to_string(*coefficients) +
                                                     " bytes of coefficients, limit " +
                                                     std::to_string(detail::kMaxWholeBytes) +
                                                     " bytes"));
        }
        // Unknown: as much as 4:2:0 sampling takes.
        header.wholeBytes = coefficients.value_or(std::uint64_t{header.width} * header.height * 3);
    }
    return make(std::make_shared<const PictureData>(std::move(data)));
}

} // namespace

std::optional<Format> detectFormat(std::span<const std::uint8_t> head) {
    using namespace std::string_view_literals;
    if (startsWith(head, "\xFF\xD8\xFF"sv)) return Format::Jpeg;
    if (startsWith(head, "\x89PNG\r\n\x1A\n"sv)) return Format::Png;
    if (startsWith(head, "GIF87a"sv) || startsWith(head, "GIF89a"sv)) return Format::Gif;
    if (startsWith(head, "II*\0"sv) || startsWith(head, "MM\0*"sv) || startsWith(head, "II+\0"sv) ||
        startsWith(head, "MM\0+"sv)) {
        return Format::Tiff;
    }
    if (detail::looksLikePsd(head)) return Format::Psd;
    if (detail::looksLikeBmp(head)) return Format::Bmp;
    if (detail::looksLikeTga(head)) return Format::Tga;
    return std::nullopt;
}

std::string detail::tooLargeReason(std::uint64_t width, std::uint64_t height) {
    return tooLargeReason(width, height, "limit " + std::to_string(kMaxWholePixels) + " pixels");
}

std::string detail::tooLargeReason(std::uint64_t width, std::uint64_t height,
                                   const std::string& limit) {
    return "the picture is too large to decode (" + std::to_string(width) + " x " +
           std::to_string(height) + " pixels, " + limit + ")";
}

bool detail::withinPictureCaps(std::uint64_t width, std::uint64_t height, std::string& reason) {
    if (width > kMaxSide || height > kMaxSide) {
        reason =
            tooLargeReason(width, height, "limit " + std::to_string(kMaxSide) + " pixels a side");
        return false;
    }
    if (width * height > kMaxPixels) {
        reason = tooLargeReason(width, height, "limit " + std::to_string(kMaxPixels) + " pixels");
        return false;
    }
    return true;
}

detail::Orientation detail::exifOrientation(std::span<const std::uint8_t> tiff) {
    if (tiff.size() < 8) return 1;
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return 1;
    auto u16 = [&](std::size_t at) -> std::uint32_t {
        return little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1];
    };
    auto u32 = [&](std::size_t at) -> std::uint64_t {
        return little ? u16(at) | std::uint64_t{u16(at + 2)} << 16
                      : std::uint64_t{u16(at)} << 16 | u16(at + 2);
    };
    if (u16(2) != 42) return 1;
    const std::uint64_t ifd = u32(4);
    if (ifd > tiff.size() - 2) return 1;
    const std::uint32_t count = u16(static_cast<std::size_t>(ifd));
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t entry = ifd + 2 + std::uint64_t{i} * 12;
        if (entry + 12 > tiff.size()) return 1;
        const auto at = static_cast<std::size_t>(entry);
        if (u16(at) != 0x0112) continue;
        if (u16(at + 2) != 3 || u32(at + 4) != 1) return 1; // SHORT, one value
        const std::uint32_t value = u16(at + 8);
        return value >= 1 && value <= 8 ? static_cast<Orientation>(value) : 1;
    }
    return 1;
}

std::optional<Picture> Picture::open(const std::string& path, PictureError* error) {
    std::string reason;
    const std::unique_ptr<ByteSource> source = ByteSource::openFile(path, reason);
    if (!source) return failed(error, path, reason);
    PictureData data;
    data.name = path;
    data.path = path;
    return probeSource(*source, data, error,
                       [](std::shared_ptr<const PictureData> d) { return Picture(std::move(d)); });
}

std::optional<Picture> Picture::fromMemory(std::vector<std::uint8_t> bytes, std::string name,
                                           PictureError* error) {
    PictureData data;
    data.name = std::move(name);
    data.bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
    const std::unique_ptr<ByteSource> source = ByteSource::fromMemory(data.bytes);
    return probeSource(*source, data, error,
                       [](std::shared_ptr<const PictureData> d) { return Picture(std::move(d)); });
}

Format Picture::format() const {
    return data_->format;
}

PictureSize Picture::size() const {
    const HeaderInfo& h = data_->header;
    if (detail::swapsAxes(h.orientation)) return {h.height, h.width};
    return {h.width, h.height};
}

const std::string& Picture::name() const {
    return data_->name;
}

PointSize Picture::pointSize() const {
    const PictureSize s = size();
    return {static_cast<double>(s.width), static_cast<double>(s.height)};
}

bool Picture::renderCanvas(double gw, double gh, double scale, RgbaCanvas& out,
                           std::string& error) const {
    out = RgbaCanvas{};
    if (!std::isfinite(gw) || !std::isfinite(gh) || !std::isfinite(scale) || gw < 0 || gh < 0 ||
        scale <= 0) {
        error = failure(data_->name, "invalid canvas size");
        return false;
    }
    const double extentX = gw * scale;
    const double extentY = gh * scale;
    const double pixelsX = std::ceil(extentX);
    const double pixelsY = std::ceil(extentY);
    if (pixelsX > detail::kMaxCanvasSide || pixelsY > detail::kMaxCanvasSide ||
        pixelsX * pixelsY > static_cast<double>(detail::kMaxCanvasPixels)) {
        error = failure(data_->name, "the canvas is too large (" + std::to_string(pixelsX) + " x " +
                                         std::to_string(pixelsY) + " pixels)");
        return false;
    }
    RgbaCanvas canvas;
    canvas.width = static_cast<int>(pixelsX);
    canvas.height = static_cast<int>(pixelsY);
    canvas.rgba.assign(static_cast<std::size_t>(canvas.width) * canvas.height * 4, 0);
    // An empty canvas still reads the whole picture: a damaged file is reported whatever
    // the size it is drawn at.

    std::string reason;
    std::unique_ptr<ByteSource> source = data_->bytes ? ByteSource::fromMemory(data_->bytes)
                                                      : ByteSource::openFile(data_->path, reason);
    if (!source) {
        error = failure(data_->name, reason);
        return false;
    }
    bool partial = false;
    const detail::RenderTarget target{extentX, extentY, &canvas, &partial};
    if (!decode(data_->format, *source, data_->header, target, reason)) {
        error = failure(data_->name, reason);
        return false;
    }
    canvas.partial = partial;
    out = std::move(canvas);
    return true;
}

std::string damagedDataWarning(const std::string& name) {
    return name + ": damaged data, converted the part that could be read";
}

std::uint64_t Picture::decodeMemory() const {
    const HeaderInfo& h = data_->header;
    // A few rows of the picture in the decoders and the resampler, and the layout's buffers.
    return std::uint64_t{h.width} * 4 * 16 + h.wholeBytes;
}

bool Picture::renderThumbnail(int maxSide, RgbaCanvas& out, std::string& error) const {
    if (maxSide <= 0) {
        out = RgbaCanvas{};
        error = failure(data_->name, "invalid thumbnail size");
        return false;
    }
    // Small pictures keep their size: an image well shows them as they are.
    const PictureSize s = size();
    const double longest = std::max(s.width, s.height);
    const double factor = std::min(1.0, maxSide / longest);
    const double w = std::max(1.0, std::round(s.width * factor));
    const double h = std::max(1.0, std::round(s.height * factor));
    return renderCanvas(w, h, 1.0, out, error);
}

Picture::Picture(std::shared_ptr<const PictureData> data) : data_(std::move(data)) {}
Picture::Picture(const Picture&) = default;
Picture& Picture::operator=(const Picture&) = default;
Picture::Picture(Picture&&) noexcept = default;
Picture& Picture::operator=(Picture&&) noexcept = default;
Picture::~Picture() = default;

} // namespace gw::imaging
