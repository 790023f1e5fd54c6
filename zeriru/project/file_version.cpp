#include "zeriru/file_version.h"

#include "platform/winfile.h"
#include "platform/sjis.h"

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace zeriru {

namespace {

// Little-endian reads that fail instead of reading past the end.
struct Bytes {
    std::string_view data;
    bool U16(std::size_t at, std::uint32_t& v) const {
        if (at > data.size() || data.size() - at < 2) return false;
        v = static_cast<unsigned char>(data[at]) | (static_cast<unsigned char>(data[at + 1]) << 8);
        return true;
    }
    bool U32(std::size_t at, std::uint32_t& v) const {
        if (at > data.size() || data.size() - at < 4) return false;
        v = 0;
        for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(data[at + static_cast<std::size_t>(k)]);
        return true;
    }
};

// Data directory slots of the optional header.
constexpr std::uint32_t kExportDirectory = 0;
constexpr std::uint32_t kResourceDirectory = 2;
// Resource type of the version information.
constexpr std::uint32_t kRtVersion = 16;
// Signature of VS_FIXEDFILEINFO.
constexpr std::uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
// Bound on the names an export table may claim (a real DLL has far fewer).
constexpr std::uint32_t kMaxExportNames = 1u << 20;

struct SectionHeader {
    std::uint32_t virtualAddress, virtualSize, rawSize, rawPointer;
};

class PeImage {
public:
    explicit PeImage(std::string_view image) : b_{image} { ok_ = Parse(); }
    bool ok() const { return ok_; }

    // Directory entry `index` as (rva, size); false when absent.
    bool Directory(std::uint32_t index, std::uint32_t& rva, std::uint32_t& size) const {
        if (index >= directoryCount_) return false;
        std::size_t at = directories_ + index * 8;
        return b_.U32(at, rva) && b_.U32(at + 4, size) && rva != 0;
    }

    // File offset of an address of the loaded image.
    std::optional<std::size_t> Offset(std::uint32_t rva) const {
        for (const SectionHeader& s : sections_) {
            std::uint32_t extent = s.virtualSize ? s.virtualSize : s.rawSize;
            if (rva >= s.virtualAddress && rva - s.virtualAddress < extent) {
                std::uint32_t delta = rva - s.virtualAddress;
                if (delta >= s.rawSize) return std::nullopt;  // not stored in the file
                std::size_t at = static_cast<std::size_t>(s.rawPointer) + delta;
                if (at >= b_.data.size()) return std::nullopt;
                return at;
            }
        }
        return std::nullopt;
    }

    const Bytes& bytes() const { return b_; }

private:
    bool Parse() {
        if (b_.data.size() < 0x40 || b_.data[0] != 'M' || b_.data[1] != 'Z') return false;
        std::uint32_t pe = 0;
        if (!b_.U32(0x3C, pe)) return false;
        std::uint32_t signature = 0;
        if (!b_.U32(pe, signature) || signature != 0x00004550) return false;  // "PE\0\0"
        std::size_t coff = static_cast<std::size_t>(pe) + 4;
        std::uint32_t sectionCount = 0, optionalSize = 0, magic = 0;
        if (!b_.U16(coff + 2, sectionCount) || !b_.U16(coff + 16, optionalSize)) return false;
        std::size_t optional = coff + 20;
        if (!b_.U16(optional, magic)) return false;
        std::size_t countAt = 0;
        if (magic == 0x10B) {  // PE32
            countAt = optional + 92;
        } else if (magic == 0x20B) {  // PE32+
            countAt = optional + 108;
        } else {
            return false;
        }
        if (!b_.U32(countAt, directoryCount_)) return false;
        directories_ = countAt + 4;
        // Only directories that lie inside the optional header count.
        std::size_t room = optional + optionalSize > directories_ ? (optional + optionalSize - directories_) / 8 : 0;
        if (directoryCount_ > room) directoryCount_ = static_cast<std::uint32_t>(room);
        std::size_t table = optional + optionalSize;
        for (std::uint32_t i = 0; i < sectionCount; ++i) {
            std::size_t at = table + static_cast<std::size_t>(i) * 40;
            SectionHeader s{};
            if (!b_.U32(at + 8, s.virtualSize) || !b_.U32(at + 12, s.virtualAddress) ||
                !b_.U32(at + 16, s.rawSize) || !b_.U32(at + 20, s.rawPointer)) {
                return false;
            }
            sections_.push_back(s);
        }
        return true;
    }

    Bytes b_;
    bool ok_ = false;
    std::uint32_t directoryCount_ = 0;
    std::size_t directories_ = 0;
    std::vector<SectionHeader> sections_;
};

// The first entry of a resource directory (at file offset `dir`) whose id equals `id`, or the
// first entry at all when `id` is negative. Returns the raw OffsetToData field.
bool ResourceEntry(const Bytes& b, std::size_t dir, long id, std::uint32_t& target) {
    std::uint32_t named = 0, ids = 0;
    if (!b.U16(dir + 12, named) || !b.U16(dir + 14, ids)) return false;
    for (std::uint32_t i = 0; i < named + ids; ++i) {
        std::size_t at = dir + 16 + static_cast<std::size_t>(i) * 8;
        std::uint32_t name = 0, offset = 0;
        if (!b.U32(at, name) || !b.U32(at + 4, offset)) return false;
        if (id < 0 || (!(name & 0x80000000u) && name == static_cast<std::uint32_t>(id))) {
            target = offset;
            return true;
        }
    }
    return false;
}

}  // namespace

std::int64_t ComparableVersion(int major, int minor, int release, int build) {
    if (major > 9222) return -1;
    char text[32];
    std::snprintf(text, sizeof text, "%04d%05d%05d%05d", major, minor, release, build);
    return std::stoll(text);
}

bool ReadFileVersionFromImage(std::string_view image, TFileVersion& version) {
    PeImage pe(image);
    if (!pe.ok()) return false;
    const Bytes& b = pe.bytes();
    std::uint32_t rva = 0, size = 0;
    if (!pe.Directory(kResourceDirectory, rva, size)) return false;
    auto root = pe.Offset(rva);
    if (!root) return false;
    // Three levels: type, name, language. Directory entries carry the high bit; their offsets
    // count from the start of the resource data.
    std::size_t dir = *root;
    std::uint32_t entry = 0;
    if (!ResourceEntry(b, dir, static_cast<long>(kRtVersion), entry) || !(entry & 0x80000000u)) return false;
    dir = *root + (entry & 0x7FFFFFFFu);
    if (!ResourceEntry(b, dir, -1, entry) || !(entry & 0x80000000u)) return false;
    dir = *root + (entry & 0x7FFFFFFFu);
    if (!ResourceEntry(b, dir, -1, entry) || (entry & 0x80000000u)) return false;
    std::size_t dataEntry = *root + entry;
    std::uint32_t dataRva = 0, dataSize = 0;
    if (!b.U32(dataEntry, dataRva) || !b.U32(dataEntry + 4, dataSize)) return false;
    auto data = pe.Offset(dataRva);
    if (!data) return false;
    std::string_view info = b.data.substr(*data, dataSize);
    // VS_VERSIONINFO: wLength, wValueLength, wType, L"VS_VERSION_INFO\0", padding to four
    // bytes, then VS_FIXEDFILEINFO (52 bytes) when wValueLength is not 0.
    Bytes v{info};
    std::uint32_t valueLength = 0;
    if (!v.U16(2, valueLength) || valueLength < 52) return false;
    static constexpr char kKey[] = "VS_VERSION_INFO";
    for (std::size_t i = 0; i < sizeof kKey; ++i) {
        std::uint32_t ch = 0;
        if (!v.U16(6 + i * 2, ch) || ch != static_cast<unsigned char>(kKey[i])) return false;
    }
    std::size_t fixed = (6 + sizeof kKey * 2 + 3) & ~static_cast<std::size_t>(3);
    std::uint32_t signature = 0, ms = 0, ls = 0;
    if (!v.U32(fixed, signature) || signature != kFixedFileInfoSignature) return false;
    if (!v.U32(fixed + 8, ms) || !v.U32(fixed + 12, ls)) return false;
    version.major = static_cast<int>(ms >> 16);
    version.minor = static_cast<int>(ms & 0xFFFF);
    version.release = static_cast<int>(ls >> 16);
    version.build = static_cast<int>(ls & 0xFFFF);
    version.comparable = ComparableVersion(version.major, version.minor, version.release, version.build);
    return true;
}

bool ImageExports(std::string_view image, std::string_view function) {
    PeImage pe(image);
    if (!pe.ok()) return false;
    const Bytes& b = pe.bytes();
    std::uint32_t rva = 0, size = 0;
    if (!pe.Directory(kExportDirectory, rva, size)) return false;
    auto dir = pe.Offset(rva);
    if (!dir) return false;
    std::uint32_t count = 0, namesRva = 0;
    if (!b.U32(*dir + 24, count) || !b.U32(*dir + 32, namesRva)) return false;
    if (count > kMaxExportNames) count = kMaxExportNames;
    auto names = pe.Offset(namesRva);
    if (!names) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t nameRva = 0;
        if (!b.U32(*names + static_cast<std::size_t>(i) * 4, nameRva)) return false;
        auto at = pe.Offset(nameRva);
        if (!at) continue;
        std::string_view rest = b.data.substr(*at);
        std::size_t end = rest.find('\0');
        if (end == std::string_view::npos) continue;
        if (rest.substr(0, end) == function) return true;
    }
    return false;
}

bool GetFileVersion(std::string_view path, TFileVersion& version) {
    auto data = platform::winpath::ReadWholeFile(path);
    return data && ReadFileVersionFromImage(*data, version);
}

bool IsSelfRegistering(std::string_view path) {
    using platform::sjis::EndsWithNoCase;
    if (EndsWithNoCase(path, ".OCX") || EndsWithNoCase(path, ".TLB")) return true;
    if (!EndsWithNoCase(path, ".DLL")) return false;
    auto data = platform::winpath::ReadWholeFile(path);
    return data && ImageExports(*data, "DllRegisterServer");
}

}  // namespace zeriru
