#include "record.h"

#include "platform/sjis.h"
#include "platform/winfile.h"
#include "transaction.h"
#include "zeriru/project_file.h"

#include <algorithm>

namespace installer {

namespace sj = platform::sjis;
namespace reg = platform::registry;
using zeriru::DecodeProjectText;
using zeriru::EncodeProjectText;
using zeriru::TIniDocument;

namespace {

constexpr const char* kDataPrefix = "Data:";

std::string Join(std::initializer_list<std::string> fields) {
    std::string out;
    for (const std::string& f : fields) out += EncodeProjectText(f) + "|";
    return out;
}

std::string F(std::string_view record, int n) { return DecodeProjectText(zeriru::GetItemField(record, n)); }

bool SamePath(const std::string& a, const std::string& b) { return sj::EqualsNoCase(a, b); }

template <typename T, typename Same>
void AddMissing(std::vector<T>& into, const std::vector<T>& from, Same same) {
    for (const T& item : from) {
        if (std::none_of(into.begin(), into.end(), [&](const T& have) { return same(have, item); })) into.push_back(item);
    }
}

std::vector<std::string> Entries(const TIniDocument& doc, const char* section) {
    std::vector<std::string> out;
    for (const auto& [key, value] : doc.ReadSectionValues(section)) out.push_back(value);
    return out;
}

}  // namespace

std::string EncodeRecord(const InstallRecord& r, const TIniDocument& data) {
    TIniDocument doc;
    doc.WriteString("Install", "SoftName", EncodeProjectText(r.softName));
    doc.WriteString("Install", "ProjectName", EncodeProjectText(r.projectName));
    doc.WriteString("Install", "UninstallKey", EncodeProjectText(r.uninstallKey));
    doc.WriteString("Install", "InstallDir", EncodeProjectText(r.installFolder));
    doc.WriteString("Install", "Uninstaller", EncodeProjectText(r.uninstaller));
    doc.WriteBool("Install", "UninstallerMade", r.uninstallerMade);
    doc.WriteString("Install", "InstallDateTime", r.installed);
    for (std::size_t i = 0; i < r.files.size(); ++i) {
        const InstalledFile& f = r.files[i];
        doc.WriteString("Files", std::to_string(i),
                        Join({f.path, f.existed ? "1" : "0", std::to_string(f.options), std::string(1, f.kind),
                              f.shared ? "1" : "0", f.backup, f.registrar}));
    }
    for (std::size_t i = 0; i < r.folders.size(); ++i)
        doc.WriteString("Folders", std::to_string(i), EncodeProjectText(r.folders[i]));
    for (std::size_t i = 0; i < r.values.size(); ++i) {
        const InstalledValue& v = r.values[i];
        doc.WriteString("Registry", std::to_string(i),
                        Join({reg::RootName(v.root), v.key, v.name, EncodeRegistryValue(v.before),
                              std::to_string(v.options)}));
    }
    for (std::size_t i = 0; i < r.keys.size(); ++i) {
        const MadeKey& k = r.keys[i];
        doc.WriteString("RegistryKeys", std::to_string(i), Join({reg::RootName(k.root), k.key}));
    }
    for (std::size_t i = 0; i < r.iniEntries.size(); ++i) {
        const InstalledIniEntry& e = r.iniEntries[i];
        doc.WriteString("IniEntries", std::to_string(i),
                        Join({e.file, e.section, e.key, e.before ? "1" : "0", e.before.value_or(""),
                              e.sectionExisted ? "1" : "0", e.fileExisted ? "1" : "0"}));
    }
    for (const std::string& section : data.ReadSections()) {
        if (sj::StartsWithNoCase(section, kDataPrefix)) continue;
        for (const auto& [key, value] : data.ReadSectionValues(section))
            doc.WriteString(kDataPrefix + section, key, value);
    }
    return doc.SaveToText();
}

std::optional<InstallRecord> ReadRecord(const std::string& path, TIniDocument* data) {
    if (!platform::winpath::FileExists(path)) return std::nullopt;
    const TIniDocument doc = TIniDocument::OpenWindowsPath(path);
    if (doc.LoadFailed() || !doc.SectionExists("Install")) return std::nullopt;
    InstallRecord r;
    r.softName = DecodeProjectText(doc.ReadString("Install", "SoftName"));
    r.projectName = DecodeProjectText(doc.ReadString("Install", "ProjectName"));
    r.uninstallKey = DecodeProjectText(doc.ReadString("Install", "UninstallKey"));
    r.installFolder = DecodeProjectText(doc.ReadString("Install", "InstallDir"));
    r.uninstaller = DecodeProjectText(doc.ReadString("Install", "Uninstaller"));
    r.uninstallerMade = doc.ReadBool("Install", "UninstallerMade", false);
    r.installed = doc.ReadString("Install", "InstallDateTime");
    for (const std::string& e : Entries(doc, "Files")) {
        InstalledFile f;
        f.path = F(e, 1);
        f.existed = F(e, 2) == "1";
        f.options = std::atoi(F(e, 3).c_str());
        const std::string kind = F(e, 4);
        f.kind = kind.empty() ? 'F' : kind[0];
        f.shared = F(e, 5) == "1";
        f.backup = F(e, 6);
        f.registrar = F(e, 7);
        if (!f.path.empty()) r.files.push_back(f);
    }
    for (const std::string& e : Entries(doc, "Folders")) r.folders.push_back(DecodeProjectText(e));
    for (const std::string& e : Entries(doc, "Registry")) {
        const auto root = reg::RootFromName(F(e, 1));
        if (!root) continue;
        r.values.push_back({*root, F(e, 2), F(e, 3), DecodeRegistryValue(F(e, 4)), std::atoi(F(e, 5).c_str())});
    }
    for (const std::string& e : Entries(doc, "RegistryKeys")) {
        const auto root = reg::RootFromName(F(e, 1));
        if (root) r.keys.push_back({*root, F(e, 2)});
    }
    for (const std::string& e : Entries(doc, "IniEntries")) {
        InstalledIniEntry ie;
        ie.file = F(e, 1);
        ie.section = F(e, 2);
        ie.key = F(e, 3);
        if (F(e, 4) == "1") ie.before = F(e, 5);
        ie.sectionExisted = F(e, 6) == "1";
        ie.fileExisted = F(e, 7) == "1";
        r.iniEntries.push_back(ie);
    }
    if (data) {
        data->Clear();
        const std::string prefix = kDataPrefix;
        for (const std::string& section : doc.ReadSections()) {
            if (!sj::StartsWithNoCase(section, prefix)) continue;
            for (const auto& [key, value] : doc.ReadSectionValues(section))
                data->WriteString(section.substr(prefix.size()), key, value);
        }
    }
    return r;
}

InstallRecord MergeRecords(const InstallRecord& earlier, const InstallRecord& now) {
    InstallRecord r = now;
    // What both touched keeps the earlier record's view of the time before.
    r.files = earlier.files;
    AddMissing(r.files, now.files, [](const InstalledFile& a, const InstalledFile& b) { return SamePath(a.path, b.path); });
    // A later installation may count, keep or register a file the earlier one did not.
    for (InstalledFile& f : r.files) {
        for (const InstalledFile& n : now.files) {
            if (!SamePath(f.path, n.path)) continue;
            f.options = n.options;
            f.shared = f.shared || n.shared;
            if (f.backup.empty()) f.backup = n.backup;
            if (f.registrar.empty()) f.registrar = n.registrar;
        }
    }
    r.folders = earlier.folders;
    AddMissing(r.folders, now.folders, SamePath);
    r.values = earlier.values;
    AddMissing(r.values, now.values, [](const InstalledValue& a, const InstalledValue& b) {
        return a.root == b.root && sj::EqualsNoCase(a.key, b.key) && sj::EqualsNoCase(a.name, b.name);
    });
    r.keys = earlier.keys;
    AddMissing(r.keys, now.keys, [](const MadeKey& a, const MadeKey& b) {
        return a.root == b.root && sj::EqualsNoCase(a.key, b.key);
    });
    r.iniEntries = earlier.iniEntries;
    AddMissing(r.iniEntries, now.iniEntries, [](const InstalledIniEntry& a, const InstalledIniEntry& b) {
        return SamePath(a.file, b.file) && sj::EqualsNoCase(a.section, b.section) && sj::EqualsNoCase(a.key, b.key);
    });
    r.uninstallerMade = earlier.uninstallerMade || now.uninstallerMade;
    return r;
}

}  // namespace installer
