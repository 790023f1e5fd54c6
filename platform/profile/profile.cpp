#include "platform/profile.h"

#include "platform/hostfile.h"
#include "platform/sjis.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace platform::profile {

namespace sjis = platform::sjis;

namespace {

constexpr std::string_view kLineEnd = "\r\n";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Blanks around a text; the end is found character-wise so that a trail byte is never taken
// for a blank (none is today, but the scan stays honest).
std::string_view Trim(std::string_view s) {
    std::size_t begin = 0;
    while (begin < s.size() && IsBlank(s[begin])) ++begin;
    s.remove_prefix(begin);
    std::size_t end = 0;
    for (std::size_t i = 0; i < s.size(); i = sjis::NextChar(s, i)) {
        if (!(sjis::CharLength(s, i) == 1 && IsBlank(s[i]))) end = sjis::NextChar(s, i);
    }
    return s.substr(0, end);
}

std::string_view TrimEnd(std::string_view s) {
    std::size_t lead = 0;
    while (lead < s.size() && IsBlank(s[lead])) ++lead;
    std::string_view rest = Trim(s);
    return s.substr(0, lead + rest.size());
}

std::string_view StripQuotes(std::string_view v) {
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0] &&
        sjis::IsCharBoundary(v, v.size() - 1)) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

enum class LineKind { Section, Entry, Other };

struct Line {
    std::size_t begin = 0;       // first byte
    std::size_t contentEnd = 0;  // end of the text, before CR LF / LF
    std::size_t end = 0;         // after the line end
    LineKind kind = LineKind::Other;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // entry value, trimmed, quotes kept
    bool HasLineEnd() const { return end > contentEnd; }
};

std::vector<Line> ParseLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        Line line;
        line.begin = pos;
        std::size_t lf = text.find('\n', pos);  // 0x0A is never a trail byte
        line.end = lf == std::string_view::npos ? text.size() : lf + 1;
        line.contentEnd = lf == std::string_view::npos ? text.size() : lf;
        if (line.contentEnd > line.begin && text[line.contentEnd - 1] == '\r') --line.contentEnd;
        std::string_view content = Trim(text.substr(line.begin, line.contentEnd - line.begin));
        if (!content.empty() && content[0] == '[') {
            std::size_t close = sjis::FindChar(content, ']', 1);
            line.kind = LineKind::Section;
            line.name = Trim(content.substr(1, close == sjis::npos ? sjis::npos : close - 1));
        } else if (!content.empty() && content[0] != ';') {
            std::size_t eq = sjis::FindChar(content, '=');
            if (eq != sjis::npos) {
                line.kind = LineKind::Entry;
                line.name = Trim(content.substr(0, eq));
                line.value = Trim(content.substr(eq + 1));
            }
        }
        lines.push_back(line);
        pos = line.end;
    }
    return lines;
}

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::size_t FindSection(const std::vector<Line>& lines, std::string_view section, std::size_t from = 0) {
    for (std::size_t i = from; i < lines.size(); ++i) {
        if (lines[i].kind == LineKind::Section && sjis::EqualsNoCase(lines[i].name, section)) return i;
    }
    return kNone;
}

// Index of the line after the section that starts at `header`.
std::size_t SectionEnd(const std::vector<Line>& lines, std::size_t header) {
    std::size_t i = header + 1;
    while (i < lines.size() && lines[i].kind != LineKind::Section) ++i;
    return i;
}

std::size_t FindEntry(const std::vector<Line>& lines, std::size_t header, std::string_view key) {
    for (std::size_t i = header + 1, end = SectionEnd(lines, header); i < end; ++i) {
        if (lines[i].kind == LineKind::Entry && sjis::EqualsNoCase(lines[i].name, key)) return i;
    }
    return kNone;
}

std::vector<std::string> UniqueNames(const std::vector<Line>& lines, std::size_t from, std::size_t to, LineKind kind) {
    std::vector<std::string> names;
    for (std::size_t i = from; i < to; ++i) {
        if (lines[i].kind != kind) continue;
        bool seen = false;
        for (const std::string& n : names) seen = seen || sjis::EqualsNoCase(n, lines[i].name);
        if (!seen) names.emplace_back(lines[i].name);
    }
    return names;
}

std::string ReadText(const std::filesystem::path& file) { return platform::ReadHostFile(file).value_or(""); }

std::uint32_t CopyText(std::string_view s, char* buffer, std::uint32_t size) {
    if (!buffer || size == 0) return 0;
    std::size_t n = std::min<std::size_t>(s.size(), size - 1);
    while (n > 0 && !sjis::IsCharBoundary(s, n)) --n;
    std::memcpy(buffer, s.data(), n);
    buffer[n] = '\0';
    return static_cast<std::uint32_t>(n);
}

