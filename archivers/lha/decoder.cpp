#include "decoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "bitio.h"
#include "coder_params.h"
#include "crc16.h"
#include "huffman.h"

namespace archivers::lha {
namespace {

bool Fail(std::string* error, const char* what) {
    if (error) *error = what;
    return false;
}

class StreamDecoder {
public:
    StreamDecoder(const MethodTraits& t, BitReader& br) : traits_(t), br_(br) {}

    // Reads a length table of nn symbols whose size field is nbit wide; after `special`
    // lengths a 2-bit count of zero lengths follows.
    bool ReadLengthTable(HuffmanDecoder& dec, int nn, int nbit, int special, std::string* error) {
        const int n = static_cast<int>(br_.Get(nbit));
        if (n == 0) {
            const int c = static_cast<int>(br_.Get(nbit));
            if (c >= nn) return Fail(error, "bad table in compressed data");
            dec.BuildSingle(c);
            return true;
        }
        if (n > nn) return Fail(error, "bad table size in compressed data");
        std::uint8_t len[kLengthCodeCount + 32] = {};
        int i = 0;
        while (i < n) {
            int c = static_cast<int>(br_.Get(3));
            if (c == 7) {
                while (br_.Get(1) == 1) {
                    if (++c > kMaxCodeBits) return Fail(error, "bad code length in compressed data");
                }
            }
            len[i++] = static_cast<std::uint8_t>(c);
            if (i == special) {
                int zeros = static_cast<int>(br_.Get(2));
                while (zeros-- > 0 && i < nn) len[i++] = 0;
            }
        }
        if (!dec.Build(len, nn)) return Fail(error, "bad Huffman table in compressed data");
        return true;
    }

    bool ReadCodeTable(HuffmanDecoder& lengthDec, std::string* error) {
        const int n = static_cast<int>(br_.Get(kCodeCountBits));
        if (n == 0) {
            const int c = static_cast<int>(br_.Get(kCodeCountBits));
            if (c >= kCodeCount) return Fail(error, "bad table in compressed data");
            codeDec_.BuildSingle(c);
            return true;
        }
        if (n > kCodeCount) return Fail(error, "bad table size in compressed data");
        std::uint8_t len[kCodeCount] = {};
        int i = 0;
        while (i < n) {
            int bits = 0;
            const int c = lengthDec.Decode(br_.Peek(16), &bits);
            if (c < 0) return Fail(error, "bad code in compressed data");
            br_.Skip(bits);
            if (c <= 2) {
                int count = 1;
                if (c == 1) count = static_cast<int>(br_.Get(4)) + 3;
                if (c == 2) count = static_cast<int>(br_.Get(kCodeCountBits)) + 20;
                if (i + count > kCodeCount) return Fail(error, "bad table in compressed data");
                i += count;  // already zero
            } else {
                len[i++] = static_cast<std::uint8_t>(c - 2);
            }
        }
        if (!codeDec_.Build(len, kCodeCount)) return Fail(error, "bad Huffman table in compressed data");
        return true;
    }

