#include "mszip.h"

#include <zlib.h>

#include <cstring>

namespace archivers::cab {

namespace {

// Back-reference window of deflate, bytes.
constexpr std::size_t kHistory = 32768;

void KeepHistory(std::vector<std::uint8_t>& history, const std::uint8_t* data, std::size_t size) {
    history.insert(history.end(), data, data + size);
    if (history.size() > kHistory) history.erase(history.begin(), history.end() - kHistory);
}

}  // namespace

struct MsZipCompressor::State {
    z_stream z{};
    bool ok = false;
};

MsZipCompressor::MsZipCompressor(int level) : s_(std::make_unique<State>()) {
    s_->ok = deflateInit2(&s_->z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
}

MsZipCompressor::~MsZipCompressor() {
    if (s_->ok) deflateEnd(&s_->z);
}

bool MsZipCompressor::Compress(const std::uint8_t* history, std::size_t historySize, const std::uint8_t* data,
                               std::size_t size, std::string* out) {
    if (!s_->ok || size > kBlockSize) return false;
    z_stream& z = s_->z;
    if (deflateReset(&z) != Z_OK) return false;
    if (historySize > kHistory) {
        history += historySize - kHistory;
        historySize = kHistory;
    }
    if (historySize > 0 && deflateSetDictionary(&z, history, static_cast<uInt>(historySize)) != Z_OK) return false;
    out->assign(2 + deflateBound(&z, static_cast<uLong>(size)), '\0');
    (*out)[0] = 'C';
    (*out)[1] = 'K';
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = reinterpret_cast<Bytef*>(out->data() + 2);
    z.avail_out = static_cast<uInt>(out->size() - 2);
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) return false;
    out->resize(out->size() - z.avail_out);
    return out->size() <= kMaxCompressedBlock;
}

struct MsZipDecompressor::State {
    z_stream z{};
    std::vector<std::uint8_t> history;
    bool ok = false;
};

MsZipDecompressor::MsZipDecompressor() : s_(std::make_unique<State>()) {
    s_->ok = inflateInit2(&s_->z, -15) == Z_OK;
}

MsZipDecompressor::~MsZipDecompressor() {
    if (s_->ok) inflateEnd(&s_->z);
}

void MsZipDecompressor::Reset() { s_->history.clear(); }

bool MsZipDecompressor::Decompress(const std::uint8_t* data, std::size_t size, std::size_t expectedSize,
                                   std::vector<std::uint8_t>* out, std::string* error) {
    auto fail = [error](const char* what) {
        if (error) *error = what;
        return false;
    };
    if (!s_->ok) return fail("inflate not available");
    if (size < 2 || data[0] != 'C' || data[1] != 'K') return fail("MSZIP block without its CK signature");
    if (expectedSize > kBlockSize) return fail("MSZIP block too large");
    z_stream& z = s_->z;
    if (inflateReset(&z) != Z_OK) return fail("inflate reset failed");
    if (!s_->history.empty() &&
        inflateSetDictionary(&z, s_->history.data(), static_cast<uInt>(s_->history.size())) != Z_OK)
        return fail("inflate dictionary failed");
    out->assign(expectedSize + 1, 0);  // one spare byte shows a block that gives too much
    z.next_in = const_cast<Bytef*>(data + 2);
    z.avail_in = static_cast<uInt>(size - 2);
    z.next_out = out->data();
    z.avail_out = static_cast<uInt>(out->size());
    const int rc = inflate(&z, Z_FINISH);
    const std::size_t got = out->size() - z.avail_out;
    if (rc != Z_STREAM_END || got != expectedSize) return fail("damaged MSZIP block");
    out->resize(got);
    KeepHistory(s_->history, out->data(), got);
    return true;
}

}  // namespace archivers::cab
