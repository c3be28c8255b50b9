// JPEG through libjpeg-turbo: scaled in the DCT when the canvas is much smaller than the
// picture, scanlines streamed into the resampler.
#include "Decoding.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include <jerror.h>
#include <jpeglib.h>

namespace gw::imaging::detail {

namespace {

// Progressive files can ask for unbounded work with endless scans; real encoders use a few
// dozen at most.
constexpr int kMaxScans = 500;

struct JpegSession {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    jpeg_source_mgr input{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    SourceCursor* cursor = nullptr;
    std::string reason;
    bool created = false;
    // Where the entropy-coded data starts, once the header is read; and whether the data
    // stopped short, after which the decoder is handed an end marker and fills the rest grey.
    std::uint64_t dataStart = 0;
    bool pastHeader = false;
    bool cutShort = false;
    // Owned here rather than as locals so that nothing changed after setjmp lives in a
    // register when libjpeg jumps back.
    std::vector<std::uint8_t> rows;
    std::vector<std::uint8_t> converted;
    std::unique_ptr<Resampler> resampler;

    ~JpegSession() {
        if (created) jpeg_destroy_decompress(&info);
    }
};

JpegSession& sessionOf(j_common_ptr info) {
    return *static_cast<JpegSession*>(info->client_data);
}

[[noreturn]] void fail(j_common_ptr info, std::string reason) {
    JpegSession& session = sessionOf(info);
    session.reason = std::move(reason);
    std::longjmp(session.jump, 1);
}

void onError(j_common_ptr info) {
    // Cut short between scans, where no picture data was left to show: the end marker handed
    // in then reads as a damaged marker.
    if (sessionOf(info).cutShort) fail(info, "truncated JPEG data");
    char text[JMSG_LENGTH_MAX] = {};
    (*info->err->format_message)(info, text);
    fail(info, std::string("damaged JPEG data (") + text + ")");
}

void onMessage(j_common_ptr info, int level) {
    // Warnings that mean the entropy-coded data is out of step: what follows would be garbage,
    // so the picture is refused instead of shown damaged. Data that merely stops is shown as
    // far as it goes, the rest grey, as viewers show it.
    if (level < 0) {
        const int code = info->err->msg_code;
        const bool expected = code == JWRN_HIT_MARKER && sessionOf(info).cutShort;
        if (!expected &&
            (code == JWRN_HIT_MARKER || code == JWRN_MUST_RESYNC || code == JWRN_JPEG_EOF)) {
            fail(info, "damaged JPEG data (entropy-coded data is cut short)");
        }
        ++info->err->num_warnings;
    }
}

void onProgress(j_common_ptr info) {
    auto* d = reinterpret_cast<j_decompress_ptr>(info);
    if (d->progressive_mode && d->input_scan_number > kMaxScans) {
        fail(info, "damaged JPEG data (more than " + std::to_string(kMaxScans) + " scans)");
    }
}

void initSource(j_decompress_ptr) {}

boolean fillInput(j_decompress_ptr info) {
    JpegSession& session = sessionOf(reinterpret_cast<j_common_ptr>(info));
    const auto piece = session.cursor->next(64 * 1024);
    if (piece.empty()) {
        if (session.cursor->source().failed() || !session.pastHeader ||
            session.cursor->tell() <= session.dataStart) {
            fail(reinterpret_cast<j_common_ptr>(info),
                 session.cursor->source().failed() ? "read error" : "truncated JPEG data");
        }
        static const JOCTET kEnd[2] = {0xFF, JPEG_EOI};
        session.cutShort = true;
        info->src->next_input_byte = kEnd;
        info->src->bytes_in_buffer = sizeof kEnd;
        return TRUE;
    }
    info->src->next_input_byte = piece.data();
    info->src->bytes_in_buffer = piece.size();
    return TRUE;
}

void skipInput(j_decompress_ptr info, long count) {
    if (count <= 0) return;
    auto n = static_cast<std::size_t>(count);
    jpeg_source_mgr* src = info->src;
    while (n > src->bytes_in_buffer) {
        n -= src->bytes_in_buffer;
        src->bytes_in_buffer = 0;
        fillInput(info);
        if (sessionOf(reinterpret_cast<j_common_ptr>(info)).cutShort) return; // keep the marker
    }
    src->next_input_byte += n;
    src->bytes_in_buffer -= n;
}

void termSource(j_decompress_ptr) {}

// Sets up the session; must be called in the frame that owns the setjmp.
void begin(JpegSession& s, SourceCursor& cursor) {
    s.cursor = &cursor;
    s.info.err = jpeg_std_error(&s.errors);
    s.errors.error_exit = &onError;
    s.errors.emit_message = &onMessage;
    s.info.client_data = &s;
    jpeg_create_decompress(&s.info);
    s.created = true;
    s.progress.progress_monitor = &onProgress;
    s.info.progress = &s.progress;
    s.input.init_source = &initSource;
    s.input.fill_input_buffer = &fillInput;
    s.input.skip_input_data = &skipInput;
    s.input.resync_to_restart = &jpeg_resync_to_restart;
    s.input.term_source = &termSource;
    s.info.src = &s.input;
    jpeg_save_markers(&s.info, JPEG_APP0 + 1, 0xFFFF);
}

Orientation orientationOf(const jpeg_decompress_struct& info) {
    for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length > 6 &&
            std::memcmp(m->data, "Exif\0\0", 6) == 0) {
            return exifOrientation({m->data + 6, m->data_length - 6});
        }
    }
    return 1;
}

// The largest reduction (8, 4 or 2) that still leaves at least the canvas's pixels.
unsigned dctReduction(std::uint32_t width, std::uint32_t height, double wantX, double wantY) {
    for (unsigned d : {8u, 4u, 2u}) {
        const double w = (width + d - 1) / d;
        const double h = (height + d - 1) / d;
        if (w >= wantX && h >= wantY) return d;
    }
    return 1;
}

// Adobe's CMYK JPEGs store the inks inverted.
void cmykToRgba(const std::uint8_t* cmyk, std::uint8_t* rgba, std::uint32_t width, bool inverted) {
    for (std::uint32_t x = 0; x < width; ++x, cmyk += 4, rgba += 4) {
        const unsigned k = inverted ? cmyk[3] : 255u - cmyk[3];
        for (int c = 0; c < 3; ++c) {
            const unsigned v = inverted ? cmyk[c] : 255u - cmyk[c];
            rgba[c] = static_cast<std::uint8_t>((v * k + 127) / 255);
        }
        rgba[3] = 255;
    }
}

} // namespace

