#pragma once
// The TIFF image of a grid: the text view's frame at one pixel per point (72 dpi), filled with
// the background, the visible characters drawn in the chosen monospace font at the chosen size,
// each in its cell's colour or black. RGB, LZW with horizontal differencing. Drawn and encoded
// in bands of rows, so memory does not grow with the picture.

#include "engine/CellGrid.h"
#include "output/Outputs.h"
#include "output/SafeFile.h"

#include <cstdio>
#include <string>

namespace gw::render {

struct TiffImageOptions {
    std::string fontName = "Monaco";
    int pointSize = 12; // 1 to 73
    bool color = false;
    RgbColor background{1.0, 1.0, 1.0};
};

// Writes the image to `path` through SafeFile. False with `error` ("<path>: <reason>") when it
// cannot; the earlier file is then left as it was.
bool writeTiffImage(const std::string& path, const CellGrid& grid, const TiffImageOptions& options,
                    LinkPolicy policy, std::string& error);

// Writes the image to `out`, which need not be seekable (standard output on a pipe): the image
// is built in an unlinked temporary file and then copied. False with `error` when it cannot.
bool writeTiffImage(std::FILE* out, const CellGrid& grid, const TiffImageOptions& options,
                    std::string& error);

} // namespace gw::render
