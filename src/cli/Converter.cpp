#include "Converter.h"

#include "MemoryBudget.h"

#include "engine/Engine.h"
#include "imaging/Picture.h"
#include "output/TextOutput.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

namespace gw::cli {
namespace {

namespace fs = std::filesystem;

// The imaging library's picture as the engine's picture source. Points are pixels here.
class ImagingPicture final : public PictureSource {
public:
    explicit ImagingPicture(const imaging::Picture& picture) : picture_(picture) {}

    std::optional<PointSize> size() const override {
        const imaging::PictureSize s = picture_.size();
        return PointSize{static_cast<double>(s.width), static_cast<double>(s.height)};
    }

    bool renderCanvas(double gw, double gh, double scale, RgbaCanvas& out,
                      std::string& error) const override {
        imaging::Canvas canvas;
        imaging::PictureError failure;
        if (!picture_.renderCanvas(gw, gh, scale, canvas, &failure)) {
            error = failure.message;
            return false;
        }
        out.width = canvas.width;
        out.height = canvas.height;
        out.stride = static_cast<std::size_t>(canvas.width) * 4;
        out.rgba = std::move(canvas.rgba);
        return true;
    }

private:
    const imaging::Picture& picture_;
};

struct Result {
    bool ok = false;
    std::string bytes; // the converted text
    std::string error; // "<picture>: <reason>"
};

std::string readStandardInput(std::vector<std::uint8_t>& bytes) {
    std::uint8_t buffer[1 << 16];
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, stdin);
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (n < sizeof buffer) break;
    }
    if (std::ferror(stdin)) return std::string("standard input: ") + std::strerror(errno);
    return {};
}

// A batch stays within this much resident memory: the program itself, one cell grid per
// worker, and the pictures being decoded, each reserving its estimate before it starts.
constexpr std::uint64_t kBatchMemory = 1'000'000'000;
constexpr std::uint64_t kProgramMemory = std::uint64_t{64} << 20;
// The canvas (at most the grid's size in pixels) and the text of one conversion.
constexpr std::uint64_t kConversionMemory = std::uint64_t{8} << 20;
// More workers than this only add cell grids: decoding is bound by memory bandwidth first.
constexpr std::size_t kMaxWorkers = 16;

Result convertOne(const std::string& argument, std::vector<std::uint8_t>* stdinBytes,
                  const std::u16string& set, const Options& options, const CharacterTable& table,
                  bool color, CellGrid& grid, MemoryBudget& budget) {
    Result result;
    imaging::PictureError failure;
    std::optional<imaging::Picture> picture;
    if (argument == "-") {
        picture = imaging::Picture::fromMemory(std::move(*stdinBytes), "standard input", &failure);
    } else {
        picture = imaging::Picture::open(argument, &failure);
    }
    if (!picture) {
        result.error = failure.message;
        return result;
    }
    const MemoryBudget::Reservation memory(budget, picture->decodeMemory() + kConversionMemory);
    const ImagingPicture source(*picture);
    ConversionInput input;
    input.picture = &source;
    input.maxWidth = options.maxWidth;
    input.characterSet = set;
    input.characters = &table;
    ConversionInfo info;
    const ConversionStatus status = processImage(input, grid, info);
    if (!status.ok) {
        result.error = status.error;
        return result;
    }
    result.bytes = options.format == OutputFormat::Ansi ? ansiText(grid, color) : plainText(grid);
    result.ok = true;
    return result;
}

bool writeFile(const std::string& path, const std::string& bytes, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = path + ": cannot write: " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeErrno = errno;
    if (std::fclose(file) != 0 || !written) {
        error = path + ": cannot write: " + std::strerror(written ? errno : writeErrno);
        return false;
    }
    return true;
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
        bool found = true;
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

std::vector<std::string> outputPaths(const Options& options, std::string& error) {
    const std::size_t count = options.pictures.size();
    std::vector<std::string> paths(count);
    if (options.output.empty() || options.output == "-") return paths; // standard output
    const fs::path target(options.output);
    std::error_code ec;
    const bool isFolder = fs::is_directory(target, ec);
    if (count == 1 && !isFolder) {
        paths[0] = options.output;
        return paths;
    }
    if (!isFolder && !fs::create_directories(target, ec) && ec) {
        error = options.output + ": cannot create the output folder: " + ec.message();
        return {};
    }
    // One file per picture, named after it; a repeated name gets a number.
    std::set<std::string> used;
    std::string extension(formatExtension(options.format));
    extension.insert(extension.begin(), '.');
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& picture = options.pictures[i];
        std::string stem = picture == "-" ? "stdin" : fs::path(picture).stem().string();
        if (stem.empty()) stem = "picture";
        std::string name = stem + extension;
        for (int n = 2; used.count(name) != 0; ++n) {
            name = stem + "-" + std::to_string(n) + extension;
        }
        used.insert(name);
        paths[i] = (target / name).string();
    }
    return paths;
}

RunReport convertAll(const Options& options, const CharacterTable& table, const Environment& env) {
    RunReport report;
    const std::size_t count = options.pictures.size();
    std::string pathError;
    const std::vector<std::string> paths = outputPaths(options, pathError);
    if (!pathError.empty()) {
        std::fprintf(env.err, "glyphwerk-cli: %s\n", pathError.c_str());
        report.failed = static_cast<int>(count);
        return report;
    }

    std::vector<std::uint8_t> stdinBytes;
    std::string stdinError;
    if (std::find(options.pictures.begin(), options.pictures.end(), "-") !=
        options.pictures.end()) {
        stdinError = readStandardInput(stdinBytes);
    }

    const std::u16string set = utf8ToUtf16(options.characters);
    const bool color = options.color && !env.noColor;

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
                r = convertOne(argument, &stdinBytes, set, options, table, color, *grid, budget);
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
    for (std::size_t i = 0; i < count; ++i) {
        Result r;
        {
            std::unique_lock lock(mutex);
            ready.wait(lock, [&] { return results[i].has_value(); });
            r = std::move(*results[i]);
            results[i].reset();
        }
        if (progress) std::fputs("\r\x1b[K", env.err);
        if (r.ok) {
            std::string error;
            if (paths[i].empty()) {
                if (std::fwrite(r.bytes.data(), 1, r.bytes.size(), env.out) != r.bytes.size() ||
                    std::fflush(env.out) != 0) {
                    r.ok = false;
                    r.error = std::string("standard output: ") + std::strerror(errno);
                }
            } else if (!writeFile(paths[i], r.bytes, error)) {
                r.ok = false;
                r.error = error;
            }
        }
        if (r.ok) {
            ++report.converted;
        } else {
            ++report.failed;
            std::fprintf(env.err, "glyphwerk-cli: %s\n", r.error.c_str());
        }
        if (progress) {
            std::fprintf(env.err, "glyphwerk-cli: %zu of %zu pictures", i + 1, count);
            if (i + 1 == count) std::fputs("\r\x1b[K", env.err);
            std::fflush(env.err);
        }
    }
    for (std::thread& t : threads)
        t.join();
    return report;
}

} // namespace gw::cli
