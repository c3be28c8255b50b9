#pragma once
// The tone adjustments: they change only the brightness the characters are picked for, between
// sampling the picture and matching its cells.

#include "engine/Engine.h"

#include <span>

namespace gw {

// The brightness range auto contrast stretches to the full range, from the cells'
// brightnesses. `stretch` is false when there is nothing to stretch (a flat picture, or no
// cells): the brightness is then left as it is.
struct ToneRange {
    float low = 0.0f;
    float high = 255.0f;
    bool stretch = false;
};

// The 1st and the 99th percentile of `cells`, to a quarter of a level, from one histogram pass.
// A range narrower than one level counts as flat.
ToneRange autoContrastRange(std::span<const float> cells);

// One brightness (0 to 255) through the adjustments, in their order: auto contrast over
// `range`, contrast, brightness, invert. Each step's result is clamped to 0 to 255, and so is
// the brightness coming in. Monotonic in the brightness and in each setting: a step never
// swaps two brightnesses, and more brightness never darkens.
float adjustTone(const ToneSettings& tone, const ToneRange& range, float brightness);

// Applies `tone` to the plane's cells and, with the same mapping, to its ink-grid cells. At the
// defaults the plane is not touched at all.
void applyTone(const ToneSettings& tone, BrightnessPlane& plane);

} // namespace gw
