#pragma once
// The TIFF image of a grid (BandPainter.h): RGB, LZW with horizontal differencing, 72 dpi, one
// strip per band, so memory does not grow with the picture.

#include "engine/CellGrid.h"
#include "output/SafeFile.h"
#include "render/BandPainter.h"

#include <cstdio>
#include <string>

namespace gw::render {

using TiffImageOptions = ImageOptions;

// Writes the image to `path` through SafeFile. False with `error` ("<path>: <reason>") when it
// cannot; the earlier file is then left as it was.
bool writeTiffImage(const std::string& path, const CellGrid& grid, const ImageOptions& options,
                    LinkPolicy policy, std::string& error);

// Writes the image to `out`, which need not be seekable (standard output on a pipe): the image
// is built in an unlinked temporary file and then copied. False with `error` when it cannot.
bool writeTiffImage(std::FILE* out, const CellGrid& grid, const ImageOptions& options,
                    std::string& error);

} // namespace gw::render
