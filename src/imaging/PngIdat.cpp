// The image data of the common layouts, walked here rather than by libpng: the IDAT chunks as
// one stream, each chunk's CRC and the stream's Adler-32 checked as libpng checks them,
// inflated and unfiltered, the rows pushed into the resampler.
#include "PngIdat.h"

#include "PngInflater.h"
#include "PngUnfilter.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace gw::imaging::detail {

namespace {

// The image data as one stream across its IDAT chunks, from where png_read_info leaves the file
// (just past the first IDAT's header), each chunk's CRC checked as its end is reached.
class IdatStream {
public:
    IdatStream(SourceCursor& cursor, std::uint32_t firstLength)
        : cursor_(cursor), remaining_(firstLength) {
        crc_ = png::crc(0, reinterpret_cast<const std::uint8_t*>("IDAT"), 4);
    }

    // Reads and checks the zlib header: deflate, a window of at most 32 KiB, no preset
    // dictionary, a valid check value.
    bool begin(std::string& reason) {
        std::uint8_t header[2];
        for (std::uint8_t& byte : header) {
            if (pending_.empty()) pending_ = nextInput(reason);
            if (pending_.empty()) return false;
            byte = pending_.front();
            pending_ = pending_.subspan(1);
        }
        if ((header[0] & 0x0F) != 8 || (header[0] >> 4) > 7 || (header[1] & 0x20) ||
            (header[0] << 8 | header[1]) % 31 != 0) {
            reason = "damaged PNG data (IDAT: incorrect header check)";
            return false;
        }
        std::string why;
        if (!inflater_.begin(header, (header[0] >> 4) + 8u, why)) {
            reason = why == "out of memory" ? why : "damaged PNG data (IDAT: " + why + ")";
            return false;
        }
        return true;
    }

    // Fills `out` with the next bytes of image data.
    bool fill(std::span<std::uint8_t> out, std::string& reason) {
        while (!out.empty()) {
            if (ended_) {
                reason = "damaged PNG data (Not enough image data)";
                return false;
            }
            if (!inflate(out, reason)) return false;
        }
        return true;
    }

    // Once every row is in: inflates to the end of the stream, so that its Adler-32 is checked,
    // and checks the CRC of the chunk it ends in. Data beyond the picture's rows is inflated
    // and dropped, as libpng does; chunks after that one are not read.
    bool finish(std::string& reason) {
        std::vector<std::uint8_t> scratch;
        while (!ended_) {
            if (scratch.empty()) scratch.resize(32 * 1024);
            std::span<std::uint8_t> out(scratch);
            if (!inflate(out, reason)) return false;
        }
        while (remaining_ > 0) {
            const auto piece = cursor_.next(remaining_);
            if (piece.empty()) {
                reason = cursor_.source().failed() ? "read error" : "truncated PNG data";
                return false;
            }
            remaining_ -= static_cast<std::uint32_t>(piece.size());
            crc_ = png::crc(crc_, piece.data(), piece.size());
        }
        std::uint8_t stored[4];
        if (cursor_.read(stored, 4) != 4) {
            reason = cursor_.source().failed() ? "read error" : "truncated PNG data";
            return false;
        }
        if (bigEndian(stored) != crc_) {
            reason = "damaged PNG data (IDAT: CRC error)";
            return false;
        }
        return true;
    }

private:
    bool inflate(std::span<std::uint8_t>& out, std::string& reason) {
        if (pending_.empty()) {
            // The inflater may still hold decoded bytes that did not fit the last output.
            const std::size_t room = out.size();
            if (!run(out, reason)) return false;
            if (ended_ || out.size() < room) return true;
            pending_ = nextInput(reason);
            if (pending_.empty()) return false;
        }
        const std::size_t before = pending_.size() + out.size();
        if (!run(out, reason)) return false;
        if (!ended_ && pending_.size() + out.size() == before) {
            // Neither side moved with both open: no inflater does that on sound data.
            reason = "damaged PNG data (IDAT: invalid block)";
            return false;
        }
        return true;
    }

    bool run(std::span<std::uint8_t>& out, std::string& reason) {
        std::string why;
        if (inflater_.run(pending_, out, ended_, why)) return true;
        reason = "damaged PNG data (IDAT: " + why + ")";
        return false;
    }

