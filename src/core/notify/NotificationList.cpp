#include "notify/NotificationList.h"

#include "common/Log.h"
#include "palette/CharacterTable.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstdio>

namespace gw {

std::string completedKey(int id) {
    return "QVNotification-Completed-" + std::to_string(id);
}

std::string linkKey(int id) {
    return "QVNotification-Link-" + std::to_string(id);
}

namespace {

bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// The next run of characters without white space, after any white space; empty at the end.
std::string_view nextWord(std::string_view& rest) {
    std::size_t start = 0;
    while (start < rest.size() && isSpace(rest[start]))
        ++start;
    std::size_t end = start;
    while (end < rest.size() && !isSpace(rest[end]))
        ++end;
    const std::string_view word = rest.substr(start, end - start);
    rest.remove_prefix(end);
    return word;
}

// A whole word as a signed decimal int; a value out of range is no number.
bool readInt(std::string_view word, int& value) {
    if (word.size() > 1 && word.front() == '+') word.remove_prefix(1);
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    return ec == std::errc() && end == word.data() + word.size();
}

} // namespace

bool parseEntryLine(const char* line, NotificationEntry& entry) {
    std::string_view rest(line);
    std::string_view words[6];
    for (std::string_view& word : words) {
        word = nextWord(rest);
        if (word.empty()) return false;
    }
    if (!readInt(words[0], entry.id) || !readInt(words[1], entry.skip)) return false;
    entry.date = words[2];
    entry.okay = words[3];
    entry.close = words[4];
    entry.link = words[5];
    return true;
}

namespace {

// Reads one to `maxDigits` digits at `pos` into `value`.
bool readNumber(std::string_view text, std::size_t& pos, std::size_t minDigits,
                std::size_t maxDigits, int& value) {
    const std::size_t start = pos;
    value = 0;
    while (pos < text.size() && pos - start < maxDigits &&
           std::isdigit(static_cast<unsigned char>(text[pos]))) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    return pos - start >= minDigits;
}

} // namespace

bool parseNotificationDate(std::string_view text) {
    std::size_t pos = 0;
    int minute = 0, day = 0, year = 0;
    if (!readNumber(text, pos, 1, 2, minute) || minute > 59) return false;
    if (pos >= text.size() || text[pos++] != '/') return false;
    if (!readNumber(text, pos, 1, 2, day) || day < 1 || day > 31) return false;
    if (pos >= text.size() || text[pos++] != '/') return false;
    if (!readNumber(text, pos, 2, 2, year)) return false;
    return pos == text.size();
}

std::optional<NotificationEntry> findDueNotification(std::FILE* list,
                                                     const std::function<bool(int id)>& completed) {
    char entryLine[kNotificationLineBuffer];
    char messageLine[kNotificationLineBuffer];
    for (;;) {
        NotificationEntry entry;
        const bool haveEntry = QVReadLine(list, entryLine, sizeof entryLine);
        const bool parsed = haveEntry && parseEntryLine(entryLine, entry);
        if (!haveEntry || !QVReadLine(list, messageLine, sizeof messageLine)) return std::nullopt;
        if (entryLine[0] == 'x') return std::nullopt;
        // An id too large to carry as 1000 + id could not be told apart from another one.
        if (!parsed || entry.skip != 0 || entry.id > INT32_MAX - kNotificationTagBase) continue;
        if (!parseNotificationDate(entry.date)) continue;
        if (completed(entry.id)) continue;
        entry.message = messageLine;
        return entry;
    }
}

std::int32_t nextLaunchCount(long stored) {
    const long clamped = std::clamp<long>(stored, INT32_MIN, INT32_MAX);
    if (clamped == INT32_MAX) return INT32_MAX;
    return static_cast<std::int32_t>(clamped + 1);
}

namespace {
// A message may span lines and its fields are tab-separated; every other control is escaped.
std::string printableField(std::string_view text) {
    return printable(text, "\t\n");
}
} // namespace

std::string processingLine(const NotificationEntry& entry) {
    return "QVNotification Processing " + std::to_string(entry.id) + '\t' +
           std::to_string(entry.skip) + '\t' + printableField(entry.date) + '\t' +
           printableField(entry.message) + '\t' + printableField(entry.okay) + '\t' +
           printableField(entry.close) + '\t' + printableField(entry.link) + '\n';
}

std::string acceptedLine(int id) {
    return "QVNotification Accepted\t- " + std::to_string(id) + "\t\t" + linkKey(id) + '\n';
}

bool isOpenableLink(std::string_view link) {
    for (const char c : link) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f) return false;
    }
    const std::size_t colon = link.find("://");
    if (colon == std::string_view::npos) return false;
    std::string scheme(link.substr(0, colon));
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (scheme != "http" && scheme != "https") return false;
    std::string_view authority = link.substr(colon + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    std::string_view host = authority;
    if (!host.empty() && host.front() == '[') {
        const std::size_t end = host.find(']');
        if (end == std::string_view::npos) return false;
        host = host.substr(1, end - 1);
    } else {
        host = host.substr(0, host.find(':'));
    }
    return !host.empty();
}

} // namespace gw
