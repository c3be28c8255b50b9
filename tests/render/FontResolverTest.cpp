#include "render/FontResolver.h"

#include "common/Log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace gw::render {
namespace {

TEST(FontResolverTest, AcceptsOnlyMonospaceFontsAndLogsEachSubstitutionOnce) {
    std::vector<std::string> lines;
    const LogSink old = setLogSink([&](std::string_view line) { lines.emplace_back(line); });
    struct Case {
        std::string name;
        std::string family;
        bool substituted;
        std::string log; // empty: nothing logged
    };
    const Case cases[] = {
        {"DejaVu Sans Mono", "DejaVu Sans Mono", false, ""},
        {"dejavu sans mono", "DejaVu Sans Mono", false, ""},
        // fontconfig answers with DejaVu Sans, a proportional font.
        {"Glyphwerk No Such Font", "DejaVu Sans Mono", true,
         "Font \"Glyphwerk No Such Font\" is not installed; using \"DejaVu Sans Mono\""},
        {"DejaVu Sans", "DejaVu Sans Mono", true,
         "Font \"DejaVu Sans\" is not monospace; using \"DejaVu Sans Mono\""},
        {"", "DejaVu Sans Mono", true, "Font \"\" is not installed; using \"DejaVu Sans Mono\""},
        // The metric-compatible stand-in that fonts-liberation registers for Courier New.
        {"Courier New", "Liberation Mono", true,
         "Font \"Courier New\" is not installed; using \"Liberation Mono\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lines.clear();
        for (int twice = 0; twice < 2; ++twice) {
            const ResolvedFont font = resolveMonospaceFont(c.name);
            EXPECT_EQ(font.requested, c.name);
            EXPECT_EQ(font.family, c.family);
            EXPECT_EQ(font.substituted, c.substituted);
            EXPECT_FALSE(font.file.empty());
        }
        EXPECT_EQ(lines,
                  c.log.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.log});
    }
    setLogSink(old);
}

} // namespace
} // namespace gw::render
