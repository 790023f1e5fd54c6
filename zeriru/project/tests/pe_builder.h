// Builds small Windows executable images (PE32 or PE32+) in memory for the tests: one section
// that holds an optional version resource and an optional export table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zeriru::test {

struct PeImage {
    bool pe32plus = false;
    bool withVersion = true;
    std::uint16_t major = 1, minor = 2, release = 3, build = 4;
    std::vector<std::string> exports;  // exported function names
};

inline void Put16(std::string& s, std::size_t at, std::uint32_t v) {
    if (s.size() < at + 2) s.resize(at + 2);
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

inline void Put32(std::string& s, std::size_t at, std::uint32_t v) {
    Put16(s, at, v & 0xFFFF);
    Put16(s, at + 2, v >> 16);
}

inline std::string BuildPe(const PeImage& image) {
    constexpr std::uint32_t kSectionRva = 0x1000, kSectionRaw = 0x200, kSectionSize = 0x400;
    std::string img(kSectionRaw + kSectionSize, '\0');
    img[0] = 'M';
    img[1] = 'Z';
    Put32(img, 0x3C, 0x40);
    img.replace(0x40, 4, std::string("PE\0\0", 4));
    const std::size_t coff = 0x44;
    const std::uint32_t optionalSize = image.pe32plus ? 240 : 224;
    Put16(img, coff, image.pe32plus ? 0x8664 : 0x14C);
    Put16(img, coff + 2, 1);  // one section
    Put16(img, coff + 16, optionalSize);
    const std::size_t opt = coff + 20;
    Put16(img, opt, image.pe32plus ? 0x20B : 0x10B);
    const std::size_t count = opt + (image.pe32plus ? 108 : 92);
    Put32(img, count, 16);
    const std::size_t dirs = count + 4;
    const std::size_t table = opt + optionalSize;
    img.replace(table, 6, ".data\0");
    Put32(img, table + 8, kSectionSize);
    Put32(img, table + 12, kSectionRva);
    Put32(img, table + 16, kSectionSize);
    Put32(img, table + 20, kSectionRaw);

    auto sec = [&](std::uint32_t off) { return static_cast<std::size_t>(kSectionRaw + off); };
    if (image.withVersion) {
        Put32(img, dirs + 2 * 8, kSectionRva);
        Put32(img, dirs + 2 * 8 + 4, 0x100);
        Put16(img, sec(0x0E), 1);                       // root: one id entry
        Put32(img, sec(0x10), 16);                      // RT_VERSION
        Put32(img, sec(0x14), 0x80000000u | 0x18);
        Put16(img, sec(0x18 + 0x0E), 1);                // name level
        Put32(img, sec(0x28), 1);
        Put32(img, sec(0x2C), 0x80000000u | 0x30);
        Put16(img, sec(0x30 + 0x0E), 1);                // language level
        Put32(img, sec(0x40), 1041);
        Put32(img, sec(0x44), 0x48);                    // data entry
        Put32(img, sec(0x48), kSectionRva + 0x58);
        Put32(img, sec(0x4C), 40 + 52);
        const std::size_t vi = sec(0x58);
        Put16(img, vi, 40 + 52);
        Put16(img, vi + 2, 52);
        const std::string key = "VS_VERSION_INFO";
        for (std::size_t i = 0; i < key.size(); ++i) Put16(img, vi + 6 + i * 2, static_cast<unsigned char>(key[i]));
        const std::size_t fixed = vi + 40;
        Put32(img, fixed, 0xFEEF04BD);
        Put32(img, fixed + 4, 0x10000);
        Put32(img, fixed + 8, (std::uint32_t{image.major} << 16) | image.minor);
        Put32(img, fixed + 12, (std::uint32_t{image.release} << 16) | image.build);
    }
    if (!image.exports.empty()) {
        const std::uint32_t ed = 0x200, names = 0x240, strings = 0x280;
        Put32(img, dirs, kSectionRva + ed);
        Put32(img, dirs + 4, 0x200);
        Put32(img, sec(ed + 24), static_cast<std::uint32_t>(image.exports.size()));
        Put32(img, sec(ed + 32), kSectionRva + names);
        std::uint32_t at = strings;
        for (std::size_t i = 0; i < image.exports.size(); ++i) {
            Put32(img, sec(names + static_cast<std::uint32_t>(i) * 4), kSectionRva + at);
            img.replace(sec(at), image.exports[i].size() + 1, image.exports[i] + '\0');
            at += static_cast<std::uint32_t>(image.exports[i].size() + 1);
        }
    }
    return img;
}

}  // namespace zeriru::test
