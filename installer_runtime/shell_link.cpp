#include "shell_link.h"

#include "platform/sjis.h"

#include <array>

namespace installer {

namespace sj = platform::sjis;

namespace {

// Layout of the shell-link format: header size, class id {00021401-0000-0000-C000-000000000046}.
constexpr std::uint32_t kHeaderSize = 0x4C;
constexpr std::array<std::uint8_t, 16> kLinkClassId = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                       0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// Link flags.
constexpr std::uint32_t kHasLinkInfo = 0x00000002;
constexpr std::uint32_t kHasName = 0x00000004;
constexpr std::uint32_t kHasWorkingDir = 0x00000010;
constexpr std::uint32_t kHasArguments = 0x00000020;
constexpr std::uint32_t kHasIconLocation = 0x00000040;
constexpr std::uint32_t kIsUnicode = 0x00000080;
// File attributes of the target.
constexpr std::uint32_t kAttributeDirectory = 0x10;
constexpr std::uint32_t kAttributeArchive = 0x20;
// Link information: the header with the Unicode offsets is 0x24 bytes; the volume and local
// path are present; the volume is a fixed drive.
constexpr std::uint32_t kLinkInfoHeaderSize = 0x24;
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x1;
constexpr std::uint32_t kDriveFixed = 3;
constexpr std::uint32_t kVolumeIdHeaderSize = 0x10;

void Put16(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
void Put64(std::string& out, std::uint64_t v) {
    Put32(out, static_cast<std::uint32_t>(v));
    Put32(out, static_cast<std::uint32_t>(v >> 32));
}

// UTF-16LE of a Shift-JIS text (bytes that do not convert become U+FFFD).
std::string Utf16(const std::string& sjis) {
    const std::string utf8 = sj::ToUtf8(sjis, sj::Unconvertible::Replace);
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        std::uint32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            cp = ((c & 0x1F) << 6) | (utf8[i + 1] & 0x3F);
            len = 2;
        } else if ((c & 0xF0) == 0xE0 && i + 2 < utf8.size()) {
            cp = ((c & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
            len = 3;
        } else if ((c & 0xF8) == 0xF0 && i + 3 < utf8.size()) {
            cp = ((c & 0x07) << 18) | ((utf8[i + 1] & 0x3F) << 12) | ((utf8[i + 2] & 0x3F) << 6) | (utf8[i + 3] & 0x3F);
            len = 4;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            Put16(out, 0xD800 + (cp >> 10));
            Put16(out, 0xDC00 + (cp & 0x3FF));
        } else {
            Put16(out, cp);
        }
    }
    return out;
}

// One string of the string data: its length in characters, then the UTF-16 characters.
void PutCountedString(std::string& out, const std::string& sjis) {
    const std::string u = Utf16(sjis);
    Put16(out, static_cast<std::uint32_t>(u.size() / 2));
    out += u;
}

std::string LinkInfo(const std::string& target) {
    std::string volume;
    Put32(volume, 0);  // size, filled below
    Put32(volume, kDriveFixed);
    Put32(volume, 0);  // serial number: unknown
    Put32(volume, kVolumeIdHeaderSize);
    volume.push_back('\0');  // empty label
    const std::uint32_t volumeSize = static_cast<std::uint32_t>(volume.size());
    volume[0] = static_cast<char>(volumeSize);

    const std::string ansi = target + '\0';
    const std::string suffix(1, '\0');
    const std::string unicode = Utf16(target) + std::string(2, '\0');
    const std::string unicodeSuffix(2, '\0');

    const std::uint32_t volumeAt = kLinkInfoHeaderSize;
    const std::uint32_t pathAt = volumeAt + volumeSize;
    const std::uint32_t suffixAt = pathAt + static_cast<std::uint32_t>(ansi.size());
    const std::uint32_t unicodePathAt = suffixAt + static_cast<std::uint32_t>(suffix.size());
    const std::uint32_t unicodeSuffixAt = unicodePathAt + static_cast<std::uint32_t>(unicode.size());
    const std::uint32_t total = unicodeSuffixAt + static_cast<std::uint32_t>(unicodeSuffix.size());

    std::string info;
    Put32(info, total);
    Put32(info, kLinkInfoHeaderSize);
    Put32(info, kVolumeIdAndLocalBasePath);
    Put32(info, volumeAt);
    Put32(info, pathAt);
    Put32(info, 0);  // no network link
    Put32(info, suffixAt);
    Put32(info, unicodePathAt);
    Put32(info, unicodeSuffixAt);
    return info + volume + ansi + suffix + unicode + unicodeSuffix;
}

}  // namespace

std::string EncodeShellLink(const ShellLink& link) {
    std::uint32_t flags = kHasLinkInfo | kIsUnicode;
    if (!link.description.empty()) flags |= kHasName;
    if (!link.workingFolder.empty()) flags |= kHasWorkingDir;
    if (!link.arguments.empty()) flags |= kHasArguments;
    if (!link.iconFile.empty()) flags |= kHasIconLocation;

    std::string out;
    Put32(out, kHeaderSize);
    out.append(reinterpret_cast<const char*>(kLinkClassId.data()), kLinkClassId.size());
    Put32(out, flags);
    Put32(out, link.targetIsFolder ? kAttributeDirectory : kAttributeArchive);
    Put64(out, link.targetTime);  // creation
    Put64(out, link.targetTime);  // access
    Put64(out, link.targetTime);  // write
    Put32(out, static_cast<std::uint32_t>(link.targetSize));
    Put32(out, static_cast<std::uint32_t>(link.iconIndex));
    Put32(out, link.showCommand);
    Put16(out, 0);  // no hot key
    Put16(out, 0);
    Put32(out, 0);
    Put32(out, 0);

    out += LinkInfo(link.target);
    if (flags & kHasName) PutCountedString(out, link.description);
    if (flags & kHasWorkingDir) PutCountedString(out, link.workingFolder);
    if (flags & kHasArguments) PutCountedString(out, link.arguments);
    if (flags & kHasIconLocation) PutCountedString(out, link.iconFile);
    Put32(out, 0);  // end of the extra data
    return out;
}

std::string EncodeInternetShortcut(const std::string& url, const std::string& iconFile, int iconIndex) {
    std::string text = "[InternetShortcut]\r\nURL=" + url + "\r\n";
    if (!iconFile.empty()) text += "IconFile=" + iconFile + "\r\nIconIndex=" + std::to_string(iconIndex) + "\r\n";
    return text;
}

}  // namespace installer