    // The next piece of chunk data, moving on to the next IDAT chunk when one is used up.
    std::span<const std::uint8_t> nextInput(std::string& reason) {
        while (remaining_ == 0) {
            std::uint8_t tail[12]; // CRC of this chunk, then the next chunk's length and type
            if (cursor_.read(tail, sizeof tail) != sizeof tail) {
                reason = cursor_.source().failed() ? "read error" : "truncated PNG data";
                return {};
            }
            if (bigEndian(tail) != crc_) {
                reason = "damaged PNG data (IDAT: CRC error)";
                return {};
            }
            if (std::memcmp(tail + 8, "IDAT", 4) != 0) {
                reason = "damaged PNG data (Not enough image data)";
                return {};
            }
            remaining_ = bigEndian(tail + 4);
            if (remaining_ > 0x7FFFFFFFu) {
                reason = "damaged PNG data (PNG unsigned integer out of range)";
                return {};
            }
            crc_ = png::crc(0, tail + 8, 4);
        }
        const auto piece = cursor_.next(remaining_);
        if (piece.empty()) {
            reason = cursor_.source().failed() ? "read error" : "truncated PNG data";
            return {};
        }
        remaining_ -= static_cast<std::uint32_t>(piece.size());
        crc_ = png::crc(crc_, piece.data(), piece.size());
        return piece;
    }

    SourceCursor& cursor_;
    std::uint32_t remaining_;
    std::uint32_t crc_ = 0;
    std::span<const std::uint8_t> pending_;
    png::Inflater inflater_;
    bool ended_ = false;
};

// Inflates, unfilters and pushes the rows of `bpp`-byte pixels into the resampler.
class IdatRows {
public:
    IdatRows(SourceCursor& cursor, std::uint32_t firstLength) : stream_(cursor, firstLength) {}

    bool decode(std::uint32_t width, std::uint32_t height, std::size_t bpp, Resampler& resampler,
                std::string& reason) {
        if (!stream_.begin(reason)) return false;
        size_ = std::size_t{width} * bpp;
        bpp_ = bpp;
        if (bpp < 3) expanded_.assign(std::size_t{width} * (bpp + 2) + 4, 0);
        // Unfiltered rows carry slack for the 4-byte loads and stores of 3-byte pixels.
        for (auto& row : rows_)
            row.assign(size_ + 4, 0);
        const std::size_t rowBytes = size_ + 1;
        if (std::uint64_t{rowBytes} * height < kThreadedBytes) {
            std::vector<std::uint8_t> filtered(2 * rowBytes);
            const std::uint8_t* second = filtered.data() + rowBytes;
            for (std::uint32_t y = 0; y < height;) {
                const std::uint32_t count = height - y > 1 ? 2 : 1;
                if (!stream_.fill({filtered.data(), count * rowBytes}, reason)) return false;
                const std::uint32_t done =
                    consume(y, filtered.data(), count == 2 ? second : nullptr, resampler, reason);
                if (done == 0 ||
                    (done < count && consume(y + 1, second, nullptr, resampler, reason) == 0)) {
                    return false;
                }
                y += count;
            }
            return stream_.finish(reason);
        }
        return pipelined(rowBytes, height, resampler, reason);
    }

private:
    // Large pictures inflate on a second thread while this one unfilters and resamples; the
    // inflation is the longer half, so the wall time is close to the inflation alone on a free
    // core. The rows meet in a ring of about two megabytes (at least two rows), filled a piece
    // at a time: the inflaters are faster with large outputs than row by row, and large pieces
    // wake the waiting thread a few hundred times a picture rather than once a row.
    static constexpr std::uint64_t kThreadedBytes = std::uint64_t{1} << 20;
    static constexpr std::size_t kRingBytes = std::size_t{2} << 20;
    static constexpr std::size_t kPieceBytes = 256 * 1024;

