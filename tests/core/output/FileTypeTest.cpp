// The save dialog's rule, one named case per row of output/file-types.tsv.
#include "output/FileType.h"

#include "../DataRows.h"

#include <gtest/gtest.h>

namespace gw {
namespace {

struct FileTypeCase {
    std::string name, path, written;
    std::vector<std::string> extensions;
};

std::vector<FileTypeCase> fileTypeCases() {
    std::vector<FileTypeCase> cases;
    for (const auto& row : test::dataRows("output/file-types.tsv")) {
        FileTypeCase c{row.at(0), row.at(1), row.at(3), {}};
        for (std::size_t start = 0, comma = 0; comma != std::string::npos; start = comma + 1) {
            comma = row.at(2).find(',', start);
            c.extensions.push_back(row.at(2).substr(start, comma - start));
        }
        cases.push_back(std::move(c));
    }
    return cases;
}

class FileType : public ::testing::TestWithParam<FileTypeCase> {};

TEST_P(FileType, KeepsTheFilesType) {
    const FileTypeCase& c = GetParam();
    const std::vector<std::string_view> extensions(c.extensions.begin(), c.extensions.end());
    EXPECT_EQ(withFileType(c.path, extensions), c.written);
    EXPECT_EQ(withFileType(c.written, extensions), c.written) << "applied twice";
}

INSTANTIATE_TEST_SUITE_P(Rows, FileType, ::testing::ValuesIn(fileTypeCases()),
                         [](const auto& row) { return row.param.name; });

} // namespace
} // namespace gw
