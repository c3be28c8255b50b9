// glyph-darkness: measures how much ink each glyph of a monospace font puts into its cell and
// writes the character darkness table (resources/Table.txt).
//
//   glyph-darkness [--font FILE] [--measure coverage|gamma|lightness] [--grid CxR|none] [OUTPUT]
//
// Without --font the font is DejaVu Sans Mono, found through fontconfig. Without OUTPUT the table
// goes to standard output. The output depends only on the font file and FreeType, so the same
// packages regenerate the committed table byte for byte. The defaults (coverage, 2x4) are the
// ones bench/fidelity scored best: gamma and lightness, though closer to how a screen shows
// light, scored lower. The other choices are there to measure them again.

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Large enough that the anti-aliased edge pixels are a small share of each glyph's ink, so the
// measure no longer changes noticeably with the size.
constexpr int kPixelSize = 256;
constexpr int kFirstPrintable = 33;
constexpr int kLastPrintable = 126;
constexpr int kFileRecords = 223;

std::string findFontWithFontconfig(const char* family) {
    std::string result;
    if (!FcInit()) return result;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
    if (pattern == nullptr) return result;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult match = FcResultNoMatch;
    FcPattern* font = FcFontMatch(nullptr, pattern, &match);
    if (font != nullptr) {
        FcChar8* file = nullptr;
        FcChar8* foundFamily = nullptr;
        // fontconfig substitutes silently; a different family would measure a different font.
        if (FcPatternGetString(font, FC_FAMILY, 0, &foundFamily) == FcResultMatch &&
            std::strcmp(reinterpret_cast<const char*>(foundFamily), family) == 0 &&
            FcPatternGetString(font, FC_FILE, 0, &file) == FcResultMatch)
            result = reinterpret_cast<const char*>(file);
        FcPatternDestroy(font);
    }
    FcPatternDestroy(pattern);
    FcFini(); // fontconfig is not needed again; this frees its configuration
    return result;
}

enum class Measure { Coverage, Gamma, Lightness };

struct Grid {
    int columns = 0; // 0: no ink grid is written
    int rows = 0;
};

// Largest ink grid: the table reader takes at most 32 cells per glyph.
constexpr int kMaxGridCells = 32;
constexpr int kMaxGridSide = 8;

// The light a pixel of coverage c takes away from white paper. Coverage blends ink into the
// display's sRGB values, and the display turns those into light through its gamma, so under
// Gamma and Lightness an edge pixel of half coverage removes far less than half the light.
double inkLight(double coverage, Measure measure) {
    if (measure == Measure::Coverage) return coverage;
    const double v = 1.0 - coverage;
    const double light = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    return 1.0 - light;
}

// How bright a patch of paper reflecting `light` (0 to 1 of white) looks: the display's sRGB
// value under Gamma (what the picture's own brightness is written in), CIE L* / 100 under
// Lightness, the light itself under Coverage.
double seen(double light, Measure measure) {
    light = std::clamp(light, 0.0, 1.0);
    switch (measure) {
    case Measure::Coverage:
        return light;
    case Measure::Gamma:
        return light <= 0.0031308 ? light * 12.92 : 1.055 * std::pow(light, 1.0 / 2.4) - 0.055;
    case Measure::Lightness:
        return (light > 216.0 / 24389.0 ? 116.0 * std::cbrt(light) - 16.0
                                        : light * 24389.0 / 27.0) /
               100.0;
    }
    return light;
}

// A glyph's ink: its whole cell's and each grid cell's, as light taken away, in pixel units.
struct Ink {
    double total = 0.0;
    std::vector<double> cells;
};

// The cell every glyph shares: the advance by the line height, the baseline `ascender` pixels
// below its top.
struct CellBox {
    double width = 0.0;
    double height = 0.0;
    double ascender = 0.0;
};

