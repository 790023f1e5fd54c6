// The compression methods of an LHA member and what distinguishes them. -lh5-, -lh6- and
// -lh7- are one LZSS + static-Huffman coder that differs only in its window and in the width
// of the field that gives the size of the position-code table.
#pragma once

#include <string_view>

namespace archivers::lha {

// How hard the match finder looks at one position.
struct MatchSearch {
    int maxChain;    // candidates examined
    int niceLength;  // a match this long ends the search, bytes
    int goodLength;  // chain shortened to a quarter after a match this long, bytes
};

struct MethodTraits {
    const char* name;      // "-lh5-", as it stands in the header
    bool stored;           // -lh0-: bytes kept as they are
    int dictionaryBits;    // window size 2^bits bytes
    int positionTableBits; // width of the position table's length field, bits
    // Match finder tuning picked when an encoder is built for this method.
    MatchSearch costSearch;  // at every position of a chunk parsed by cost
    MatchSearch lazySearch;  // at the positions a lazy parse looks at
    int lazyLimit;           // no lazy look-ahead once a match is this long, bytes
    // A chunk whose codes cover this many bytes each or more on average is followed by a
    // lazily parsed one (0: every chunk by cost).
    int lazyBytesPerCode;
    bool optimalParse;       // choose literals and matches by their cost; false: all lazily
};

// Number of position codes: one per possible bit length of a distance.
constexpr int PositionCodes(const MethodTraits& t) { return t.dictionaryBits + 1; }

// Methods this library reads and writes; nullptr for any other name.
const MethodTraits* FindMethod(std::string_view name);
// Method chosen by the "-jmN" switch: 0 -lh0-, 1 -lh1-, 2 -lh5-, 3 -lh6-, 4 -lh7-. -lh1- is
// not supported (nullptr), nor is any other number.
const MethodTraits* MethodForSwitch(int number);

// Name of a directory member: no data.
inline constexpr std::string_view kDirectoryMethod = "-lhd-";

}  // namespace archivers::lha
