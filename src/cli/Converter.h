#pragma once
// Runs the conversions of one command line: reads the pictures, converts them in parallel,
// and writes the results in the order of the arguments.

#include "Options.h"
#include "palette/CharacterTable.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace gw::cli {

struct RunReport {
    int converted = 0;
    int failed = 0;    // pictures not read, not converted or not written
    int unwritten = 0; // of those, pictures whose output could not be written
    bool outputClosed = false; // writing to standard output failed; the run stopped there
};

// Standard input kept in an unnamed temporary file for the length of a run.
class StandardInput {
public:
    StandardInput() = default;
    StandardInput(const StandardInput&) = delete;
    StandardInput& operator=(const StandardInput&) = delete;
    ~StandardInput();
    // Reads `in` to its end, refusing it after the first 64 KiB when they show no picture and
    // after `limit` bytes. Returns "standard input: <reason>" on failure, else nothing.
    std::string read(int in, std::uint64_t limit);
    // A path that opens the copy while this object lives.
    std::string path() const;

private:
    int fd_ = -1;
};

// As much as standard input may hold: as large as the largest file read whole.
inline constexpr std::uint64_t kMaxStandardInputBytes = std::uint64_t{1} << 30;

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
