#include "zeriru/editors/record_kinds.h"

#include "zeriru/project_file.h"

namespace zeriru {

namespace {

constexpr FieldKind kText = FieldKind::Text;
constexpr FieldKind kRaw = FieldKind::Raw;
constexpr FieldKind kInt = FieldKind::Integer;
constexpr FieldKind kBool = FieldKind::Boolean;

// Items of the "|" lists: twenty fields, texts stripped of blanks at both ends.
RecordCodec ItemCodec(std::string_view kind, std::vector<RecordField> fields, bool trim = true) {
    return RecordCodec(kind, '|', kItemFieldCount, trim, std::move(fields));
}

}  // namespace

const RecordCodec& FilesItemCodec() {
    using namespace files_item;
    static const RecordCodec codec = ItemCodec(
        "files", {{kEnabled, "enabled", kBool, "1"},      {kKind, "kind", kInt, "0"},
                  {kDefine, "define", kText, ""},         {kParameter, "parameter", kText, ""},
                  {kSource, "source", kText, ""},         {kComment, "comment", kText, ""},
                  {kDescription, "description", kText, ""}, {kOptions, "options", kInt, "0"},
                  {kAttributes, "attributes", kInt, "0"}, {kOsMask, "os", kInt, "65535"},
                  {kServicePacks, "sp", kRaw, ""},        {kCondition, "condition", kRaw, ""}});
    return codec;
}

const RecordCodec& ShortCutItemCodec() {
    using namespace shortcut_item;
    static const RecordCodec codec = ItemCodec(
        "shortcut", {{kName, "name", kText, ""},          {kTarget, "target", kText, ""},
                     {kArguments, "arguments", kText, ""}, {kWorkingDirectory, "workdir", kText, ""},
                     {kIconFile, "icon", kText, ""},       {kIconIndex, "iconindex", kInt, "0"},
                     {kComment, "comment", kText, ""},     {kWindow, "window", kInt, "0"},
                     {kTargets, "targets", kInt, "2"},     {kFlags, "flags", kInt, "0"}});
    return codec;
}

const RecordCodec& RegistryItemCodec() {
    using namespace registry_item;
    static const RecordCodec codec = ItemCodec(
        "registry", {{kRoot, "root", kRaw, ""},           {kSubKey, "subkey", kText, ""},
                     {kValueName, "name", kText, ""},     {kValue, "value", kText, ""},
                     {kValueType, "type", kInt, "0"},     {kCondition, "condition", kRaw, ""},
                     {kOsMask, "os", kInt, "65535"},      {kServicePacks, "sp", kRaw, ""}});
    return codec;
}

const RecordCodec& IniItemCodec() {
    using namespace ini_item;
    static const RecordCodec codec = ItemCodec(
        "ini", {{kProcessing, "processing", kInt, "0"}, {kDefine, "define", kText, ""},
                {kParameter, "parameter", kText, ""},   {kFileName, "file", kText, ""},
                {kSection, "section", kText, ""},       {kValueName, "name", kText, ""},
                {kValue, "value", kText, ""},           {kOsMask, "os", kInt, "65535"},
                {kServicePacks, "sp", kRaw, ""},        {kCondition, "condition", kRaw, ""}});
    return codec;
}

const RecordCodec& DeleteFileItemCodec() {
    using namespace delete_file_item;
    static const RecordCodec codec = ItemCodec(
        "deletefile", {{kType, "type", kInt, "0"},          {kDefine, "define", kText, ""},
                       {kParameter, "parameter", kText, ""}, {kFileName, "file", kText, ""},
                       {kPattern, "pattern", kText, ""},     {kOptions, "options", kInt, "0"},
                       {kOsMask, "os", kInt, "65535"},       {kServicePacks, "sp", kRaw, ""}});
    return codec;
}

const RecordCodec& UnDeleteFileItemCodec() {
    using namespace undelete_file_item;
    static const RecordCodec codec = ItemCodec(
        "undeletefile", {{kType, "type", kInt, "0"},          {kDefine, "define", kText, ""},
                         {kParameter, "parameter", kText, ""}, {kFileName, "file", kText, ""},
                         {kPattern, "pattern", kText, ""},     {kOsMask, "os", kInt, "65535"},
                         {kServicePacks, "sp", kRaw, ""}});
    return codec;
}

const RecordCodec& DeleteRegistryItemCodec() {
    using namespace delete_registry_item;
    static const RecordCodec codec = ItemCodec(
        "deleteregistry", {{kType, "type", kInt, "0"},       {kRoot, "root", kRaw, ""},
                           {kSubKey, "subkey", kText, ""},   {kValueName, "name", kText, ""},
                           {kOptions, "options", kInt, "0"}, {kOsMask, "os", kInt, "65535"},
                           {kServicePacks, "sp", kRaw, ""}});
    return codec;
}

const RecordCodec& UnDeleteRegistryItemCodec() {
    using namespace undelete_registry_item;
    static const RecordCodec codec = ItemCodec(
        "undeleteregistry", {{kType, "type", kInt, "0"},        {kRoot, "root", kRaw, ""},
                             {kSubKey, "subkey", kText, ""},    {kValueName, "name", kText, ""},
                             {kReserved, "reserved", kRaw, ""}, {kOsMask, "os", kInt, "65535"},
                             {kServicePacks, "sp", kRaw, ""}});
    return codec;
}

const RecordCodec& ProgramItemCodec() {
    using namespace program_item;
    static const RecordCodec codec = ItemCodec(
        "program", {{kEnabled, "enabled", kBool, "1"},   {kFolder, "folder", kText, ""},
                    {kFileName, "file", kText, ""},      {kArguments, "arguments", kText, ""},
                    {kWindow, "window", kInt, "0"},      {kTiming, "timing", kInt, "0"},
                    {kOptions, "options", kInt, "0"},    {kCondition, "condition", kRaw, ""},
                    {kOsMask, "os", kInt, "65535"},      {kServicePacks, "sp", kRaw, ""},
                    {kDisplay, "display", kRaw, ""}},
        false);
    return codec;
}

const RecordCodec& ProgramDisplayCodec() {
    using namespace program_display;
    static const RecordCodec codec("display", ',', 3, false,
                                   {{kVisible, "visible", kBool, "1"},
                                    {kChecked, "checked", kBool, "1"},
                                    {program_display::kText, "text", FieldKind::Text, ""}});
    return codec;
}

const RecordCodec& RelationApplicationItemCodec() {
    using namespace relation_item;
    static const RecordCodec codec = ItemCodec(
        "relation", {{kEnabled, "enabled", kBool, "1"},          {kName, "name", kText, ""},
                     {kKey, "key", kText, ""},                   {kInstallAction, "install", kInt, "0"},
                     {kUninstallAction, "uninstall", kInt, "0"}, {kOptions, "options", kInt, "0"},
                     {kOsMask, "os", kInt, "65535"},             {kServicePacks, "sp", kRaw, ""}},
        false);
    return codec;
}

const std::array<OsTargetList, 9>& OsTargetLists() {
    static const std::array<OsTargetList, 9> lists = {{
        {"FilesSetting", "Files", files_item::kOsMask, files_item::kServicePacks},
        {"RegistrySetting", "RegistryItems", registry_item::kOsMask, registry_item::kServicePacks},
        {"ProgramSetting", "ProgramItems", program_item::kOsMask, program_item::kServicePacks},
        {"DeleteRegistrySetting", "DeleteRegistryItems", delete_registry_item::kOsMask,
         delete_registry_item::kServicePacks},
        {"UnDeleteFileSetting", "UnDeleteFileItems", undelete_file_item::kOsMask, undelete_file_item::kServicePacks},
        {"IniFileSetting", "IniFileItems", ini_item::kOsMask, ini_item::kServicePacks},
        {"DeleteFileSetting", "DeleteFileItems", delete_file_item::kOsMask, delete_file_item::kServicePacks},
        {"UnDeleteRegistrySetting", "UnDeleteRegistryItems", undelete_registry_item::kOsMask,
         undelete_registry_item::kServicePacks},
        {"RelationApplicationSetting", "RelationApplicationItems", relation_item::kOsMask,
         relation_item::kServicePacks},
    }};
    return lists;
}

}  // namespace zeriru
