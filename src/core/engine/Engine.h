#pragma once
// The conversion engine: sizes the character grid from the picture and the maximum width,
// redraws the picture at that size, samples one pixel per cell and picks each cell's
// character and colour.

#include "common/Canvas.h"
#include "engine/CellGrid.h"
#include "palette/CharacterTable.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gw {

// The display's screens.
class ScreenList {
public:
    virtual ~ScreenList() = default;
    virtual std::vector<double> backingScaleFactors() const = 0;
};

// The conversion's outputs beside the grids.
struct ConversionInfo {
    int width = 0; // the picture's size in points, truncated
    int height = 0;
    // The allowed-character list: codes (first UTF-8 byte as a signed byte), in set order,
    // the space last.
    std::array<int, kCharacterListCapacity> charactersInSet{};
    int numCharacters = 0;
    float scale = 1.0f;   // pixels per point the canvas was drawn at
    bool partial = false; // the picture's data was damaged: only what could be read is drawn
};

// How a cell's character is chosen.
enum class MatchMode {
    Darkness, // the character whose darkness is nearest to the cell's brightness
    Shape,    // the character whose ink pattern is nearest to the picture's under the cell
};

// Changes to the brightness the characters are picked for; the characters' colours stay the
// picture's own. Applied in this order: auto contrast, contrast, brightness, invert. At the
// defaults the brightness is left exactly as sampled.
struct ToneSettings {
    // Stretches the brightness range of the picture's cells (a low to a high percentile) to
    // the full range.
    bool autoContrast = false;
    int contrast = 0;   // -100 to +100
    int brightness = 0; // -100 to +100
    // Characters are picked for 255 minus the brightness: dense characters for light areas,
    // for light ink on a dark background.
    bool invert = false;

    bool isIdentity() const { return !autoContrast && contrast == 0 && brightness == 0 && !invert; }
    friend bool operator==(const ToneSettings&, const ToneSettings&) = default;
};

struct ConversionInput {
    const PictureSource* picture = nullptr; // null: no picture
    int maxWidth = 0;
    std::u16string_view characterSet; // the allowed characters, in tie-breaking order
    const CharacterTable* characters = nullptr;
    const ScreenList* screens = nullptr; // null: no screens
    MatchMode match = MatchMode::Darkness;
    // Floyd-Steinberg error diffusion, serpentine: each cell's brightness error goes on to the
    // cells not yet matched, so that smooth areas keep their tone.
    bool dither = false;
    ToneSettings tone{};
};

struct ConversionStatus {
    bool ok = true;
    std::string error; // why the picture could not be drawn; the grid is then empty
};

// Fills `grid` (rows 0 to height2 - 2, all columns) and `info`. Safe to run concurrently on
// different grids.
ConversionStatus processImage(const ConversionInput& input, CellGrid& grid, ConversionInfo& info);

// --- The steps, exposed for the outputs and for tests. ---

struct GridSize {
    int width = 0; // W, H: the picture's points, truncated
    int height = 0;
    float gw = 0.0f; // canvas size in points; gh may end in .5
    float gh = 0.0f;
    int width2 = 0;
    int height2 = 0;
};

// The grid for a picture of w x h points and a maximum width. A picture of width 0 or a
// maximum width of 0 or below gives an empty grid.
GridSize computeGridSize(double w, double h, int maxWidth);

// 1.0 below version 1070; from 1070 on the largest backing scale factor of the screens, at
// least 1.0.
float scaleFactor(int systemVersion, const ScreenList* screens);

// The allowed-character list of a set text: line feeds and characters beyond the Basic
// Multilingual Plane (surrogate pairs) skipped, at most 223 entries kept, the space appended.
// Returns the number of entries.
int buildCharacterList(std::u16string_view characterSet,
                       std::array<int, kCharacterListCapacity>& list);

// UTF-8 to UTF-16; each invalid byte becomes U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);

// Hex digit characters of value / 16 and value % 16 (truncating); 0 after logging
// "Shouldn't Be Hit B1" or "Shouldn't Be Hit B2" when the digit does not exist.
char highHexDigit(int value);
char lowHexDigit(int value);

// A colour channel corrected for alpha: value / ((alpha + 1) / 255.0) in double precision,
// truncated.
std::uint64_t correctForAlpha(std::uint64_t value, std::uint64_t alpha);

// Cell brightness, 0 to 255: (r * 0.3 + g * 0.59) + b * 0.11 in double, then single.
float cellBrightness(std::uint64_t red, std::uint64_t green, std::uint64_t blue);

