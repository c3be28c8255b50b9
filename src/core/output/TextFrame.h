#pragma once
// The size of the text the preview shows and the TIFF image is drawn from, in points.

#include <string_view>

namespace gw {

struct FrameSize {
    double width = 0.0;
    double height = 0.0;
};

// The font size in effect: the leading integer of `text` (after white space and a sign) when it
// lies in 1 to 73, otherwise 12. "9.5" gives 9, "abc" and "74" give 12.
int effectiveFontSize(std::string_view text);

// The text view's frame for a grid of `width2` × `height2` cells at `pointSize` points:
// width2 × 7.1 × S / 12.0 + 70.0 by (S × height2 × 15) / 12.0 + 20.0, the product S × height2 ×
// 15 taken in integers. 100 × 50 at 12 points gives 780.0 × 770.0.
FrameSize textViewFrame(int width2, int height2, int pointSize);

} // namespace gw
