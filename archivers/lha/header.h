// Level-2 member headers of LHA archives: base fields, then extended headers (header CRC,
// file name, folder name with 0xFF separators, attributes, 64-bit sizes).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace archivers::lha {

// MS-DOS attribute bits kept in the attribute extended header.
inline constexpr std::uint16_t kAttrReadOnly = 0x01;
inline constexpr std::uint16_t kAttrHidden = 0x02;
inline constexpr std::uint16_t kAttrSystem = 0x04;
inline constexpr std::uint16_t kAttrDirectory = 0x10;
inline constexpr std::uint16_t kAttrArchive = 0x20;

struct Member {
    std::string method = "-lh5-";  // five characters
    std::uint64_t compressedSize = 0;
    std::uint64_t originalSize = 0;
    std::int64_t mtime = 0;        // last write, seconds since 1970-01-01 UTC
    std::uint16_t crc = 0;         // CRC-16 of the original bytes
    std::uint8_t os = 'M';         // system that wrote the member
    std::string path;              // Shift-JIS, folders separated by '\'
    std::uint16_t attributes = kAttrArchive;

    bool IsDirectory() const { return method == "-lhd-"; }
};

// The level-2 header of a member, header CRC included.
std::string EncodeHeader(const Member& m);

enum class HeaderStatus { Ok, End, Error };

// Reads exactly size bytes; false when fewer are there.
using ReadExact = std::function<bool(std::uint8_t* buf, std::size_t size)>;

// Reads one header. End at the archive's end mark (a zero byte) or at the end of the input;
// Error with *error set for anything malformed. *headerSize receives the header's length.
HeaderStatus DecodeHeader(const ReadExact& read, Member* m, std::size_t* headerSize, std::string* error);

}  // namespace archivers::lha
