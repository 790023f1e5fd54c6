// Shortcut files: the binary shell-link format (.lnk) of the shell, and internet shortcuts
// (.url, an INI text). Texts are Shift-JIS; the shell-link file carries them as UTF-16 with
// the target also in the ANSI code page, as the shell writes it.
#pragma once

#include <cstdint>
#include <string>

namespace installer {

// How the target's window opens (ShowCommand of the link).
inline constexpr std::uint32_t kShowNormal = 1;
inline constexpr std::uint32_t kShowMaximized = 3;
inline constexpr std::uint32_t kShowMinimized = 7;

struct ShellLink {
    std::string target;       // full Windows path of the file or folder the link opens
    std::string arguments;
    std::string workingFolder;
    std::string description;  // the comment shown as the link's tool tip
    std::string iconFile;     // empty: the target's own icon
    std::int32_t iconIndex = 0;
    std::uint32_t showCommand = kShowNormal;
    bool targetIsFolder = false;
    std::uint64_t targetSize = 0;  // bytes (the low 32 bits are stored)
    std::uint64_t targetTime = 0;  // last write, FILETIME
};

// The bytes of a .lnk file: header, link information with the local path (ANSI and UTF-16),
// the strings present (description, working folder, arguments, icon), no extra data.
std::string EncodeShellLink(const ShellLink& link);

// The text of a .url file.
std::string EncodeInternetShortcut(const std::string& url, const std::string& iconFile, int iconIndex);

}  // namespace installer
