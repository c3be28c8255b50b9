#pragma once
// Runs the conversions of one command line: reads the pictures, converts them in parallel
// (WorkerPool.h), and writes the results in the order of the arguments, where the output plan
// (OutputPlan.h) says.

#include "Options.h"
#include "OutputPlan.h"
#include "StandardInput.h"
#include "palette/CharacterTable.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace gw::cli {

struct RunReport {
    int converted = 0;
    int failed = 0;            // pictures not read, not converted or not written
    int unwritten = 0;         // of those, pictures whose output could not be written
    bool outputClosed = false; // writing to standard output failed; the run stopped there
};

struct Environment {
    bool noColor = false;          // NO_COLOR is set and not empty
    bool progressTerminal = false; // standard error is a terminal
    int threads = 1;
    int in = 0; // standard input's descriptor
    std::uint64_t standardInputLimit = kMaxStandardInputBytes;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
};

// Characters of `set` (UTF-8) that the table lacks, each shown once: printable ones as they
// are, control characters as U+XXXX. Line feeds are not counted.
std::vector<std::string> charactersWithoutDarkness(const std::string& set,
                                                   const CharacterTable& table);

RunReport convertAll(const Options& options, const CharacterTable& table, const Environment& env);

} // namespace gw::cli
