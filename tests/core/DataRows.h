// Worked values kept as tables under tests/data: one case a line, fields separated by tabs, lines
// starting with '#' and blank lines skipped. In a field "\n", "\r", "\t", "\0" and "\e" stand for
// a line feed, a carriage return, a tab, a NUL byte and an escape; a backslash takes any other
// next character as it is ("\#" starts a field with '#').
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace gw::test {

inline std::vector<std::vector<std::string>> dataRows(const std::string& name) {
    std::ifstream in(GLYPHWERK_TEST_DATA "/" + name, std::ios::binary);
    EXPECT_TRUE(in.is_open()) << name;
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        rows.emplace_back(1);
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\t') {
                rows.back().emplace_back();
            } else if (line[i] == '\\' && i + 1 < line.size()) {
                const char c = line[++i];
                rows.back().back() += c == 'n'   ? '\n'
                                      : c == 't' ? '\t'
                                      : c == '0' ? '\0'
                                      : c == 'e' ? '\x1b'
                                                 : c;
            } else {
                rows.back().back() += line[i];
            }
        }
    }
    return rows;
}

} // namespace gw::test
