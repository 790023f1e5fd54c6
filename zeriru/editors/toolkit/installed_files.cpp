#include "zeriru/editors/installed_files.h"

#include "platform/sjis.h"
#include "zeriru/editors/record_kinds.h"
#include "zeriru/project_file.h"

namespace zeriru {

namespace sjis = platform::sjis;

bool IsComponentFile(const TIniDocument& document) {
    return document.ReadString(kComponentInformationSection, kComponentFileTypeKey) == kComponentFileType;
}

std::vector<std::string> ReadComponentRecords(const TIniDocument& document) {
    return ReadItemsCounted(document, kComponentDataSection);
}

std::string InstalledFile::Folder() const {
    if (define.empty() && parameter.empty()) return "%InstallDir%";
    if (parameter.empty()) return define;
    return define + "\\" + parameter;
}

std::string InstalledFile::Line() const {
    if (parameter.empty()) return define + "\\" + fileName;
    return define + "\\" + parameter + "\\" + fileName;
}

namespace {

InstalledFile FileOf(const std::string& record, const std::string& component) {
    const RecordCodec& codec = FilesItemCodec();
    InstalledFile file;
    file.define = codec.Text(record, files_item::kDefine);
    file.parameter = codec.Text(record, files_item::kParameter);
    file.source = codec.Text(record, files_item::kSource);
    const std::size_t slash = sjis::FindLastChar(file.source, '\\');
    file.fileName = slash == sjis::npos ? file.source : file.source.substr(slash + 1);
    file.component = component;
    return file;
}

void AddFiles(const std::vector<std::string>& records, const std::string& component,
              std::vector<InstalledFile>& files) {
    for (const std::string& record : records) {
        if (FilesItemCodec().Int(record, files_item::kKind) == files_item::kCopyFile)
            files.push_back(FileOf(record, component));
    }
}

}  // namespace

std::vector<InstalledFile> ReadInstalledFiles(const TIniDocument& project, const InstalledFilesOptions& options) {
    if (options.progress) options.progress(project.WindowsPath());
    const std::vector<std::string> records =
        ReadItemsCounted(project, ItemsSectionName(project, kFilesSettingSection, kFilesDefaultItems));
    std::vector<InstalledFile> files;
    AddFiles(records, {}, files);
    if (!options.followComponents) return files;
    for (const std::string& record : records) {
        if (FilesItemCodec().Int(record, files_item::kKind) != files_item::kComponent) continue;
        const std::string path = FilesItemCodec().Text(record, files_item::kSource);
        if (path.empty()) continue;
        if (options.progress) options.progress(path);
        const TIniDocument component = TIniDocument::OpenWindowsPath(path);
        if (component.LoadFailed() || !IsComponentFile(component)) continue;
        AddFiles(ReadComponentRecords(component), path, files);
    }
    return files;
}

}  // namespace zeriru
