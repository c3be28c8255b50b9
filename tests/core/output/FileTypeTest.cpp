// The save dialog's rule, one named case per row of output/file-types.tsv.
#include "output/FileType.h"

#include "support/DataTable.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace gw {
namespace {

// The row's extensions field, split at its commas.
std::vector<std::string> extensionsOf(const std::string& field) {
    std::vector<std::string> extensions;
    for (std::size_t start = 0, comma = 0; comma != std::string::npos; start = comma + 1) {
        comma = field.find(',', start);
        extensions.push_back(field.substr(start, comma - start));
    }
    return extensions;
}

GW_TABLE_TEST(FileType, KeepsTheFilesType, "output/file-types.tsv") {
    const test::DataRow& row = GetParam();
    const std::vector<std::string> owned = extensionsOf(row[2]);
    const std::vector<std::string_view> extensions(owned.begin(), owned.end());
    const std::string& written = row[3];
    EXPECT_EQ(withFileType(row[1], extensions), written);
    EXPECT_EQ(withFileType(written, extensions), written) << "applied twice";
}

} // namespace
} // namespace gw
