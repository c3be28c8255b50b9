// The message list's scan, its dates and links, the launch count and the feed's lines.

#include "notify/NotificationList.h"

#include "support/DataTable.h"

#include <gtest/gtest.h>

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

// A list, the ids already completed, and the entry due as "id:message" (or "none").
GW_TABLE_TEST(ScanRows, FindsTheFirstDueEntry, "notify/scan.tsv") {
    const test::DataRow& row = GetParam();
    std::set<int> completed;
    std::istringstream ids(row[1]);
    for (int id; ids >> id;)
        completed.insert(id);
    EXPECT_EQ(scan(row[0], completed), row[2]);
}

// "date", "link" or "launch", the text, and whether it is accepted (or the next count).
GW_TABLE_TEST(FieldRows, DatesLinksAndTheLaunchCount, "notify/fields.tsv") {
    const test::DataRow& row = GetParam();
    if (row[0] == "launch")
        EXPECT_EQ(nextLaunchCount(std::stol(row[1])), std::stol(row[2]));
    else
        EXPECT_EQ((row[0] == "date" ? parseNotificationDate : isOpenableLink)(row[1]),
                  row[2] == "yes");
}

TEST(NotificationList, LinesKeepTabsAndLineFeedsButEscapeOtherControlCharacters) {
    NotificationEntry entry{7, 0, "12/25/12", "Open", "Close", "http://e/\x1b[2J", "a\tb\x07%s\n"};
    EXPECT_EQ(processingLine(entry), "QVNotification Processing 7\t0\t12/25/12\ta\tb\\a%s\n\tOpen\t"
                                     "Close\thttp://e/\\033[2J\n");
    EXPECT_EQ(acceptedLine(7), "QVNotification Accepted\t- 7\t\tQVNotification-Link-7\n");
}

} // namespace
} // namespace gw
