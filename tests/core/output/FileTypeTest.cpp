// The save dialog's rule, one named case per row of output/file-types.tsv: name, path typed,
// the format's extensions (comma-separated), the path written.
#include "output/FileType.h"

#include "support/DataTable.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace gw {
namespace {

GW_TABLE_TEST(FileType, KeepsTheFilesType, "output/file-types.tsv") {
    const test::DataRow& row = GetParam();
    std::vector<std::string> owned;
    for (std::size_t start = 0, comma = 0; comma != std::string::npos; start = comma + 1) {
        comma = row[2].find(',', start);
        owned.push_back(row[2].substr(start, comma - start));
    }
    const std::vector<std::string_view> extensions(owned.begin(), owned.end());
    EXPECT_EQ(withFileType(row[1], extensions), row[3]);
    EXPECT_EQ(withFileType(row[3], extensions), row[3]) << "applied twice";
}

} // namespace
} // namespace gw
