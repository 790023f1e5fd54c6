#include "zeriru/frmFiles/files_lists.h"

#include "platform/winfile.h"
#include "zeriru/editors/installed_files.h"
#include "zeriru/frmFiles/files_item.h"
#include "zeriru/project_file.h"

namespace zeriru {

namespace wp = platform::winpath;

std::vector<std::string> ReadFilesList(const TIniDocument& project) {
    return ReadItemsCounted(project, ItemsSectionName(project, kFilesSettingSection, kFilesDefaultItems));
}

void WriteFilesList(TIniDocument& project, const std::vector<std::string>& records) {
    WriteItems(project, ItemsSectionName(project, kFilesSettingSection, kFilesDefaultItems), records);
    project.WriteBool(kFilesSettingSection, kExcludeCommonComponentKey, ExcludesCommonComponent(records));
}

std::vector<std::string> ReadRecordsOf(const TIniDocument& document, std::string_view section) {
    return ReadItemsCounted(document, section);
}

std::optional<std::vector<std::string>> ReadComponentList(std::string_view windowsPath) {
    if (windowsPath.empty() || !wp::FileExists(windowsPath) || wp::DirectoryExists(windowsPath)) return std::nullopt;
    const TIniDocument document = TIniDocument::OpenWindowsPath(windowsPath);
    if (document.LoadFailed() || !IsComponentFile(document)) return std::nullopt;
    return ReadComponentRecords(document);
}

bool IsComponentFileAt(std::string_view windowsPath) { return ReadComponentList(windowsPath).has_value(); }

namespace {

// Replaces the records of [DATA] and the file type of a list file, keeping its other sections.
bool WriteListFile(std::string_view windowsPath, std::string_view information, std::string_view fileType,
                   const std::vector<std::string>& records, const RecordProgress& progress, std::string* error) {
    TIniDocument document = TIniDocument::OpenWindowsPath(windowsPath);
    if (document.LoadFailed() || document.FileName().empty()) {
        if (error) *error = document.LastError();
        return false;
    }
    document.EraseSection(kComponentDataSection);
    document.WriteString(information, kComponentFileTypeKey, fileType);
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (progress) progress(i, records.size());
        document.WriteString(kComponentDataSection, std::to_string(i), records[i]);
    }
    if (document.UpdateFile()) return true;
    if (error) *error = document.LastError();
    return false;
}

}  // namespace

bool WriteComponentList(std::string_view windowsPath, const std::vector<std::string>& records, std::string* error) {
    return WriteListFile(windowsPath, kComponentInformationSection, kComponentFileType, records, {}, error);
}

bool IsExchangeFile(const TIniDocument& document) {
    return document.ReadString(kExchangeInformationSection, kComponentFileTypeKey) == kExchangeFileType;
}

bool WriteExchangeFile(std::string_view windowsPath, const std::vector<std::string>& records,
                       const RecordProgress& progress, std::string* error) {
    return WriteListFile(windowsPath, kExchangeInformationSection, kExchangeFileType, records, progress, error);
}

}  // namespace zeriru
