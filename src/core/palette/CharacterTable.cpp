#include "palette/CharacterTable.h"

#include "common/Log.h"
#include "common/Posix.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gw {
namespace {

constexpr const char* kNotARecord = "the line does not read as code, character and darkness";
constexpr std::size_t kShownTokenChars = 24;
constexpr const char* kNotAnInkGrid =
    "the ink grid after the darkness is not CxR:value,... (C and R from 1 to 8, at most 32 "
    "cells, C x R values from 0 to 65535)";

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char* skipBlanks(const char* p) {
    while (isBlank(*p))
        ++p;
    return p;
}

// std::from_chars takes no leading '+', which "%d" and "%f" accept.
const char* skipPlus(const char* p) {
    return *p == '+' && p[1] != '-' && p[1] != '+' ? p + 1 : p;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// "CxR:v,v,..." up to `end`; fills the record's grid. Integers only, like the tool writes.
bool parseInkGrid(const char* p, const char* end, CharacterRecord& record) {
    int columns = 0;
    int rows = 0;
    std::from_chars_result read = std::from_chars(p, end, columns);
    if (read.ec != std::errc() || read.ptr == end || *read.ptr != 'x') return false;
    read = std::from_chars(read.ptr + 1, end, rows);
    if (read.ec != std::errc() || read.ptr == end || *read.ptr != ':') return false;
    const char* q = read.ptr;
    if (columns < 1 || rows < 1 || columns > kMaxInkSide || rows > kMaxInkSide ||
        columns * rows > kMaxInkCells)
        return false;
    std::array<float, kMaxInkCells> ink{};
    ++q; // past ':'
    for (int i = 0; i < columns * rows; ++i) {
        if (i > 0) {
            if (q == end || *q != ',') return false;
            ++q;
        }
        int value = 0;
        if (q == end || !isDigit(*q)) return false;
        read = std::from_chars(q, end, value);
        if (read.ec != std::errc() || value > 65535) return false;
        q = read.ptr;
        ink[static_cast<std::size_t>(i)] = static_cast<float>(value) / 65535.0f;
    }
    if (*skipBlanks(q) != '\0') return false;
    record.inkColumns = columns;
    record.inkRows = rows;
    record.ink = ink;
    return true;
}

TableLoadResult refused(const std::string& path, const std::string& reason) {
    TableLoadResult result;
    result.error = path + ": cannot open the character table: " + reason;
    return result;
}

void resetTable(CharacterTable& table) {
    table.fill(CharacterRecord{});
    table[0] = CharacterRecord{32, ' ', 1.0f};
}

// Reads a regular file of at most kMaxTableFileBytes whole. O_NONBLOCK keeps the open of a
// FIFO without a writer from waiting; anything but a regular file is refused after it.
TableLoadResult readTableFile(const std::string& path, std::string& text) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return refused(path, std::strerror(errno));
    const std::unique_ptr<int, void (*)(int*)> closer(new int(fd), [](int* f) {
        ::close(*f);
        delete f;
    });
    struct stat info {};
    if (::fstat(fd, &info) != 0) return refused(path, std::strerror(errno));
    if (S_ISDIR(info.st_mode)) return refused(path, "it is a folder");
    if (!S_ISREG(info.st_mode)) return refused(path, "not a regular file");
    if (info.st_size > kMaxTableFileBytes) {
        TableLoadResult result;
        result.error = path + ": the character table is too large (" +
                       std::to_string(info.st_size) + " bytes; at most " +
                       std::to_string(kMaxTableFileBytes) + ")";
        return result;
    }
    // One byte more than allowed, to notice a file that grew since it was measured.
    text.resize(static_cast<std::size_t>(kMaxTableFileBytes) + 1);
    const Transfer got = readFully(fd, text.data(), text.size());
    if (got.error != 0) return refused(path, std::strerror(got.error));
    const std::size_t done = got.done;
    if (done > static_cast<std::size_t>(kMaxTableFileBytes)) {
        TableLoadResult result;
        result.error = path + ": the character table is too large (more than " +
                       std::to_string(kMaxTableFileBytes) + " bytes)";
        return result;
    }
    text.resize(done);
    TableLoadResult result;
    result.ok = true;
    return result;
}

} // namespace

bool QVReadLine(std::FILE* stream, char* buffer, int size, int* lineFeeds) {
    if (stream == nullptr || buffer == nullptr || size < 2) return false;
    const int limit = std::min(size, kReadLineMaxChars + 1);
    int blankLines = 0;
    for (;;) {
        if (std::fgets(buffer, limit, stream) == nullptr) return false;
        if (lineFeeds != nullptr && std::strchr(buffer, '\n') != nullptr) ++*lineFeeds;
        const char first = buffer[0];
        if (first != '\n' && first != '#' && first != '/') return true;
        if (first == '\n' && ++blankLines == 5) return true;
    }
}

