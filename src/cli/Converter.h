#pragma once
// Runs the conversions of one command line: reads the pictures, converts them in parallel,
// and writes the results in the order of the arguments.

#include "Options.h"
#include "palette/CharacterTable.h"

#include <cstdio>
#include <string>
#include <vector>

namespace gw::cli {

struct RunReport {
    int converted = 0;
    int failed = 0;
};

struct Environment {
    bool noColor = false;          // NO_COLOR is set and not empty
    bool progressTerminal = false; // standard error is a terminal
    int threads = 1;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

// Characters of `set` (UTF-8) that the table lacks, each shown once: printable ones as they
// are, control characters as U+XXXX. Line feeds are not counted.
std::vector<std::string> charactersWithoutDarkness(const std::string& set,
                                                   const CharacterTable& table);

// Where the result of picture `index` goes: empty for standard output.
std::vector<std::string> outputPaths(const Options& options, std::string& error);

RunReport convertAll(const Options& options, const CharacterTable& table, const Environment& env);

} // namespace gw::cli
