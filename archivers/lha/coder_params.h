// Constants of the -lh5-/-lh6-/-lh7- bit stream shared by encoder and decoder.
#pragma once

namespace archivers::lha {

inline constexpr int kMinMatch = 3;    // shortest match, bytes
inline constexpr int kMaxMatch = 256;  // longest match, bytes
// Literal/length alphabet: 256 literals, then one code per match length 3..256.
inline constexpr int kCodeCount = 256 + kMaxMatch - kMinMatch + 1;  // 510
inline constexpr int kCodeCountBits = 9;                            // width of its table size
// Alphabet that codes the literal/length table's code lengths: 0..2 zero runs, 3..18 length-2.
inline constexpr int kLengthCodeCount = 19;
inline constexpr int kLengthCodeBits = 5;
// Codes per block: the block header holds the count in 16 bits.
inline constexpr int kMaxBlockCodes = 0xFFFF;

}  // namespace archivers::lha
