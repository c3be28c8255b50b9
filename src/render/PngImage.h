#pragma once
// The PNG image of a grid: the same picture as the TIFF image (BandPainter.h), RGB, 8 bits a
// sample, 72 dpi in pHYs, written with libpng band by band, straight to its destination.

#include "engine/CellGrid.h"
#include "output/SafeFile.h"
#include "render/BandPainter.h"

#include <cstdio>
#include <string>

namespace gw::render {

// How the image data is compressed. The defaults were chosen for speed (bench/png.sh prints the
// table): on the 511 x 142 colour art at 12 points, zlib level 1 without a filter took 257 ms of
// processor time per image for 4.50 MB; level 6 with libpng's adaptive filters 653 ms for
// 4.84 MB, level 6 unfiltered 415 ms for 4.24 MB, level 1 with the sub filter 317 ms for 5.63 MB,
// and the RLE strategy 227 ms for 6.16 MB. The art is long runs of background, which filters
// only break up, and anti-aliased glyph edges, which no predictor guesses.
struct PngEncoding {
    int level = 1;      // zlib level, 0 to 9
    int filters = 0x08; // PNG_FILTER_NONE (0x08), SUB (0x10), UP (0x20), ... or a union
    int strategy = 0;   // zlib strategy: 0 default, 1 filtered, 2 Huffman only, 3 RLE
};

// Writes the image to `path` through SafeFile. False with `error` ("<path>: <reason>") when it
// cannot; the earlier file is then left as it was.
bool writePngImage(const std::string& path, const CellGrid& grid, const ImageOptions& options,
                   LinkPolicy policy, std::string& error, const PngEncoding& encoding = {});

// Writes the image to `out` (standard output on a pipe, for one). False with `error` when it
// cannot.
bool writePngImage(std::FILE* out, const CellGrid& grid, const ImageOptions& options,
                   std::string& error, const PngEncoding& encoding = {});

} // namespace gw::render