// Renders one glyph (nothing when the font has no glyph for the code point or the glyph draws
// nothing) and sums its ink. Ink outside the cell box counts in the nearest grid cell.
Ink measureInk(FT_Face face, unsigned long codePoint, Measure measure, Grid grid,
               const CellBox& box) {
    Ink ink;
    ink.cells.assign(static_cast<std::size_t>(grid.columns * grid.rows), 0.0);
    const FT_UInt index = FT_Get_Char_Index(face, codePoint);
    if (index == 0) return ink;
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_NO_HINTING) != 0) return ink;
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.num_grays != 256) return ink;
    // Sums in whole units for Coverage, so that its table does not depend on rounding order.
    std::uint64_t sum = 0;
    double light = 0.0;
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        const unsigned char* line = bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
        const double y = box.ascender - face->glyph->bitmap_top + row + 0.5;
        const int gy = std::clamp(static_cast<int>(std::floor(y * grid.rows / box.height)), 0,
                                  std::max(grid.rows - 1, 0));
        for (unsigned col = 0; col < bitmap.width; ++col) {
            if (line[col] == 0) continue;
            sum += line[col];
            const double taken = inkLight(line[col] / 255.0, measure);
            light += taken;
            if (grid.columns == 0) continue;
            const double x = face->glyph->bitmap_left + col + 0.5;
            const int gx = std::clamp(static_cast<int>(std::floor(x * grid.columns / box.width)), 0,
                                      grid.columns - 1);
            ink.cells[static_cast<std::size_t>(gy * grid.columns + gx)] += taken;
        }
    }
    ink.total = measure == Measure::Coverage ? static_cast<double>(sum) / 255.0 : light;
    return ink;
}

struct Entry {
    int code;
    char shown;
    long value;
    std::vector<long> cells;
};

// 65535 for an empty cell, 0 for the darkest printable ASCII glyph; between them the glyph's
// look on the measure's scale. Glyphs of the Latin-1 half that hold more ink than the darkest
// one are clamped at 0, and so are grid cells darker than it.
class Scale {
public:
    Scale(Measure measure, double darkest, double area)
        : measure_(measure), darkest_(darkest), area_(area),
          bottom_(seen(1.0 - darkest / area, measure)) {}

    // `ink` of a region of `area` pixels.
    long value(double ink, double area) const {
        double v;
        if (measure_ == Measure::Coverage && area == area_) {
            v = 65535.0 * (1.0 - ink / darkest_);
        } else {
            v = 65535.0 * (seen(1.0 - ink / area, measure_) - bottom_) / (1.0 - bottom_);
        }
        return std::clamp(std::lround(v), 0L, 65535L);
    }

private:
    Measure measure_;
    double darkest_;
    double area_;
    double bottom_;
};

const char* measureName(Measure measure) {
    switch (measure) {
    case Measure::Coverage:
        return "coverage";
    case Measure::Gamma:
        return "gamma";
    case Measure::Lightness:
        return "lightness";
    }
    return "";
}

