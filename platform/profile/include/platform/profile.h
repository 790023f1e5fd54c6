// Private profile (INI) files as Windows reads and writes them, on host paths. Texts are
// Shift-JIS byte strings; the file is Shift-JIS too.
//
// Reading: section and key names ignore the case of single-byte letters; blanks (space, tab)
// around names and values are ignored; a value in matching double or single quotes loses
// them; the first section of a name and the first key of a name in it count. Lines whose
// first non-blank character is ';' are comments. Before the first section nothing is a key.
// A missing or unreadable file reads as an empty one.
//
// Writing: the file is changed line by line and everything else in it - comments, blank and
// unknown lines, order, the line ends of untouched lines - stays byte for byte. A changed key
// line is rewritten as "key=value"; a new key goes right after the last key of its section
// (or right after the section line); a new section goes to the end of the file, with no
// blank line before it. Lines written end in CR LF. Nothing is written when the file would
// not change. A write reads the file under an flock of the file itself and replaces it
// atomically (WriteHostFileAtomic), so concurrent writers in several processes lose nothing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::profile {

// ---- the Windows shape: null pointers and a caller's buffer ----

// With section and key: copies the value, or `fallback` (null = "", trailing blanks removed)
// when the key is missing, into `buffer` and returns the number of bytes copied without the
// terminating NUL. A value that does not fit is cut to size-1 bytes - one less when the cut
// would split a double-byte character - and NUL-terminated.
// With a null key: the key names of the section; with a null section: the section names.
// Each name is NUL-terminated and the list ends with one more NUL; the return value counts
// all but the last NUL. A list that does not fit is cut (the last name possibly cut short,
// never inside a double-byte character) and ends with two NULs; the return value is then at
// most size-2. A missing section gives an empty list. size 0 returns 0 and writes nothing.
std::uint32_t GetPrivateProfileString(const char* section, const char* key, const char* fallback,
                                      char* buffer, std::uint32_t size, const std::filesystem::path& file);

// The section names, as GetPrivateProfileString with a null section.
std::uint32_t GetPrivateProfileSectionNames(char* buffer, std::uint32_t size, const std::filesystem::path& file);

// The key's value as a decimal number: blanks, an optional sign and the digits up to the
// first other character ("12abc" is 12, "abc" is 0), limited to the range of int.
// `fallback` when the key is missing or its value is empty.
int GetPrivateProfileInt(std::string_view section, std::string_view key, int fallback,
                         const std::filesystem::path& file);

// Sets section/key to value, creating the file, the section or the key as needed.
// A null value deletes the key; a null key deletes the whole section (its line and every
// line up to the next section; every section of that name). Deleting what is not there
// succeeds and writes nothing. A null section with null key and value only succeeds (there
// is no cache to flush). Refused (false, file untouched): a null section otherwise, a
// section name containing ']' or a line break, an empty key, a key containing '=' or a line
// break or starting with ';' or '[', a value containing a line break, and a read-only file.
// `error` tells why a write failed.
bool WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const std::filesystem::path& file, std::string* error = nullptr);

// Several writes to one file applied as one update: Write checks its arguments as
// WritePrivateProfileString does and queues the change; Commit takes the file's lock, applies
// the queued changes in order to the file as it is then, and replaces the file once. For
// writers of many keys (the monitor's configuration has about 300), where one atomic
// replacement per key would cost one flush to disk per key.
class PrivateProfileBatch {
public:
    explicit PrivateProfileBatch(std::filesystem::path file);

    // False (nothing queued) for arguments WritePrivateProfileString refuses.
    bool Write(const char* section, const char* key, const char* value, std::string* error = nullptr);
    // Applies and forgets the queued changes; false when the file could not be written (it
    // is then left as it was).
    bool Commit(std::string* error = nullptr);
    std::size_t pending() const { return changes_.size(); }

private:
    struct Change {
        std::string section;
        std::optional<std::string> key, value;
    };
    std::filesystem::path file_;
    std::vector<Change> changes_;
};

// ---- the same for C++ callers ----

// The value, or nullopt when the section or key is missing.
std::optional<std::string> ReadProfileValue(std::string_view section, std::string_view key,
                                            const std::filesystem::path& file);
// The value or `fallback` (trailing blanks removed), never cut short.
std::string GetPrivateProfileString(std::string_view section, std::string_view key, std::string_view fallback,
                                    const std::filesystem::path& file);
// Section names in file order, each name once (the spelling of its first occurrence).
std::vector<std::string> GetPrivateProfileSectionNames(const std::filesystem::path& file);
// Key names of the (first) section in file order, each once; empty when it is missing.
std::vector<std::string> GetPrivateProfileKeyNames(std::string_view section, const std::filesystem::path& file);

// ---- the text itself (what the functions above do to a file's bytes) ----

// Value of section/key in an INI text; nullopt when missing.
std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section, std::string_view key);
// The text after setting (value) or deleting (null value) a key, or deleting a section (null
// key). Arguments as WritePrivateProfileString, already checked.
std::string ApplyProfileWrite(std::string_view text, std::string_view section,
                              std::optional<std::string_view> key, std::optional<std::string_view> value);

}  // namespace platform::profile