    bool Run(std::uint64_t originalSize, Crc16& crc, const ByteSink& out, std::string* error) {
        const int windowSize = 1 << traits_.dictionaryBits;
        const int mask = windowSize - 1;
        std::vector<std::uint8_t> ring(static_cast<std::size_t>(windowSize));
        std::uint8_t* const r = ring.data();
        int at = 0;
        std::uint64_t produced = 0;
        std::uint64_t remaining = originalSize;
        unsigned blockLeft = 0;
        HuffmanDecoder lengthDec;

        auto flush = [&](int count) {
            crc.Update(r, static_cast<std::size_t>(count));
            return out(r, static_cast<std::size_t>(count));
        };

        while (remaining > 0) {
            if (blockLeft == 0) {
                blockLeft = br_.Get(16);
                if (blockLeft == 0) return Fail(error, "empty block in compressed data");
                if (!ReadLengthTable(lengthDec, kLengthCodeCount, kLengthCodeBits, 3, error)) return false;
                if (!ReadCodeTable(lengthDec, error)) return false;
                if (!ReadLengthTable(posDec_, PositionCodes(traits_), traits_.positionTableBits, -1, error))
                    return false;
                if (br_.Overrun() > 0) return Fail(error, "compressed data ends early");
            }
            --blockLeft;
            int bits = 0;
            const int c = codeDec_.Decode(br_.Peek(16), &bits);
            if (c < 0) return Fail(error, "bad code in compressed data");
            br_.Skip(bits);
            if (c < 256) {
                r[at] = static_cast<std::uint8_t>(c);
                ++produced;
                --remaining;
                if (++at == windowSize) {
                    if (!flush(at)) return Fail(error, "write error");
                    at = 0;
                }
                continue;
            }
            const int length = c - 256 + kMinMatch;
            int pc = posDec_.Decode(br_.Peek(16), &bits);
            if (pc < 0) return Fail(error, "bad code in compressed data");
            br_.Skip(bits);
            unsigned p = static_cast<unsigned>(pc);
            if (pc > 1) p = (1u << (pc - 1)) + br_.Get(pc - 1);
            const std::uint64_t distance = std::uint64_t{p} + 1;
            if (distance > produced || distance > static_cast<std::uint64_t>(windowSize))
                return Fail(error, "bad distance in compressed data");
            const int count = static_cast<int>(std::min<std::uint64_t>(static_cast<std::uint64_t>(length), remaining));
            int from = (at - static_cast<int>(distance)) & mask;
            for (int k = 0; k < count; ++k) {
                r[at] = r[from];
                from = (from + 1) & mask;
                if (++at == windowSize) {
                    if (!flush(at)) return Fail(error, "write error");
                    at = 0;
                }
            }
            produced += static_cast<std::uint64_t>(count);
            remaining -= static_cast<std::uint64_t>(count);
            if (br_.Overrun() > 0) return Fail(error, "compressed data ends early");
        }
        if (at > 0 && !flush(at)) return Fail(error, "write error");
        if (br_.Overrun() > 0) return Fail(error, "compressed data ends early");
        return true;
    }

private:
    const MethodTraits& traits_;
    BitReader& br_;
    HuffmanDecoder codeDec_;
    HuffmanDecoder posDec_;
};

}  // namespace

CodingResult DecodeMember(const MethodTraits& traits, const ByteSource& in, std::uint64_t compressedSize,
                          std::uint64_t originalSize, const ByteSink& out, std::string* error) {
    CodingResult result;
    Crc16 crc;
    std::uint64_t left = compressedSize;
    bool readFailed = false;
    auto limited = [&](std::uint8_t* buf, std::size_t size) -> std::size_t {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, left));
        if (want == 0) return 0;
        const std::ptrdiff_t n = in(buf, want);
        if (n <= 0) {
            if (n < 0) readFailed = true;
            left = 0;
            return 0;
        }
        left -= static_cast<std::uint64_t>(n);
        return static_cast<std::size_t>(n);
    };

    if (traits.stored) {
        if (compressedSize != originalSize) {
            Fail(error, "stored member with differing sizes");
            return result;
        }
        std::vector<std::uint8_t> chunk(1 << 16);
        std::uint64_t done = 0;
        while (done < originalSize) {
            const std::size_t n = limited(chunk.data(), chunk.size());
            if (n == 0) {
                Fail(error, readFailed ? "read error" : "member data ends early");
                return result;
            }
            crc.Update(chunk.data(), n);
            if (!out(chunk.data(), n)) {
                Fail(error, "write error");
                return result;
            }
            done += n;
        }
    } else {
        BitReader br(limited);
        StreamDecoder dec(traits, br);
        if (!dec.Run(originalSize, crc, out, error)) return result;
        if (readFailed) {
            Fail(error, "read error");
            return result;
        }
    }
    result.ok = true;
    result.originalSize = originalSize;
    result.compressedSize = compressedSize - left;
    result.crc = crc.Value();
    return result;
}

}  // namespace archivers::lha
