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
    float scale = 1.0f; // pixels per point the canvas was drawn at
};

struct ConversionInput {
    const PictureSource* picture = nullptr; // null: no picture
    int maxWidth = 0;
    std::u16string_view characterSet; // the allowed characters, in tie-breaking order
    const CharacterTable* characters = nullptr;
    const ScreenList* screens = nullptr; // null: no screens
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

// Picks the allowed character whose darkness is nearest to a brightness. Built once per
// conversion; the table index of each list entry is looked up here, once.
class CharacterMatcher {
public:
    CharacterMatcher(const CharacterTable& table, const int* list, int count);

    // The code of the first list entry with the smallest |black - L/256| below 10, or 0.
    std::int32_t match(float brightness) const;

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

} // namespace gw
