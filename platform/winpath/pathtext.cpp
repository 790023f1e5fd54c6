#include "platform/pathtext.h"

#include "platform/sjis.h"

#include <cstring>

namespace platform::winpath {

namespace sjis = platform::sjis;

namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// True when the character at pos is a single-byte separator.
bool SeparatorAt(std::string_view s, std::size_t pos) {
    return pos < s.size() && sjis::CharLength(s, pos) == 1 && IsSeparator(s[pos]);
}

bool HasDriveColon(std::string_view s) { return s.size() >= 2 && IsAsciiLetter(s[0]) && s[1] == ':'; }

// Index of the last separator (or of the drive colon when no separator follows it); npos
// when there is neither.
std::size_t LastBreak(std::string_view s) {
    std::size_t found = HasDriveColon(s) ? 1 : sjis::npos;
    for (std::size_t i = 0; i < s.size(); i = sjis::NextChar(s, i)) {
        if (SeparatorAt(s, i)) found = i;
    }
    return found;
}

// Splits at separators, character-wise.
std::vector<std::string> SplitAtSeparators(std::string_view s) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.size(); i = sjis::NextChar(s, i)) {
        if (SeparatorAt(s, i)) {
            parts.emplace_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.emplace_back(s.substr(start));
    return parts;
}

// One character of `s` at pos equals one of `m` at mpos, ignoring the case of single-byte
// letters; double-byte characters compare byte for byte.
bool SameChar(std::string_view s, std::size_t pos, std::string_view m, std::size_t mpos) {
    std::size_t ls = sjis::CharLength(s, pos), lm = sjis::CharLength(m, mpos);
    if (ls != lm) return false;
    if (ls == 1) return AsciiUpper(s[pos]) == AsciiUpper(m[mpos]);
    return s[pos] == m[mpos] && s[pos + 1] == m[mpos + 1];
}

}  // namespace

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string AddBackslash(std::string_view path) {
    std::string out(path);
    if (out.empty()) return out;
    std::size_t last = 0;
    for (std::size_t i = 0; i < out.size(); i = sjis::NextChar(out, i)) last = i;
    if (!SeparatorAt(out, last)) out.push_back('\\');
    return out;
}

std::string RemoveBackslash(std::string_view path) {
    if (path.empty()) return {};
    std::size_t last = 0;
    for (std::size_t i = 0; i < path.size(); i = sjis::NextChar(path, i)) last = i;
    if (SeparatorAt(path, last)) return std::string(path.substr(0, last));
    return std::string(path);
}

std::string FileNameOf(std::string_view path) {
    std::size_t at = LastBreak(path);
    return std::string(at == sjis::npos ? path : path.substr(at + 1));
}

std::string FolderWithBackslashOf(std::string_view path) {
    std::size_t at = LastBreak(path);
    return at == sjis::npos ? std::string() : std::string(path.substr(0, at + 1));
}

std::string FolderOf(std::string_view path) {
    std::size_t at = LastBreak(path);
    if (at == sjis::npos) return {};
    bool driveRootSeparator = at == 2 && HasDriveColon(path);
    bool rootedSeparator = at == 0;
    bool driveColon = at == 1 && HasDriveColon(path);
    if (driveRootSeparator || rootedSeparator || driveColon) return std::string(path.substr(0, at + 1));
    return std::string(path.substr(0, at));
}

std::string ExtensionOf(std::string_view path) {
    std::string name = FileNameOf(path);
    std::size_t dot = sjis::FindLastChar(name, '.');
    return dot == sjis::npos ? std::string() : name.substr(dot);
}

std::string ChangeExtension(std::string_view path, std::string_view extension) {
    std::size_t old = ExtensionOf(path).size();
    std::string out(path.substr(0, path.size() - old));
    out.append(extension);
    return out;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    if (name.empty()) return std::string(folder);
    if (folder.empty() || IsAbsolutePath(name)) return std::string(name);
    std::size_t skip = 0;
    while (SeparatorAt(name, skip)) ++skip;
    return AddBackslash(folder) + std::string(name.substr(skip));
}

int DriveNumber(std::string_view path) {
    if (!HasDriveColon(path)) return 0;
    return AsciiUpper(path[0]) - 'A' + 1;
}

bool IsAbsolutePath(std::string_view path) {
    return (HasDriveColon(path) && SeparatorAt(path, 2)) || IsUncPath(path);
}

bool IsUncPath(std::string_view path) { return SeparatorAt(path, 0) && SeparatorAt(path, 1); }

bool IsValidElement(std::string_view name, bool allowWildcards) {
    if (name.empty()) return false;
    for (std::size_t i = 0; i < name.size(); i = sjis::NextChar(name, i)) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (sjis::CharLength(name, i) == 2) {
            // No character has 00 or 2F as its second byte; letting one through would put a
            // host separator into the host name.
            if (name[i + 1] == '\0' || name[i + 1] == '/') return false;
            continue;
        }
        if (c < 0x20) return false;
        if (IsSeparator(static_cast<char>(c))) return false;
        if (std::strchr("<>:\"|", c) != nullptr) return false;
        if ((c == '*' || c == '?') && !allowWildcards) return false;
    }
    return true;
}

