#include "zeriru/project_file.h"

#include "platform/sjis.h"

#include <charconv>
#include <cstdio>

namespace zeriru {

namespace {

inline bool IsLead(char c) { return platform::sjis::IsLeadByte(static_cast<unsigned char>(c)); }

// Optional sign and decimal digits, the whole text, within 32 bits.
bool ParseDecimal(std::string_view text, int& value) {
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

// Byte range [begin, end) of field n (1-based); false when the record has no such field.
bool FieldRange(std::string_view record, int n, std::size_t& begin, std::size_t& end) {
    if (n < 1) return false;
    int separators = 0;  // separators seen so far
    begin = (n == 1) ? 0 : std::string_view::npos;
    for (std::size_t i = 0; i < record.size(); ++i) {
        char c = record[i];
        if (c == '|') {
            ++separators;
            if (separators == n - 1) {
                begin = i + 1;
            } else if (separators == n) {
                end = i;
                return true;
            }
        } else if (IsLead(c) && i + 1 < record.size()) {
            ++i;
        }
    }
    if (separators == n - 1) {
        end = record.size();
        return true;
    }
    return false;
}

// The text without a lead byte that stands alone at its very end. Such a byte has no trail
// byte, and followed by "|" it would take the separator as its trail byte and merge two fields.
std::string_view WithoutDanglingLead(std::string_view s) {
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < s.size(); i += (IsLead(s[i]) && i + 1 < s.size()) ? 2 : 1) last = i;
    if (last != std::string_view::npos && last == s.size() - 1 && IsLead(s[last])) return s.substr(0, last);
    return s;
}

}  // namespace

std::string EncodeProjectText(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        char& c = out[i];
        if (c == '=') {
            c = '\x01';
        } else if (c == '|') {
            c = '\x02';
        } else if (c == ',') {
            c = '\x03';
        } else if (IsLead(c) && i + 1 < out.size()) {
            ++i;
        }
    }
    return out;
}

std::string DecodeProjectText(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        char& c = out[i];
        if (c == '\x01') {
            c = '=';
        } else if (c == '\x02') {
            c = '|';
        } else if (c == '\x03') {
            c = ',';
        } else if (IsLead(c) && i + 1 < out.size()) {
            ++i;
        }
    }
    return out;
}

std::string GetItemField(std::string_view record, int n) {
    std::size_t begin = 0, end = 0;
    if (!FieldRange(record, n, begin, end)) return {};
    return std::string(record.substr(begin, end - begin));
}

int GetItemFieldInt(std::string_view record, int n, int def) {
    std::size_t begin = 0, end = 0;
    int value = def;
    if (FieldRange(record, n, begin, end) && ParseDecimal(record.substr(begin, end - begin), value)) {
        return value;
    }
    return def;
}

bool GetItemFieldBool(std::string_view record, int n, bool def) {
    return GetItemFieldInt(record, n, def ? 1 : 0) != 0;
}

std::string SetItemField(std::string_view record, int n, std::string_view value) {
    if (n < 1 || n > kItemFieldCount) return std::string(record);
    std::string out;
    out.reserve(record.size() + value.size() + kItemFieldCount);
    // One walk over the old record collects the fields in order.
    std::size_t fieldStart = 0;
    int field = 1;
    auto emit = [&](std::string_view text) {
        if (field > kItemFieldCount) return;
        out += WithoutDanglingLead(field == n ? value : text);
        out += '|';
        ++field;
    };
    for (std::size_t i = 0; i < record.size() && field <= kItemFieldCount; ++i) {
        char c = record[i];
        if (c == '|') {
            emit(record.substr(fieldStart, i - fieldStart));
            fieldStart = i + 1;
        } else if (IsLead(c) && i + 1 < record.size()) {
            ++i;
        }
    }
    if (field <= kItemFieldCount && fieldStart < record.size()) emit(record.substr(fieldStart));
    while (field <= kItemFieldCount) emit({});
    return out;
}

std::string SetItemFieldInt(std::string_view record, int n, int value) {
    return SetItemField(record, n, std::to_string(value));
}

std::string SetItemFieldBool(std::string_view record, int n, bool value) {
    return SetItemField(record, n, value ? "1" : "0");
}

std::string ItemsSectionName(const TIniDocument& doc, std::string_view settingSection,
                             std::string_view defaultItems) {
    if (doc.ValueExists(settingSection, key::kUseSection)) {
        return doc.ReadString(settingSection, key::kUseSection);
    }
    return std::string(defaultItems);
}

std::vector<std::string> ReadItemsCounted(const TIniDocument& doc, std::string_view itemsSection) {
    std::size_t count = doc.EntryCount(itemsSection);
    std::vector<std::string> items;
    items.reserve(count);
    for (std::size_t i = 0; i < count; ++i) items.push_back(doc.ReadString(itemsSection, std::to_string(i)));
    return items;
}

