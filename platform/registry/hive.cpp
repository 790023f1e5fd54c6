// The key tree and the hive file's text form. README.md beside this file has the full
// description; in short (Shift-JIS, LF line ends):
//
//   ZUZORUVE-REGISTRY-HIVE 1 HKEY_CURRENT_USER      header: format version and root
//   []                                              the root key
//   [Software\Zuzoruve\Option]                      one section per key, %HH escapes
//   @=sz:"default value"                            the unnamed value
//   "Mode"=dword:00000001                           sz expand_sz dword binary multi_sz
//   "Blob"=binary:00,5c,ff                          none hex(N)
//   "List"=multi_sz:"a","","b"
//   END-OF-HIVE                                     a file without it was cut short
//
// Keys are written depth-first, sub-keys sorted by upper-case name; values in the order they
// were first set. Texts are quoted with \" \\ \r \n \t \xHH escapes.
#include "hive.h"

#include "platform/sjis.h"

#include <cstdio>

namespace platform::registry::detail {

namespace sjis = platform::sjis;

namespace {

constexpr std::string_view kMagic = "ZUZORUVE-REGISTRY-HIVE";
constexpr std::string_view kFormatVersion = "1";
constexpr std::string_view kEndLine = "END-OF-HIVE";

// A lead byte is written as it is only with a trail byte after it; anything else that could
// be mistaken for one (a lead byte at the end of a name, before a quote or a line feed) is
// escaped, so that the reader's character walk and the writer's always agree.
bool IsWholeDoubleByte(std::string_view s, std::size_t i) {
    return sjis::IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() &&
           sjis::IsTrailByte(static_cast<unsigned char>(s[i + 1]));
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

void AppendHex2(std::string& out, unsigned char c) {
    static const char kDigits[] = "0123456789abcdef";
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Key names in a section header: %HH for control bytes, '%' and stray lead bytes.
std::string EscapeKeyName(std::string_view name) {
    std::string out;
    for (std::size_t i = 0; i < name.size();) {
        if (IsWholeDoubleByte(name, i)) {
            out.append(name.substr(i, 2));
            i += 2;
            continue;
        }
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (IsControl(c) || c == '%' || sjis::IsLeadByte(c)) {
            out.push_back('%');
            AppendHex2(out, c);
        } else {
            out.push_back(static_cast<char>(c));
        }
        ++i;
    }
    return out;
}

bool UnescapeKeyName(std::string_view text, std::string* out) {
    out->clear();
    for (std::size_t i = 0; i < text.size();) {
        if (IsWholeDoubleByte(text, i)) {
            out->append(text.substr(i, 2));
            i += 2;
        } else if (text[i] == '%') {
            if (i + 2 >= text.size()) return false;
            int hi = HexDigit(text[i + 1]), lo = HexDigit(text[i + 2]);
            if (hi < 0 || lo < 0) return false;
            out->push_back(static_cast<char>(hi * 16 + lo));
            i += 3;
        } else {
            out->push_back(text[i]);
            ++i;
        }
    }
    return true;
}

// Value names and texts: in double quotes, with \" \\ \r \n \t and \xHH.
void AppendQuoted(std::string& out, std::string_view text) {
    out.push_back('"');
    for (std::size_t i = 0; i < text.size();) {
        if (IsWholeDoubleByte(text, i)) {
            out.append(text.substr(i, 2));
            i += 2;
            continue;
        }
        unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (IsControl(c) || sjis::IsLeadByte(c)) {
                out += "\\x";
                AppendHex2(out, c);
            } else {
                out.push_back(static_cast<char>(c));
            }
        }
        ++i;
    }
    out.push_back('"');
}

void AppendHexBytes(std::string& out, std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) out.push_back(',');
        AppendHex2(out, static_cast<unsigned char>(bytes[i]));
    }
}

void AppendValueLine(std::string& out, const NamedValue& nv) {
    if (nv.name.empty()) {
        out.push_back('@');
    } else {
        AppendQuoted(out, nv.name);
    }
    out.push_back('=');
    const Value& v = nv.value;
    switch (v.type) {
    case ValueType::Sz:
        out += "sz:";
        AppendQuoted(out, v.bytes);
        break;
    case ValueType::ExpandSz:
        out += "expand_sz:";
        AppendQuoted(out, v.bytes);
        break;
    case ValueType::Dword: {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%08x", static_cast<unsigned>(v.dword));
        out += "dword:";
        out += buffer;
        break;
    }
    case ValueType::MultiSz:
        out += "multi_sz:";
        for (std::size_t i = 0; i < v.strings.size(); ++i) {
            if (i) out.push_back(',');
            AppendQuoted(out, v.strings[i]);
        }
        break;
    case ValueType::Binary:
        out += "binary:";
        AppendHexBytes(out, v.bytes);
        break;
    case ValueType::None:
        out += "none:";
        AppendHexBytes(out, v.bytes);
        break;
    default: {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(v.type));
        out += buffer;
        AppendHexBytes(out, v.bytes);
        break;
    }
    }
    out.push_back('\n');
}