    bool pipelined(std::size_t rowBytes, std::uint32_t height, Resampler& resampler,
                   std::string& reason) {
        const std::size_t ringRows = std::max<std::size_t>(kRingBytes / rowBytes, 2);
        const std::uint64_t ringBytes = std::uint64_t{ringRows} * rowBytes;
        const std::uint64_t total = std::uint64_t{rowBytes} * height;
        std::vector<std::uint8_t> ring(static_cast<std::size_t>(ringBytes));
        std::mutex mutex;
        std::condition_variable filled, freed;
        std::uint64_t produced = 0, consumed = 0; // bytes of the stream
        bool stop = false, failed = false, finished = false;
        std::string producerReason;
        std::thread producer([&] {
            std::string why;
            for (std::uint64_t at = 0; at < total;) {
                std::uint64_t room;
                {
                    std::unique_lock lock(mutex);
                    freed.wait(lock, [&] { return stop || at - consumed < ringBytes; });
                    if (stop) return;
                    room = ringBytes - (at - consumed);
                }
                // Bytes between `consumed` and `at` are the consumer's; the rest of the ring
                // is ours until `produced` says otherwise. Pieces never wrap past the ring's
                // end, and rows never straddle it.
                const std::uint64_t offset = at % ringBytes;
                const auto n = static_cast<std::size_t>(
                    std::min({room, ringBytes - offset, total - at, std::uint64_t{kPieceBytes}}));
                const bool ok = stream_.fill({ring.data() + offset, n}, why);
                {
                    const std::lock_guard lock(mutex);
                    if (ok) {
                        produced = at + n;
                    } else {
                        failed = true;
                        producerReason = std::move(why);
                    }
                }
                filled.notify_one();
                if (!ok) return;
                at += n;
            }
            const bool ok = stream_.finish(why);
            {
                const std::lock_guard lock(mutex);
                finished = true;
                failed = !ok;
                producerReason = std::move(why);
            }
            filled.notify_one();
        });
        const auto rowAt = [&](std::uint32_t y) {
            return ring.data() + static_cast<std::size_t>(std::uint64_t{y} * rowBytes % ringBytes);
        };
        // Waits until the stream holds `bytes`; false when the producer failed first.
        const auto await = [&](std::uint64_t bytes) {
            std::unique_lock lock(mutex);
            filled.wait(lock, [&] { return produced >= bytes || failed; });
            return produced >= bytes;
        };
        bool ok = true;
        for (std::uint32_t y = 0; y < height;) {
            const std::uint64_t end = std::uint64_t{y + 1} * rowBytes;
            if (!await(end)) {
                const std::lock_guard lock(mutex);
                reason = producerReason;
                ok = false;
                break;
            }
            const std::uint8_t* row = rowAt(y);
            // A Paeth row waits for the next, so that the two may be unfiltered together.
            const std::uint8_t* next =
                row[0] == 4 && y + 1 < height && await(end + rowBytes) ? rowAt(y + 1) : nullptr;
            const std::uint32_t done = consume(y, row, next, resampler, reason);
            if (done == 0) {
                ok = false;
                break;
            }
            y += done;
            {
                const std::lock_guard lock(mutex);
                consumed = std::uint64_t{y} * rowBytes;
            }
            freed.notify_one();
        }
        {
            std::unique_lock lock(mutex);
            if (ok) {
                filled.wait(lock, [&] { return finished || failed; });
                if (failed) {
                    reason = producerReason;
                    ok = false;
                }
            }
            stop = true;
        }
        freed.notify_one();
        producer.join();
        return ok;
    }

    // Unfilters row y and pushes it, together with the next row when `next` holds it and both
    // are Paeth rows. Returns how many rows were pushed; 0 with a reason for damaged data.
    std::uint32_t consume(std::uint32_t y, const std::uint8_t* row, const std::uint8_t* next,
                          Resampler& resampler, std::string& reason) {
        if (next && row[0] == 4 && next[0] == 4 && png::hasPaethPair(bpp_)) {
            std::uint8_t* upper = rows_[y & 1].data();
            std::uint8_t* lower = rows_[(y + 1) & 1].data(); // holds the row above the pair
            png::unfilterPaethPair(row + 1, next + 1, upper, lower, size_, bpp_);
            resampler.pushRow(expand(upper));
            resampler.pushRow(expand(lower));
            return 2;
        }
        const std::uint8_t* out = unfilter(y, row, reason);
        if (!out) return 0;
        resampler.pushRow(expand(out));
        return 1;
    }

    // Returns the unfiltered row, or null with a reason.
    const std::uint8_t* unfilter(std::uint32_t y, const std::uint8_t* filteredRow,
                                 std::string& reason) {
        const std::uint8_t* in = filteredRow + 1;
        std::uint8_t* out = rows_[y & 1].data();
        const std::uint8_t* prior = rows_[(y + 1) & 1].data();
        if (!png::unfilterRow(filteredRow[0], in, out, prior, size_, bpp_)) {
            reason = "damaged PNG data (bad adaptive filter value)";
            return nullptr;
        }
        return out;
    }

    IdatStream stream_;
    std::size_t size_ = 0;
    std::size_t bpp_ = 0;
    std::vector<std::uint8_t> rows_[2]; // this row and the one above it
    std::vector<std::uint8_t> expanded_;

    // Grey rows as the resampler takes them: grey as RGB, grey and alpha as RGBA.
    const std::uint8_t* expand(const std::uint8_t* row) {
        if (bpp_ >= 3) return row;
        std::uint8_t* out = expanded_.data();
        const std::size_t pixels = size_ / bpp_;
        if (bpp_ == 1) {
            for (std::size_t x = 0; x < pixels; ++x, out += 3)
                out[0] = out[1] = out[2] = row[x];
        } else {
            for (std::size_t x = 0; x < pixels; ++x, out += 4, row += 2) {
                out[0] = out[1] = out[2] = row[0];
                out[3] = row[1];
            }
        }
        return expanded_.data();
    }
};

} // namespace

std::uint32_t bigEndian(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

bool decodeIdatRows(SourceCursor& cursor, std::uint32_t firstLength, std::uint32_t width,
                    std::uint32_t height, std::size_t bpp, Resampler& resampler,
                    std::string& reason) {
    IdatRows rows(cursor, firstLength);
    return rows.decode(width, height, bpp, resampler, reason);
}

} // namespace gw::imaging::detail
