#include "encoder.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "bitio.h"
#include "coder_params.h"
#include "crc16.h"
#include "huffman.h"

namespace archivers::lha {
namespace {

// Hash table of 2^bits heads: twice the window's positions, at most 2^15 (a larger table
// gains little and costs cache).
constexpr int HashBits(const MethodTraits& t) { return std::min(t.dictionaryBits + 1, 15); }
// Bytes kept ahead of the current position so that a match of full length can be compared.
constexpr int kLookahead = kMaxMatch + kMinMatch + 1;
// Bytes read ahead beyond the window: the buffer slides (and the match tables with it) once
// this much has been coded, not once per window.
constexpr int kReadAhead = 1 << 18;
// Below this many bytes a finished stream's entries are taken out of the hash heads one by
// one; above it the whole table is cleared.
constexpr int kClearOneByOne = 1 << 14;
// Codes gathered before a block is written: smaller blocks follow changes in the data, and
// the tables of an 8192-code block cost little (about 0.4% smaller output than 16384 on
// mixed text and binaries).
constexpr int kBlockCodes = 8192;
// A 3-byte match farther back than this costs more bits than three literals, bytes.
constexpr int kTooFarForMinMatch = 4096;
// No position: far below any window's lower limit, so one comparison ends a chain.
constexpr std::int32_t kNil = INT32_MIN / 2;

// Multiplicative hash of the three bytes at p, to `bits` bits.
inline std::uint32_t Hash3(const std::uint8_t* p, int bits) {
    return (((std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2]) * 2654435761u) >> (32 - bits);
}

inline int BitLength(unsigned v) { return v ? 32 - __builtin_clz(v) : 0; }

inline std::uint16_t Load16(const std::uint8_t* p) {
    std::uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Length of the common run of a and b, from `from` up to maxLen bytes.
inline int MatchLength(const std::uint8_t* a, const std::uint8_t* b, int from, int maxLen) {
    int len = from;
    while (len + 8 <= maxLen) {
        std::uint64_t x, y;
        std::memcpy(&x, a + len, 8);
        std::memcpy(&y, b + len, 8);
        if (x != y) return len + (__builtin_ctzll(x ^ y) >> 3);
        len += 8;
    }
    while (len < maxLen && a[len] == b[len]) ++len;
    return len;
}

}  // namespace

struct Encoder::State {
    const MethodTraits& traits;
    const int windowSize;
    const int maxDistance;
    const int positionCodes;
    std::vector<std::uint8_t> buf;
    const int hashBits;
    std::vector<std::int32_t> head;
    std::vector<std::int32_t> prev;
    // How far the last stream filled the buffer: every position in `head` lies below it, and
    // the buffer still holds the bytes it was hashed from.
    int usedEnd = 0;

    // Working arrays of the cost-based parse, for one chunk of positions.
    static constexpr int kPairs = 8;  // matches kept per position
    const int chunk;
    std::vector<std::uint32_t> cost;
    std::vector<std::uint16_t> stepLength;
    std::vector<std::uint16_t> stepDistance;
    std::vector<std::uint16_t> pairLength;
    std::vector<std::uint16_t> pairDistance;
    std::vector<std::uint8_t> pairCount;
    std::vector<int> path;

    // Pending block: literal/length codes and, for each match, its position code value.
    std::vector<std::uint16_t> codes;
    std::vector<std::uint16_t> positions;
    std::uint64_t codesMade = 0;  // literals and matches of this stream so far
    std::uint32_t codeFreq[kCodeCount];
    std::uint32_t posFreq[32];

    // Estimated bits of each literal, match length and position code, taken from the last
    // block's tables; the optimal parse weighs its choices with them.
    std::uint16_t literalCost[256];
    std::uint16_t lengthCost[kMaxMatch + 1];
    std::uint16_t positionCost[32];

    std::string out;
    std::uint64_t written = 0;  // compressed bytes handed to the sink
    bool sinkFailed = false;

