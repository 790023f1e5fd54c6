// Shift-JIS (code page 932) text: the suite keeps every text as the bytes that stand in its
// files and walks them character by character, a lead byte and its trail byte being one
// character. A trail byte may equal '\\', '|' or ',' - never split such text byte by byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform::sjis {

inline constexpr std::size_t npos = std::string_view::npos;

// The three below run for every character of every path and text: inline.

// True for the first byte of a double-byte character (0x81-0x9F, 0xE0-0xFC).
inline bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
// True for a byte that may follow a lead byte (0x40-0x7E, 0x80-0xFC).
bool IsTrailByte(unsigned char c);

// Byte length of the character at pos (1 or 2).
inline std::size_t CharLength(std::string_view s, std::size_t pos) {
    return pos + 1 < s.size() && IsLeadByte(static_cast<unsigned char>(s[pos])) ? 2 : 1;
}
// Index of the character after the one at pos. A lead byte at the very end (no trail byte)
// counts as one character of its own.
inline std::size_t NextChar(std::string_view s, std::size_t pos) {
    return pos >= s.size() ? s.size() : pos + CharLength(s, pos);
}
// True when pos is the start of a character (not the trail byte of one).
bool IsCharBoundary(std::string_view s, std::size_t pos);

// Character-wise search for a single-byte character; npos when absent.
std::size_t FindChar(std::string_view s, char c, std::size_t from = 0);
std::size_t FindLastChar(std::string_view s, char c);
// Character-wise search for a text; a match must begin on a character boundary.
std::size_t FindText(std::string_view s, std::string_view what, std::size_t from = 0);
// Splits at every separator character; n separators give n+1 parts.
std::vector<std::string> SplitSjis(std::string_view s, char separator);

// Upper or lower case of the single-byte letters a-z / A-Z; double-byte characters unchanged.
std::string ToUpper(std::string_view s);
std::string ToLower(std::string_view s);
// Comparison ignoring the case of single-byte letters.
bool EqualsNoCase(std::string_view a, std::string_view b);
int CompareNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view s, std::string_view prefix);
bool EndsWithNoCase(std::string_view s, std::string_view suffix);
// Character-wise search ignoring the case of single-byte letters.
std::size_t FindTextNoCase(std::string_view s, std::string_view what, std::size_t from = 0);

// What a conversion does with bytes it cannot convert.
enum class Unconvertible {
    Keep,     // copy them unchanged, so converting back gives the original bytes
    Replace,  // U+FFFD towards UTF-8, '?' towards Shift-JIS (for display only)
};

// Shift-JIS -> UTF-8 through iconv "CP932".
std::string ToUtf8(std::string_view sjis, Unconvertible mode = Unconvertible::Keep);
// UTF-8 -> Shift-JIS. Bytes that are not UTF-8 (kept by ToUtf8) come back unchanged;
// characters that CP932 lacks follow the mode.
std::string FromUtf8(std::string_view utf8, Unconvertible mode = Unconvertible::Keep);

// Shorthand for texts written in the source code as UTF-8 literals.
inline std::string S(std::string_view utf8) { return FromUtf8(utf8, Unconvertible::Replace); }

}  // namespace platform::sjis
