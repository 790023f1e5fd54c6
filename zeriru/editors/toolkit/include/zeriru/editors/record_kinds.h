// The item records of the setting editors: one codec per record kind (record_codec.h) with
// the numbers of its fields. Text fields are escaped in the record; define texts too (a valid
// define name is unchanged by the escaping, and a typed text that holds "|" or "," cannot split
// the record). Sub-records (the condition record, the service-pack string, the program's
// display record) are stored as they are in their field.
#pragma once

#include "zeriru/editors/record_codec.h"

#include <array>
#include <string_view>

namespace zeriru {

// ---- files and folders (FilesSetting / Files) ----
namespace files_item {
inline constexpr int kEnabled = 1, kKind = 2, kDefine = 3, kParameter = 4, kSource = 5, kComment = 6,
                     kDescription = 7, kOptions = 8, kAttributes = 9, kOsMask = 10, kServicePacks = 11,
                     kCondition = 12;
// Item kinds (field 2).
inline constexpr int kCopyFile = 0, kCreateFolder = 1, kDeleteFile = 2, kDeleteEmptyFolder = 3,
                     kDeleteFolderTree = 4, kComponent = 5;
// The define field of a component item.
inline constexpr std::string_view kIncludeDefine = "(#Include File#)";
}  // namespace files_item
const RecordCodec& FilesItemCodec();

// ---- shortcuts (ShortCutSetting / ShortCutItems) ----
namespace shortcut_item {
inline constexpr int kName = 1, kTarget = 2, kArguments = 3, kWorkingDirectory = 4, kIconFile = 5,
                     kIconIndex = 6, kComment = 7, kWindow = 8, kTargets = 9, kFlags = 10;
}
const RecordCodec& ShortCutItemCodec();

// ---- registry values (RegistrySetting / RegistryItems) ----
namespace registry_item {
inline constexpr int kRoot = 1, kSubKey = 2, kValueName = 3, kValue = 4, kValueType = 5, kCondition = 6,
                     kOsMask = 7, kServicePacks = 8;
}
const RecordCodec& RegistryItemCodec();

// ---- INI file entries (IniFileSetting / IniFileItems) ----
namespace ini_item {
inline constexpr int kProcessing = 1, kDefine = 2, kParameter = 3, kFileName = 4, kSection = 5, kValueName = 6,
                     kValue = 7, kOsMask = 8, kServicePacks = 9, kCondition = 10;
}
const RecordCodec& IniItemCodec();

// ---- uninstall lists ----
namespace delete_file_item {
inline constexpr int kType = 1, kDefine = 2, kParameter = 3, kFileName = 4, kPattern = 5, kOptions = 7,
                     kOsMask = 8, kServicePacks = 9;
}
const RecordCodec& DeleteFileItemCodec();
namespace undelete_file_item {
inline constexpr int kType = 1, kDefine = 2, kParameter = 3, kFileName = 4, kPattern = 5, kOsMask = 6,
                     kServicePacks = 7;
}
const RecordCodec& UnDeleteFileItemCodec();
namespace delete_registry_item {
inline constexpr int kType = 1, kRoot = 2, kSubKey = 3, kValueName = 4, kOptions = 5, kOsMask = 7,
                     kServicePacks = 8;
}
const RecordCodec& DeleteRegistryItemCodec();
namespace undelete_registry_item {
inline constexpr int kType = 1, kRoot = 2, kSubKey = 3, kValueName = 4, kReserved = 5, kOsMask = 7,
                     kServicePacks = 8;
}
const RecordCodec& UnDeleteRegistryItemCodec();

// ---- programs to run and related applications ----
namespace program_item {
inline constexpr int kEnabled = 1, kFolder = 2, kFileName = 3, kArguments = 4, kWindow = 5, kTiming = 6,
                     kOptions = 7, kCondition = 8, kOsMask = 9, kServicePacks = 10, kDisplay = 11;
}
const RecordCodec& ProgramItemCodec();
// Field 11 of a program item, separator ",".
namespace program_display {
inline constexpr int kVisible = 1, kChecked = 2, kText = 3;
}
const RecordCodec& ProgramDisplayCodec();
namespace relation_item {
inline constexpr int kEnabled = 1, kName = 2, kKey = 3, kInstallAction = 4, kUninstallAction = 5, kOptions = 8,
                     kOsMask = 9, kServicePacks = 10;
}
const RecordCodec& RelationApplicationItemCodec();

// ---- the lists whose items carry an OS target ----
struct OsTargetList {
    std::string_view settingSection;  // holds UseSection
    std::string_view defaultItems;    // the items section when UseSection is missing
    int maskField;
    int servicePackField;
};
// Files, registry, programs, delete registry, keep files, INI, delete files, keep registry and
// related applications, in that order.
const std::array<OsTargetList, 9>& OsTargetLists();

}  // namespace zeriru