std::optional<PathParts> ParsePath(std::string_view path, bool allowWildcards) {
    if (path.empty() || path.find('\0') != std::string_view::npos) return std::nullopt;
    std::string text(path);
    // "\\?\C:\x" and "\\?\UNC\srv\share\x": the long-path prefix changes nothing here.
    if (text.size() >= 4 && SeparatorAt(text, 0) && SeparatorAt(text, 1) && text[2] == '?' &&
        SeparatorAt(text, 3)) {
        text.erase(0, 4);
        if (text.size() >= 4 && sjis::StartsWithNoCase(text, "UNC") && SeparatorAt(text, 3)) {
            text = "\\\\" + text.substr(4);
        }
        if (text.empty()) return std::nullopt;
    }

    PathParts parts;
    std::string_view rest = text;
    if (IsUncPath(text)) {
        parts.root = PathParts::Root::Unc;
        std::vector<std::string> all = SplitAtSeparators(rest.substr(2));
        if (all.size() < 2 || !IsValidElement(all[0]) || !IsValidElement(all[1])) return std::nullopt;
        parts.server = all[0];
        parts.share = all[1];
        std::size_t used = 2 + all[0].size() + 1 + all[1].size();
        rest = used < text.size() ? std::string_view(text).substr(used) : std::string_view();
    } else if (HasDriveColon(text)) {
        parts.drive = AsciiUpper(text[0]);
        parts.root = SeparatorAt(text, 2) ? PathParts::Root::Drive : PathParts::Root::DriveRelative;
        rest = std::string_view(text).substr(2);
    } else if (SeparatorAt(text, 0)) {
        parts.root = PathParts::Root::Rooted;
    }

    std::vector<std::string> raw = SplitAtSeparators(rest);
    // The last non-empty element is the only one that may carry wildcards.
    std::size_t lastNonEmpty = raw.size();
    for (std::size_t i = raw.size(); i-- > 0;) {
        if (!raw[i].empty()) {
            lastNonEmpty = i;
            break;
        }
    }
    bool anchored = parts.root != PathParts::Root::None && parts.root != PathParts::Root::DriveRelative;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const std::string& e = raw[i];
        if (e.empty() || e == ".") continue;
        if (e == "..") {
            if (!parts.elements.empty() && parts.elements.back() != "..") {
                parts.elements.pop_back();
            } else if (!anchored) {
                parts.elements.push_back(e);
            }
            continue;
        }
        if (!IsValidElement(e, allowWildcards && i == lastNonEmpty)) return std::nullopt;
        parts.elements.push_back(e);
    }
    return parts;
}

std::string FormatPath(const PathParts& parts) {
    std::string out;
    switch (parts.root) {
        case PathParts::Root::None: break;
        case PathParts::Root::Rooted: out = "\\"; break;
        case PathParts::Root::Drive: out = std::string(1, parts.drive) + ":\\"; break;
        case PathParts::Root::DriveRelative: out = std::string(1, parts.drive) + ":"; break;
        case PathParts::Root::Unc: out = "\\\\" + parts.server + "\\" + parts.share; break;
    }
    for (std::size_t i = 0; i < parts.elements.size(); ++i) {
        bool needSeparator = !out.empty() && !(i == 0 && (parts.root == PathParts::Root::Rooted ||
                                                          parts.root == PathParts::Root::Drive ||
                                                          parts.root == PathParts::Root::DriveRelative));
        if (needSeparator) out.push_back('\\');
        out += parts.elements[i];
    }
    return out;
}

std::string NormalizePath(std::string_view path) {
    std::optional<PathParts> parts = ParsePath(path);
    return parts ? FormatPath(*parts) : std::string();
}

bool HasWildcards(std::string_view text) {
    return sjis::FindChar(text, '*') != sjis::npos || sjis::FindChar(text, '?') != sjis::npos;
}

bool MatchesMask(std::string_view name, std::string_view mask) {
    if (mask == "*" || mask == "*.*") return true;
    if (mask == "*.") return sjis::FindChar(name, '.') == sjis::npos;
    // Greedy match with one backtrack point: the position after the last '*' seen.
    std::size_t n = 0, m = 0;
    std::size_t starMask = sjis::npos, starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && sjis::CharLength(mask, m) == 1 && mask[m] == '*') {
            starMask = ++m;
            starName = n;
        } else if (m < mask.size() && ((sjis::CharLength(mask, m) == 1 && mask[m] == '?') ||
                                       SameChar(name, n, mask, m))) {
            n = sjis::NextChar(name, n);
            m = sjis::NextChar(mask, m);
        } else if (starMask != sjis::npos) {
            starName = sjis::NextChar(name, starName);
            n = starName;
            m = starMask;
        } else {
            return false;
        }
    }
    while (m < mask.size() && sjis::CharLength(mask, m) == 1 && mask[m] == '*') ++m;
    return m == mask.size();
}

}  // namespace platform::winpath