std::uint32_t CopyList(const std::vector<std::string>& names, char* buffer, std::uint32_t size) {
    if (!buffer || size == 0) return 0;
    std::string list;
    for (const std::string& n : names) {
        list += n;
        list.push_back('\0');
    }
    if (list.size() + 1 <= size) {
        std::memcpy(buffer, list.data(), list.size());
        buffer[list.size()] = '\0';
        return static_cast<std::uint32_t>(list.size());
    }
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    std::size_t n = size - 2;
    while (n > 0 && !sjis::IsCharBoundary(list, n)) --n;
    std::memcpy(buffer, list.data(), n);
    buffer[n] = '\0';
    buffer[n + 1] = '\0';
    return static_cast<std::uint32_t>(n);
}

bool Refuse(std::string* error, const std::string& why) {
    if (error) *error = why;
    return false;
}

bool HasLineBreak(std::string_view s) { return s.find('\n') != s.npos || s.find('\r') != s.npos; }

// Holds an exclusive flock on the file that `path` names when the lock is granted: a writer
// that replaced the file meanwhile leaves the lock on the old inode, so it is taken again.
class PathLock {
public:
    explicit PathLock(const std::filesystem::path& path) {
        for (int attempt = 0; attempt < 1000; ++attempt) {
            fd_ = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
            if (fd_ < 0) {
                error_ = "open " + path.string() + ": " + std::strerror(errno);
                return;
            }
            int rc;
            while ((rc = ::flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
            }
            if (rc != 0) {
                error_ = "flock " + path.string() + ": " + std::strerror(errno);
                Close();
                return;
            }
            struct stat held {}, named {};
            if (::fstat(fd_, &held) == 0 && ::stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
                held.st_ino == named.st_ino) {
                return;
            }
            Close();
        }
        error_ = "lock " + path.string() + ": the file keeps being replaced";
    }
    ~PathLock() { Close(); }
    PathLock(const PathLock&) = delete;
    PathLock& operator=(const PathLock&) = delete;

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& error() const { return error_; }

private:
    void Close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int fd_ = -1;
    std::string error_;
};

bool ReadAll(int fd, std::string* out) {
    out->clear();
    char chunk[8192];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        out->append(chunk, static_cast<std::size_t>(n));
    }
}

}  // namespace

// ---- the text ----

std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section, std::string_view key) {
    std::vector<Line> lines = ParseLines(text);
    std::size_t header = FindSection(lines, Trim(section));
    if (header == kNone) return std::nullopt;
    std::size_t entry = FindEntry(lines, header, Trim(key));
    if (entry == kNone) return std::nullopt;
    return std::string(StripQuotes(lines[entry].value));
}

std::string ApplyProfileWrite(std::string_view text, std::string_view section,
                              std::optional<std::string_view> key, std::optional<std::string_view> value) {
    std::vector<Line> lines = ParseLines(text);
    std::string out;

    if (!key) {  // delete every section of that name, header to the next section
        std::size_t copied = 0;
        for (std::size_t h = FindSection(lines, section); h != kNone; h = FindSection(lines, section, h + 1)) {
            std::size_t end = SectionEnd(lines, h);
            out.append(text.substr(copied, lines[h].begin - copied));
            copied = end < lines.size() ? lines[end].begin : text.size();
        }
        out.append(text.substr(copied));
        return out;
    }

    std::size_t header = FindSection(lines, section);
    if (!value) {  // delete every line of that key in the section
        if (header == kNone) return std::string(text);
        std::size_t copied = 0;
        for (std::size_t i = header + 1, end = SectionEnd(lines, header); i < end; ++i) {
            if (lines[i].kind == LineKind::Entry && sjis::EqualsNoCase(lines[i].name, *key)) {
                out.append(text.substr(copied, lines[i].begin - copied));
                copied = lines[i].end;
            }
        }
        out.append(text.substr(copied));
        return out;
    }

    if (header == kNone) {  // a new section at the end
        out = text;
        if (!out.empty() && out.back() != '\n') out += kLineEnd;
        out += "[";
        out += section;
        out += "]";
        out += kLineEnd;
        out += *key;
        out += "=";
        out += *value;
        out += kLineEnd;
        return out;
    }

    if (std::size_t entry = FindEntry(lines, header, *key); entry != kNone) {
        const Line& line = lines[entry];
        std::string replaced = std::string(line.name) + "=" + std::string(*value);
        if (text.substr(line.begin, line.contentEnd - line.begin) == replaced) return std::string(text);
        out.append(text.substr(0, line.begin));
        out += replaced;
        if (line.HasLineEnd()) out += kLineEnd;
        out.append(text.substr(line.end));
        return out;
    }

    // A new key after the last key of the section, or right after its header.
    std::size_t after = header;
    for (std::size_t i = header + 1, end = SectionEnd(lines, header); i < end; ++i) {
        if (lines[i].kind == LineKind::Entry) after = i;
    }
    const Line& line = lines[after];
    out.append(text.substr(0, line.end));
    if (!line.HasLineEnd()) out += kLineEnd;
    out += *key;
    out += "=";
    out += *value;
    out += kLineEnd;
    out.append(text.substr(line.end));
    return out;
}

// ---- files ----

