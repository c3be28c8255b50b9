#include "palette/CharacterTable.h"

#include "support/DataTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using gw::QVReadLine;
using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// An in-memory stream over `text`; the string must outlive the stream.
FilePtr streamOf(std::string& text) {
    return FilePtr(fmemopen(text.data(), text.size(), "r"), &std::fclose);
}

std::vector<std::string> readAll(std::string text, int bufferSize) {
    FilePtr stream = streamOf(text);
    std::vector<std::string> lines;
    std::vector<char> buffer(bufferSize);
    while (QVReadLine(stream.get(), buffer.data(), bufferSize))
        lines.emplace_back(buffer.data());
    return lines;
}

std::string tableText(int records) {
    std::string text;
    for (int i = 0; i < records; ++i) {
        const int code = 33 + (i % 94);
        text += std::to_string(code) + ' ' + static_cast<char>(code) + ' ' +
                std::to_string(i * 100) + '\n';
    }
    return text;
}

GW_TABLE_TEST(ReadLineRows, CommentsAndBlankRuns, "tables/read-line.tsv") {
    const auto& fields = GetParam().fields;
    EXPECT_EQ(readAll(fields.at(0), 256), std::vector(fields.begin() + 1, fields.end()));
}

TEST(ReadLine, LongLinesAndTheEnd) {
    const std::string x255(255, 'x');
    EXPECT_EQ(readAll(std::string(600, 'x') + "\n", 256),
              (std::vector{x255, x255, std::string(90, 'x') + "\n"}));
    EXPECT_EQ(readAll(std::string(1500, 'y') + "\n", 4096),
              (std::vector{std::string(999, 'y'), std::string(501, 'y') + "\n"}));
    EXPECT_TRUE(readAll("", 256).empty());
    char buffer[4];
    EXPECT_FALSE(QVReadLine(nullptr, buffer, sizeof buffer));
}

// Under a decimal-comma locale "%f" would stop at the point and read 32767.
TEST(TableLine, ParsesCodeCharacterAndScaledDarknessAsScanfDoesWhateverTheLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous != nullptr ? previous : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
        // Most systems carry few compiled locales: compile the one needed beside the test.
        const std::string folder = ::testing::TempDir() + "gw-locales";
        const std::string make = "mkdir -p " + folder + " && localedef -i de_DE -f UTF-8 " +
                                 folder + "/de_DE.UTF-8 2>/dev/null";
        ASSERT_EQ(std::system(make.c_str()), 0) << "localedef could not compile de_DE.UTF-8";
        ::setenv("LOCPATH", folder.c_str(), 1);
        ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
    }
    for (const char* line : {"65 A 32767.5\n", "+65A\t+32767.5", " 65  A 3.27675e4 \r\n"}) {
        gw::CharacterRecord record;
        EXPECT_TRUE(gw::parseTableLine(line, record)) << line;
        EXPECT_EQ(std::make_tuple(record.ascii, record.character, record.black),
                  std::make_tuple(65, 'A', 32767.5f / 65535.0f))
            << line;
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
}

// An ink grid may follow the darkness; tables without one read as they always did.
TEST(TableLine, ReadsAnInkGridAfterTheDarknessOrNone) {
    gw::CharacterRecord record;
    ASSERT_TRUE(gw::parseTableLine("47 / 41166 2x2:65535,0,32767,13107 \n", record));
    EXPECT_EQ(std::make_tuple(record.ascii, record.inkColumns, record.inkRows),
              std::make_tuple(47, 2, 2));
    EXPECT_EQ(std::vector<float>(record.ink.begin(), record.ink.begin() + 5),
              (std::vector<float>{1.0f, 0.0f, 32767.0f / 65535.0f, 0.2f, 0.0f}));
    ASSERT_TRUE(gw::parseTableLine("48 0 100\n", record));
    EXPECT_EQ(std::make_pair(record.inkColumns, record.inkRows), std::make_pair(0, 0));
    EXPECT_FALSE(gw::parseTableLine("49 1 100 0x2:\n", record));
    EXPECT_FALSE(gw::parseTableLine("49 1 100 1x1:-1\n", record));
    EXPECT_FALSE(gw::parseTableLine("49 1 100 1x1:,1\n", record));
    EXPECT_EQ(record.ascii, 48); // a refused line leaves the record as it was
}

