#include "palette/CharacterTable.h"

#include "common/Log.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace gw {

bool QVReadLine(std::FILE* stream, char* buffer, int size) {
    if (stream == nullptr || buffer == nullptr || size < 2) return false;
    const int limit = std::min(size, kReadLineMaxChars + 1);
    int blankLines = 0;
    for (;;) {
        if (std::fgets(buffer, limit, stream) == nullptr) return false;
        const char first = buffer[0];
        if (first != '\n' && first != '#' && first != '/') return true;
        if (first == '\n' && ++blankLines == 5) return true;
    }
}

void parseTableLine(const char* line, CharacterRecord& record) {
    int code = record.ascii;
    char ch = record.character;
    float black = record.black;
    const int fields = std::sscanf(line, "%d %c %f", &code, &ch, &black);
    if (fields >= 1) record.ascii = code;
    if (fields >= 2) record.character = ch;
    if (fields >= 3) record.black = black;
    record.black = record.black / 65535.0f;
}

TableLoadResult loadCharacterTable(std::FILE* stream, CharacterTable& table) {
    TableLoadResult result;
    table.fill(CharacterRecord{});
    table[0] = CharacterRecord{32, ' ', 1.0f};
    char line[kTableLineBuffer];
    for (int entry = 1; entry <= kTableFileRecords; ++entry) {
        if (!QVReadLine(stream, line, sizeof line)) {
            result.error = "holds only " + std::to_string(result.recordsRead) + " data lines; " +
                           std::to_string(kTableFileRecords) + " are needed";
            return result;
        }
        parseTableLine(line, table[entry]);
        ++result.recordsRead;
    }
    if (std::ferror(stream)) {
        result.error = "could not be read";
        return result;
    }
    result.ok = true;
    return result;
}

TableLoadResult loadCharacterTableFile(const std::string& path, CharacterTable& table) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "r"),
                                                         &std::fclose);
    if (!file) {
        const int err = errno;
        table.fill(CharacterRecord{});
        table[0] = CharacterRecord{32, ' ', 1.0f};
        TableLoadResult result;
        result.error = path + ": cannot open the character table: " + std::strerror(err);
        return result;
    }
    TableLoadResult result = loadCharacterTable(file.get(), table);
    if (!result.ok) result.error = path + ": the character table " + result.error;
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
