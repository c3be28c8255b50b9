// The floor of PNG decoding: inflates a PNG's image data (the IDAT chunks as one zlib stream,
// Adler-32 checked) into a 64 KiB buffer with the library the decoder uses, and nothing else:
// no CRCs, no unfiltering, no drawing. Prints the inflated size. Usage: inflate_idat FILE.png
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(GLYPHWERK_HAVE_ISAL)
#include <isa-l/igzip_lib.h>
#else
#include <zlib.h>
#endif

namespace {

std::uint32_t bigEndian(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.png\n", argv[0]);
        return 2;
    }
    const int fd = open(argv[1], O_RDONLY);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    void* mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped == MAP_FAILED) {
        std::perror(argv[1]);
        return 1;
    }
    const auto* file = static_cast<const std::uint8_t*>(mapped);
    std::vector<std::uint8_t> out(64 * 1024);
#if defined(GLYPHWERK_HAVE_ISAL)
    std::vector<inflate_state> holder(1);
    inflate_state& state = holder[0];
    isal_inflate_init(&state);
    state.crc_flag = ISAL_ZLIB;
#else
    z_stream state{};
    inflateInit(&state);
#endif
    std::uint64_t total = 0;
    bool ended = false;
    for (std::size_t at = 8; at + 12 <= size && !ended;) {
        const std::uint32_t length = bigEndian(file + at);
        if (length > size - at - 12) break;
        if (std::memcmp(file + at + 4, "IDAT", 4) == 0) {
            state.next_in = const_cast<std::uint8_t*>(file + at + 8);
            state.avail_in = length;
            while (!ended && (state.avail_in > 0 || state.avail_out == 0)) {
                state.next_out = out.data();
                state.avail_out = static_cast<std::uint32_t>(out.size());
#if defined(GLYPHWERK_HAVE_ISAL)
                if (isal_inflate(&state) != ISAL_DECOMP_OK) {
                    std::fprintf(stderr, "%s: damaged image data\n", argv[1]);
                    return 1;
                }
                ended = state.block_state == ISAL_BLOCK_FINISH;
#else
                const int status = inflate(&state, Z_NO_FLUSH);
                if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
                    std::fprintf(stderr, "%s: damaged image data\n", argv[1]);
                    return 1;
                }
                ended = status == Z_STREAM_END;
#endif
                total += out.size() - state.avail_out;
            }
        }
        at += std::size_t{length} + 12;
    }
    if (!ended) {
        std::fprintf(stderr, "%s: the image data ends early\n", argv[1]);
        return 1;
    }
    std::printf("%llu bytes\n", static_cast<unsigned long long>(total));
    return 0;
}
