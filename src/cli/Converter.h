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
    int failed = 0;    // pictures not read, not converted or not written
    int unwritten = 0; // of those, pictures whose output could not be written
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

// Where each picture's result goes.
struct OutputPlan {
    std::vector<std::string> paths; // per picture; empty for standard output
    bool inFolder = false;          // names made up in an output folder
    std::string error;              // when not empty, nothing may be written
    bool usageError = false;        // the error is the command line's
};

// The outputs of a command line, checked before anything is written: several pictures need a
// folder (an existing one, or a path ending in '/', which is then created), and no output may
// be one of the pictures (same file, also through links).
OutputPlan planOutputs(const Options& options);

RunReport convertAll(const Options& options, const CharacterTable& table, const Environment& env);

} // namespace gw::cli
