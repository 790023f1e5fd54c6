// The files a project installs: every item of kind 0 (file copy) of its files list
// (FilesSetting / UseSection, default "Files") and, when asked, of the component definition
// files (.qinc) that the list includes with items of kind 5. The shortcut target, the main file,
// the document and licence pickers and the program list all read them here.
//
// A component definition file is an INI document with [Information] FileType =
// "ZU_RUZUDUROZAR" and its items under [DATA] "0", "1", .... It comes from outside the project
// and is read as untrusted input: a file that is missing, unreadable or of another type
// contributes nothing, and the components of a component file are not followed.
#pragma once

#include "zeriru/ini_document.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

inline constexpr std::string_view kComponentFileType = "ZU_RUZUDUROZAR";
inline constexpr std::string_view kComponentInformationSection = "Information";
inline constexpr std::string_view kComponentFileTypeKey = "FileType";
inline constexpr std::string_view kComponentDataSection = "DATA";
// The files list's settings section and default items section.
inline constexpr std::string_view kFilesSettingSection = "FilesSetting";
inline constexpr std::string_view kFilesDefaultItems = "Files";

// Whether the document is a component definition file.
bool IsComponentFile(const TIniDocument& document);
// The item records of a component definition file ("0" .. count-1 of [DATA]).
std::vector<std::string> ReadComponentRecords(const TIniDocument& document);

struct InstalledFile {
    std::string define;     // decoded field 3
    std::string parameter;  // decoded field 4
    std::string source;     // decoded field 5: the full path on the authoring machine
    std::string fileName;   // the part of the source after its last "\"
    std::string component;  // the .qinc (Windows path) it came from; empty: the project's own list

    // define\parameter, the define alone without a parameter, "%InstallDir%" when both are
    // empty (the folder column of the pickers).
    std::string Folder() const;
    // define\parameter\file name, or define\file name when the parameter is empty (the line of
    // the file select dialog and the stored main file name).
    std::string Line() const;
};

struct InstalledFilesOptions {
    bool followComponents = false;
    // Called before each file list is read, with the file's Windows path (the project itself
    // first, empty when it was read from memory): the progress text "読み込み中".
    std::function<void(std::string_view file)> progress;
};

std::vector<InstalledFile> ReadInstalledFiles(const TIniDocument& project, const InstalledFilesOptions& options = {});

}  // namespace zeriru
