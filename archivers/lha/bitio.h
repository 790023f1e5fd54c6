// Bit streams of the LHA coder: most significant bit first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace archivers::lha {

class BitWriter {
public:
    explicit BitWriter(std::string& out) : out_(out) {}
    // Appends the low `count` bits of `value` (count <= 32).
    void Put(int count, std::uint32_t value) {
        if (count == 0) return;
        acc_ = (acc_ << count) | (value & ((count == 32) ? 0xFFFFFFFFu : ((1u << count) - 1)));
        fill_ += count;
        while (fill_ >= 8) {
            fill_ -= 8;
            out_.push_back(static_cast<char>((acc_ >> fill_) & 0xFF));
        }
    }
    // Pads the last byte with zero bits.
    void Flush() {
        if (fill_ > 0) Put(8 - fill_, 0);
    }

private:
    std::string& out_;
    std::uint64_t acc_ = 0;
    int fill_ = 0;
};

// Reads bits pulled from a source in chunks; past the source's end it delivers zero bits and
// counts them, so a decoder tells a truncated stream by `Overrun()` rather than by reading out
// of bounds.
class BitReader {
public:
    // Fills buf with up to size bytes; 0 at the end of the stream.
    using Source = std::function<std::size_t(std::uint8_t* buf, std::size_t size)>;

    explicit BitReader(Source source) : source_(std::move(source)), chunk_(kChunk) {}

    std::uint32_t Peek(int count) {
        Refill(count);
        return static_cast<std::uint32_t>(acc_ >> (fill_ - count)) & ((1u << count) - 1);
    }
    void Skip(int count) { fill_ -= count; }
    std::uint32_t Get(int count) {
        if (count == 0) return 0;
        const std::uint32_t v = Peek(count);
        Skip(count);
        return v;
    }
    // Zero bits consumed past the end of the input.
    std::uint64_t Overrun() const {
        return overrunBits_ > static_cast<std::uint64_t>(fill_) ? overrunBits_ - fill_ : 0;
    }

private:
    static constexpr std::size_t kChunk = 1 << 16;

    void Refill(int count) {
        while (fill_ < count) {
            if (pos_ == size_ && !ended_) {
                size_ = source_(chunk_.data(), chunk_.size());
                pos_ = 0;
                if (size_ == 0) ended_ = true;
            }
            std::uint8_t b = 0;
            if (pos_ < size_) {
                b = chunk_[pos_++];
            } else {
                overrunBits_ += 8;
            }
            acc_ = (acc_ << 8) | b;
            fill_ += 8;
        }
    }

    Source source_;
    std::vector<std::uint8_t> chunk_;
    std::size_t pos_ = 0;
    std::size_t size_ = 0;
    bool ended_ = false;
    std::uint64_t acc_ = 0;
    int fill_ = 0;
    std::uint64_t overrunBits_ = 0;
};

}  // namespace archivers::lha