    explicit State(const MethodTraits& t)
        : traits(t),
          windowSize(1 << t.dictionaryBits),
          maxDistance((1 << t.dictionaryBits) - 1),
          positionCodes(PositionCodes(t)),
          buf(static_cast<std::size_t>(1 << t.dictionaryBits) + std::max(1 << t.dictionaryBits, kReadAhead) + kLookahead +
              16),
          hashBits(HashBits(t)),
          head(1u << HashBits(t), kNil),
          prev(static_cast<std::size_t>(1) << t.dictionaryBits, kNil),
          chunk(std::min(4096, (1 << t.dictionaryBits) / 2)) {
        codes.reserve(kBlockCodes);
        positions.reserve(kBlockCodes);
        ResetFreq();
        ResetCosts();
        if (t.optimalParse) {
            cost.resize(static_cast<std::size_t>(chunk) + 1);
            stepLength.resize(static_cast<std::size_t>(chunk) + 1);
            stepDistance.resize(static_cast<std::size_t>(chunk) + 1);
            pairLength.resize(static_cast<std::size_t>(chunk) * kPairs);
            pairDistance.resize(static_cast<std::size_t>(chunk) * kPairs);
            pairCount.resize(static_cast<std::size_t>(chunk));
        }
    }

    // Empties the hash heads for a new stream. Only they need it: a chain is entered through
    // a head, and every position on it was inserted in this stream, which set its `prev`.
    void ClearHeads() {
        if (usedEnd < kClearOneByOne) {
            for (int at = 0; at + kMinMatch <= usedEnd; ++at) head[Hash3(buf.data() + at, hashBits)] = kNil;
        } else {
            std::fill(head.begin(), head.end(), kNil);
        }
        // Until the stream ends normally, its extent is unknown: a full clear next time.
        usedEnd = INT_MAX;
    }

    // Costs before any block was written: flat literals, short matches cheap.
    void ResetCosts() {
        std::fill(std::begin(literalCost), std::end(literalCost), 8);
        for (int len = 0; len <= kMaxMatch; ++len) lengthCost[len] = static_cast<std::uint16_t>(len < 16 ? 6 : 9);
        std::fill(std::begin(positionCost), std::end(positionCost), 4);
    }

    // Codes missing from the last block get a length a little above the longest in use.
    void UpdateCosts(const std::uint8_t* cLen, const std::uint8_t* pLen) {
        for (int c = 0; c < 256; ++c) literalCost[c] = cLen[c] ? cLen[c] : 12;
        for (int len = kMinMatch; len <= kMaxMatch; ++len) {
            const int c = 256 + len - kMinMatch;
            lengthCost[len] = cLen[c] ? cLen[c] : 12;
        }
        for (int b = 0; b < positionCodes; ++b) positionCost[b] = pLen[b] ? pLen[b] : 8;
    }

    int DistanceCost(int distance) const {
        const int bits = BitLength(static_cast<unsigned>(distance - 1));
        return positionCost[bits] + (bits > 1 ? bits - 1 : 0);
    }

    void ResetFreq() {
        std::memset(codeFreq, 0, sizeof codeFreq);
        std::memset(posFreq, 0, sizeof posFreq);
    }

    void Literal(std::uint8_t b) {
        ++codesMade;
        codes.push_back(b);
        codeFreq[b]++;
    }
    void Match(int length, int distance) {
        const std::uint16_t c = static_cast<std::uint16_t>(256 + length - kMinMatch);
        const unsigned p = static_cast<unsigned>(distance - 1);
        ++codesMade;
        codes.push_back(c);
        positions.push_back(static_cast<std::uint16_t>(p));
        codeFreq[c]++;
        posFreq[BitLength(p)]++;
    }

    void WriteTable(BitWriter& bw, const std::uint8_t* len, int n, int nbit, int special) {
        while (n > 0 && len[n - 1] == 0) --n;
        bw.Put(nbit, static_cast<std::uint32_t>(n));
        int i = 0;
        while (i < n) {
            const int k = len[i++];
            if (k <= 6) {
                bw.Put(3, static_cast<std::uint32_t>(k));
            } else {
                // 7 and above: "111", then one 1 bit per step above 7, then a 0 bit.
                bw.Put(k - 3, 0xFFFEu);
            }
            if (i == special) {
                int zeros = 0;
                while (i < 6 && i < n && len[i] == 0) {
                    ++i;
                    ++zeros;
                }
                bw.Put(2, static_cast<std::uint32_t>(zeros));
            }
        }
    }

