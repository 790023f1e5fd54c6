// LZSS + static-Huffman encoder of -lh5-, -lh6- and -lh7-: one coder, parameterised by the
// method's traits (window, position table width, match finder tuning).
#pragma once

#include <cstdint>
#include <memory>

#include "common/stream.h"
#include "method.h"

namespace archivers::lha {

struct CodingResult {
    bool ok = false;
    std::uint64_t originalSize = 0;
    std::uint64_t compressedSize = 0;
    std::uint16_t crc = 0;  // CRC-16 of the original bytes
};

class Encoder {
public:
    explicit Encoder(const MethodTraits& traits);
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    // Compresses everything `in` delivers into `out`. ok is false when either stream failed.
    CodingResult Encode(const ByteSource& in, const ByteSink& out);

private:
    struct State;
    std::unique_ptr<State> s_;
};

}  // namespace archivers::lha
