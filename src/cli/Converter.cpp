#include "Converter.h"

#include "MemoryBudget.h"
#include "WorkerPool.h"

#include "common/Log.h"

#include "engine/Engine.h"
#include "formats/OutputFormats.h"
#include "imaging/Picture.h"
#include "output/SafeFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <set>

namespace gw::cli {
namespace {

namespace fs = std::filesystem;

struct Result {
    bool ok = false;
    bool written = false;   // the output is already written (images are drawn from the grid)
    bool unwritten = false; // converted, but the output could not be written
    std::string bytes;      // the converted text
    std::string error;      // "<picture>: <reason>" or "<output>: <reason>"
};

// Everything a worker needs besides the picture.
struct Job {
    const Options& options;
    const CharacterTable& table;
    std::u16string set;
    const OutputFormat& format;
    ArtStyle style;
    const OutputPlan& plan;
    std::FILE* out = nullptr;
};

// A batch stays within this much resident memory: the program itself, one cell grid per
// worker, and the pictures being decoded, each reserving its estimate before it starts.
constexpr std::uint64_t kBatchMemory = 1'000'000'000;
constexpr std::uint64_t kProgramMemory = std::uint64_t{64} << 20;
// The canvas (at most the grid's size in pixels) and the text of one conversion.
constexpr std::uint64_t kConversionMemory = std::uint64_t{8} << 20;
// A 513 x 257 cell canvas at 8 x 8 pixels per cell, and the resampler's rows beside it.
constexpr std::uint64_t kShapeCanvasMemory = std::uint64_t{40} << 20;
// More workers than this only add cell grids: decoding is bound by memory bandwidth first.
constexpr std::size_t kMaxWorkers = 16;

// Errors about the temporary copy of standard input name standard input instead.
std::string renamed(std::string message, const std::string& path) {
    if (!path.empty() && message.starts_with(path + ":"))
        message.replace(0, path.size(), kStandardInputName);
    return message;
}

Result convertOne(std::size_t index, const StandardInput& standardInput, const Job& job,
                  CellGrid& grid, MemoryBudget& budget) {
    Result result;
    const std::string& argument = job.options.pictures[index];
    imaging::PictureError failure;
    const bool piped = argument == "-";
    const std::string path = piped ? standardInput.path() : argument;
    const std::optional<imaging::Picture> picture = imaging::Picture::open(path, &failure);
    if (!picture) {
        result.error = piped ? renamed(failure.message, path) : failure.message;
        return result;
    }
    // The shape match draws the picture at several pixels per cell.
    const MemoryBudget::Reservation memory(
        budget, picture->decodeMemory() + kConversionMemory +
                    (job.options.match == MatchMode::Shape ? kShapeCanvasMemory : 0));
    ConversionInput input;
    input.picture = &*picture;
    input.maxWidth = job.options.maxWidth;
    input.characterSet = job.set;
    input.characters = &job.table;
    input.match = job.options.match;
    input.dither = job.options.dither;
    input.tone = job.options.tone;
    ConversionInfo info;
    const ConversionStatus status = processImage(input, grid, info);
    if (!status.ok) {
        result.error = piped ? renamed(status.error, path) : status.error;
        return result;
    }
    // Standard error and the log are one here: the log's lines go to standard error.
    if (info.partial) {
        const std::string warning = imaging::damagedDataWarning(picture->name());
        systemLog(piped ? renamed(warning, path) : warning);
    }
    // Only the cells inside the outer frame are output.
    if (grid.width2 <= kFrameColumns || grid.height2 <= kFrameColumns) {
        const imaging::PictureSize size = picture->size();
        result.error = (piped ? std::string(kStandardInputName) : argument) +
                       ": the art would be empty: a picture of " + std::to_string(size.width) +
                       " x " + std::to_string(size.height) +
                       " pixels gives no whole character at this width";
        return result;
    }
    if (job.format.image != nullptr) {
        // Drawn from the grid while this worker holds it, in bands, straight into the file.
        OutputTarget target;
        target.path = job.plan.paths[index];
        target.policy = job.plan.inFolder ? LinkPolicy::replaceLink : LinkPolicy::writeThrough;
        target.stream = job.out;
        result.written = true;
        if (!writeFormat(job.format, target, grid, job.style, result.error)) {
            result.unwritten = true;
            return result;
        }
    } else {
        result.bytes = job.format.document(grid, job.style);
    }
    result.ok = true;
    return result;
}

std::string showCharacter(char32_t cp, const std::string& utf8) {
    if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0)) {
        char name[16];
        std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(cp));
        return name;
    }
    return utf8;
}

} // namespace

