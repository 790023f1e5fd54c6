// Windows path texts (Shift-JIS bytes), taken apart and put together character by character.
// Nothing here touches the disk. Both '\\' and '/' count as separators; results use '\\'
// only where they build new text, and keep the caller's text otherwise.
//
// A double-byte character whose trail byte is 0x5C (for example 表, bytes 95 5C) is one
// character, never a separator.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::winpath {

// True for '\\' and '/'.
bool IsSeparator(char c);

// The path with one trailing separator added when it does not end in one. An empty path stays
// empty (an added "\" would name the root of the current drive).
std::string AddBackslash(std::string_view path);
// The path without its trailing separator, if it has one ("C:\" gives "C:").
std::string RemoveBackslash(std::string_view path);

// Last element: the text after the last separator or drive colon ("C:\a\b.txt" -> "b.txt",
// "C:b.txt" -> "b.txt", "C:\a\" -> "").
std::string FileNameOf(std::string_view path);
// Everything up to and including the last separator or drive colon ("C:\a\b.txt" -> "C:\a\").
std::string FolderWithBackslashOf(std::string_view path);
// The folder that holds the last element, without a trailing separator except at a root:
// "C:\a\b.txt" -> "C:\a", "C:\b.txt" -> "C:\", "\\srv\share\b" -> "\\srv\share", "b" -> "".
std::string FolderOf(std::string_view path);
// Extension of the last element with its point (".txt"); empty when the last element has no
// point. "a.b\c" -> "", "a.tar.gz" -> ".gz", ".profile" -> ".profile".
std::string ExtensionOf(std::string_view path);
// Replaces (or adds, or with an empty `extension` removes) the extension of the last element.
// `extension` is given with its point: ChangeExtension("a.txt", ".bak") -> "a.bak".
std::string ChangeExtension(std::string_view path, std::string_view extension);
// `name` appended to `folder` with exactly one separator between them. A `name` that is
// absolute (drive root or UNC) is returned as it is; an empty part yields the other one.
std::string JoinPath(std::string_view folder, std::string_view name);

// Drive number of a path: 1-26 when it begins with a letter and ':' (ignoring case), else 0.
int DriveNumber(std::string_view path);
// True for "X:\..." / "X:/..." and for UNC paths.
bool IsAbsolutePath(std::string_view path);
// True when the path begins with two separators ("\\server\share").
bool IsUncPath(std::string_view path);

// True when `name` is acceptable as one element of a path: not empty, no NUL or other control
// character, none of < > : " | ? * and no separator. With `allowWildcards` '*' and '?' pass.
bool IsValidElement(std::string_view name, bool allowWildcards = false);

// A path taken apart. Elements are what stands between separators, with "." dropped and ".."
// removing the element before it (never climbing above the root).
struct PathParts {
    enum class Root {
        None,           // "a\b": relative to the current folder
        Rooted,         // "\a\b": root of the current drive
        Drive,          // "C:\a"
        DriveRelative,  // "C:a": the current folder of drive C
        Unc,            // "\\server\share\a"
    };
    Root root = Root::None;
    char drive = 0;      // 'A'-'Z' for Drive and DriveRelative
    std::string server;  // for Unc
    std::string share;   // for Unc
    std::vector<std::string> elements;
};

// Parses a path. nullopt when it is empty, holds a NUL byte, has an element that
// IsValidElement rejects (wildcards allowed in the last element only when `allowWildcards`),
// or is a UNC path without server or share. The prefix "\\?\" is accepted and dropped.
std::optional<PathParts> ParsePath(std::string_view path, bool allowWildcards = false);
// The parts as text with '\\' separators ("C:\a\b", "\\srv\share\a", "C:\" for a bare root).
std::string FormatPath(const PathParts& parts);
// ParsePath then FormatPath: separators unified, "." and ".." removed, no trailing separator
// except at a drive root. Empty when the path is invalid.
std::string NormalizePath(std::string_view path);

// FindFirstFile-style match of a name against a mask, ignoring the case of single-byte
// letters: '*' any run of characters, '?' exactly one character (a double-byte character is
// one, and '?' always takes one). "*.*" matches every name, with or without a point; "*."
// matches the names without a point.
bool MatchesMask(std::string_view name, std::string_view mask);
// True when the text holds '*' or '?' (character-wise).
bool HasWildcards(std::string_view text);

}  // namespace platform::winpath
