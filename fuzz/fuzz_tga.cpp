// The TGA reader on arbitrary bytes.
#include "FuzzRasterReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace gw::imaging::detail;
    return gw::imaging::fuzzing::runRasterReader(data, size, &looksLikeTga, &probeTga, &decodeTga);
}
