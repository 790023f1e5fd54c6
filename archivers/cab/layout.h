// Byte layout of a cabinet: header, folder and file records, data block header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace archivers::cab {

inline constexpr std::size_t kHeaderSize = 36;     // CFHEADER without reserve fields
inline constexpr std::size_t kFolderSize = 8;      // CFFOLDER without reserve
inline constexpr std::size_t kFileFixedSize = 16;  // CFFILE before its name
inline constexpr std::size_t kBlockHeaderSize = 8; // CFDATA before its data
inline constexpr std::uint8_t kVersionMinor = 3;
inline constexpr std::uint8_t kVersionMajor = 1;
// Header flag: reserve sizes follow the header.
inline constexpr std::uint16_t kFlagReservePresent = 0x0004;
// Header flags of a set spanning several cabinets (not supported).
inline constexpr std::uint16_t kFlagPrevOrNext = 0x0003;
// File attribute: the name is UTF-8 (our names are Shift-JIS, so never set).
inline constexpr std::uint16_t kAttrNameIsUtf8 = 0x80;
// Longest name a file record may carry, bytes (without the terminating zero).
inline constexpr std::size_t kMaxName = 255;

inline void Put16(std::string& s, std::size_t at, std::uint32_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& s, std::size_t at, std::uint32_t v) {
    Put16(s, at, v & 0xFFFF);
    Put16(s, at + 2, v >> 16);
}
inline std::uint32_t Get16(const std::uint8_t* p) { return p[0] | (std::uint32_t{p[1]} << 8); }
inline std::uint32_t Get32(const std::uint8_t* p) { return Get16(p) | (Get16(p + 2) << 16); }

// DOS date and time in local time, and back.
inline void ToDosTime(std::int64_t t, std::uint16_t* date, std::uint16_t* time) {
    const std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    localtime_r(&tt, &tm);
    if (tm.tm_year < 80) {
        *date = (1 << 5) | 1;  // 1980-01-01
        *time = 0;
        return;
    }
    *date = static_cast<std::uint16_t>(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    *time = static_cast<std::uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
}
inline std::int64_t FromDosTime(std::uint16_t date, std::uint16_t time) {
    std::tm tm{};
    tm.tm_year = ((date >> 9) & 0x7F) + 80;
    tm.tm_mon = ((date >> 5) & 0x0F) - 1;
    tm.tm_mday = date & 0x1F;
    tm.tm_hour = (time >> 11) & 0x1F;
    tm.tm_min = (time >> 5) & 0x3F;
    tm.tm_sec = (time & 0x1F) * 2;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
}

}  // namespace archivers::cab