bool probeJpeg(ByteSource& source, HeaderInfo& header, std::string& reason) {
    SourceCursor cursor(source, 16 * 1024);
    JpegSession s;
    if (setjmp(s.jump)) {
        reason = s.reason;
        return false;
    }
    begin(s, cursor);
    jpeg_read_header(&s.info, TRUE);
    header.width = s.info.image_width;
    header.height = s.info.image_height;
    header.orientation = orientationOf(s.info);
    return true;
}

bool decodeJpeg(ByteSource& source, const HeaderInfo& expected, const RenderTarget& target,
                std::string& reason) {
    SourceCursor cursor(source);
    JpegSession s;
    if (setjmp(s.jump)) {
        reason = s.reason;
        return false;
    }
    begin(s, cursor);
    jpeg_read_header(&s.info, TRUE);
    s.dataStart = cursor.tell() - s.info.src->bytes_in_buffer;
    s.pastHeader = true;
    if (s.info.image_width != expected.width || s.info.image_height != expected.height) {
        reason = kChangedReason;
        return false;
    }
    const Orientation o = expected.orientation;
    if (s.info.progressive_mode &&
        std::uint64_t{s.info.image_width} * s.info.image_height > kMaxWholePixels) {
        // The whole coefficient array is kept in memory for a progressive file.
        reason = tooLargeReason(s.info.image_width, s.info.image_height);
        return false;
    }
    s.info.scale_num = 1;
    s.info.scale_denom = dctReduction(s.info.image_width, s.info.image_height,
                                      target.storedExtentX(o), target.storedExtentY(o));
    const bool cmyk = s.info.jpeg_color_space == JCS_CMYK || s.info.jpeg_color_space == JCS_YCCK;
    // Opaque pictures come out as RGB: a quarter less to convert, and no alpha to multiply in.
    s.info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGB;
    jpeg_start_decompress(&s.info);
    const std::uint32_t width = s.info.output_width;
    const std::uint32_t height = s.info.output_height;
    const int batch = s.info.rec_outbuf_height > 0 ? s.info.rec_outbuf_height : 1;
    const std::size_t stride = std::size_t{width} * (cmyk ? 4 : 3);
    const int count = batch < 16 ? batch : 16;
    // The resampler reads RGB rows 4 bytes a pixel: the last row needs a byte of slack.
    s.rows.resize(stride * static_cast<std::size_t>(count) + 1);
    if (cmyk) s.converted.resize(stride);
    s.resampler = std::make_unique<Resampler>(
        target, width, height, o, cmyk ? Resampler::Layout::Rgba : Resampler::Layout::Rgb);
    JSAMPROW pointers[16];
    for (int i = 0; i < count; ++i)
        pointers[i] = s.rows.data() + stride * static_cast<std::size_t>(i);
    while (s.info.output_scanline < height) {
        const JDIMENSION got =
            jpeg_read_scanlines(&s.info, pointers, static_cast<JDIMENSION>(count));
        for (JDIMENSION i = 0; i < got; ++i) {
            if (cmyk) {
                cmykToRgba(pointers[i], s.converted.data(), width, s.info.saw_Adobe_marker);
                s.resampler->pushRow(s.converted.data());
            } else {
                s.resampler->pushRow(pointers[i]);
            }
        }
    }
    // The rest of the file (after the last scanline) is not needed for the picture.
    jpeg_abort_decompress(&s.info);
    if (s.cutShort) target.markPartial();
    return true;
}

} // namespace gw::imaging::detail
