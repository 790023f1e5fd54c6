#include "header.h"

#include <cstring>
#include <vector>

#include "crc16.h"
#include "platform/sjis.h"

namespace archivers::lha {
namespace {

// Offsets in the 24-byte base part of a level-2 header.
constexpr std::size_t kBaseSize = 24;
constexpr std::size_t kOffMethod = 2;
constexpr std::size_t kOffCompressed = 7;
constexpr std::size_t kOffOriginal = 11;
constexpr std::size_t kOffTime = 15;
constexpr std::size_t kOffReserved = 19;
constexpr std::size_t kOffLevel = 20;
constexpr std::size_t kOffCrc = 21;
constexpr std::size_t kOffOs = 23;

// Extended header types.
constexpr std::uint8_t kExtCommon = 0x00;  // header CRC
constexpr std::uint8_t kExtName = 0x01;
constexpr std::uint8_t kExtFolder = 0x02;
constexpr std::uint8_t kExtAttributes = 0x40;
constexpr std::uint8_t kExtSize64 = 0x42;
// Folder separator inside the folder extended header.
constexpr char kFolderSeparator = '\xFF';

void Put16(std::string& s, std::size_t at, std::uint32_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::size_t at, std::uint32_t v) {
    Put16(s, at, v & 0xFFFF);
    Put16(s, at + 2, v >> 16);
}
void Append16(std::string& s, std::uint32_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Append64(std::string& s, std::uint64_t v) {
    for (int i = 0; i < 8; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
std::uint32_t Get16(const std::uint8_t* p) { return p[0] | (std::uint32_t{p[1]} << 8); }
std::uint32_t Get32(const std::uint8_t* p) { return Get16(p) | (Get16(p + 2) << 16); }
std::uint64_t Get64(const std::uint8_t* p) { return Get32(p) | (std::uint64_t{Get32(p + 4)} << 32); }

// One extended header: type, data, then the size of the next one (patched later).
void AppendExt(std::string& h, std::uint8_t type, const std::string& data) {
    h.push_back(static_cast<char>(type));
    h += data;
    Append16(h, 0);
}

HeaderStatus Bad(std::string* error, const char* what) {
    if (error) *error = what;
    return HeaderStatus::Error;
}

}  // namespace

std::string EncodeHeader(const Member& m) {
    std::string h(kBaseSize, '\0');
    std::memcpy(&h[kOffMethod], m.method.data(), 5);
    const bool big = m.compressedSize > 0xFFFFFFFFu || m.originalSize > 0xFFFFFFFFu;
    Put32(h, kOffCompressed, big ? 0 : static_cast<std::uint32_t>(m.compressedSize));
    Put32(h, kOffOriginal, big ? 0 : static_cast<std::uint32_t>(m.originalSize));
    Put32(h, kOffTime, static_cast<std::uint32_t>(m.mtime));
    h[kOffReserved] = 0x20;
    h[kOffLevel] = 2;
    Put16(h, kOffCrc, m.crc);
    h[kOffOs] = static_cast<char>(m.os);
    Append16(h, 0);  // size of the first extended header

    // Split the path at its last folder separator, walking Shift-JIS characters.
    std::string folder;
    std::string name = m.path;
    if (m.IsDirectory()) {
        folder = m.path;
        name.clear();
    } else {
        const std::size_t cut = platform::sjis::FindLastChar(m.path, '\\');
        if (cut != platform::sjis::npos) {
            folder = m.path.substr(0, cut);
            name = m.path.substr(cut + 1);
        }
    }

    std::vector<std::size_t> sizeFields{kBaseSize};
    auto ext = [&](std::uint8_t type, const std::string& data) {
        sizeFields.push_back(h.size() + 1 + data.size());
        AppendExt(h, type, data);
    };
    const std::size_t crcAt = h.size() + 1;
    ext(kExtCommon, std::string(2, '\0'));
    if (!name.empty() || !m.IsDirectory()) ext(kExtName, name);
    if (!folder.empty()) {
        std::string encoded;
        for (const std::string& part : platform::sjis::SplitSjis(folder, '\\')) {
            if (part.empty()) continue;
            encoded += part;
            encoded.push_back(kFolderSeparator);
        }
        ext(kExtFolder, encoded);
    }
    std::string attr;
    Append16(attr, m.attributes);
    ext(kExtAttributes, attr);
    if (big) {
        std::string sizes;
        Append64(sizes, m.compressedSize);
        Append64(sizes, m.originalSize);
        ext(kExtSize64, sizes);
    }
    // Each size field holds the length of the extended header that follows it.
    for (std::size_t i = 0; i + 1 < sizeFields.size(); ++i) {
        Put16(h, sizeFields[i], static_cast<std::uint32_t>(sizeFields[i + 1] - sizeFields[i]));
    }
    // A header whose length has a zero low byte would read as the end mark: pad it.
    if (((h.size()) & 0xFF) == 0) h.push_back('\0');
    Put16(h, 0, static_cast<std::uint32_t>(h.size()));
    Put16(h, crcAt, ComputeCrc16(reinterpret_cast<const std::uint8_t*>(h.data()), h.size()));
    return h;
}

HeaderStatus DecodeHeader(const ReadExact& read, Member* m, std::size_t* headerSize, std::string* error) {
    std::uint8_t first[2];
    if (!read(first, 1)) return HeaderStatus::End;
    if (first[0] == 0) return HeaderStatus::End;
    if (!read(first + 1, 1)) return Bad(error, "header cut short");
    const std::size_t size = Get16(first);
    if (size < kBaseSize + 2) return Bad(error, "header too short");
    std::vector<std::uint8_t> h(size);
    h[0] = first[0];
    h[1] = first[1];
    if (!read(h.data() + 2, size - 2)) return Bad(error, "header cut short");
    if (h[kOffLevel] != 2) return Bad(error, "unsupported header level");
    if (headerSize) *headerSize = size;

    Member out;
    out.method.assign(reinterpret_cast<const char*>(&h[kOffMethod]), 5);
    out.compressedSize = Get32(&h[kOffCompressed]);
    out.originalSize = Get32(&h[kOffOriginal]);
    out.mtime = Get32(&h[kOffTime]);
    out.crc = static_cast<std::uint16_t>(Get16(&h[kOffCrc]));
    out.os = h[kOffOs];
    out.attributes = kAttrArchive;

    std::string name;
    std::string folder;
    bool haveCrc = false;
    std::size_t crcAt = 0;
    std::size_t at = kBaseSize;
    std::size_t next = Get16(&h[at]);
    at += 2;
    while (next != 0) {
        // type byte + data + the following size field
        if (next < 3 || at + next > size) return Bad(error, "bad extended header size");
        const std::uint8_t type = h[at];
        const std::uint8_t* data = &h[at + 1];
        const std::size_t len = next - 3;
        switch (type) {
        case kExtCommon:
            if (len >= 2) {
                haveCrc = true;
                crcAt = at + 1;
            }
            break;
        case kExtName: name.assign(reinterpret_cast<const char*>(data), len); break;
        case kExtFolder: folder.assign(reinterpret_cast<const char*>(data), len); break;
        case kExtAttributes:
            if (len >= 2) out.attributes = static_cast<std::uint16_t>(Get16(data));
            break;
        case kExtSize64:
            if (len >= 16) {
                out.compressedSize = Get64(data);
                out.originalSize = Get64(data + 8);
            }
            break;
        default: break;
        }
        at += next;
        next = Get16(&h[at - 2]);
    }
    if (haveCrc) {
        const std::uint16_t stored = static_cast<std::uint16_t>(Get16(&h[crcAt]));
        h[crcAt] = 0;
        h[crcAt + 1] = 0;
        if (ComputeCrc16(h.data(), h.size()) != stored) return Bad(error, "header CRC mismatch");
    }

    std::string path;
    for (char c : folder) path.push_back(c == kFolderSeparator ? '\\' : c);
    if (!path.empty() && path.back() != '\\' && !name.empty()) path.push_back('\\');
    path += name;
    while (!path.empty() && path.back() == '\\' && platform::sjis::IsCharBoundary(path, path.size() - 1)) path.pop_back();
    if (path.empty()) return Bad(error, "member without a name");
    out.path = path;
    *m = std::move(out);
    return HeaderStatus::Ok;
}

}  // namespace archivers::lha
