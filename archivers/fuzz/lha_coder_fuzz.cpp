// libFuzzer target: the LHA encoder on any data, each method, parsed by cost (switching to the
// lazy parse on long repeats) and lazily only. What it writes must decode to the input with
// the same CRC. The input is laid down several times with a byte changed each time, so that
// short inputs still give the long repeats and the chunk changes of real files.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "lha/decoder.h"
#include "lha/encoder.h"
#include "lha/method.h"

namespace {

std::string Expand(const std::uint8_t* data, std::size_t size) {
    const int copies = data[0] % 16 + 1;
    std::string out;
    for (int c = 0; c < copies; ++c) {
        std::string piece(reinterpret_cast<const char*>(data + 1), size - 1);
        if (!piece.empty()) piece[(static_cast<std::size_t>(c) * 131) % piece.size()] ^= static_cast<char>(c + 1);
        out += piece;
    }
    return out;
}

// Reads `data` from *at on.
archivers::ByteSource ReadFrom(const std::string& data, std::size_t* at) {
    return [&data, at](std::uint8_t* buf, std::size_t n) -> std::ptrdiff_t {
        const std::size_t k = std::min(n, data.size() - *at);
        std::copy(data.data() + *at, data.data() + *at + k, buf);
        *at += k;
        return static_cast<std::ptrdiff_t>(k);
    };
}

archivers::ByteSink AppendTo(std::string* out) {
    return [out](const std::uint8_t* d, std::size_t n) {
        out->append(reinterpret_cast<const char*>(d), n);
        return true;
    };
}

void RoundTrip(const archivers::lha::MethodTraits& traits, const std::string& original) {
    std::string packed;
    std::size_t at = 0;
    archivers::lha::Encoder encoder(traits);
    const archivers::lha::CodingResult enc = encoder.Encode(ReadFrom(original, &at), AppendTo(&packed));
    if (!enc.ok || enc.compressedSize != packed.size()) std::abort();

    std::string unpacked;
    std::size_t from = 0;
    std::string error;
    const archivers::lha::CodingResult dec = archivers::lha::DecodeMember(
        traits, ReadFrom(packed, &from), packed.size(), original.size(), AppendTo(&unpacked), &error);
    if (!dec.ok || dec.crc != enc.crc || unpacked != original) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const char* const kMethods[] = {"-lh5-", "-lh6-", "-lh7-"};
    const std::string original = Expand(data, size);
    archivers::lha::MethodTraits traits = *archivers::lha::FindMethod(kMethods[data[0] / 16 % 3]);
    traits.optimalParse = data[0] / 48 % 2 == 0;
    RoundTrip(traits, original);
    return 0;
}
