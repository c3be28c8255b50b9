#pragma once
// The makers' message list: its entries, the scan for the first one that is due, the launch
// count, and the texts the feed writes. The list comes from a server we do not control, so
// everything here treats it as hostile data.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace gw {

inline constexpr const char* kLaunchCountKey = "QVNotification-launchCount";
inline constexpr const char* kFeedDisabledKey = "QVNotification-Disabled";
inline constexpr const char* kNotificationCacheName = "notification.txt";
inline constexpr const char* kNotificationAlertTitle = "Quorvell Software Alert";
inline constexpr int kNotificationLineBuffer = 512;
inline constexpr int kNotificationTagBase = 1000;
// Launches before this one only count.
inline constexpr std::int32_t kFirstFetchingLaunch = 5;

// "QVNotification-Completed-<id>" and "QVNotification-Link-<id>".
std::string completedKey(int id);
std::string linkKey(int id);

struct NotificationEntry {
    int id = 0;
    int skip = 0;        // considered only when 0
    std::string date;    // "mm/dd/yy": minute, day, two-digit year
    std::string okay;    // the accepting button's title
    std::string close;   // the declining button's title
    std::string link;    // opened when the user accepts
    std::string message; // the whole message line, its line feed kept
};

// The carrier of one due entry from the feed thread to the main thread; `tag` is 1000 + id.
struct MyWindow {
    std::string message;
    std::string okay;
    std::string close;
    std::string link;
    int tag = 0;
};

// Reads "id skip date okay close link" (white space of any kind and length between the
// fields; words after the sixth are ignored) into `entry`. False unless all six fields are
// there and both numbers are whole decimal ints; `entry` may then be partly set.
bool parseEntryLine(const char* line, NotificationEntry& entry);

// Whether `text` reads as a date under "mm/dd/yy": minute 0-59, day 1-31 and a year of two
// digits, each of the first two of one or two digits. Which day it names does not matter: a
// date that parses is never later than "now" in the sense the list uses.
bool parseNotificationDate(std::string_view text);

// Scans an open list for the first entry that is due: six fields, `skip` 0, an id that leaves
// room for its tag, a date that parses, and not `completed`. Stops with nothing at the terminator
// (an entry line beginning with "x") and at the end of the list.
std::optional<NotificationEntry> findDueNotification(std::FILE* list,
                                                     const std::function<bool(int id)>& completed);

// The launch count after one more launch, from what the defaults hold (0 when absent). Stays
// at the largest 32-bit value instead of wrapping.
std::int32_t nextLaunchCount(long stored);

// "QVNotification Processing <id>\t<skip>\t<date>\t<message>\t<okay>\t<close>\t<link>\n", the
// list's texts made printable, so that a hostile list cannot drive the terminal.
std::string processingLine(const NotificationEntry& entry);
// "QVNotification Accepted\t- <id>\t\tQVNotification-Link-<id>\n".
std::string acceptedLine(int id);
inline constexpr const char* kCanceledLine = "QVNotification Canceled\n";

// True for an absolute http or https URL with a host; only such links are opened.
bool isOpenableLink(std::string_view link);

} // namespace gw
