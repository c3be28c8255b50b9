#include "PngInflater.h"

#include <zlib.h>

#if defined(GLYPHWERK_HAVE_ISAL)
#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>
#endif

namespace gw::imaging::detail::png {

#if defined(GLYPHWERK_HAVE_ISAL)
struct Inflater::State {
    inflate_state isal;
};

Inflater::Inflater() : state_(std::make_unique<State>()) {}
Inflater::~Inflater() = default;

bool Inflater::begin(const std::uint8_t (&)[2], unsigned windowBits, std::string&) {
    isal_inflate_init(&state_->isal);
    state_->isal.crc_flag = ISAL_ZLIB_NO_HDR_VER;
    state_->isal.hist_bits = windowBits; // distances beyond the declared window are errors
    return true;
}

bool Inflater::run(std::span<const std::uint8_t>& in, std::span<std::uint8_t>& out, bool& ended,
                   std::string& reason) {
    inflate_state& s = state_->isal;
    s.next_in = const_cast<std::uint8_t*>(in.data());
    s.avail_in = static_cast<std::uint32_t>(in.size());
    s.next_out = out.data();
    s.avail_out = static_cast<std::uint32_t>(out.size());
    const int status = isal_inflate(&s);
    in = in.subspan(in.size() - s.avail_in);
    out = out.subspan(out.size() - s.avail_out);
    switch (status) {
    case ISAL_DECOMP_OK:
        ended = s.block_state == ISAL_BLOCK_FINISH;
        return true;
    case ISAL_INVALID_LOOKBACK:
        reason = "invalid distance too far back";
        break;
    case ISAL_INCORRECT_CHECKSUM:
        reason = "incorrect data check";
        break;
    case ISAL_INVALID_SYMBOL:
        reason = "invalid code";
        break;
    default:
        reason = "invalid block";
        break;
    }
    return false;
}

std::uint32_t crc(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    return crc32_gzip_refl(crc, const_cast<std::uint8_t*>(data), size);
}
#else
struct Inflater::State {
    z_stream zlib{};
    bool started = false;
};

Inflater::Inflater() : state_(std::make_unique<State>()) {}

Inflater::~Inflater() {
    if (state_->started) inflateEnd(&state_->zlib);
}

bool Inflater::begin(const std::uint8_t (&header)[2], unsigned, std::string& reason) {
    z_stream& z = state_->zlib;
    if (inflateInit(&z) != Z_OK) {
        reason = "out of memory";
        return false;
    }
    state_->started = true;
    // zlib reads the header itself, and so learns the window and checks the trailer.
    std::uint8_t none = 0;
    z.next_in = const_cast<Bytef*>(header);
    z.avail_in = 2;
    z.next_out = &none;
    z.avail_out = 0;
    if (inflate(&z, Z_NO_FLUSH) != Z_OK || z.avail_in != 0) {
        reason = z.msg ? z.msg : "incorrect header check";
        return false;
    }
    return true;
}

bool Inflater::run(std::span<const std::uint8_t>& in, std::span<std::uint8_t>& out, bool& ended,
                   std::string& reason) {
    z_stream& z = state_->zlib;
    z.next_in = const_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int status = inflate(&z, Z_NO_FLUSH);
    in = in.subspan(in.size() - z.avail_in);
    out = out.subspan(out.size() - z.avail_out);
    if (status == Z_OK || status == Z_BUF_ERROR || status == Z_STREAM_END) {
        ended = status == Z_STREAM_END;
        return true;
    }
    reason = status == Z_MEM_ERROR ? "out of memory" : z.msg ? z.msg : "inflate error";
    return false;
}

std::uint32_t crc(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
    return static_cast<std::uint32_t>(crc32(crc, data, static_cast<uInt>(size)));
}
#endif

} // namespace gw::imaging::detail::png
