#include "method.h"

namespace archivers::lha {
namespace {

// Tuning measured with bench/run.sh on binaries and text: with the cost-based parse, short
// chains already give -lh5- within about 2% of gzip -6 and -lh7- below gzip -9, at about 0.8
// of gzip -6's speed per core; longer chains buy a little size for much time, shorter ones
// (28 for -lh5-) or fewer searches inside long matches cost more size than they save time.
// After an 8-byte match the next position searches a quarter of the chain: on programs that
// takes 8-14% off -lh5-'s time for 0.1% of size.
// Data made of long repeats (text from a small vocabulary, tables, padding) is the exception:
// its chains are full of real candidates, so a search at every position costs three times
// gzip's time, while a deeper lazy search (gzip -6's settings) finds matches as good. Once a
// chunk's codes average 12 bytes or more, the next chunk is parsed lazily: on generated word
// text that is three times faster and 0.5% smaller (-lh7-: 14% smaller), and on binaries and
// prose it changes next to nothing.
constexpr MethodTraits kMethods[] = {
    {"-lh0-", true, 0, 0, {}, {}, 0, 0, false},
    {"-lh5-", false, 13, 4, {32, 32, 8}, {128, 128, 8}, 16, 12, true},
    {"-lh6-", false, 15, 5, {16, 32, 8}, {128, 128, 8}, 16, 12, true},
    {"-lh7-", false, 16, 5, {16, 32, 8}, {128, 128, 8}, 16, 12, true},
};

}  // namespace

const MethodTraits* FindMethod(std::string_view name) {
    for (const auto& m : kMethods) {
        if (name == m.name) return &m;
    }
    return nullptr;
}

const MethodTraits* MethodForSwitch(int number) {
    switch (number) {
    case 0: return FindMethod("-lh0-");
    case 2: return FindMethod("-lh5-");
    case 3: return FindMethod("-lh6-");
    case 4: return FindMethod("-lh7-");
    default: return nullptr;
    }
}

}  // namespace archivers::lha