bool parseTableLine(const char* line, CharacterRecord& record, std::string* reason) {
    const auto fail = [reason](std::string why) {
        if (reason != nullptr) *reason = std::move(why);
        return false;
    };
    const char* end = line + std::strlen(line);
    const char* p = skipPlus(skipBlanks(line));
    std::int32_t code = 0;
    const auto [afterCode, codeError] = std::from_chars(p, end, code);
    if (codeError != std::errc()) return fail(kNotARecord);
    p = skipBlanks(afterCode);
    if (*p == '\0') return fail(kNotARecord);
    const char character = *p++;
    const char* token = skipBlanks(p);
    float black = 0.0f;
    const auto [afterBlack, blackError] =
        std::from_chars(skipPlus(token), end, black, std::chars_format::general);
    if (blackError == std::errc::invalid_argument) return fail(kNotARecord);
    const char* rest = skipBlanks(afterBlack);
    // Only a token that starts as a number, after a blank, can be an ink grid.
    const bool gridFollows = *rest != '\0' && rest != afterBlack && isDigit(*rest);
    if (*rest != '\0' && !gridFollows) return fail(kNotARecord);
    if (blackError != std::errc() || !(black >= 0.0f && black <= 65535.0f)) {
        std::string shown(token, static_cast<std::size_t>(afterBlack - token));
        if (shown.size() > kShownTokenChars) shown = shown.substr(0, kShownTokenChars) + "...";
        return fail("the darkness " + shown + " is not a number from 0 to 65535");
    }
    CharacterRecord parsed;
    if (gridFollows && !parseInkGrid(rest, end, parsed)) return fail(kNotAnInkGrid);
    parsed.ascii = code;
    parsed.character = character;
    parsed.black = black / 65535.0f;
    record = parsed;
    return true;
}

TableLoadResult loadCharacterTable(std::FILE* stream, CharacterTable& table) {
    TableLoadResult result;
    resetTable(table);
    char line[kTableLineBuffer];
    int lineFeeds = 0;
    int gridColumns = 0;
    int gridRows = 0;
    for (int entry = 1; entry <= kTableFileRecords; ++entry) {
        if (!QVReadLine(stream, line, sizeof line, &lineFeeds)) {
            if (std::ferror(stream)) {
                result.error = "could not be read";
                return result;
            }
            result.error = "holds only " + std::to_string(result.recordsRead) + " data lines; " +
                           std::to_string(kTableFileRecords) + " are needed";
            return result;
        }
        CharacterRecord& record = table[static_cast<std::size_t>(entry)];
        if (!parseTableLine(line, record, &result.error)) {
            // A piece of a long line belongs to the line whose feed has not come yet.
            result.line = lineFeeds + (std::strchr(line, '\n') != nullptr ? 0 : 1);
            return result;
        }
        if (record.inkColumns != 0 && gridColumns == 0) {
            gridColumns = record.inkColumns;
            gridRows = record.inkRows;
        } else if (record.inkColumns != 0 &&
                   (record.inkColumns != gridColumns || record.inkRows != gridRows)) {
            result.line = lineFeeds;
            result.error = "the ink grid is " + std::to_string(record.inkColumns) + "x" +
                           std::to_string(record.inkRows) + ", earlier lines' " +
                           std::to_string(gridColumns) + "x" + std::to_string(gridRows);
            return result;
        }
        ++result.recordsRead;
    }
    result.ok = true;
    return result;
}

TableLoadResult loadCharacterTableFile(const std::string& path, CharacterTable& table) {
    resetTable(table);
    std::string text;
    if (TableLoadResult read = readTableFile(path, text); !read.ok) return read;
    if (const std::size_t nul = text.find('\0'); nul != std::string::npos) {
        TableLoadResult result;
        result.line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + nul, '\n'));
        result.error = path + ":" + std::to_string(result.line) +
                       ": a NUL byte: the character table is not text";
        return result;
    }
    text.push_back('\0'); // fmemopen needs a buffer even for an empty file
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(
        fmemopen(text.data(), text.size() - 1, "r"), &std::fclose);
    if (!stream) return refused(path, std::strerror(errno));
    TableLoadResult result = loadCharacterTable(stream.get(), table);
    if (result.ok) return result;
    resetTable(table); // a refused table leaves no record of it behind
    if (result.line > 0) {
        result.error = path + ":" + std::to_string(result.line) + ": " + result.error;
    } else {
        result.error = path + ": the character table " + result.error;
    }
    return result;
}

int getChar(const CharacterTable& table, char c) {
    if (c == 0) c = ' ';
    const int code = static_cast<signed char>(c);
    for (int i = 0; i < kTableEntries; ++i) {
        if (table[i].ascii == code) return i;
    }
    systemLog("Shouldn't Be Hit A");
    return -1;
}

} // namespace gw