std::vector<std::string> charactersWithoutDarkness(const std::string& set,
                                                   const CharacterTable& table) {
    std::vector<std::string> missing;
    std::set<char32_t> seen;
    std::size_t i = 0;
    while (i < set.size()) {
        // One code point of UTF-8 (an invalid byte stands alone).
        std::size_t length = 1;
        const auto lead = static_cast<unsigned char>(set[i]);
        if (lead >= 0xF0) {
            length = 4;
        } else if (lead >= 0xE0) {
            length = 3;
        } else if (lead >= 0xC0) {
            length = 2;
        }
        length = std::min(length, set.size() - i);
        const std::string utf8 = set.substr(i, length);
        i += length;
        const std::u16string units = utf8ToUtf16(utf8);
        char32_t cp = units.empty() ? 0 : units[0];
        if (units.size() == 2 && units[0] >= 0xD800 && units[0] < 0xDC00) {
            cp = 0x10000 + ((static_cast<char32_t>(units[0]) - 0xD800) << 10) +
                 (static_cast<char32_t>(units[1]) - 0xDC00);
        }
        if (cp == '\n' || !seen.insert(cp).second) continue;
        std::array<int, kCharacterListCapacity> list{};
        const int n = buildCharacterList(units, list);
        bool found = cp < 0x10000; // the list leaves characters beyond U+FFFF out
        for (int k = 0; k + 1 < n; ++k) {
            const char code = static_cast<char>(list[static_cast<std::size_t>(k)]);
            bool inTable = false;
            for (const CharacterRecord& r : table) {
                inTable = inTable || r.ascii == static_cast<signed char>(code == 0 ? ' ' : code);
            }
            found = found && inTable;
        }
        if (!found) missing.push_back(showCharacter(cp, utf8));
    }
    return missing;
}

RunReport convertAll(const Options& options, const CharacterTable& table, const Environment& env) {
    RunReport report;
    const std::size_t count = options.pictures.size();
    const OutputPlan plan = planOutputs(options);
    if (!plan.error.empty()) {
        std::fprintf(env.err, "glyphwerk-cli: %s\n%s", printable(plan.error).c_str(),
                     plan.usageError ? "Try 'glyphwerk-cli --help'.\n" : "");
        report.failed = static_cast<int>(count);
        return report;
    }
    const std::vector<std::string>& paths = plan.paths;

    StandardInput standardInput;
    std::string stdinError;
    if (std::find(options.pictures.begin(), options.pictures.end(), "-") !=
        options.pictures.end()) {
        stdinError = standardInput.read(env.in, env.standardInputLimit);
    }

    const OutputFormat& format = outputFormat(options.format);
    ArtStyle style;
    style.fontName = options.fontName;
    style.pointSize = options.fontSize;
    style.color = options.color && !(format.noColorApplies && env.noColor);
    style.background = parseColor(options.background).value_or(RgbColor{1.0, 1.0, 1.0});
    const Job job{options, table, utf8ToUtf16(options.characters), format, style, plan, env.out};

    const std::size_t threadCount = std::min<std::size_t>(
        {count, static_cast<std::size_t>(std::max(1, env.threads)), kMaxWorkers});
    MemoryBudget budget(kBatchMemory - kProgramMemory - threadCount * sizeof(CellGrid));

    const auto work = [&](std::size_t i, CellGridPtr& grid) {
        Result r;
        const std::string& argument = options.pictures[i];
        if (grid == nullptr) {
            r.error = argument + ": out of memory";
        } else if (argument == "-" && !stdinError.empty()) {
            r.error = stdinError;
        } else {
            r = convertOne(i, standardInput, job, *grid, budget);
        }
        return r;
    };
    const bool progress = env.progressTerminal && count > 1;
    const auto deliver = [&](std::size_t i, Result& r) {
        if (progress) std::fputs("\r\x1b[K", env.err);
        if (r.ok && !r.written) {
            if (paths[i].empty()) {
                if (std::fwrite(r.bytes.data(), 1, r.bytes.size(), env.out) != r.bytes.size() ||
                    std::fflush(env.out) != 0) {
                    // Whoever reads the output has gone (or the disk is full): what is left
                    // would go nowhere, so stop converting.
                    r.ok = false;
                    r.error = std::string("standard output: ") + std::strerror(errno);
                    report.outputClosed = true;
                }
            } else {
                r.ok = writeFileSafely(paths[i], r.bytes, r.error,
                                       plan.inFolder ? LinkPolicy::replaceLink
                                                     : LinkPolicy::writeThrough);
            }
            r.unwritten = !r.ok;
        }
        if (r.ok) {
            ++report.converted;
        } else {
            ++report.failed;
            report.unwritten += r.unwritten ? 1 : 0;
            std::fprintf(env.err, "glyphwerk-cli: %s\n", printable(r.error).c_str());
        }
        if (progress) {
            std::fprintf(env.err, "glyphwerk-cli: %zu of %zu pictures", i + 1, count);
            if (i + 1 == count || report.outputClosed) std::fputs("\r\x1b[K", env.err);
            std::fflush(env.err);
        }
        return !report.outputClosed;
    };
    // One picture is converted on this thread; several go to workers while this one writes.
    runInOrder(
        count, threadCount, [] { return makeCellGrid(); }, work, deliver);
    return report;
}

} // namespace gw::cli
