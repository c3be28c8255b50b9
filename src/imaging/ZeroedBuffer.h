#pragma once
// A byte buffer that starts as zeros without touching its memory. Large buffers are mapped
// from the system, whose fresh pages read as zero and become resident only when written, so
// that a picture buffer sized from a header costs what the file's data fills, not what the
// header claims. Internal to the imaging library.

#include <cstddef>
#include <cstdint>

namespace gw::imaging::detail {

class ZeroedBuffer {
public:
    ZeroedBuffer() = default;
    // Throws std::bad_alloc when the memory cannot be had.
    explicit ZeroedBuffer(std::size_t size);
    ZeroedBuffer(ZeroedBuffer&& other) noexcept;
    ZeroedBuffer& operator=(ZeroedBuffer&& other) noexcept;
    ZeroedBuffer(const ZeroedBuffer&) = delete;
    ZeroedBuffer& operator=(const ZeroedBuffer&) = delete;
    ~ZeroedBuffer();

    std::uint8_t* data() { return data_; }
    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::uint8_t& operator[](std::size_t i) { return data_[i]; }
    const std::uint8_t& operator[](std::size_t i) const { return data_[i]; }

private:
    void release();
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
};

} // namespace gw::imaging::detail
