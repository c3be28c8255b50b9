// Benchmark helper for the command-line converter.
//
//   glyphwerk-cli-bench pictures DIR     writes photo-like test pictures into DIR (once)
//   glyphwerk-cli-bench time N CMD...    runs CMD N times, output to /dev/null, and prints the
//                                        best wall time and the best CPU time (user + system)
//                                        in seconds, and the peak resident memory in KiB
//
// The pictures are synthetic but photo-like: smooth light and shade, edges, and fine noise,
// so that the JPEG and PNG decoders do the work a real photograph asks of them.

#include <png.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <jpeglib.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Deterministic hash noise in 0..1.
double noise(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    std::uint32_t h = x * 374761393u + y * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<double>((h ^ (h >> 16)) & 0xFFFF) / 65535.0;
}

double smoothNoise(double x, double y, std::uint32_t seed) {
    const double fx = std::floor(x), fy = std::floor(y);
    const double tx = x - fx, ty = y - fy;
    const auto ix = static_cast<std::uint32_t>(fx), iy = static_cast<std::uint32_t>(fy);
    const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
    const double a = noise(ix, iy, seed), b = noise(ix + 1, iy, seed);
    const double c = noise(ix, iy + 1, seed), d = noise(ix + 1, iy + 1, seed);
    return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

// One row of a photo-like scene of width x height: sky, hills, texture and grain.
void sceneRow(int width, int height, int y, std::vector<std::uint8_t>& rgb) {
    rgb.resize(static_cast<std::size_t>(width) * 3);
    const double v = static_cast<double>(y) / height;
    for (int x = 0; x < width; ++x) {
        const double u = static_cast<double>(x) / width;
        double detail = 0, amp = 0.5, freq = 4;
        for (int o = 0; o < 5; ++o) {
            detail += amp * smoothNoise(u * freq, v * freq * height / width, 17u + o);
            amp *= 0.5;
            freq *= 2.3;
        }
        const double hill = 0.55 + 0.12 * std::sin(u * 9.0) + 0.1 * (detail - 0.5);
        double r, g, b;
        if (v < hill) {
            r = 0.45 + 0.4 * v;
            g = 0.6 + 0.3 * v;
            b = 0.95 - 0.1 * detail;
        } else {
            r = 0.25 + 0.5 * detail;
            g = 0.35 + 0.45 * detail;
            b = 0.15 + 0.2 * detail;
        }
        const double grain =
            (noise(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), 5) - 0.5) * 0.12;
        const double channels[3] = {r + grain, g + grain, b + grain};
        for (int c = 0; c < 3; ++c) {
            const double s = std::clamp(channels[c], 0.0, 1.0);
            rgb[static_cast<std::size_t>(x) * 3 + c] = static_cast<std::uint8_t>(s * 255.0 + 0.5);
        }
    }
}

bool writeJpeg(const std::string& path, int width, int height, bool progressive) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    if (progressive) jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<std::uint8_t> row;
    for (int y = 0; y < height; ++y) {
        sceneRow(width, height, y, row);
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(file) == 0;
}

bool writePng(const std::string& path, int width, int height) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 6);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<std::uint8_t> row;
    for (int y = 0; y < height; ++y) {
        sceneRow(width, height, y, row);
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

int makePictures(const std::string& dir) {
    std::filesystem::create_directories(dir);
    struct Job {
        const char* name;
        int w, h;
        int kind; // 0 baseline JPEG, 1 progressive JPEG, 2 PNG
    };
    const Job jobs[] = {{"photo-5120.jpg", 5120, 2880, 0},
                        {"photo-5120-progressive.jpg", 5120, 2880, 1},
                        {"photo-5120.png", 5120, 2880, 2},
                        {"photo-512.jpg", 512, 512, 0},
                        {"photo-16000.png", 16000, 12000, 2}};
    for (const Job& j : jobs) {
        const std::string path = dir + "/" + j.name;
        if (std::filesystem::exists(path)) continue;
        std::fprintf(stderr, "making %s\n", path.c_str());
        const std::string partial = path + ".part";
        const bool ok =
            j.kind == 2 ? writePng(partial, j.w, j.h) : writeJpeg(partial, j.w, j.h, j.kind == 1);
        if (!ok) {
            std::fprintf(stderr, "cannot write %s\n", partial.c_str());
            return 1;
        }
        std::filesystem::rename(partial, path);
    }
    return 0;
}

int timeCommand(int runs, char** argv) {
    double best = 1e30;
    double bestCpu = 1e30;
    long peakKiB = 0;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = fork();
        if (pid == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            execvp(argv[0], argv);
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "%s failed\n", argv[0]);
            return 1;
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
        const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
        bestCpu = std::min(bestCpu, seconds(usage.ru_utime) + seconds(usage.ru_stime));
        peakKiB = std::max(peakKiB, usage.ru_maxrss);
    }
    std::printf("%.4f %.4f %ld\n", best, bestCpu, peakKiB);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "pictures" && argc == 3) return makePictures(argv[2]);
    if (mode == "time" && argc > 3) return timeCommand(std::atoi(argv[2]), argv + 3);
    std::fputs("usage: glyphwerk-cli-bench pictures DIR | time N CMD...\n", stderr);
    return 2;
}
