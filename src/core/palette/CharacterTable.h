#pragma once
// The character darkness table: which character stands for which cell brightness.

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

namespace gw {

struct CharacterRecord {
    std::int32_t ascii = 0; // the character code written into the cell grid
    char character = 0;     // the character as the table file writes it; informational
    float black = 0.0f;     // cell brightness the character stands for: 0 black, 1 blank
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

// Parses one data line: "%d %c %f" read in the C locale whatever the process's locale, with
// nothing but white space after the darkness, which must lie between 0 and 65535. Sets
// `record` (darkness divided by 65535) and returns true; otherwise leaves it as it was and
// returns false with a reason in `reason` when given.
bool parseTableLine(const char* line, CharacterRecord& record, std::string* reason = nullptr);

struct TableLoadResult {
    bool ok = false;
    int recordsRead = 0; // data lines taken, 0..223
    int line = 0;        // the file's line (from 1) the error is about; 0 when none
    std::string error;   // reason, without the file name; empty when ok
};

// Fills `table`: entry 0 is the space at 1.0, entries 1..223 come from the stream in order.
// Fewer than 223 data lines, or a data line that does not parse, is an error; the entries not
// read are left zero.
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
