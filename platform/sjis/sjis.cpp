#include "platform/sjis.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace platform::sjis {

bool IsTrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

bool IsCharBoundary(std::string_view s, std::size_t pos) {
    std::size_t i = 0;
    while (i < pos && i < s.size()) i = NextChar(s, i);
    return i == pos;
}

std::size_t FindChar(std::string_view s, char c, std::size_t from) {
    for (std::size_t i = 0; i < s.size(); i = NextChar(s, i)) {
        if (i >= from && CharLength(s, i) == 1 && s[i] == c) return i;
    }
    return npos;
}

std::size_t FindLastChar(std::string_view s, char c) {
    std::size_t found = npos;
    for (std::size_t i = 0; i < s.size(); i = NextChar(s, i)) {
        if (CharLength(s, i) == 1 && s[i] == c) found = i;
    }
    return found;
}

namespace {

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

template <typename Equal>
std::size_t FindTextWith(std::string_view s, std::string_view what, std::size_t from, Equal eq) {
    if (what.empty()) return from <= s.size() ? from : npos;
    for (std::size_t i = 0; i + what.size() <= s.size(); i = NextChar(s, i)) {
        if (i < from) continue;
        bool match = true;
        for (std::size_t k = 0; k < what.size() && match; ++k) match = eq(s[i + k], what[k]);
        if (match) return i;
    }
    return npos;
}

// Case changes must leave trail bytes alone: a trail byte may be an ASCII letter.
std::string MapLetters(std::string_view s, char (*map)(char)) {
    std::string out(s);
    for (std::size_t i = 0; i < out.size(); i = NextChar(out, i)) {
        if (CharLength(out, i) == 1) out[i] = map(out[i]);
    }
    return out;
}

}  // namespace

std::size_t FindText(std::string_view s, std::string_view what, std::size_t from) {
    return FindTextWith(s, what, from, [](char a, char b) { return a == b; });
}

std::size_t FindTextNoCase(std::string_view s, std::string_view what, std::size_t from) {
    // A letter in `what` can only match a single-byte character of `s` when the match starts
    // on a boundary and both texts are walked in step; comparing the case-folded forms of both
    // keeps that, since folding never touches trail bytes.
    std::string fs = ToUpper(s);
    std::string fw = ToUpper(what);
    return FindText(fs, fw, from);
}

std::vector<std::string> SplitSjis(std::string_view s, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i < s.size(); i = NextChar(s, i)) {
        if (CharLength(s, i) == 1 && s[i] == separator) {
            parts.emplace_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.emplace_back(s.substr(start));
    return parts;
}

std::string ToUpper(std::string_view s) { return MapLetters(s, AsciiUpper); }
std::string ToLower(std::string_view s) { return MapLetters(s, AsciiLower); }

int CompareNoCase(std::string_view a, std::string_view b) {
    std::string ua = ToUpper(a), ub = ToUpper(b);
    int c = ua.compare(ub);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix) &&
           IsCharBoundary(s, prefix.size());
}

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
    if (s.size() < suffix.size()) return false;
    std::size_t at = s.size() - suffix.size();
    return IsCharBoundary(s, at) && EqualsNoCase(s.substr(at), suffix);
}

namespace {

// One iconv descriptor per call keeps the functions thread-safe without locks.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv_open ") + from + " -> " + to + " failed");
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts one character of `in` at `pos` of byte length `len`; false when it does not
    // convert.
    bool Convert(std::string_view in, std::size_t pos, std::size_t len, std::string& out) {
        char buffer[16];
        char* src = const_cast<char*>(in.data() + pos);
        std::size_t srcLeft = len;
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) || srcLeft != 0) {
            return false;
        }
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        return true;
    }

private:
    iconv_t cd_;
};

// Byte length of the UTF-8 sequence at pos, or 0 when the bytes there are not valid UTF-8.
std::size_t Utf8SequenceLength(std::string_view s, std::size_t pos) {
    auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char c = b(pos);
    std::size_t len = c < 0x80 ? 1 : (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3
                                   : (c >= 0xF0 && c <= 0xF4)   ? 4 : 0;
    if (len == 0 || pos + len > s.size()) return 0;
    for (std::size_t k = 1; k < len; ++k) {
        if ((b(pos + k) & 0xC0) != 0x80) return 0;
    }
    if (len == 3 && c == 0xE0 && b(pos + 1) < 0xA0) return 0;  // overlong
    if (len == 3 && c == 0xED && b(pos + 1) >= 0xA0) return 0;  // surrogate
    if (len == 4 && c == 0xF0 && b(pos + 1) < 0x90) return 0;  // overlong
    if (len == 4 && c == 0xF4 && b(pos + 1) >= 0x90) return 0;  // beyond U+10FFFF
    return len;
}

}  // namespace

std::string ToUtf8(std::string_view sjis, Unconvertible mode) {
    Converter conv("UTF-8", "CP932");
    std::string out;
    out.reserve(sjis.size() * 3 / 2);
    for (std::size_t i = 0; i < sjis.size();) {
        unsigned char c = static_cast<unsigned char>(sjis[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        std::size_t len = (IsLeadByte(c) && i + 1 < sjis.size() &&
                           IsTrailByte(static_cast<unsigned char>(sjis[i + 1])))
                              ? 2 : 1;
        if (!conv.Convert(sjis, i, len, out)) {
            if (mode == Unconvertible::Keep) {
                out.append(sjis.substr(i, 1));
            } else {
                out.append("\xEF\xBF\xBD");
            }
            len = 1;
        }
        i += len;
    }
    return out;
}

std::string FromUtf8(std::string_view utf8, Unconvertible mode) {
    Converter conv("CP932", "UTF-8");
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        std::size_t len = Utf8SequenceLength(utf8, i);
        if (len == 0) {
            // Not UTF-8: a byte kept by ToUtf8, or damaged input.
            if (mode == Unconvertible::Keep) {
                out.push_back(static_cast<char>(c));
            } else {
                out.push_back('?');
            }
            ++i;
            continue;
        }
        if (!conv.Convert(utf8, i, len, out)) out.push_back('?');
        i += len;
    }
    return out;
}

}  // namespace platform::sjis
