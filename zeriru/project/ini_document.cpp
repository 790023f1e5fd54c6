#include "zeriru/ini_document.h"

#include "platform/hostfile.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace zeriru {

namespace {

constexpr std::size_t npos = std::string::npos;

inline bool IsLead(char c) { return platform::sjis::IsLeadByte(static_cast<unsigned char>(c)); }

// Index of the first single-byte "=" of a line, walking characters.
std::size_t FindEquals(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '=') return i;
        if (IsLead(c) && i + 1 < line.size()) ++i;
    }
    return npos;
}

// True when the last character of the line is a single-byte "]".
bool EndsWithBracket(std::string_view line) {
    if (line.empty() || line.back() != ']') return false;
    std::size_t i = 0;
    std::size_t last = 0;
    while (i < line.size()) {
        last = i;
        i += (IsLead(line[i]) && i + 1 < line.size()) ? 2 : 1;
    }
    return last == line.size() - 1;
}

// Reads a whole host file. Returns 1 on success, 0 when the file does not exist, -1 when it
// exists but cannot be read.
int ReadWholeFile(const std::filesystem::path& path, std::string& out, std::string& error) {
    // Without blocking: a pipe in a project's place must be refused below, not waited on.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return 0;
        error = "open " + path.string() + ": " + std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "open " + path.string() + ": " + (S_ISDIR(st.st_mode) ? "is a folder" : "not a regular file");
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    out.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    for (;;) {
        if (done == out.size()) out.resize(out.size() + 65536);  // the file may have grown
        ssize_t n = ::read(fd, out.data() + done, out.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = "read " + path.string() + ": " + std::strerror(errno);
            ::close(fd);
            return -1;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    out.resize(done);
    ::close(fd);
    return 1;
}

// Parses a whole text as a 32-bit integer: optional sign and decimal digits, or "0x"/"0X"
// and up to eight hexadecimal digits (read as the 32-bit pattern, so 0xFFFFFFFF is -1).
bool ParseInteger(std::string_view text, int& value) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        std::string_view digits = text.substr(2);
        if (digits.size() > 8) return false;
        std::uint32_t v = 0;
        auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v, 16);
        if (r.ec != std::errc() || r.ptr != digits.data() + digits.size()) return false;
        value = static_cast<int>(v);
        return true;
    }
    std::string_view digits = text;
    const bool plus = !digits.empty() && digits[0] == '+';
    if (plus) digits.remove_prefix(1);
    if (digits.empty() || (plus && digits[0] == '-')) return false;
    int v = 0;
    auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v, 10);
    if (r.ec != std::errc() || r.ptr != digits.data() + digits.size()) return false;
    value = v;
    return true;
}

}  // namespace

std::string FoldName(std::string_view name) {
    std::string out(name);
    for (std::size_t i = 0; i < out.size(); ++i) {
        char c = out[i];
        if (c >= 'a' && c <= 'z') {
            out[i] = static_cast<char>(c - 'a' + 'A');
        } else if (IsLead(c) && i + 1 < out.size()) {
            ++i;  // a trail byte may look like a letter: leave it
        }
    }
    return out;
}

// ---- Entry / Section ----

std::string_view TIniDocument::Entry::Name() const {
    std::string_view l(line);
    return eq == npos ? l : l.substr(0, eq);
}

std::string_view TIniDocument::Entry::Value() const {
    return eq == npos ? std::string_view{} : std::string_view(line).substr(eq + 1);
}

std::uint64_t HashName(std::string_view name) {
    // FNV-1a over the folded bytes.
    std::uint64_t h = 1469598103934665603ull;
    for (std::size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        } else if (IsLead(c) && i + 1 < name.size()) {
            h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
            c = name[++i];  // the trail byte is taken as it is
        }
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return h;
}

bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (IsLead(x) && i + 1 < a.size()) {
            if (x != y || a[i + 1] != b[i + 1]) return false;
            ++i;
            continue;
        }
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

void TIniDocument::Section::IndexEntry(std::uint32_t index) const {
    const std::size_t mask = slots.size() - 1;
    std::string_view name = entries[index].Name();
    for (std::size_t at = HashName(name) & mask;; at = (at + 1) & mask) {
        std::uint32_t slot = slots[at];
        if (slot == 0) {
            slots[at] = index + 1;
            return;
        }
        if (NamesEqual(entries[slot - 1].Name(), name)) return;  // the first entry of a name wins
    }
}

void TIniDocument::Section::BuildIndex() const {
    std::size_t size = 16;
    while (size < entries.size() * 2 + 2) size *= 2;
    slots.assign(size, 0);
    for (std::size_t i = 0; i < entries.size(); ++i) IndexEntry(static_cast<std::uint32_t>(i));
    indexed = true;
}