void AppendKey(std::string& out, const KeyNode& key, const std::string& path) {
    out.push_back('[');
    out += path;
    out += "]\n";
    for (const NamedValue& nv : key.values) AppendValueLine(out, nv);
    for (const auto& [upper, sub] : key.subkeys) {
        std::string subPath = path.empty() ? EscapeKeyName(sub->name) : path + "\\" + EscapeKeyName(sub->name);
        AppendKey(out, *sub, subPath);
    }
}

// ---- reading ----

class LineParser {
public:
    LineParser(std::string_view line) : s_(line) {}

    bool AtEnd() const { return i_ >= s_.size(); }
    bool Take(char c) {
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    bool TakeWord(std::string_view word) {
        if (s_.substr(i_, word.size()) == word) {
            i_ += word.size();
            return true;
        }
        return false;
    }
    void SkipBlanks() {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t')) ++i_;
    }

    bool Quoted(std::string* out) {
        out->clear();
        if (!Take('"')) return false;
        while (i_ < s_.size()) {
            if (IsWholeDoubleByte(s_, i_)) {
                out->append(s_.substr(i_, 2));
                i_ += 2;
                continue;
            }
            char c = s_[i_++];
            if (c == '"') return true;
            if (c != '\\') {
                out->push_back(c);
                continue;
            }
            if (i_ >= s_.size()) return false;
            char e = s_[i_++];
            switch (e) {
            case '"': out->push_back('"'); break;
            case '\\': out->push_back('\\'); break;
            case 'r': out->push_back('\r'); break;
            case 'n': out->push_back('\n'); break;
            case 't': out->push_back('\t'); break;
            case 'x': {
                if (i_ + 2 > s_.size()) return false;
                int hi = HexDigit(s_[i_]), lo = HexDigit(s_[i_ + 1]);
                if (hi < 0 || lo < 0) return false;
                out->push_back(static_cast<char>(hi * 16 + lo));
                i_ += 2;
                break;
            }
            default: return false;
            }
        }
        return false;  // no closing quote
    }

    bool HexBytes(std::string* out) {
        out->clear();
        SkipBlanks();
        if (AtEnd()) return true;
        for (;;) {
            SkipBlanks();
            if (i_ + 2 > s_.size()) return false;
            int hi = HexDigit(s_[i_]), lo = HexDigit(s_[i_ + 1]);
            if (hi < 0 || lo < 0) return false;
            out->push_back(static_cast<char>(hi * 16 + lo));
            i_ += 2;
            SkipBlanks();
            if (AtEnd()) return true;
            if (!Take(',')) return false;
        }
    }

    bool HexNumber(std::uint32_t* out, std::size_t maxDigits) {
        std::uint32_t n = 0;
        std::size_t digits = 0;
        while (i_ < s_.size() && HexDigit(s_[i_]) >= 0 && digits < maxDigits) {
            n = n * 16 + static_cast<std::uint32_t>(HexDigit(s_[i_]));
            ++i_;
            ++digits;
        }
        *out = n;
        return digits > 0;
    }

private:
    std::string_view s_;
    std::size_t i_ = 0;
};

bool ParseValueLine(std::string_view line, NamedValue* nv) {
    LineParser p(line);
    nv->name.clear();
    if (!p.Take('@') && !p.Quoted(&nv->name)) return false;
    p.SkipBlanks();
    if (!p.Take('=')) return false;
    p.SkipBlanks();
    Value& v = nv->value;
    v = Value{};
    if (p.TakeWord("sz:")) {
        v.type = ValueType::Sz;
        if (!p.Quoted(&v.bytes)) return false;
    } else if (p.TakeWord("expand_sz:")) {
        v.type = ValueType::ExpandSz;
        if (!p.Quoted(&v.bytes)) return false;
    } else if (p.TakeWord("dword:")) {
        v.type = ValueType::Dword;
        if (!p.HexNumber(&v.dword, 8)) return false;
    } else if (p.TakeWord("multi_sz:")) {
        v.type = ValueType::MultiSz;
        p.SkipBlanks();
        if (!p.AtEnd()) {
            for (;;) {
                std::string s;
                p.SkipBlanks();
                if (!p.Quoted(&s)) return false;
                v.strings.push_back(std::move(s));
                p.SkipBlanks();
                if (p.AtEnd()) break;
                if (!p.Take(',')) return false;
            }
        }
    } else if (p.TakeWord("binary:")) {
        v.type = ValueType::Binary;
        if (!p.HexBytes(&v.bytes)) return false;
    } else if (p.TakeWord("none:")) {
        v.type = ValueType::None;
        if (!p.HexBytes(&v.bytes)) return false;
    } else if (p.TakeWord("hex(")) {
        std::uint32_t type = 0;
        if (!p.HexNumber(&type, 8) || !p.TakeWord("):")) return false;
        v.type = static_cast<ValueType>(type);
        if (!p.HexBytes(&v.bytes)) return false;
    } else {
        return false;
    }
    p.SkipBlanks();
    return p.AtEnd();
}

}  // namespace

