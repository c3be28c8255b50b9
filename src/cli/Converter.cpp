#include "Converter.h"

#include "ImagingPicture.h"
#include "MemoryBudget.h"
#include "common/Log.h"

#include "engine/Engine.h"
#include "imaging/Picture.h"
#include "output/Outputs.h"
#include "output/SafeFile.h"
#include "output/TextOutput.h"
#include "render/FontResolver.h"
#include "render/TiffImage.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>

#include <fcntl.h>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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
    bool ansiColor = false;
    RgbColor background;
    const OutputPlan& plan;
    std::FILE* out = nullptr;
};

constexpr const char* kStandardInput = "standard input";

// Reads until `buffer` is full or the input ends; false on a read error.
bool readFully(int fd, std::vector<std::uint8_t>& buffer, std::size_t& got) {
    got = 0;
    while (got < buffer.size()) {
        const ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool writeFully(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// An unnamed file in the temporary folder, gone when closed.
int unnamedTemporaryFile() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
    std::string name = folder + "/glyphwerk-stdin-XXXXXX";
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0) ::unlink(name.c_str());
    return named;
}

} // namespace

StandardInput::~StandardInput() {
    if (fd_ >= 0) ::close(fd_);
}

std::string StandardInput::path() const {
    return "/proc/self/fd/" + std::to_string(fd_);
}

// Kept in a temporary file, standard input is read as a file is: in pieces, never whole in
// memory. Its first bytes decide whether reading goes on, so an endless or huge stream that is
// not a picture is refused at once.
std::string StandardInput::read(int in, std::uint64_t limit) {
    const auto failure = [](const std::string& reason) {
        return std::string(kStandardInput) + ": " + reason;
    };
    std::vector<std::uint8_t> buffer(64 * 1024);
    std::size_t got = 0;
    if (!readFully(in, buffer, got)) return failure(std::strerror(errno));
    if (got > 0 && !imaging::detectFormat({buffer.data(), got}))
        return failure("not a picture in a supported format");
    fd_ = unnamedTemporaryFile();
    if (fd_ < 0)
        return failure(std::string("cannot keep a temporary copy: ") + std::strerror(errno));
    std::uint64_t total = 0;
    while (got > 0) {
        total += got;
        if (total > limit) {
            return failure("too large (more than " + std::to_string(limit) + " bytes)");
        }
        if (!writeFully(fd_, buffer.data(), got)) {
            return failure(std::string("cannot keep a temporary copy: ") + std::strerror(errno));
        }
        if (!readFully(in, buffer, got)) return failure(std::strerror(errno));
    }
    return {};
}

namespace {

// A batch stays within this much resident memory: the program itself, one cell grid per
// worker, and the pictures being decoded, each reserving its estimate before it starts.
constexpr std::uint64_t kBatchMemory = 1'000'000'000;
constexpr std::uint64_t kProgramMemory = std::uint64_t{64} << 20;
// The canvas (at most the grid's size in pixels) and the text of one conversion.
constexpr std::uint64_t kConversionMemory = std::uint64_t{8} << 20;
// More workers than this only add cell grids: decoding is bound by memory bandwidth first.
constexpr std::size_t kMaxWorkers = 16;

// Errors about the temporary copy of standard input name standard input instead.
std::string renamed(std::string message, const std::string& path) {
    if (!path.empty() && message.starts_with(path + ":"))
        message.replace(0, path.size(), kStandardInput);
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
    const MemoryBudget::Reservation memory(budget, picture->decodeMemory() + kConversionMemory);
    const ImagingPicture source(*picture);
    ConversionInput input;
    input.picture = &source;
    input.maxWidth = job.options.maxWidth;
    input.characterSet = job.set;
    input.characters = &job.table;
    ConversionInfo info;
    const ConversionStatus status = processImage(input, grid, info);
    if (!status.ok) {
        result.error = piped ? renamed(status.error, path) : status.error;
        return result;
    }
    // Standard error and the log are one here: the log's lines go to standard error.
    if (!source.warning().empty())
        systemLog(piped ? renamed(source.warning(), path) : source.warning());
    // Only the cells inside the outer frame are output.
    if (grid.width2 <= kFrameColumns || grid.height2 <= kFrameColumns) {
        const imaging::PictureSize size = picture->size();
        result.error = (piped ? std::string(kStandardInput) : argument) +
                       ": the art would be empty: a picture of " + std::to_string(size.width) +
                       " x " + std::to_string(size.height) +
                       " pixels gives no whole character at this width";
        return result;
    }
    const Options& o = job.options;
    switch (o.format) {
    case OutputFormat::Text:
        result.bytes = plainText(grid);
        break;
    case OutputFormat::Ansi:
        result.bytes = ansiText(grid, job.ansiColor);
        break;
    case OutputFormat::Html:
        result.bytes = htmlPage(grid, o.color, job.background);
        break;
    case OutputFormat::Rtf:
        // The document names the installed font the image would be drawn in.
        result.bytes =
            rtfDocument(grid, {o.fontName, render::resolveMonospaceFont(o.fontName).family},
                        o.fontSize, o.color);
        break;
    case OutputFormat::Tiff: {
        // Drawn from the grid while this worker holds it, in bands, straight into the file.
        render::TiffImageOptions image;
        image.fontName = o.fontName;
        image.pointSize = o.fontSize;
        image.color = o.color;
        image.background = job.background;
        const std::string& target = job.plan.paths[index];
        const LinkPolicy policy =
            job.plan.inFolder ? LinkPolicy::replaceLink : LinkPolicy::writeThrough;
        result.written = true;
        if (!(target.empty() ? render::writeTiffImage(job.out, grid, image, result.error)
                             : render::writeTiffImage(target, grid, image, policy, result.error))) {
            result.unwritten = true;
            return result;
        }
        break;
    }
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

OutputPlan planOutputs(const Options& options) {
    OutputPlan plan;
    const std::size_t count = options.pictures.size();
    plan.paths.assign(count, std::string());
    const auto usage = [&](std::string message) {
        plan.error = std::move(message);
        plan.usageError = true;
        return plan;
    };
    if (options.output.empty() || options.output == "-") {
        if (options.format == OutputFormat::Tiff && count > 1)
            return usage("several TIFF images cannot share standard output; use -o FOLDER/");
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
        std::string extension(formatExtension(options.format));
        extension.insert(extension.begin(), '.');
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
                             (picture == "-" ? std::string("standard input") : picture) +
                             "' itself; choose another output");
            }
        }
    }
    if (named && !exists && !fs::create_directories(target, ec) && ec) {
        plan.error = options.output + ": cannot create the output folder: " + ec.message();
    }
    return plan;
}