std::vector<std::string> ReadItemsUntilGap(const TIniDocument& doc, std::string_view itemsSection) {
    std::vector<std::string> items;
    for (std::size_t i = 0;; ++i) {
        std::string name = std::to_string(i);
        if (!doc.ValueExists(itemsSection, name)) break;
        items.push_back(doc.ReadString(itemsSection, name));
    }
    return items;
}

void WriteItems(TIniDocument& doc, std::string_view itemsSection, const std::vector<std::string>& items) {
    doc.EraseSection(itemsSection);
    for (std::size_t i = 0; i < items.size(); ++i) doc.WriteString(itemsSection, std::to_string(i), items[i]);
}

// ---- scrambling ----

namespace {

int ScrambleOffset(std::size_t length) {
    int offset = 0;
    for (std::size_t i = 2; i <= 10; ++i) offset += static_cast<int>(i % length);
    return offset;
}

std::string ScramblePass(std::string_view text) {
    if (text.empty()) return {};
    const int offset = ScrambleOffset(text.size());
    std::string out;
    out.reserve(text.size() * 3);
    char buffer[16];
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i) out += ',';
        std::snprintf(buffer, sizeof buffer, "%02X", static_cast<unsigned char>(text[i]) + offset);
        out += buffer;
    }
    return out;
}

bool UnscramblePass(std::string_view text, std::string& out) {
    out.clear();
    if (text.empty()) return true;
    // The scrambled form is plain ASCII (hexadecimal digits and ","), so a byte split is exact.
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == ',') {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    const int offset = ScrambleOffset(parts.size());
    out.reserve(parts.size());
    for (std::string_view part : parts) {
        unsigned int v = 0;
        if (part.empty() || part.size() > 8) return false;
        auto r = std::from_chars(part.data(), part.data() + part.size(), v, 16);
        if (r.ec != std::errc() || r.ptr != part.data() + part.size()) return false;
        out += static_cast<char>(static_cast<unsigned char>((v - static_cast<unsigned int>(offset)) & 0xFF));
    }
    return true;
}

}  // namespace

std::string ScrambleText(std::string_view text, int passes) {
    std::string current(text);
    for (int p = 0; p < passes; ++p) current = ScramblePass(current);
    return current;
}

std::string UnscrambleText(std::string_view text, int passes) {
    std::string current(text);
    std::string next;
    for (int p = 0; p < passes; ++p) {
        if (!UnscramblePass(current, next)) return {};
        current.swap(next);
    }
    return current;
}

// ---- frame ----

std::string ButtonConfirmedMark() { return platform::sjis::S("×"); }

TProjectInfo ReadProjectInfo(const TIniDocument& doc, bool readOnly) {
    using namespace key;
    TProjectInfo info;
    info.projectFilePath = doc.FileName();
    info.projectName = DecodeProjectText(doc.ReadString(kProjectSection, kProjectName));
    info.createFileName = DecodeProjectText(doc.ReadString(kProjectSection, kCreateFileName));
    info.createFolder = DecodeProjectText(doc.ReadString(kProjectSection, kCreateFolder));
    info.createFileType = doc.ReadInteger(kProjectSection, kCreateFileType, project_default::kCreateFileType);
    info.readOnly = readOnly;
    info.createFolderBeforeBackup = doc.ReadBool(kProjectSection, kCreateFolderBeforeBackup,
                                                 project_default::kCreateFolderBeforeBackup);
    info.projectType = doc.ReadInteger(kProjectSection, kProjectType, project_default::kProjectType);
    info.installSource = DecodeProjectText(
        doc.ReadString(kProjectSection, kInstallSource, project_default::kInstallSource));
    return info;
}

TCOMMONOSData ReadCommonOsData(const TIniDocument& doc) {
    TCOMMONOSData data;
    data.checkOSVersion = doc.ReadBool(key::kOSSettingSection, key::kCheckOSVersion, true);
    data.osVersion = doc.ReadInteger(key::kOSSettingSection, key::kOSVersion, 65535);
    data.spVersion = doc.ReadString(key::kOSSettingSection, key::kSPVersion);
    std::vector<std::string> parts = platform::sjis::SplitSjis(data.spVersion, ',');
    for (std::size_t i = 0; i < data.spFields.size(); ++i) {
        int v = 0;
        data.spFields[i] = (i < parts.size() && ParseDecimal(parts[i], v)) ? v : 0;
    }
    return data;
}

bool IsProjectFile(const std::filesystem::path& path) {
    TIniDocument doc(path);
    return doc.ValueExists(key::kProjectSection, key::kGenerator);
}

}  // namespace zeriru