const TIniDocument::Entry* TIniDocument::Section::Find(std::string_view name) const {
    if (!indexed) BuildIndex();
    const std::size_t mask = slots.size() - 1;
    for (std::size_t at = HashName(name) & mask;; at = (at + 1) & mask) {
        std::uint32_t slot = slots[at];
        if (slot == 0) return nullptr;
        if (NamesEqual(entries[slot - 1].Name(), name)) return &entries[slot - 1];
    }
}

TIniDocument::Entry* TIniDocument::Section::Find(std::string_view name) {
    return const_cast<Entry*>(static_cast<const Section*>(this)->Find(name));
}

void TIniDocument::Section::Append(Entry entry) {
    entries.push_back(std::move(entry));
    if (!indexed) return;
    if (entries.size() * 2 + 2 > slots.size()) {
        BuildIndex();  // grow: rehash everything (amortised constant per append)
    } else {
        IndexEntry(static_cast<std::uint32_t>(entries.size() - 1));
    }
}

// ---- document ----

TIniDocument::TIniDocument(std::filesystem::path path) : path_(std::move(path)) {
    std::string text;
    int r = ReadWholeFile(path_, text, error_);
    if (r < 0) {
        loadFailed_ = true;
        return;
    }
    LoadFromText(text);
}

TIniDocument TIniDocument::OpenWindowsPath(std::string_view windowsPath) {
    std::optional<std::filesystem::path> host = platform::winpath::ToHostPath(windowsPath);
    if (!host) {
        TIniDocument doc;
        doc.windowsPath_ = std::string(windowsPath);
        doc.loadFailed_ = true;
        doc.error_ = "no such drive or invalid path";
        return doc;
    }
    TIniDocument doc(*host);
    doc.windowsPath_ = std::string(windowsPath);
    return doc;
}

TIniDocument::TIniDocument(const TIniDocument& other)
    : path_(other.path_), windowsPath_(other.windowsPath_), loadFailed_(other.loadFailed_), error_(other.error_) {
    sections_.reserve(other.sections_.size());
    for (const auto& s : other.sections_) sections_.push_back(std::make_unique<Section>(*s));
    sectionIndex_ = other.sectionIndex_;
}

