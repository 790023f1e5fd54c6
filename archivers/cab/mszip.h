// MSZIP blocks of a CAB folder: each holds at most 32 KiB of data as "CK" followed by a
// complete deflate stream, which may refer back into the previous 32 KiB of the folder.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace archivers::cab {

// Uncompressed bytes per block.
inline constexpr std::size_t kBlockSize = 32768;
// Largest compressed block the format allows (data of incompressible input plus framing).
inline constexpr std::size_t kMaxCompressedBlock = kBlockSize + 6144;

class MsZipCompressor {
public:
    explicit MsZipCompressor(int level);
    ~MsZipCompressor();
    MsZipCompressor(const MsZipCompressor&) = delete;
    MsZipCompressor& operator=(const MsZipCompressor&) = delete;

    // Compresses one block (at most kBlockSize bytes) into *out ("CK" included). `history` is
    // the folder's data before the block (its last 32 KiB are used; empty for the first block),
    // so blocks of one folder can be compressed in any order, each by its own compressor.
    bool Compress(const std::uint8_t* history, std::size_t historySize, const std::uint8_t* data, std::size_t size,
                  std::string* out);

private:
    struct State;
    std::unique_ptr<State> s_;
};

class MsZipDecompressor {
public:
    MsZipDecompressor();
    ~MsZipDecompressor();
    MsZipDecompressor(const MsZipDecompressor&) = delete;
    MsZipDecompressor& operator=(const MsZipDecompressor&) = delete;

    void Reset();
    // Decodes one block that must give exactly expectedSize bytes; false and *error otherwise.
    bool Decompress(const std::uint8_t* data, std::size_t size, std::size_t expectedSize,
                    std::vector<std::uint8_t>* out, std::string* error);

private:
    struct State;
    std::unique_ptr<State> s_;
};

}  // namespace archivers::cab
