#include "render/TiffTarget.h"

#include "common/Posix.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gw::render {
namespace {

tmsize_t readProc(thandle_t h, void* buffer, tmsize_t size) {
    return static_cast<tmsize_t>(
        readFully(static_cast<TiffTarget*>(h)->fd, buffer, static_cast<std::size_t>(size)).done);
}

tmsize_t writeProc(thandle_t h, void* buffer, tmsize_t size) {
    auto* t = static_cast<TiffTarget*>(h);
    const Transfer written = writeFully(t->fd, buffer, static_cast<std::size_t>(size));
    if (written.error != 0 && t->writeErrno == 0) t->writeErrno = written.error;
    return static_cast<tmsize_t>(written.done);
}

toff_t seekProc(thandle_t h, toff_t offset, int whence) {
    auto* t = static_cast<TiffTarget*>(h);
    const off_t at = ::lseek(t->fd, static_cast<off_t>(offset), whence);
    if (at < 0 && t->writeErrno == 0) t->writeErrno = errno;
    return static_cast<toff_t>(at);
}

int closeProc(thandle_t) {
    return 0; // the descriptor belongs to the caller
}

toff_t sizeProc(thandle_t h) {
    struct stat st {};
    return ::fstat(static_cast<TiffTarget*>(h)->fd, &st) == 0 ? static_cast<toff_t>(st.st_size) : 0;
}

int mapProc(thandle_t, void**, toff_t*) {
    return 0;
}
void unmapProc(thandle_t, void*, toff_t) {}

int errorHandler(TIFF*, void* user, const char*, const char* format, va_list args) {
    auto* t = static_cast<TiffTarget*>(user);
    if (t->message.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        t->message = text;
    }
    return 1;
}

int warningHandler(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

// An unlinked file for an image bound for a stream that cannot seek.
int anonymousFile(std::string& error) {
    const TemporaryFile file = scratchFile();
    if (file.fd < 0)
        error = temporaryFolder() + ": cannot make a temporary file: " + std::strerror(file.error);
    return file.fd;
}

} // namespace

TIFF* openTiffTarget(const TiffApi& api, const std::string& name, TiffTarget& target) {
    TIFFOpenOptions* openOptions = api.OpenOptionsAlloc();
    if (openOptions == nullptr) {
        target.message = "out of memory";
        return nullptr;
    }
    api.OpenOptionsSetErrorHandlerExtR(openOptions, errorHandler, &target);
    api.OpenOptionsSetWarningHandlerExtR(openOptions, warningHandler, &target);
    TIFF* tif = api.ClientOpenExt(name.c_str(), "w", &target, readProc, writeProc, seekProc,
                                  closeProc, sizeProc, mapProc, unmapProc, openOptions);
    api.OpenOptionsFree(openOptions);
    return tif;
}

std::string tiffTargetError(const TiffTarget& target, const std::string& name) {
    if (target.writeErrno != 0) return name + ": " + std::strerror(target.writeErrno);
    if (!target.message.empty()) return name + ": " + target.message;
    return {};
}

bool writeThroughAnonymousFile(const std::string& name, std::string& error,
                               const std::function<bool(int fd)>& write,
                               const std::function<bool(std::string_view)>& sink) {
    const int fd = anonymousFile(error);
    if (fd < 0) return false;
    bool ok = write(fd);
    if (ok && ::lseek(fd, 0, SEEK_SET) != 0) {
        error = name + ": " + std::strerror(errno);
        ok = false;
    }
    std::vector<char> buffer(ok ? 1 << 16 : 0);
    while (ok) {
        const ssize_t n =
            retryOnInterrupt([&] { return ::read(fd, buffer.data(), buffer.size()); });
        if (n < 0) {
            error = name + ": " + std::strerror(errno);
            ok = false;
        }
        if (n <= 0) break;
        ok = sink(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    }
    ::close(fd);
    return ok;
}

} // namespace gw::render