RunReport convertAll(const Options& options, const CharacterTable& table, const Environment& env) {
    RunReport report;
    const std::size_t count = options.pictures.size();
    const OutputPlan plan = planOutputs(options);
    if (!plan.error.empty()) {
        std::fprintf(env.err, "glyphwerk-cli: %s\n%s", plan.error.c_str(),
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

    const Job job{options,
                  table,
                  utf8ToUtf16(options.characters),
                  options.color && !env.noColor,
                  parseColor(options.background).value_or(RgbColor{1.0, 1.0, 1.0}),
                  plan,
                  env.out};

    const std::size_t threadCount = std::min<std::size_t>(
        {count, static_cast<std::size_t>(std::max(1, env.threads)), kMaxWorkers});
    MemoryBudget budget(kBatchMemory - kProgramMemory - threadCount * sizeof(CellGrid));

    std::vector<std::optional<Result>> results(count);
    std::mutex mutex;
    std::condition_variable ready;
    std::atomic<std::size_t> next{0};
    const auto worker = [&] {
        CellGridPtr grid = makeCellGrid();
        for (;;) {
            const std::size_t i = next.fetch_add(1);
            if (i >= count) return;
            Result r;
            const std::string& argument = options.pictures[i];
            if (grid == nullptr) {
                r.error = argument + ": out of memory";
            } else if (argument == "-" && !stdinError.empty()) {
                r.error = stdinError;
            } else {
                r = convertOne(i, standardInput, job, *grid, budget);
            }
            std::lock_guard lock(mutex);
            results[i] = std::move(r);
            ready.notify_all();
        }
    };
    // One picture is converted on this thread; several go to workers while this one writes.
    std::vector<std::thread> threads;
    if (threadCount == 1) {
        worker();
    } else {
        for (std::size_t t = 0; t < threadCount; ++t)
            threads.emplace_back(worker);
    }

    const bool progress = env.progressTerminal && count > 1;
    for (std::size_t i = 0; i < count && !report.outputClosed; ++i) {
        Result r;
        {
            std::unique_lock lock(mutex);
            ready.wait(lock, [&] { return results[i].has_value(); });
            r = std::move(*results[i]);
            results[i].reset();
        }
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
                    next.store(count);
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
            std::fprintf(env.err, "glyphwerk-cli: %s\n", r.error.c_str());
        }
        if (progress) {
            std::fprintf(env.err, "glyphwerk-cli: %zu of %zu pictures", i + 1, count);
            if (i + 1 == count || report.outputClosed) std::fputs("\r\x1b[K", env.err);
            std::fflush(env.err);
        }
    }
    for (std::thread& t : threads)
        t.join();
    return report;
}

} // namespace gw::cli