    // Walks the literal/length code lengths as zero runs and lengths; calls emit(symbol, extra
    // bit count, extra value) in the alphabet of kLengthCodeCount symbols.
    template <typename Emit>
    static void WalkCodeLengths(const std::uint8_t* cLen, Emit emit) {
        int n = kCodeCount;
        while (n > 0 && cLen[n - 1] == 0) --n;
        int i = 0;
        while (i < n) {
            const int k = cLen[i++];
            if (k == 0) {
                int count = 1;
                while (i < n && cLen[i] == 0) {
                    ++i;
                    ++count;
                }
                if (count <= 2) {
                    for (int j = 0; j < count; ++j) emit(0, 0, 0);
                } else if (count <= 18) {
                    emit(1, 4, count - 3);
                } else if (count == 19) {
                    emit(0, 0, 0);
                    emit(1, 4, 15);
                } else {
                    emit(2, kCodeCountBits, count - 20);
                }
            } else {
                emit(k + 2, 0, 0);
            }
        }
    }

    static int UsedSymbols(const std::uint32_t* freq, int n, int* only) {
        int used = 0;
        *only = 0;
        for (int i = 0; i < n; ++i) {
            if (freq[i]) {
                ++used;
                *only = i;
            }
        }
        return used;
    }

    void FlushBlock(BitWriter& bw) {
        if (codes.empty()) return;
        bw.Put(16, static_cast<std::uint32_t>(codes.size()));

        std::uint8_t cLen[kCodeCount] = {};
        std::uint16_t cCode[kCodeCount] = {};
        int cOnly = 0;
        const bool cSingle = UsedSymbols(codeFreq, kCodeCount, &cOnly) < 2;
        if (cSingle) {
            bw.Put(kLengthCodeBits, 0);
            bw.Put(kLengthCodeBits, 0);
            bw.Put(kCodeCountBits, 0);
            bw.Put(kCodeCountBits, static_cast<std::uint32_t>(cOnly));
        } else {
            BuildCodeLengths(codeFreq, kCodeCount, kMaxCodeBits, cLen);
            AssignCodes(cLen, kCodeCount, cCode);
            std::uint32_t tFreq[kLengthCodeCount] = {};
            WalkCodeLengths(cLen, [&](int sym, int, int) { tFreq[sym]++; });
            std::uint8_t tLen[kLengthCodeCount] = {};
            std::uint16_t tCode[kLengthCodeCount] = {};
            int tOnly = 0;
            if (UsedSymbols(tFreq, kLengthCodeCount, &tOnly) < 2) {
                bw.Put(kLengthCodeBits, 0);
                bw.Put(kLengthCodeBits, static_cast<std::uint32_t>(tOnly));
            } else {
                BuildCodeLengths(tFreq, kLengthCodeCount, kMaxCodeBits, tLen);
                AssignCodes(tLen, kLengthCodeCount, tCode);
                WriteTable(bw, tLen, kLengthCodeCount, kLengthCodeBits, 3);
            }
            int n = kCodeCount;
            while (n > 0 && cLen[n - 1] == 0) --n;
            bw.Put(kCodeCountBits, static_cast<std::uint32_t>(n));
            WalkCodeLengths(cLen, [&](int sym, int extraBits, int extra) {
                bw.Put(tLen[sym], tCode[sym]);
                bw.Put(extraBits, static_cast<std::uint32_t>(extra));
            });
        }

        std::uint8_t pLen[32] = {};
        std::uint16_t pCode[32] = {};
        int pOnly = 0;
        if (UsedSymbols(posFreq, positionCodes, &pOnly) < 2) {
            bw.Put(traits.positionTableBits, 0);
            bw.Put(traits.positionTableBits, static_cast<std::uint32_t>(pOnly));
        } else {
            BuildCodeLengths(posFreq, positionCodes, kMaxCodeBits, pLen);
            AssignCodes(pLen, positionCodes, pCode);
            WriteTable(bw, pLen, positionCodes, traits.positionTableBits, -1);
        }

        if (!cSingle && UsedSymbols(posFreq, positionCodes, &pOnly) >= 2) UpdateCosts(cLen, pLen);

        std::size_t m = 0;
        for (const std::uint16_t c : codes) {
            bw.Put(cLen[c], cCode[c]);
            if (c >= 256) {
                // The position code and the distance's bits below its top bit, in one go.
                const unsigned p = positions[m++];
                const int bits = BitLength(p);
                const int extra = bits > 1 ? bits - 1 : 0;
                bw.Put(pLen[bits] + extra, (std::uint32_t{pCode[bits]} << extra) | (p & ((1u << extra) - 1)));
            }
        }
        codes.clear();
        positions.clear();
        ResetFreq();
    }

