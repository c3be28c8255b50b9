#pragma once
// The deflate stream of PNG image data, inflated with ISA-L where the build found it (two to
// three times faster than zlib on photographs), with zlib otherwise; and the chunk checksum from
// the same library. Internal to the imaging library.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace gw::imaging::detail::png {

// The stream after the two bytes of its zlib header, which the caller has checked. The library
// checks the Adler-32 trailer when the stream ends. Error texts follow zlib's, so that a
// damaged file reads the same whichever library inflates it.
class Inflater {
public:
    Inflater();
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    ~Inflater();

    // `header` is the zlib header; `windowBits` the window it declares. False with a reason.
    bool begin(const std::uint8_t (&header)[2], unsigned windowBits, std::string& reason);

    // Inflates from `in` into `out` and moves both past what was used. Returns false on damaged
    // data; `ended` tells when the stream and its trailer are complete.
    bool run(std::span<const std::uint8_t>& in, std::span<std::uint8_t>& out, bool& ended,
             std::string& reason);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The CRC-32 of PNG chunks, continued from `crc` over `size` bytes.
std::uint32_t crc(std::uint32_t crc, const std::uint8_t* data, std::size_t size);

} // namespace gw::imaging::detail::png
