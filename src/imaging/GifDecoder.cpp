// GIF through giflib: the first frame on its logical screen, transparent where the frame does
// not reach or where its transparent index is set.
#include "Decoding.h"

#include <algorithm>
#include <cstring>

#include <gif_lib.h>

namespace gw::imaging::detail {

namespace {

int readGif(GifFileType* gif, GifByteType* out, int count) {
    auto* cursor = static_cast<SourceCursor*>(gif->UserData);
    return count <= 0 ? 0 : static_cast<int>(cursor->read(out, static_cast<std::size_t>(count)));
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int ignored = 0;
        DGifCloseFile(gif, &ignored);
    }
};

std::string gifReason(int code, SourceCursor& cursor) {
    if (code == D_GIF_ERR_READ_FAILED) {
        return cursor.source().failed() ? "read error" : "truncated GIF data";
    }
    const char* text = GifErrorString(code);
    return std::string("damaged GIF data (") + (text ? text : "unknown error") + ")";
}

// Maps one line of colour indices to straight RGBA at `out`.
bool paint(const GifPixelType* line, std::uint32_t count, const ColorMapObject& map,
           int transparent, std::uint8_t* out, std::string& reason) {
    for (std::uint32_t x = 0; x < count; ++x, out += 4) {
        const int index = line[x];
        if (index == transparent) {
            std::memset(out, 0, 4);
            continue;
        }
        if (index >= map.ColorCount) {
            reason = "damaged GIF data (colour index " + std::to_string(index) +
                     " beyond a colour table of " + std::to_string(map.ColorCount) + " entries)";
            return false;
        }
        const GifColorType& c = map.Colors[index];
        out[0] = c.Red;
        out[1] = c.Green;
        out[2] = c.Blue;
        out[3] = 255;
    }
    return true;
}

// Indices as greys, for files without a colour table: index i is grey i.
const ColorMapObject& greyMap() {
    static const auto map = [] {
        static GifColorType colours[256];
        for (int i = 0; i < 256; ++i) {
            const auto v = static_cast<GifByteType>(i);
            colours[i] = {v, v, v};
        }
        ColorMapObject m{};
        m.ColorCount = 256;
        m.BitsPerPixel = 8;
        m.Colors = colours;
        return m;
    }();
    return map;
}

} // namespace

bool probeGif(ByteSource& source, HeaderInfo& header, std::string& reason) {
    std::uint8_t head[10] = {};
    if (source.readAt(0, head, sizeof head) != sizeof head) {
        reason = "truncated GIF header";
        return false;
    }
    header.width = head[6] | head[7] << 8;
    header.height = head[8] | head[9] << 8;
    header.orientation = 1;
    return true;
}

bool decodeGif(ByteSource& source, const HeaderInfo& expected, const RenderTarget& target,
               std::string& reason) {
    SourceCursor cursor(source);
    int code = 0;
    const std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&cursor, &readGif, &code));
    if (!gif) {
        reason = gifReason(code, cursor);
        return false;
    }
    const auto width = static_cast<std::uint32_t>(gif->SWidth);
    const auto height = static_cast<std::uint32_t>(gif->SHeight);
    if (width != expected.width || height != expected.height) {
        reason = kChangedReason;
        return false;
    }
    int transparent = -1;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) {
            reason = gifReason(gif->Error, cursor);
            return false;
        }
        if (type == TERMINATE_RECORD_TYPE) {
            reason = "the GIF file holds no image";
            return false;
        }
        if (type == EXTENSION_RECORD_TYPE) {
            int extCode = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &extCode, &block) == GIF_ERROR) {
                reason = gifReason(gif->Error, cursor);
                return false;
            }
            if (extCode == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
                GraphicsControlBlock control{};
                if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
                    transparent = control.TransparentColor;
                }
            }
            while (block) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) {
                    reason = gifReason(gif->Error, cursor);
                    return false;
                }
            }
            continue;
        }
        if (type == IMAGE_DESC_RECORD_TYPE) break;
    }
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) {
        reason = gifReason(gif->Error, cursor);
        return false;
    }
    const GifImageDesc& frame = gif->Image;
    // A file without any colour table draws its indices as greys, as viewers do.
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!map || !map->Colors || map->ColorCount <= 0) map = &greyMap();
    if (frame.Width <= 0 || frame.Height <= 0 || frame.Left < 0 || frame.Top < 0) {
        reason = "damaged GIF data (empty first frame)";
        return false;
    }
    const auto left = static_cast<std::uint32_t>(frame.Left);
    const auto top = static_cast<std::uint32_t>(frame.Top);
    const auto frameW = static_cast<std::uint32_t>(frame.Width);
    const auto frameH = static_cast<std::uint32_t>(frame.Height);
    if (std::uint64_t{frameW} * frameH > kMaxPixels) {
        reason = tooLargeReason(frameW, frameH, "limit " + std::to_string(kMaxPixels) + " pixels");
        return false;
    }
    // Only the part of the frame that lies on the screen is decoded: lines below it are never
    // read, and a frame wholly off the screen not at all.
    const std::uint32_t visibleW = left < width ? std::min(frameW, width - left) : 0;
    const std::uint32_t visibleH =
        top < height && visibleW > 0 ? std::min(frameH, height - top) : 0;

    // Interlaced lines are added into the canvas as their passes bring them, so that memory
    // follows the canvas, not the frame.
    Resampler resampler(target, width, height, 1, Resampler::Layout::Rgba,
                        frame.Interlace ? Resampler::Order::Any : Resampler::Order::TopToBottom);
    std::vector<std::uint8_t> row(std::size_t{width} * 4);
    std::vector<GifPixelType> line(frameW);
    std::uint32_t linesRead = 0;
    bool badIndex = false;
    // Reads the next line of the frame and draws it at screen row `y` when it is visible.
    // After damage, whatever arrived is kept (the rest transparent, as viewers show it)
    // unless nothing did.
    const auto next = [&](std::uint32_t y) {
        if (DGifGetLine(gif.get(), line.data(), static_cast<int>(frameW)) == GIF_ERROR) {
            reason = gifReason(gif->Error, cursor);
            return false;
        }
        ++linesRead;
        if (y - top >= visibleH) return true;
        std::fill(row.begin(), row.end(), std::uint8_t{0});
        if (!paint(line.data(), visibleW, *map, transparent, row.data() + std::size_t{left} * 4,
                   reason)) {
            badIndex = true;
            return false;
        }
        resampler.pushRowAt(y, row.data());
        return true;
    };
    bool ok = true;
    if (frame.Interlace && visibleH > 0) {
        // The last pass stops at the last line on the screen. The passes before it are read
        // through: the lines of each pass follow those of the one before in one LZW stream.
        static constexpr std::uint32_t kStart[] = {0, 4, 2, 1};
        static constexpr std::uint32_t kStep[] = {8, 8, 4, 2};
        int lastPass = 0;
        for (int pass = 0; pass < 4; ++pass) {
            if (kStart[pass] < visibleH) lastPass = pass;
        }
        for (int pass = 0; pass <= lastPass && ok; ++pass) {
            const std::uint32_t end = pass == lastPass ? visibleH : frameH;
            for (std::uint32_t y = kStart[pass]; y < end && ok; y += kStep[pass])
                ok = next(top + y);
        }
    } else {
        for (std::uint32_t y = 0; y < visibleH && ok; ++y)
            ok = next(top + y);
    }
    if (!ok) {
        if (linesRead == 0 || badIndex || source.failed()) return false;
        target.markPartial();
    }
    resampler.finish();
    return true;
}

} // namespace gw::imaging::detail
