// Where a files list is stored: the project's items section (FilesSetting / UseSection), a
// component definition file (.qinc, [Information] FileType = "ZU_RUZUDUROZAR", items under
// [DATA]) and the exchange file of the list tools (.qpe, [INFORMATION] FileType =
// "ZA_DEREVEROVA", items under [DATA]). Component and exchange files come from outside the
// project and are read as untrusted input: a file that is missing, unreadable or of another type
// gives no records.
#pragma once

#include "zeriru/ini_document.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

inline constexpr std::string_view kExchangeFileType = "ZA_DEREVEROVA";
inline constexpr std::string_view kExchangeInformationSection = "INFORMATION";
inline constexpr std::string_view kExcludeCommonComponentKey = "ExcludeCommonComponent";

// ---- the project ----
// The records of the project's files list ("0" .. count-1 of its items section).
std::vector<std::string> ReadFilesList(const TIniDocument& project);
// Erases the items section, writes the records from "0" and then ExcludeCommonComponent.
void WriteFilesList(TIniDocument& project, const std::vector<std::string>& records);

// ---- component definition files ----
// The records of a component definition file; nullopt when the file is missing, unreadable or
// no component definition file.
std::optional<std::vector<std::string>> ReadComponentList(std::string_view windowsPath);
// Whether the file is a component definition file.
bool IsComponentFileAt(std::string_view windowsPath);
// Writes the records into the file (created when missing): [DATA] erased, [Information]
// FileType set, the records from "0"; other sections of an existing file stay. False, with the
// reason in *error, when the file cannot be read or written.
bool WriteComponentList(std::string_view windowsPath, const std::vector<std::string>& records,
                        std::string* error = nullptr);

// ---- exchange files ----
// Called before each record is read or written, with its number and the count.
using RecordProgress = std::function<void(std::size_t done, std::size_t total)>;
// Whether the document is an exchange file.
bool IsExchangeFile(const TIniDocument& document);
// Writes the records into the file: [DATA] erased, [INFORMATION] FileType set, each record under
// its list index; other sections of an existing file stay.
bool WriteExchangeFile(std::string_view windowsPath, const std::vector<std::string>& records,
                       const RecordProgress& progress = {}, std::string* error = nullptr);
// The records "0" .. count-1 of a section of a document.
std::vector<std::string> ReadRecordsOf(const TIniDocument& document, std::string_view section);

}  // namespace zeriru
