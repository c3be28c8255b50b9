// Worked values kept as tables under tests/data: one case a line, fields separated by tabs, lines
// starting with '#' and blank lines skipped. In a field "\n", "\r", "\t", "\0", "\1" and "\e" stand
// for a line feed, a carriage return, a tab, the bytes 0 and 1 and an escape; a backslash takes
// any other next character as it is ("\#" starts a field with '#').
// readBytes gives a file's whole content.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
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
                                      : c == 'r' ? '\r'
                                      : c == 't' ? '\t'
                                      : c == '0' ? '\0'
                                      : c == '1' ? '\x01'
                                      : c == 'e' ? '\x1b'
                                                 : c;
            } else {
                rows.back().back() += line[i];
            }
        }
    }
    return rows;
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

} // namespace gw::test
