// The message list's scan, its dates and links, the launch count and the feed's lines.

#include "notify/NotificationList.h"

#include "../DataRows.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <memory>
#include <set>
#include <sstream>
#include <string>

namespace gw {
namespace {

// The id and message of the entry found in `list`, or "none".
std::string scan(std::string list, const std::set<int>& completed = {}) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(
        fmemopen(list.data(), list.size(), "r"), &std::fclose);
    const auto due =
        findDueNotification(stream.get(), [&completed](int id) { return completed.contains(id); });
    return due ? std::to_string(due->id) + ":" + due->message : "none";
}

TEST(NotificationList, ScanFindsTheFirstDueEntry) {
    const auto rows = test::dataRows("notify/scan.tsv");
    ASSERT_EQ(rows.size(), 18u);
    for (const auto& row : rows) {
        SCOPED_TRACE(row[0]);
        std::set<int> completed;
        std::istringstream ids(row[1]);
        for (int id; ids >> id;)
            completed.insert(id);
        EXPECT_EQ(scan(row[0], completed), row[2]);
    }
}

TEST(NotificationList, DatesParseAsMinuteDayAndTwoDigitYear) {
    for (const char* good : {"12/25/12", "0/1/00", "59/31/99", "07/09/30"})
        EXPECT_TRUE(parseNotificationDate(good)) << good;
    for (const char* bad : {"60/01/12", "12/32/12", "12/00/12", "12/25/2012", "12-25-12", "",
                            "12/25/1", "123/1/12", "12/25/12x", "a/b/c", "/25/12"})
        EXPECT_FALSE(parseNotificationDate(bad)) << bad;
}

TEST(NotificationList, OnlyWebLinksWithAHostOpen) {
    for (const char* good : {"http://example.org", "HTTPS://Example.org/x?y#z",
                             "https://user@host:8080/p", "http://[::1]/"})
        EXPECT_TRUE(isOpenableLink(good)) << good;
    for (const char* bad :
         {"file:///etc/passwd", "javascript:alert(1)", "mailto:a@b.org", "//example.org",
          "example.org", "http:///path", "http://:80/", "http://user@/", "smb://host/share",
          "http://ex\x1b]2;x.org/", "http://[::1/", ""})
        EXPECT_FALSE(isOpenableLink(bad)) << bad;
}

TEST(NotificationList, LaunchCountGrowsAndStopsAtTheLargestInt) {
    const std::pair<long, std::int32_t> rows[] = {{0, 1},
                                                  {4, 5},
                                                  {-1, 0},
                                                  {INT32_MAX - 1, INT32_MAX},
                                                  {INT32_MAX, INT32_MAX},
                                                  {1L << 40, INT32_MAX},
                                                  {LONG_MIN, INT32_MIN + 1}};
    for (const auto& [stored, next] : rows)
        EXPECT_EQ(nextLaunchCount(stored), next) << stored;
}

TEST(NotificationList, LinesKeepTabsAndLineFeedsButNoOtherControlCharacters) {
    NotificationEntry entry{7, 0, "12/25/12", "Open", "Close", "http://e/\x1b[2J", "a\tb\x07%s\n"};
    EXPECT_EQ(processingLine(entry), "QVNotification Processing 7\t0\t12/25/12\ta\tb?%s\n\tOpen\t"
                                     "Close\thttp://e/?[2J\n");
    EXPECT_EQ(acceptedLine(7), "QVNotification Accepted\t- 7\t\tQVNotification-Link-7\n");
}

} // namespace
} // namespace gw
