// What the program prints of outside text: control characters as escapes, everything else as is.

#include "common/Log.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gw {
namespace {

struct PrintableRow {
    const char* name;
    std::string text;
    std::string shown;
};

const PrintableRow kPrintableRows[] = {
    {"terminal title",
     "a\x1b]0;PWNED\x07"
     "b.png",
     "a\\033]0;PWNED\\ab.png"},
    {"line breaks", "one\ntwo\r\t", "one\\ntwo\\r\\t"},
    {"nul and delete", std::string("x\0y\x7f", 4), "x\\000y\\177"},
    {"C1 control in UTF-8",
     "\xc2\x9b"
     "2J",
     "\\u009b2J"},
    {"C1 control as a lone byte",
     "\x9b"
     "2J",
     "\\2332J"},
    {"cut UTF-8 sequence", "ab\xe2\x80", "ab\\342\\200"},
    {"overlong slash", "\xc0\xaf", "\\300\\257"},
    {"bidirectional override",
     "txt.\xe2\x80\xae"
     "gnp",
     "txt.\\u202egnp"},
    {"letters and symbols",
     "Stra\xc3\x9f"
     "e \xe6\x97\xa5 \xf0\x9f\x99\x82 \\ ~",
     "Stra\xc3\x9f"
     "e \xe6\x97\xa5 \xf0\x9f\x99\x82 \\ ~"},
};

TEST(Printable, EscapesControlsAndInvalidBytesOnly) {
    for (const PrintableRow& row : kPrintableRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(printable(row.text), row.shown);
        EXPECT_EQ(printable(row.shown), row.shown); // escaping again changes nothing
    }
    EXPECT_EQ(printable("a\tb\nc\x1b", "\t\n"), "a\tb\nc\\033");
}

TEST(Printable, TheLogShowsMessagesEscaped) {
    testing::LogCapture log;
    systemLog("cannot open \x1b[2Jx.png");
    EXPECT_EQ(log.lines, std::vector<std::string>{"cannot open \\033[2Jx.png"});
}

} // namespace
} // namespace gw