std::string makeTable(FT_Face face, const std::string& fontFile, Measure measure, Grid grid) {
    CellBox box;
    box.ascender = static_cast<double>(face->size->metrics.ascender) / 64.0;
    box.height =
        static_cast<double>(face->size->metrics.ascender - face->size->metrics.descender) / 64.0;
    box.width = static_cast<double>(face->size->metrics.max_advance) / 64.0;
    if (FT_Load_Char(face, 'M', FT_LOAD_NO_HINTING) == 0)
        box.width = static_cast<double>(face->glyph->advance.x) / 64.0;
    const double area = box.width * box.height;
    if (!(area > 0.0)) {
        std::cerr << "glyph-darkness: the font's cell has no size\n";
        return {};
    }

    std::vector<Ink> ink(256);
    double darkest = 0.0;
    int darkestCode = 0;
    for (int code = 0; code < 256; ++code) {
        ink[code].cells.assign(static_cast<std::size_t>(grid.columns * grid.rows), 0.0);
        // 0x80-0x9f are control codes; they have no glyph of their own.
        if (code >= 32 && code != 127 && (code < 0x80 || code > 0x9f))
            ink[code] = measureInk(face, static_cast<unsigned long>(code), measure, grid, box);
        if (code >= kFirstPrintable && code <= kLastPrintable && ink[code].total > darkest) {
            darkest = ink[code].total;
            darkestCode = code;
        }
    }
    const Scale scale(measure, darkest, area);
    const double cellArea = area / std::max(grid.columns * grid.rows, 1);
    const auto entry = [&](int code, char shown) {
        Entry e{code, shown, scale.value(ink[code].total, area), {}};
        for (const double cell : ink[code].cells)
            e.cells.push_back(scale.value(cell, cellArea));
        return e;
    };

    std::vector<Entry> entries;
    for (int code = kFirstPrintable; code <= kLastPrintable; ++code)
        entries.push_back(entry(code, static_cast<char>(code)));
    entries.push_back(entry(32, '?'));
    for (int code = 128; code <= 255; ++code)
        entries.push_back(entry(code, '?'));

    const std::string fileName = fontFile.substr(fontFile.find_last_of('/') + 1);
    std::ostringstream out;
    out << "# Glyphwerk character darkness table: one line per character, \"code character "
           "value\".\n"
           "# The value is the brightness of a picture cell that the character stands for, from 0\n"
           "# (the darkest glyph) to 65535 (an empty cell). Lines starting with '#' or '/' are\n"
           "# comments.\n"
           "#\n"
           "# Generated by tools/glyph-darkness; do not edit by hand. Measured on "
        << face->family_name << ' ' << face->style_name << "\n# (" << fileName
        << " from the Debian package fonts-dejavu-core), rendered by FreeType at " << kPixelSize
        << "\n# pixels per em, anti-aliased and unhinted. ";
    if (measure == Measure::Coverage) {
        out << "A glyph's ink is the sum of its pixels'\n"
               "# coverage; value = 65535 * (1 - ink / darkest), where the darkest printable "
               "ASCII\n"
               "# glyph is '"
            << static_cast<char>(darkestCode) << "' (code " << darkestCode
            << "). Every glyph shares the same cell, so its size\n"
               "# cancels out.\n";
    } else {
        out << "Measure: " << measureName(measure)
            << ". Each pixel's coverage is turned into\n"
               "# the light it takes from white paper through the display's sRGB curve; the "
               "light left in\n"
               "# the glyph's cell (advance by ascender + descender) is then written as ";
        out << (measure == Measure::Gamma ? "its sRGB\n# value" : "its CIE\n# lightness")
            << ", the scale the picture's brightness is in. 0 is the darkest printable ASCII\n"
               "# glyph, '"
            << static_cast<char>(darkestCode) << "' (code " << darkestCode
            << "), and 65535 an empty cell.\n";
    }
    if (grid.columns > 0) {
        out << "#\n"
               "# After the value, \""
            << grid.columns << 'x' << grid.rows << ":\" and the same value for each cell of a "
            << grid.columns << " x " << grid.rows
            << " grid laid on\n"
               "# the glyph's cell, row by row from the top left: where its ink lies, for the "
               "shape match.\n"
               "# Ink beyond the cell counts in the nearest grid cell.\n";
    }
    out << "#\n"
           "# Lines 1-94: the printable ASCII characters 33-126, measured.\n"
           "# Line 95: the space (32), an empty cell. The program fixes the space in code ahead\n"
           "# of this file, so this line only marks the top of the scale.\n"
           "# Lines 96-223: codes 128-255, the Latin-1 glyphs, measured the same way (the control\n"
           "# codes 128-159 have no glyph and count as empty; glyphs darker than the darkest\n"
           "# ASCII one are clamped at 0). The character lookup takes codes 1-127 only, so these\n"
           "# lines are never chosen: they complete the table for single-byte text. The file is\n"
           "# plain ASCII and a space cannot be written in the character column, so these lines\n"
           "# show '?' there; only the code counts.\n";
    int line = 0;
    for (const Entry& e : entries) {
        if (line == 0 || line == 94 || line == 95) out << "#\n";
        out << e.code << ' ' << e.shown << ' ' << e.value;
        if (grid.columns > 0) {
            out << ' ' << grid.columns << 'x' << grid.rows << ':';
            for (std::size_t i = 0; i < e.cells.size(); ++i)
                out << (i == 0 ? "" : ",") << e.cells[i];
        }
        out << '\n';
        ++line;
    }
    if (line != kFileRecords) {
        std::cerr << "glyph-darkness: internal error: " << line << " records\n";
        return {};
    }
    return out.str();
}

