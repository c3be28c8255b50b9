#include "OutputPlan.h"

#include "StandardInput.h"

#include <filesystem>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

namespace gw::cli {

namespace fs = std::filesystem;

OutputPlan planOutputs(const Options& options) {
    OutputPlan plan;
    const OutputFormat& format = outputFormat(options.format);
    const std::size_t count = options.pictures.size();
    plan.paths.assign(count, std::string());
    const auto usage = [&](std::string message) {
        plan.error = std::move(message);
        plan.usageError = true;
        return plan;
    };
    if (options.output.empty() || options.output == "-") {
        if (format.binary && count > 1)
            return usage("several " + std::string(format.name) +
                         "s cannot share standard output; use -o FOLDER/");
        return plan;
    }
    const fs::path target(options.output);
    std::error_code ec;
    const bool exists = fs::is_directory(target, ec);
    const bool named = options.output.ends_with('/');
    plan.inFolder = exists || named;
    if (!plan.inFolder && count > 1) {
        return usage("several pictures need an output folder (one that exists, or a path "
                     "ending in '/'), not '" +
                     options.output + "'");
    }
    if (!plan.inFolder) {
        plan.paths[0] = options.output;
    } else {
        // One file per picture, named after it; a repeated name gets a number.
        std::set<std::string> used;
        const std::string extension = "." + std::string(format.extension);
        for (std::size_t i = 0; i < count; ++i) {
            const std::string& picture = options.pictures[i];
            std::string stem = picture == "-" ? "stdin" : fs::path(picture).stem().string();
            if (stem.empty()) stem = "picture";
            std::string name = stem + extension;
            for (int n = 2; used.count(name) != 0; ++n)
                name = stem + "-" + std::to_string(n) + extension;
            used.insert(name);
            plan.paths[i] = (target / name).string();
        }
    }
    // A picture is never replaced by its own art, whatever name reaches it.
    for (const std::string& path : plan.paths) {
        struct stat out {};
        if (::stat(path.c_str(), &out) != 0) continue;
        for (const std::string& picture : options.pictures) {
            struct stat in {};
            const int found =
                picture == "-" ? ::fstat(STDIN_FILENO, &in) : ::stat(picture.c_str(), &in);
            if (found == 0 && S_ISREG(in.st_mode) && in.st_dev == out.st_dev &&
                in.st_ino == out.st_ino) {
                return usage(path + ": is the picture '" +
                             (picture == "-" ? std::string(kStandardInputName) : picture) +
                             "' itself; choose another output");
            }
        }
    }
    if (named && !exists && !fs::create_directories(target, ec) && ec) {
        plan.error = options.output + ": cannot create the output folder: " + ec.message();
    }
    return plan;
}

} // namespace gw::cli