// Lines past the 223rd are not read; a short file is an error that leaves the rest zero.
TEST(TableLoad, FillsTheSpaceAndTheRecordsInFileOrder) {
    for (const int records : {230, 5}) {
        std::string text = tableText(records);
        FilePtr stream = streamOf(text);
        gw::CharacterTable table;
        table.fill({7, 'x', 0.5f});
        const auto result = gw::loadCharacterTable(stream.get(), table);
        const int read = std::min(records, 223);
        EXPECT_EQ(std::make_tuple(result.ok, result.recordsRead, result.error),
                  std::make_tuple(records >= 223, read,
                                  records >= 223 ? "" : "holds only 5 data lines; 223 are needed"));
        EXPECT_EQ(std::make_tuple(table[0].ascii, table[0].character, table[0].black),
                  std::make_tuple(32, ' ', 1.0f));
        EXPECT_EQ(table[read].ascii, 33 + (read - 1) % 94);
        EXPECT_EQ(table[read].black, static_cast<float>((read - 1) * 100) / 65535.0f);
        EXPECT_EQ(table[223].ascii, records >= 223 ? 33 + 222 % 94 : 0);
    }
}

// Every refused table leaves no record of it behind: only the space.
void expectRefused(const std::string& path, const std::string& message) {
    gw::CharacterTable table;
    table.fill({65, 'A', 0.5f});
    const auto result = gw::loadCharacterTableFile(path, table);
    EXPECT_EQ(std::make_pair(result.ok, result.error), std::make_pair(false, message));
    EXPECT_EQ(std::make_pair(table[0].ascii, table[1].ascii), std::make_pair(32, 0)) << path;
}

GW_TABLE_TEST(RefusedTableRows, NamesTheFileAndTheLine, "tables/refused.tsv") {
    const std::string path = gw::test::dataPath("tables/" + GetParam()[0]);
    expectRefused(path, path + GetParam()[1]);
}

TEST(TableLoad, RefusesWhatCannotBeOpenedAsATableWithoutWaiting) {
    const std::string folder = gw::test::dataPath("tables");
    // Nothing waits on a FIFO without a writer or reads a device without end.
    const std::string fifo = ::testing::TempDir() + "gw-table-fifo";
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string cannotOpen = ": cannot open the character table: ";
    expectRefused("/nonexistent/Table.txt",
                  "/nonexistent/Table.txt" + cannotOpen + "No such file or directory");
    expectRefused(folder, folder + cannotOpen + "it is a folder");
    expectRefused(fifo, fifo + cannotOpen + "not a regular file");
    expectRefused("/dev/zero", "/dev/zero" + cannotOpen + "not a regular file");
    ::unlink(fifo.c_str());
}

// Misses are logged: ProcessImageTest.CodesTheTableLacksTakeNoPartAndAreLoggedOncePerConversion.
TEST(GetChar, FindsTheFirstEntryOfACode) {
    gw::CharacterTable table{};
    table[0] = {32, ' ', 1.0f};
    table[1] = {195, 'x', 0.5f}; // a byte above 127 widens to a negative code, never to 195
    table[3] = {65, 'A', 0.5f};
    table[9] = {65, 'A', 0.1f};
    EXPECT_EQ(
        std::make_tuple(gw::getChar(table, 0), gw::getChar(table, ' '), gw::getChar(table, 'A')),
        std::make_tuple(0, 0, 3));
    EXPECT_EQ(gw::getChar(table, '\t'), -1);
    EXPECT_EQ(gw::getChar(table, static_cast<char>(0xC3)), -1);
}

// The shipped table must give every group character its own entry, or the group buttons would
// offer characters the conversion cannot place.
TEST(ShippedTable, LoadsAndCoversEveryGroupCharacter) {
    gw::CharacterTable table;
    const auto result =
        gw::loadCharacterTableFile(std::string(GLYPHWERK_SOURCE_RESOURCES) + "/Table.txt", table);
    ASSERT_TRUE(result.ok) << result.error;
    float darkest = 1.0f;
    for (int code = 33; code <= 126; ++code) {
        const int index = gw::getChar(table, static_cast<char>(code));
        ASSERT_GT(index, 0) << code;
        EXPECT_GE(table[index].black, 0.0f);
        EXPECT_LT(table[index].black, 1.0f) << static_cast<char>(code);
        darkest = std::min(darkest, table[index].black);
    }
    EXPECT_EQ(darkest, 0.0f);
}

} // namespace
