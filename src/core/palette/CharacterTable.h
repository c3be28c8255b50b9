#pragma once
// The character darkness table: which character stands for which cell brightness.

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

namespace gw {

// Most cells of a glyph's ink grid a table may give.
inline constexpr int kMaxInkCells = 32;
inline constexpr int kMaxInkSide = 8;

struct CharacterRecord {
    std::int32_t ascii = 0; // the character code written into the cell grid
    char character = 0;     // the character as the table file writes it; informational
    float black = 0.0f;     // cell brightness the character stands for: 0 black, 1 blank
    // Where the glyph's ink lies: the brightness of each cell of an inkColumns x inkRows grid
    // laid on the glyph, row by row from the top left, on the scale of `black`. 0 x 0 when the
    // table gives none; the shape match then takes the glyph as evenly grey.
    int inkColumns = 0;
    int inkRows = 0;
    std::array<float, kMaxInkCells> ink{};
};

inline constexpr int kTableEntries = 224; // entry 0 (the space) plus the file's records
inline constexpr int kTableFileRecords = 223;
inline constexpr int kTableLineBuffer = 256;
inline constexpr int kReadLineMaxChars = 999;

using CharacterTable = std::array<CharacterRecord, kTableEntries>;

// Reads the next line of `stream` into `buffer` (capacity `size`), passing over comment lines
// (first character '#' or '/') and up to four blank lines; the fifth blank line met in one call
// is returned as a line. The line feed is kept and a NUL follows. A line longer than the buffer
// (or than 999 characters) arrives in pieces. Returns false when the stream ends first.
// `lineFeeds`, when given, grows by the number of line feeds read, so that a caller can
// number the lines it is given.
bool QVReadLine(std::FILE* stream, char* buffer, int size, int* lineFeeds = nullptr);

// Parses one data line: "%d %c %f" read in the C locale whatever the process's locale; the
// darkness must lie between 0 and 65535. It may be followed by an ink grid, "CxR:v,v,..."
// (C and R from 1 to 8, at most 32 cells, C x R values from 0 to 65535), and then nothing but
// white space. Sets `record` (darkness and ink divided by 65535) and returns true; otherwise
// leaves it as it was and returns false with a reason in `reason` when given.
bool parseTableLine(const char* line, CharacterRecord& record, std::string* reason = nullptr);

struct TableLoadResult {
    bool ok = false;
    int recordsRead = 0; // data lines taken, 0..223
    int line = 0;        // the file's line (from 1) the error is about; 0 when none
    std::string error;   // reason, without the file name; empty when ok
};

// Fills `table`: entry 0 is the space at 1.0, entries 1..223 come from the stream in order.
// Fewer than 223 data lines, a data line that does not parse, or ink grids of different sizes,
// is an error; the entries not read are left zero. Lines may go without an ink grid (tables
// written before there were grids have none).
TableLoadResult loadCharacterTable(std::FILE* stream, CharacterTable& table);

// The largest table file read; the shipped one is about 3 KB.
inline constexpr long kMaxTableFileBytes = 1 << 20;

// Loads the regular file `path` as above; folders, FIFOs and devices are refused without
// waiting on them, and so is a file holding a NUL byte. The error names the file (and the
// line, as "<path>:<line>: ") and the reason; a refused table holds only the space.
TableLoadResult loadCharacterTableFile(const std::string& path, CharacterTable& table);

// Index (0..223) of the first entry whose code is `c` widened as a signed byte (0 looks up the
// space), or -1 after logging "Shouldn't Be Hit A".
int getChar(const CharacterTable& table, char c);

} // namespace gw
