#pragma once
// Expectations kept as tables under tests/data, read the one way every suite reads them.
//
// One case a line, fields separated by tabs (a trailing tab gives an empty last field); lines
// starting with '#' and blank lines are skipped. In a field a backslash starts an escape: "\n",
// "\r", "\t" and "\e" stand for a line feed, a carriage return, a tab and an escape, "\xHH"
// for the byte HH, "\0" and "\1" for the bytes 0 and 1; before any other character the
// backslash takes that character as it is ("\\" is one backslash, "\#" starts a field with '#').
//
// Each row becomes a test case of its own, named after its fields (see rowName):
//   GW_TABLE_TEST(GridSizeRows, MatchesTheWorkedExample, "engine/grid-size.tsv") {
//       const test::DataRow& row = GetParam(); ...
//   }
// runs alone with --gtest_filter='Rows/GridSizeRows.MatchesTheWorkedExample/1024_768_80*'.
// GW_TABLE_TEST_F does the same over a fixture of the suite's own.

#include <gtest/gtest.h>

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace gw::test {

struct DataRow {
    std::string table; // the table's name under tests/data
    int line = 0;      // 1-based, for messages
    std::string name;  // the case's name: see rowName()
    std::vector<std::string> fields;

    // The field, or "" with a test failure when the row has fewer fields.
    const std::string& operator[](std::size_t index) const;
};

// A case's parameter shows as "table:line".
void PrintTo(const DataRow& row, std::ostream* out);

// The rows of tests/data/<name>. A table that cannot be read gives one row named
// "unreadable_table" with no fields, so that its cases fail instead of vanishing.
std::vector<DataRow> dataTable(const std::string& name);

// A field with its escapes replaced.
std::string unescape(std::string_view field);

// The name generator for TEST_P: the row's first field where that tells every row of the table
// apart, else all its fields, with letters and digits kept and everything else run together as
// '_', cut to 48 characters; a name an earlier row took already gets "_line<N>" appended.
std::string rowName(const ::testing::TestParamInfo<DataRow>& info);

// tests/data/<name>.
std::string dataPath(const std::string& name);

// A file's whole content; empty when it cannot be read.
std::string readBytes(const std::string& path);

} // namespace gw::test

// A parameterised suite `suite`, one case per row of tests/data/<table>, on `fixture`.
#define GW_TABLE_TEST_F(fixture, suite, name, table)                                               \
    class suite : public fixture, public ::testing::WithParamInterface<::gw::test::DataRow> {};    \
    INSTANTIATE_TEST_SUITE_P(Rows, suite, ::testing::ValuesIn(::gw::test::dataTable(table)),       \
                             ::gw::test::rowName);                                                 \
    TEST_P(suite, name)
#define GW_TABLE_TEST(suite, name, table) GW_TABLE_TEST_F(::testing::Test, suite, name, table)
