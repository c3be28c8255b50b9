#pragma once
// Where each picture's result goes, decided and checked before anything is written.

#include "Options.h"

#include <string>
#include <vector>

namespace gw::cli {

struct OutputPlan {
    std::vector<std::string> paths; // per picture; empty for standard output
    bool inFolder = false;          // names made up in an output folder
    std::string error;              // when not empty, nothing may be written
    bool usageError = false;        // the error is the command line's
};

// The outputs of a command line: several pictures need a folder (an existing one, or a path
// ending in '/', which is then created), where each gets its name with the format's extension;
// several images cannot share standard output; and no output may be one of the pictures (same
// file, also through links).
OutputPlan planOutputs(const Options& options);

} // namespace gw::cli