// The brightness the matching works on, 0 to 255 per cell and, for the shape match, per
// cell of the table's ink grid; row by row from the top. Tone adjustments work on this plane
// between sampling and matching.
struct BrightnessPlane {
    int columns = 0;
    int rows = 0;
    int inkColumns = 1; // the ink grid of each cell; 1 x 1 for the darkness match
    int inkRows = 1;
    std::vector<float> cells;    // columns * rows
    std::vector<float> subcells; // columns * rows * inkColumns * inkRows; empty unless shape

    float& cell(int x, int y) {
        return cells[static_cast<std::size_t>(y) * static_cast<std::size_t>(columns) +
                     static_cast<std::size_t>(x)];
    }
    float* subcellsOf(int x, int y) {
        return subcells.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(columns) +
                                  static_cast<std::size_t>(x)) *
                                     static_cast<std::size_t>(inkColumns * inkRows);
    }
};

// The ink grid the shape match uses with `table`: the first record's that has one, else 1 x 1.
void inkGridOf(const CharacterTable& table, int& columns, int& rows);

// The shape match's view of the picture, after the tone adjustments. Even the densest glyph leaves
// most of its cell white, so ink spans a narrow band of brightness near the paper's, and detail the
// picture shows in small local differences fades in it. Each subcell's difference from its
// surroundings (the cells' means blurred by a Gaussian of kDetailRadius cell widths) is therefore
// raised by kDetailGain times itself, clamped to 0-255, and each cell's brightness moves by the
// mean change of its subcells. A flat area is left exactly as it was.
void emphasizeDetail(BrightnessPlane& plane);
inline constexpr float kDetailGain = 2.0f;
inline constexpr float kDetailRadius = 2.0f;

// Picks the allowed character whose darkness is nearest to a brightness. Built once per
// conversion; the table index of each list entry is looked up here, once.
class CharacterMatcher {
public:
    CharacterMatcher(const CharacterTable& table, const int* list, int count);

    // The code of the first list entry with the smallest |black - L/256| below 10, or 0.
    std::int32_t match(float brightness) const;
    // The same, with the chosen entry's darkness in `black` (1 when none is chosen).
    std::int32_t match(float brightness, float& black) const;

    // The same answer by trying every entry in list order; the reference for match().
    std::int32_t matchLinear(float brightness) const;

private:
    struct Candidate {
        float black;
        std::int32_t ascii;
        int order; // position in the allowed-character list
    };
    // Fixed capacity, so that building a matcher allocates nothing.
    std::array<Candidate, kCharacterListCapacity> inOrder_{}; // usable entries in list order
    int inOrderCount_ = 0;
    // By black, one per distinct black (its earliest entry); NaN left out.
    std::array<Candidate, kCharacterListCapacity> sorted_{};
    int sortedCount_ = 0;
};

// Picks the allowed character whose ink pattern is nearest (least squares) to the picture's
// under the cell; equally near patterns go to the earlier list entry. A cell whose pattern is
// nearly flat takes the darkness match's answer, so smooth areas come out exactly as the darkness
// match draws them.
class ShapeMatcher {
public:
    // `columns` x `rows`: the ink grid (see inkGridOf). Records without a grid count as evenly
    // grey at their darkness.
    ShapeMatcher(const CharacterTable& table, const int* list, int count, int columns, int rows);

    // `brightness`: the cell's, 0 to 255; `subcells`: columns * rows brightnesses under it;
    // `offset` is added to each of them (the dither's carried error). Returns the code, 0 when
    // none matches, and the chosen character's darkness in `black` (1 when none).
    std::int32_t match(float brightness, const float* subcells, float offset, float& black) const;

    // Brightness spread (max - min, 0 to 255) below which a cell counts as flat: about the
    // noise of an 8-bit picture, so only cells without any pattern of their own.
    static constexpr float kFlatSpread = 4.0f;

private:
    struct Candidate {
        float black;
        std::int32_t ascii;
    };
    CharacterMatcher darkness_;
    int cells_ = 1;
    static constexpr std::size_t kBlock = 8; // candidates whose distances are summed together
    std::vector<Candidate> candidates_;      // in list order
    std::size_t padded_ = 0;                 // candidates_.size() rounded up to whole blocks
    // Ink grid cell i of candidate c at i * padded_ + c, so that a block's distances build up
    // one grid cell at a time over contiguous values.
    std::vector<float> patterns_;
};

} // namespace gw