    bool Drain(const ByteSink& sink) {
        if (!out.empty()) {
            if (!sink(reinterpret_cast<const std::uint8_t*>(out.data()), out.size())) sinkFailed = true;
            written += out.size();
            out.clear();
        }
        return !sinkFailed;
    }

    // Drops what lies more than a window behind pos from the buffer and the tables. The shift
    // is a whole number of windows, so that every position keeps its `prev` slot.
    void Slide(int& pos, int& end) {
        const int shift = (pos - windowSize) & ~(windowSize - 1);
        std::memmove(buf.data(), buf.data() + shift, static_cast<std::size_t>(end - shift));
        pos -= shift;
        end -= shift;
        for (auto& h : head) h = (h >= shift) ? h - shift : kNil;
        for (auto& p : prev) p = (p >= shift) ? p - shift : kNil;
    }
};

Encoder::Encoder(const MethodTraits& traits) : s_(std::make_unique<State>(traits)) {}
Encoder::~Encoder() = default;

CodingResult Encoder::Encode(const ByteSource& in, const ByteSink& outSink) {
    State& s = *s_;
    CodingResult result;
    Crc16 crc;
    s.ClearHeads();
    s.codes.clear();
    s.positions.clear();
    s.ResetFreq();
    s.ResetCosts();
    s.out.clear();
    s.written = 0;
    s.sinkFailed = false;
    s.codesMade = 0;

    std::uint8_t* const buf = s.buf.data();
    std::int32_t* const head = s.head.data();
    std::int32_t* const prev = s.prev.data();
    const int cap = static_cast<int>(s.buf.size()) - 16;
    const int windowMask = s.windowSize - 1;
    const int hashBits = s.hashBits;
    const int maxDistance = s.maxDistance;
    const MatchSearch& costSearch = s.traits.costSearch;
    const MatchSearch& lazySearch = s.traits.lazySearch;
    const int lazyLimit = s.traits.lazyLimit;

    BitWriter bw(s.out);
    int pos = 0;
    int end = 0;
    bool eof = false;
    bool readFailed = false;

    auto fill = [&]() {
        while (!eof && end < cap) {
            const std::ptrdiff_t n = in(buf + end, static_cast<std::size_t>(cap - end));
            if (n < 0) {
                readFailed = true;
                eof = true;
            } else if (n == 0) {
                eof = true;
            } else {
                crc.Update(buf + end, static_cast<std::size_t>(n));
                result.originalSize += static_cast<std::uint64_t>(n);
                end += static_cast<int>(n);
            }
        }
    };
    auto insert = [&](int at) -> std::int32_t {
        const std::uint32_t h = Hash3(buf + at, hashBits);
        const std::int32_t old = head[h];
        prev[at & windowMask] = old;
        head[h] = at;
        return old;
    };
    // Hands a finished block to the sink once enough codes are gathered; false once the sink
    // failed.
    auto emitted = [&]() -> bool {
        if (static_cast<int>(s.codes.size()) < kBlockCodes) return true;
        s.FlushBlock(bw);
        return s.Drain(outSink);
    };

    // Longest match at `at` among the chain starting with `cand`, longer than `best`.
    auto longest = [&](int at, std::int32_t cand, int best, int* distance) -> int {
        const int maxLen = std::min(kMaxMatch, end - at);
        if (best >= maxLen) return best;
        int chain = best >= lazySearch.goodLength ? lazySearch.maxChain >> 2 : lazySearch.maxChain;
        const std::uint8_t* const scan = buf + at;
        const int limit = at - maxDistance;
        // Only a longer match counts: the two bytes that would end it are compared first.
        std::uint16_t scanEnd = Load16(scan + best - 1);
        while (cand >= limit && chain-- > 0) {
            const std::uint8_t* m = buf + cand;
            if (Load16(m + best - 1) == scanEnd && Load16(m) == Load16(scan)) {
                const int len = MatchLength(m, scan, 2, maxLen);
                if (len > best) {
                    best = len;
                    *distance = at - cand;
                    if (len >= lazySearch.niceLength) break;
                    scanEnd = Load16(scan + best - 1);
                }
            }
            cand = prev[cand & windowMask];
        }
        return best;
    };

    // Lazy parse of the positions from `pos` up to `stop`: a match is taken unless the next
    // position starts a longer one. Its last match may run past `stop`; returns where the next
    // chunk starts.
    auto parseLazily = [&](int pos, const int stop) -> int {
        int prevLength = kMinMatch - 1;
        int prevDistance = 0;
        bool literalPending = false;
        std::uint8_t pendingByte = 0;
        // The match that starts at the byte before pos is taken; pos itself is in the tables.
        auto takePrevious = [&]() {
            s.Match(prevLength, prevDistance);
            const int matchEnd = pos - 1 + prevLength;
            for (int q = pos + 1; q < matchEnd; ++q) {
                if (end - q >= kMinMatch) insert(q);
            }
            pos = matchEnd;
            literalPending = false;
            prevLength = kMinMatch - 1;
        };
        while (pos < stop) {
            std::int32_t cand = kNil;
            if (end - pos >= kMinMatch) cand = insert(pos);
            int length = kMinMatch - 1;
            int distance = 0;
            if (cand != kNil && prevLength < lazyLimit) {
                // Only a match longer than the one of the byte before can replace it.
                length = longest(pos, cand, std::max(prevLength, kMinMatch - 1), &distance);
                if (length == kMinMatch && distance > kTooFarForMinMatch) length = kMinMatch - 1;
            }

            if (prevLength >= kMinMatch && length <= prevLength) {
                takePrevious();
            } else {
                if (literalPending) s.Literal(pendingByte);
                literalPending = true;
                pendingByte = buf[pos];
                prevLength = length;
                prevDistance = distance;
                ++pos;
            }
            if (!emitted()) return pos;
        }
        if (literalPending) {
            if (prevLength >= kMinMatch) {
                // pos is not in the tables yet: the match's rest starts there.
                if (end - pos >= kMinMatch) insert(pos);
                takePrevious();
            } else {
                s.Literal(pendingByte);
            }
            emitted();
        }
        return pos;
    };

    // Near-optimal parse of n positions from pos: collect, at each, the nearest match of every
    // length the chain offers, then choose the cheapest path of literals and matches through
    // them under the last block's code lengths.
    auto parseByCost = [&](const int pos, const int n) {
        constexpr int kPairs = State::kPairs;
        // pairCount of a position inside a long match: one pair, to be taken at its full length.
        constexpr std::uint8_t kRestOnly = 0xFF;
        std::uint32_t* const cost = s.cost.data();
        std::uint16_t* const stepLength = s.stepLength.data();
        std::uint16_t* const stepDistance = s.stepDistance.data();
        std::uint16_t* const pairLength = s.pairLength.data();
        std::uint16_t* const pairDistance = s.pairDistance.data();
        std::uint8_t* const pairCount = s.pairCount.data();
        std::vector<int>& path = s.path;
        int skipUntil = 0;
        int skipDistance = 0;
        int previousBest = 0;
        for (int i = 0; i < n; ++i) {
            const int at = pos + i;
            pairCount[i] = 0;
            std::int32_t cand = kNil;
            if (end - at >= kMinMatch) cand = insert(at);
            const int maxLen = std::min(kMaxMatch, n - i);
            if (i < skipUntil) {
                // Inside a long match: its rest, at the same distance, is all that is offered.
                const int rest = std::min(skipUntil - i, maxLen);
                if (rest >= kMinMatch) {
                    pairLength[static_cast<std::size_t>(i) * kPairs] = static_cast<std::uint16_t>(rest);
                    pairDistance[static_cast<std::size_t>(i) * kPairs] = static_cast<std::uint16_t>(skipDistance);
                    pairCount[i] = kRestOnly;
                }
                continue;
            }
            if (cand == kNil || maxLen < kMinMatch) continue;
            const std::uint8_t* const scan = buf + at;
            const int limit = at - maxDistance;
            int best = kMinMatch - 1;
            // Just after a good match the next position mostly repeats it: search less.
            int chain = previousBest >= costSearch.goodLength ? costSearch.maxChain >> 2 : costSearch.maxChain;
            int count = 0;
            std::uint16_t* const pl = &pairLength[static_cast<std::size_t>(i) * kPairs];
            std::uint16_t* const pd = &pairDistance[static_cast<std::size_t>(i) * kPairs];
            // Only a match longer than the best so far counts: the two bytes that end such
            // a match are compared first.
            const std::uint8_t* ends = buf + best - 1;
            std::uint16_t scanEnd = Load16(scan + best - 1);
            while (cand >= limit && chain-- > 0) {
                if (Load16(ends + cand) == scanEnd) {
                    const int len = MatchLength(buf + cand, scan, 0, maxLen);
                    const int d = at - cand;
                    if (len > best && !(len == kMinMatch && d > kTooFarForMinMatch)) {
                        if (count == kPairs) --count;  // keep the longest
                        pl[count] = static_cast<std::uint16_t>(len);
                        pd[count] = static_cast<std::uint16_t>(d);
                        ++count;
                        best = len;
                        if (len >= costSearch.niceLength || len == maxLen) break;
                        ends = buf + best - 1;
                        scanEnd = Load16(scan + best - 1);
                    }
                }
                cand = prev[cand & windowMask];
            }
            pairCount[i] = static_cast<std::uint8_t>(count);
            previousBest = best;
            // A long match is taken as it is: no searches inside it.
            if (best >= costSearch.niceLength) {
                skipUntil = i + best;
                skipDistance = pd[count - 1];
            }
        }

        const std::uint16_t* const literalCost = s.literalCost;
        const std::uint16_t* const lengthCost = s.lengthCost;
        std::uint32_t* const c0 = cost;
        std::uint16_t* const sl = stepLength;
        std::uint16_t* const sd = stepDistance;
        c0[0] = 0;
        for (int j = 1; j <= n; ++j) c0[j] = 0xFFFFFFFFu;
        for (int i = 0; i < n; ++i) {
            const std::uint32_t base = c0[i];
            const std::uint32_t lit = base + literalCost[buf[pos + i]];
            if (lit < c0[i + 1]) {
                c0[i + 1] = lit;
                sl[i + 1] = 1;
            }
            int count = pairCount[i];
            int from = kMinMatch;
            if (count == kRestOnly) {
                count = 1;
                from = pairLength[static_cast<std::size_t>(i) * kPairs];
            }
            for (int k = 0; k < count; ++k) {
                const int len = pairLength[static_cast<std::size_t>(i) * kPairs + k];
                const int d = pairDistance[static_cast<std::size_t>(i) * kPairs + k];
                const std::uint32_t withDistance = base + static_cast<std::uint32_t>(s.DistanceCost(d));
                std::uint32_t* const target = c0 + i;
                for (int l = from; l <= len; ++l) {
                    const std::uint32_t c = withDistance + lengthCost[l];
                    if (c < target[l]) {
                        target[l] = c;
                        sl[i + l] = static_cast<std::uint16_t>(l);
                        sd[i + l] = static_cast<std::uint16_t>(d);
                    }
                }
                from = len + 1;
            }
        }

        path.clear();
        for (int j = n; j > 0; j -= stepLength[j]) path.push_back(j);
        for (auto it = path.rbegin(); it != path.rend(); ++it) {
            const int j = *it;
            if (stepLength[j] == 1) {
                s.Literal(buf[pos + j - 1]);
            } else {
                s.Match(stepLength[j], stepDistance[j]);
            }
            if (static_cast<int>(s.codes.size()) >= kBlockCodes) {
                s.FlushBlock(bw);
                if (!s.Drain(outSink)) return;
            }
        }
    };

    // Chunks of positions, each parsed by cost unless the chunk before was made of long
    // matches: there the chains are full of real candidates and a search at every position
    // costs much time for little, while a deeper lazy search finds as good matches.
    const bool byCostAtAll = s.traits.optimalParse;
    bool lazyNext = !byCostAtAll;
    fill();
    while (!s.sinkFailed) {
        if (!eof && end - pos < kLookahead + s.chunk) {
            if (pos > s.windowSize) s.Slide(pos, end);
            fill();
        }
        if (pos >= end) break;
        const int n = std::min(s.chunk, end - pos - (eof ? 0 : kLookahead));
        const std::uint64_t codesBefore = s.codesMade;
        const int from = pos;
        if (lazyNext) {
            pos = parseLazily(pos, pos + n);
        } else {
            parseByCost(pos, n);
            pos += n;
        }
        const std::uint64_t codes = s.codesMade - codesBefore;
        lazyNext = !byCostAtAll ||
                   (s.traits.lazyBytesPerCode > 0 &&
                    static_cast<std::uint64_t>(pos - from) >= codes * static_cast<std::uint64_t>(s.traits.lazyBytesPerCode));
    }
    s.FlushBlock(bw);
    bw.Flush();
    s.Drain(outSink);
    s.usedEnd = end;  // the heads hold positions below this only

    result.compressedSize = s.written;
    result.crc = crc.Value();
    result.ok = !readFailed && !s.sinkFailed;
    return result;
}

}  // namespace archivers::lha
