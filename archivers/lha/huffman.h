// Canonical Huffman codes of the LHA coder: code lengths limited to 16 bits, codes assigned in
// order of length and, within one length, of symbol.
#pragma once

#include <cstdint>
#include <vector>

namespace archivers::lha {

inline constexpr int kMaxCodeBits = 16;

// Code lengths for the given symbol counts, none longer than maxBits. Symbols of count 0 get
// length 0. Needs at least two used symbols (one symbol is written as a table of its own).
void BuildCodeLengths(const std::uint32_t* freq, int n, int maxBits, std::uint8_t* lengths);

// Canonical codes for the lengths.
void AssignCodes(const std::uint8_t* lengths, int n, std::uint16_t* codes);

// Decoding table for canonical codes of at most 16 bits.
class HuffmanDecoder {
public:
    // False when the lengths over-subscribe the code space (not a prefix code).
    bool Build(const std::uint8_t* lengths, int n);
    // A table that decodes every input to `symbol` using no bits.
    void BuildSingle(int symbol);
    // Symbol for the next 16 bits of input (left-aligned); sets *bits to its length. -1 when
    // no code matches (an incomplete table).
    int Decode(std::uint32_t next16, int* bits) const {
        if (single_ >= 0) {
            *bits = 0;
            return single_;
        }
        const std::uint16_t e = fast_[next16 >> (16 - kFastBits)];
        if (e != 0xFFFF) {
            *bits = e >> 12;
            return e & 0x0FFF;
        }
        return DecodeSlow(next16, bits);
    }

private:
    static constexpr int kFastBits = 10;
    int DecodeSlow(std::uint32_t next16, int* bits) const;

    int single_ = -1;
    std::uint16_t fast_[1 << kFastBits];
    // Per length: first code, number of codes, index of the first symbol in symbols_.
    std::uint32_t first_[kMaxCodeBits + 1] = {};
    std::uint32_t count_[kMaxCodeBits + 1] = {};
    std::uint32_t offset_[kMaxCodeBits + 1] = {};
    std::vector<std::uint16_t> symbols_;
};

}  // namespace archivers::lha
