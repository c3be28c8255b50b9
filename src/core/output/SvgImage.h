#pragma once
// The SVG image of a grid: a page the size of the text view's frame on a background rectangle,
// one <text> per visible row whose width is fixed by textLength, so the columns line up in
// whatever monospace font the viewer draws it with; in colour one <tspan> per run of one colour,
// in black and white the ink that contrasts with the background (inkOn).

#include "engine/CellGrid.h"
#include "output/Outputs.h"

#include <string>
#include <vector>

namespace gw {

// The document, byte for byte. The fonts are named in the order of `families` (the style's font
// when it is empty), then `monospace`; the style's point size counts one pixel per point, as
// the TIFF and PNG images do.
std::string svgImage(const CellGrid& grid, const ArtStyle& style,
                     const std::vector<std::string>& families = {});

} // namespace gw
