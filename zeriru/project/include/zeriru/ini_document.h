// The INI document behind every INI-style file of the editor: project files (.PJ2), the
// runtime data file, the module list and language files, the define tables and the editor's
// own data file. The whole file is read at once and rewritten as a whole; names and values
// are Shift-JIS byte strings exactly as they stand in the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zeriru {

class TIniDocument {
public:
    // An empty document that saves to no file.
    TIniDocument() = default;
    // Reads `path`; a missing file gives an empty document that saves to `path`. A file that
    // exists but cannot be read also gives an empty document, marked so that saving refuses
    // to overwrite the file (LoadFailed()).
    explicit TIniDocument(std::filesystem::path path);

    // Opens a document by its Windows path (Shift-JIS, "C:\...", "\\server\share\..."). A
    // path that names no mapped drive gives an empty document marked as failed.
    static TIniDocument OpenWindowsPath(std::string_view windowsPath);

    TIniDocument(TIniDocument&&) noexcept = default;
    TIniDocument& operator=(TIniDocument&&) noexcept = default;
    TIniDocument(const TIniDocument& other);
    TIniDocument& operator=(const TIniDocument& other);

    // Replaces the content with the lines of `text` (CR LF, LF or CR line ends).
    void LoadFromText(std::string_view text);
    // The whole file as it is saved: each section's header line, its entries, one empty line;
    // every line ends with CR LF.
    std::string SaveToText() const;

    // Host path of the file; the Windows path when the document was opened by one.
    const std::filesystem::path& FileName() const { return path_; }
    const std::string& WindowsPath() const { return windowsPath_; }
    // True when the file existed but could not be read; such a document is never saved.
    bool LoadFailed() const { return loadFailed_; }
    // Why loading or the last save failed; empty when nothing failed.
    const std::string& LastError() const { return error_; }

    // Rewrites the file the document was loaded from, crash-safely: the old file stays as it
    // was unless the new content reached the disk completely. The file keeps its Windows
    // attributes (and gains ARCHIVE); a read-only file is not written. False on failure
    // (LastError()).
    bool UpdateFile();
    // The same, to another file.
    bool SaveAs(const std::filesystem::path& path);

    // Reading: a missing section or entry gives the default.
    std::string ReadString(std::string_view section, std::string_view name,
                           std::string_view def = {}) const;
    // Decimal, or hexadecimal after "0x"/"0X"; the default when missing or not a number.
    int ReadInteger(std::string_view section, std::string_view name, int def) const;
    // An integer that is not 0 is true.
    bool ReadBool(std::string_view section, std::string_view name, bool def) const;

    // Writing replaces the value of an existing entry in place, else appends the entry to the
    // section, else appends the section to the document first.
    void WriteString(std::string_view section, std::string_view name, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view name, int value);
    void WriteBool(std::string_view section, std::string_view name, bool value);

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view name) const;
    // Section names in document order.
    std::vector<std::string> ReadSections() const;
    // Entry names of a section in order; empty for a missing section.
    std::vector<std::string> ReadSection(std::string_view section) const;
    // Entries of a section in order as (name, value).
    std::vector<std::pair<std::string, std::string>> ReadSectionValues(std::string_view section) const;
    // Number of entries of a section; 0 for a missing one.
    std::size_t EntryCount(std::string_view section) const;

    void EraseSection(std::string_view section);
    void DeleteKey(std::string_view section, std::string_view name);
    void Clear();

private:
    // One entry keeps its line as read ("name=value"); `eq` is the index of the first "=",
    // or npos for a line that has none (its name is the whole line, its value empty).
    struct Entry {
        std::string line;
        std::size_t eq;
        std::string_view Name() const;
        std::string_view Value() const;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
        // Open-addressing hash index over the entry names (folded), built on first lookup and
        // kept up to date by appends, rebuilt after a deletion. A slot holds entry index + 1,
        // 0 when free; the table is at most half full.
        mutable std::vector<std::uint32_t> slots;
        mutable bool indexed = false;
        const Entry* Find(std::string_view name) const;
        Entry* Find(std::string_view name);
        void Append(Entry entry);
        void BuildIndex() const;
        void IndexEntry(std::uint32_t index) const;
    };

    const Section* FindSection(std::string_view name) const;
    Section* FindSection(std::string_view name);
    Section& AddSection(std::string_view name);
    void RebuildSectionIndex();
    bool WriteTo(const std::filesystem::path& path);

    std::filesystem::path path_;
    std::string windowsPath_;
    bool loadFailed_ = false;
    std::string error_;
    std::vector<std::unique_ptr<Section>> sections_;
    // Folded section name -> index in sections_.
    std::unordered_map<std::string, std::uint32_t> sectionIndex_;
};

// Case folding used for every name lookup: single-byte letters to upper case, double-byte
// characters unchanged.
std::string FoldName(std::string_view name);
// Hash of a name that agrees with FoldName: names equal ignoring case hash alike.
std::uint64_t HashName(std::string_view name);
// Equality of names ignoring the case of single-byte letters, walking characters.
bool NamesEqual(std::string_view a, std::string_view b);

}  // namespace zeriru