TIniDocument& TIniDocument::operator=(const TIniDocument& other) {
    if (this != &other) {
        TIniDocument copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void TIniDocument::Clear() {
    sections_.clear();
    sectionIndex_.clear();
}

void TIniDocument::LoadFromText(std::string_view text) {
    Clear();
    Section* current = nullptr;
    std::size_t pos = 0;
    const std::size_t size = text.size();
    while (pos < size) {
        // CR and LF are never trail bytes, so a line end can be found byte by byte.
        std::size_t end = pos;
        while (end < size && text[end] != '\n' && text[end] != '\r') ++end;
        std::string_view line = text.substr(pos, end - pos);
        if (end < size && text[end] == '\r' && end + 1 < size && text[end + 1] == '\n') {
            pos = end + 2;
        } else {
            pos = end + 1;
        }
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[' && line.size() >= 2 && EndsWithBracket(line)) {
            // A repeated header continues the section of that name, so no entry becomes
            // unreachable behind a second section of the same name.
            std::string_view name = line.substr(1, line.size() - 2);
            current = FindSection(name);
            if (!current) current = &AddSection(name);
            continue;
        }
        if (!current) continue;
        current->Append(Entry{std::string(line), FindEquals(line)});
    }
}

std::string TIniDocument::SaveToText() const {
    std::size_t total = 0;
    for (const auto& s : sections_) {
        total += s->name.size() + 6;
        for (const auto& e : s->entries) total += e.line.size() + 2;
    }
    std::string out;
    out.reserve(total);
    for (const auto& s : sections_) {
        out += '[';
        out += s->name;
        out += "]\r\n";
        for (const auto& e : s->entries) {
            out += e.line;
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

bool TIniDocument::WriteTo(const std::filesystem::path& path) {
    if (path.empty()) {
        error_ = "no file name";
        return false;
    }
    std::string error;
    // Through the Windows file layer when the host path has a Windows name that leads back to
    // it: that keeps the file's attributes and refuses a read-only file. Otherwise (a host
    // path outside every drive) a plain crash-safe replacement.
    std::string windows = (!windowsPath_.empty() && path == path_) ? windowsPath_
                                                                    : platform::winpath::ToWindowsPath(path);
    if (!windows.empty() && windows != windowsPath_) {
        std::optional<std::filesystem::path> back = platform::winpath::ToHostPath(windows);
        if (!back || *back != std::filesystem::absolute(path).lexically_normal()) windows.clear();
    }
    bool ok = windows.empty() ? platform::WriteHostFileAtomic(path, SaveToText(), &error)
                              : platform::winpath::WriteWholeFile(windows, SaveToText(), &error);
    if (!ok) {
        error_ = error.empty() ? "cannot write " + path.string() : error;
        return false;
    }
    error_.clear();
    return true;
}

bool TIniDocument::UpdateFile() {
    if (loadFailed_) {
        // The file exists but was not read: writing this (empty) document would destroy it.
        if (error_.empty()) error_ = "the file was not read";
        return false;
    }
    return WriteTo(path_);
}

bool TIniDocument::SaveAs(const std::filesystem::path& path) { return WriteTo(path); }

const TIniDocument::Section* TIniDocument::FindSection(std::string_view name) const {
    auto it = sectionIndex_.find(FoldName(name));
    return it == sectionIndex_.end() ? nullptr : sections_[it->second].get();
}

TIniDocument::Section* TIniDocument::FindSection(std::string_view name) {
    return const_cast<Section*>(static_cast<const TIniDocument*>(this)->FindSection(name));
}

TIniDocument::Section& TIniDocument::AddSection(std::string_view name) {
    sections_.push_back(std::make_unique<Section>());
    sections_.back()->name = std::string(name);
    sectionIndex_.emplace(FoldName(name), static_cast<std::uint32_t>(sections_.size() - 1));
    return *sections_.back();
}

void TIniDocument::RebuildSectionIndex() {
    sectionIndex_.clear();
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        sectionIndex_.emplace(FoldName(sections_[i]->name), static_cast<std::uint32_t>(i));
    }
}

std::string TIniDocument::ReadString(std::string_view section, std::string_view name,
                                     std::string_view def) const {
    const Section* s = FindSection(section);
    const Entry* e = s ? s->Find(name) : nullptr;
    return std::string(e ? e->Value() : def);
}

int TIniDocument::ReadInteger(std::string_view section, std::string_view name, int def) const {
    const Section* s = FindSection(section);
    const Entry* e = s ? s->Find(name) : nullptr;
    int value = def;
    if (e && ParseInteger(e->Value(), value)) return value;
    return def;
}

bool TIniDocument::ReadBool(std::string_view section, std::string_view name, bool def) const {
    return ReadInteger(section, name, def ? 1 : 0) != 0;
}

void TIniDocument::WriteString(std::string_view section, std::string_view name, std::string_view value) {
    Section* s = FindSection(section);
    if (!s) s = &AddSection(section);
    Entry* e = s->Find(name);
    if (e) {
        // Keep the stored spelling of the name; only the value changes.
        std::size_t nameLength = e->Name().size();
        e->line.resize(nameLength);
        e->line += '=';
        e->line += value;
        e->eq = nameLength;
        return;
    }
    std::string line;
    line.reserve(name.size() + 1 + value.size());
    line += name;
    line += '=';
    line += value;
    s->Append(Entry{std::move(line), name.size()});
}

void TIniDocument::WriteInteger(std::string_view section, std::string_view name, int value) {
    WriteString(section, name, std::to_string(value));
}

void TIniDocument::WriteBool(std::string_view section, std::string_view name, bool value) {
    WriteString(section, name, value ? "1" : "0");
}

bool TIniDocument::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

bool TIniDocument::ValueExists(std::string_view section, std::string_view name) const {
    const Section* s = FindSection(section);
    return s && s->Find(name) != nullptr;
}

std::vector<std::string> TIniDocument::ReadSections() const {
    std::vector<std::string> names;
    names.reserve(sections_.size());
    for (const auto& s : sections_) names.push_back(s->name);
    return names;
}

std::vector<std::string> TIniDocument::ReadSection(std::string_view section) const {
    std::vector<std::string> names;
    if (const Section* s = FindSection(section)) {
        names.reserve(s->entries.size());
        for (const auto& e : s->entries) names.emplace_back(e.Name());
    }
    return names;
}

std::vector<std::pair<std::string, std::string>> TIniDocument::ReadSectionValues(std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> values;
    if (const Section* s = FindSection(section)) {
        values.reserve(s->entries.size());
        for (const auto& e : s->entries) values.emplace_back(std::string(e.Name()), std::string(e.Value()));
    }
    return values;
}

std::size_t TIniDocument::EntryCount(std::string_view section) const {
    const Section* s = FindSection(section);
    return s ? s->entries.size() : 0;
}

void TIniDocument::EraseSection(std::string_view section) {
    auto it = sectionIndex_.find(FoldName(section));
    if (it == sectionIndex_.end()) return;
    sections_.erase(sections_.begin() + it->second);
    RebuildSectionIndex();
}

void TIniDocument::DeleteKey(std::string_view section, std::string_view name) {
    Section* s = FindSection(section);
    if (!s) return;
    Entry* e = s->Find(name);
    if (!e) return;
    s->entries.erase(s->entries.begin() + (e - s->entries.data()));
    s->indexed = false;  // indices behind the deleted entry moved
    s->slots.clear();
}

}  // namespace zeriru
