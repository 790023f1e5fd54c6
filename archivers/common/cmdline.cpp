#include "common/cmdline.h"

#include "common/hostpath.h"
#include "platform/hostfile.h"
#include "platform/sjis.h"

#include <filesystem>
#include <system_error>

namespace archivers {

namespace sj = platform::sjis;

namespace {

// Response files may name further response files; this bounds the nesting.
constexpr std::size_t kMaxResponseDepth = 4;

struct Token {
    std::string text;
    bool quoted = false;
};

bool Tokenize(std::string_view line, std::vector<Token>* tokens, std::string* error) {
    Token cur;
    bool inToken = false;
    bool inQuote = false;
    for (std::size_t i = 0; i < line.size(); i = sj::NextChar(line, i)) {
        const std::size_t len = sj::CharLength(line, i);
        const char c = line[i];
        if (len == 1 && c == '"') {
            if (inQuote && i + 1 < line.size() && line[i + 1] == '"') {
                cur.text.push_back('"');
                i += 1;  // the second quote of the pair; NextChar steps past it
                continue;
            }
            inQuote = !inQuote;
            cur.quoted = true;
            inToken = true;
            continue;
        }
        if (!inQuote && len == 1 && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
            if (inToken) tokens->push_back(cur);
            cur = Token{};
            inToken = false;
            continue;
        }
        cur.text.append(line.substr(i, len));
        inToken = true;
    }
    if (inQuote) {
        if (error) *error = "unterminated quote in command line";
        return false;
    }
    if (inToken) tokens->push_back(cur);
    return true;
}

// Response files being read, outermost first, by host path: one of them named again would
// never end.
using OpenResponses = std::vector<std::filesystem::path>;

bool ReadResponseFile(const std::string& name, OpenResponses& open, std::string* text, std::string* error) {
    const std::filesystem::path host = HostPathFromWindows(name);
    std::error_code ec;
    const std::filesystem::path key = std::filesystem::weakly_canonical(host, ec);
    for (const auto& p : open) {
        if (p == key) {
            if (error) *error = "response file names itself: " + name;
            return false;
        }
    }
    if (open.size() >= kMaxResponseDepth) {
        if (error) *error = "response files nested too deep: " + name;
        return false;
    }
    std::string err;
    const auto read = platform::ReadHostFile(host, &err);
    if (!read) {
        if (error) *error = "cannot read response file: " + err;
        return false;
    }
    *text = *read;
    open.push_back(key);
    return true;
}

bool Expand(std::string_view line, CommandLine* out, OpenResponses& open, std::string* error) {
    std::vector<Token> tokens;
    if (!Tokenize(line, &tokens, error)) return false;
    for (Token& t : tokens) {
        if (!t.quoted && t.text.size() > 1 && t.text[0] == '-') {
            out->switches.push_back(t.text.substr(1));
        } else if (!t.text.empty() && t.text[0] == '@' && t.text.size() > 1) {
            // @"path": the quote may start after the '@'; Tokenize already removed it.
            std::string text;
            if (!ReadResponseFile(t.text.substr(1), open, &text, error)) return false;
            if (!Expand(text, out, open, error)) return false;
            open.pop_back();
        } else if (!t.text.empty() || t.quoted) {
            out->args.push_back(t.text);
        }
    }
    return true;
}

}  // namespace

bool CommandLine::Has(std::string_view sw) const {
    for (const auto& s : switches) {
        if (sj::EqualsNoCase(s, sw)) return true;
    }
    return false;
}

std::optional<std::string> CommandLine::Value(std::string_view prefix) const {
    std::optional<std::string> found;
    for (const auto& s : switches) {
        if (sj::StartsWithNoCase(s, prefix)) found = s.substr(prefix.size());
    }
    return found;
}

bool ParseCommandLine(std::string_view line, CommandLine* out, std::string* error) {
    *out = CommandLine{};
    OpenResponses open;
    return Expand(line, out, open, error);
}

bool IsFolderElement(std::string_view element) {
    if (element.empty()) return false;
    const char last = element.back();
    if (last == '/') return true;
    // A '\' that is the trail byte of a double-byte character does not end a folder name.
    return last == '\\' && sj::IsCharBoundary(element, element.size() - 1);
}

}  // namespace archivers
