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
    [[gnu::always_inline]] void Put(int count, std::uint32_t value) {
        acc_ = (acc_ << count) | (value & ((std::uint64_t{1} << count) - 1));
        fill_ += count;
        if (fill_ >= 32) {
            fill_ -= 32;
            const auto word = static_cast<std::uint32_t>(acc_ >> fill_);
            const char bytes[4] = {static_cast<char>(word >> 24), static_cast<char>(word >> 16),
                                   static_cast<char>(word >> 8), static_cast<char>(word)};
            out_.append(bytes, 4);
        }
    }
    // Writes the bits still held, the last byte padded with zero bits.
    void Flush() {
        while (fill_ >= 8) {
            fill_ -= 8;
            out_.push_back(static_cast<char>(acc_ >> fill_));
        }
        if (fill_ > 0) out_.push_back(static_cast<char>(acc_ << (8 - fill_)));
        fill_ = 0;
    }

private:
    std::string& out_;
    std::uint64_t acc_ = 0;  // the last fill_ bits are pending, the rest is stale
    int fill_ = 0;           // 0..31
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