bool parseGrid(const std::string& text, Grid& grid) {
    if (text == "none") {
        grid = {};
        return true;
    }
    int columns = 0;
    int rows = 0;
    char x = 0;
    char rest = 0;
    if (std::sscanf(text.c_str(), "%d%c%d%c", &columns, &x, &rows, &rest) != 3 || x != 'x')
        return false;
    if (columns < 1 || rows < 1 || columns > kMaxGridSide || rows > kMaxGridSide ||
        columns * rows > kMaxGridCells)
        return false;
    grid = {columns, rows};
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::string fontFile;
    std::string output;
    Measure measure = Measure::Coverage;
    Grid grid{2, 4};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--font" && i + 1 < argc) {
            fontFile = argv[++i];
        } else if (arg == "--measure" && i + 1 < argc) {
            const std::string name = argv[++i];
            if (name == "coverage") {
                measure = Measure::Coverage;
            } else if (name == "gamma") {
                measure = Measure::Gamma;
            } else if (name == "lightness") {
                measure = Measure::Lightness;
            } else {
                std::cerr << "glyph-darkness: --measure takes coverage, gamma or lightness\n";
                return 2;
            }
        } else if (arg == "--grid" && i + 1 < argc) {
            if (!parseGrid(argv[++i], grid)) {
                std::cerr << "glyph-darkness: --grid takes CxR (each 1 to 8, at most 32 cells) "
                             "or none\n";
                return 2;
            }
        } else if (arg == "-h" || arg == "--help") {
            std::cout << "usage: glyph-darkness [--font FILE] [--measure coverage|gamma|lightness]"
                         " [--grid CxR|none] [OUTPUT]\n";
            return 0;
        } else if (!arg.empty() && arg[0] == '-') {
            std::cerr << "glyph-darkness: unknown option " << arg << '\n';
            return 2;
        } else {
            output = arg;
        }
    }
    if (fontFile.empty()) fontFile = findFontWithFontconfig("DejaVu Sans Mono");
    if (fontFile.empty()) {
        std::cerr << "glyph-darkness: DejaVu Sans Mono not found (install fonts-dejavu-core)\n";
        return 1;
    }

    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        std::cerr << "glyph-darkness: FreeType failed to start\n";
        return 1;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(library, fontFile.c_str(), 0, &face) != 0) {
        std::cerr << "glyph-darkness: " << fontFile << ": cannot load the font\n";
        FT_Done_FreeType(library);
        return 1;
    }
    int status = 1;
    if (FT_Set_Pixel_Sizes(face, 0, kPixelSize) != 0) {
        std::cerr << "glyph-darkness: " << fontFile << ": cannot set the size\n";
    } else if (const std::string table = makeTable(face, fontFile, measure, grid); !table.empty()) {
        if (output.empty()) {
            std::cout << table;
            status = std::cout.good() ? 0 : 1;
        } else {
            std::ofstream file(output, std::ios::binary | std::ios::trunc);
            file << table;
            file.close();
            if (file) {
                status = 0;
            } else {
                std::cerr << "glyph-darkness: " << output << ": cannot write\n";
            }
        }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return status;
}