std::optional<std::string> ReadProfileValue(std::string_view section, std::string_view key,
                                            const std::filesystem::path& file) {
    return FindProfileValue(ReadText(file), section, key);
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view fallback,
                                    const std::filesystem::path& file) {
    if (auto v = ReadProfileValue(section, key, file)) return *v;
    return std::string(TrimEnd(fallback));
}

std::vector<std::string> GetPrivateProfileSectionNames(const std::filesystem::path& file) {
    std::string text = ReadText(file);
    std::vector<Line> lines = ParseLines(text);
    return UniqueNames(lines, 0, lines.size(), LineKind::Section);
}

std::vector<std::string> GetPrivateProfileKeyNames(std::string_view section, const std::filesystem::path& file) {
    std::string text = ReadText(file);
    std::vector<Line> lines = ParseLines(text);
    std::size_t header = FindSection(lines, Trim(section));
    if (header == kNone) return {};
    return UniqueNames(lines, header + 1, SectionEnd(lines, header), LineKind::Entry);
}

std::uint32_t GetPrivateProfileString(const char* section, const char* key, const char* fallback,
                                      char* buffer, std::uint32_t size, const std::filesystem::path& file) {
    if (!buffer || size == 0) return 0;
    if (!section) return CopyList(GetPrivateProfileSectionNames(file), buffer, size);
    if (!key) return CopyList(GetPrivateProfileKeyNames(section, file), buffer, size);
    return CopyText(GetPrivateProfileString(section, key, fallback ? fallback : "", file), buffer, size);
}

std::uint32_t GetPrivateProfileSectionNames(char* buffer, std::uint32_t size, const std::filesystem::path& file) {
    return GetPrivateProfileString(nullptr, nullptr, nullptr, buffer, size, file);
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int fallback,
                         const std::filesystem::path& file) {
    std::optional<std::string> v = ReadProfileValue(section, key, file);
    if (!v || v->empty()) return fallback;
    std::string_view s = Trim(*v);
    bool negative = false;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    long long n = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        n = n * 10 + (s[i] - '0');
        if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;  // clamp, no overflow
    }
    if (negative) n = -n;
    if (n > INT_MAX) n = INT_MAX;
    return static_cast<int>(n);
}

PrivateProfileBatch::PrivateProfileBatch(std::filesystem::path file) : file_(std::move(file)) {}

bool PrivateProfileBatch::Write(const char* section, const char* key, const char* value, std::string* error) {
    if (!section) {
        if (!key && !value) return true;  // "flush": there is no cache
        return Refuse(error, "no section name");
    }
    Change change;
    change.section = std::string(Trim(section));
    if (sjis::FindChar(change.section, ']') != sjis::npos || HasLineBreak(change.section)) {
        return Refuse(error, "section name with ']' or a line break");
    }
    if (key) {
        std::string_view k = Trim(key);
        if (k.empty() || sjis::FindChar(k, '=') != sjis::npos || HasLineBreak(k) || k[0] == ';' || k[0] == '[') {
            return Refuse(error, "key name that cannot stand in an INI file");
        }
        change.key = std::string(k);
        if (value) {
            if (HasLineBreak(value)) return Refuse(error, "value with a line break");
            change.value = std::string(value);
        }
    }
    changes_.push_back(std::move(change));
    return true;
}

bool PrivateProfileBatch::Commit(std::string* error) {
    std::vector<Change> changes = std::move(changes_);
    changes_.clear();
    if (changes.empty()) return true;
    bool onlyDeletes = true;
    for (const Change& c : changes) onlyDeletes = onlyDeletes && !c.value;

    struct stat st {};
    bool existed = ::stat(file_.c_str(), &st) == 0;
    if (!existed && errno != ENOENT) return Refuse(error, "stat " + file_.string() + ": " + std::strerror(errno));
    if (!existed && onlyDeletes) return true;  // nothing to delete
    if (existed && ::access(file_.c_str(), W_OK) != 0) {
        return Refuse(error, "write " + file_.string() + ": " + std::strerror(errno));
    }

    PathLock lock(file_);
    if (!lock.ok()) return Refuse(error, lock.error());
    std::string old;
    if (!ReadAll(lock.fd(), &old)) return Refuse(error, "read " + file_.string() + ": " + std::strerror(errno));
    std::string updated = old;
    for (const Change& c : changes) {
        std::optional<std::string_view> key, value;
        if (c.key) key = *c.key;
        if (c.value) value = *c.value;
        updated = ApplyProfileWrite(updated, c.section, key, value);
    }
    if (updated == old) return true;
    if (!platform::WriteHostFileAtomic(file_, updated, error)) {
        // Do not leave behind the empty file the lock created.
        if (!existed && old.empty()) ::unlink(file_.c_str());
        return false;
    }
    return true;
}

bool WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const std::filesystem::path& file, std::string* error) {
    PrivateProfileBatch batch(file);
    return batch.Write(section, key, value, error) && batch.Commit(error);
}

}  // namespace platform::profile