KeyNode* KeyNode::FindSubKey(std::string_view name) const {
    auto it = subkeys.find(sjis::ToUpper(name));
    return it == subkeys.end() ? nullptr : it->second.get();
}

KeyNode& KeyNode::AddSubKey(std::string_view name) {
    auto& slot = subkeys[sjis::ToUpper(name)];
    if (!slot) {
        slot = std::make_unique<KeyNode>();
        slot->name = std::string(name);
    }
    return *slot;
}

NamedValue* KeyNode::FindValue(std::string_view name) {
    for (NamedValue& nv : values) {
        if (sjis::EqualsNoCase(nv.name, name)) return &nv;
    }
    return nullptr;
}

const NamedValue* KeyNode::FindValue(std::string_view name) const {
    return const_cast<KeyNode*>(this)->FindValue(name);
}

bool SplitKeyPath(std::string_view path, std::vector<std::string>* names) {
    names->clear();
    if (path.empty()) return true;
    *names = sjis::SplitSjis(path, '\\');
    if (names->size() > 1 && names->back().empty()) names->pop_back();  // one trailing '\'
    if (names->size() > kMaxKeyDepth) return false;
    for (const std::string& name : *names) {
        if (name.empty() || name.size() > kMaxKeyNameBytes) return false;
    }
    return true;
}

std::string FormatHive(const KeyNode& tree, Root root) {
    std::string out;
    out += kMagic;
    out += ' ';
    out += kFormatVersion;
    out += ' ';
    out += RootName(root);
    out += '\n';
    AppendKey(out, tree, "");
    out += kEndLine;
    out += '\n';
    return out;
}

bool ParseHive(std::string_view text, Root root, KeyNode* tree, std::string* error) {
    auto fail = [&](std::size_t lineNo, const std::string& what) {
        if (error) *error = "line " + std::to_string(lineNo) + ": " + what;
        return false;
    };
    std::size_t pos = 0;
    std::size_t lineNo = 0;
    bool ended = false;
    KeyNode* current = nullptr;
    while (pos < text.size()) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos) {
            return fail(lineNo + 1, "the last line has no line end (file cut short)");
        }
        std::string_view line = text.substr(pos, eol - pos);
        pos = eol + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        if (lineNo == 1) {
            std::string expected = std::string(kMagic) + " " + std::string(kFormatVersion) + " " + RootName(root);
            if (line != expected) {
                if (line.substr(0, kMagic.size()) == kMagic) {
                    return fail(lineNo, "header \"" + std::string(line) + "\" where \"" + expected + "\" belongs");
                }
                return fail(lineNo, "not a hive file (no \"" + std::string(kMagic) + "\" header)");
            }
            continue;
        }
        if (ended) {
            if (!line.empty()) return fail(lineNo, "text after the end line");
            continue;
        }
        if (line.empty() || line[0] == ';') continue;
        if (line == kEndLine) {
            ended = true;
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']') return fail(lineNo, "section header without closing ']'");
            std::string_view path = line.substr(1, line.size() - 2);
            current = tree;
            if (!path.empty()) {
                std::vector<std::string> parts = sjis::SplitSjis(path, '\\');
                if (parts.size() > kMaxKeyDepth) return fail(lineNo, "key path too deep");
                for (const std::string& escaped : parts) {
                    std::string name;
                    // An escaped '\' would make a key that no path can reach.
                    if (!UnescapeKeyName(escaped, &name) || name.empty() || name.size() > kMaxKeyNameBytes ||
                        sjis::FindChar(name, '\\') != sjis::npos) {
                        return fail(lineNo, "bad key name \"" + escaped + "\"");
                    }
                    current = &current->AddSubKey(name);
                }
            }
            continue;
        }
        if (!current) return fail(lineNo, "value before the first key");
        NamedValue nv;
        if (!ParseValueLine(line, &nv)) return fail(lineNo, "unreadable value line");
        if (NamedValue* old = current->FindValue(nv.name)) {
            old->value = std::move(nv.value);  // a repeated name: the later line holds
        } else {
            current->values.push_back(std::move(nv));
        }
    }
    if (lineNo == 0) return fail(1, "empty file");
    if (!ended) return fail(lineNo, "no \"" + std::string(kEndLine) + "\" line (file cut short)");
    return true;
}

}  // namespace platform::registry::detail
