// The GIF decoder alone on arbitrary bytes: probe, then draw into a small canvas and an
// enlarged one. Any crash, leak or sanitizer report is a finding.
#include "imaging/Decoding.h"

#include "FuzzDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return gw::imaging::fuzzing::runDecoder(data, size, &gw::imaging::detail::probeGif,
                                            &gw::imaging::detail::decodeGif);
}
