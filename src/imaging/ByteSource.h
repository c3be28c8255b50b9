#pragma once
// Where a picture's bytes come from: a file, read piecewise so that huge files are never held
// in memory, or bytes already in memory. Internal to the imaging library.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace gw::imaging::detail {

class ByteSource {
public:
    // Fails with a short reason ("cannot open (No such file or directory)", "not a regular file").
    static std::unique_ptr<ByteSource> openFile(const std::string& path, std::string& reason);
    static std::unique_ptr<ByteSource>
    fromMemory(std::shared_ptr<const std::vector<std::uint8_t>> bytes);

    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;
    ~ByteSource();

    std::uint64_t size() const { return size_; }

    // Copies up to `count` bytes from `offset`; returns how many were copied (fewer at the end
    // of the data or on a read error, which `failed()` then reports).
    std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t count);
    bool failed() const { return failed_; }

    // The whole content, when it is in memory; empty for files.
    std::span<const std::uint8_t> memory() const;

    // The whole content, mapped read-only for files (pages are read as they are touched);
    // empty when mapping fails. The view lives as long as the source.
    std::span<const std::uint8_t> map();

private:
    ByteSource() = default;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    bool failed_ = false;
    std::shared_ptr<const std::vector<std::uint8_t>> bytes_;
    void* mapped_ = nullptr;
};

// A forward cursor over a ByteSource with its own buffer, for the decoding libraries' read
// callbacks, which ask for many small pieces.
class SourceCursor {
public:
    explicit SourceCursor(ByteSource& source, std::size_t bufferSize = 64 * 1024);

    // Copies up to `count` bytes; returns how many were copied (fewer only at the end).
    std::size_t read(void* buffer, std::size_t count);
    // The next buffered piece (at most `maxCount` bytes), consumed; empty at the end.
    std::span<const std::uint8_t> next(std::size_t maxCount);
    bool seek(std::uint64_t position);
    std::uint64_t tell() const { return position_; }
    ByteSource& source() { return source_; }

private:
    bool refill();
    ByteSource& source_;
    std::vector<std::uint8_t> buffer_;
    std::span<const std::uint8_t> window_; // unread part of the current piece
    std::uint64_t position_ = 0;           // of window_.data() in the source
};

} // namespace gw::imaging::detail
