#include "zeriru/editors/item_sections.h"

#include "platform/sjis.h"
#include "zeriru/project_file.h"

#include <array>

namespace zeriru {

namespace sjis = platform::sjis;

namespace {

// Sections of the project that hold no list items.
constexpr std::array<std::string_view, 9> kFrameSections = {
    "Project", "SupportInfo", "ButtonStatus", "Software", "Installer",
    "InstallLimit", "ScreenSetting", "OSSetting", "UninstallSetting"};

// Part of the name of every language-text section ("<module key>ResourceString_<language>").
constexpr std::string_view kLanguageSectionMark = "ResourceString_";

bool SameList(const ItemListSections& a, const ItemListSections& b) { return NamesEqual(a.setting, b.setting); }

bool IsReserved(const TIniDocument& project, const ItemListSections& list, std::string_view section) {
    if (section.empty()) return true;
    if (sjis::FindTextNoCase(section, kLanguageSectionMark) != sjis::npos) return true;
    for (std::string_view frame : kFrameSections) {
        if (NamesEqual(frame, section)) return true;
    }
    for (const ItemListSections& other : ProjectItemLists()) {
        if (NamesEqual(other.setting, section)) return true;
        if (SameList(other, list)) continue;
        if (NamesEqual(ItemsSectionName(project, other.setting, other.defaultItems), section)) return true;
    }
    return false;
}

}  // namespace

const std::vector<ItemListSections>& ProjectItemLists() {
    static const std::vector<ItemListSections> lists = {
        {"FilesSetting", "Files"},
        {"ShortCutSetting", "ShortCutItems"},
        {"RegistrySetting", "RegistryItems"},
        {"IniFileSetting", "IniFileItems"},
        {"DeleteFileSetting", "DeleteFileItems"},
        {"UnDeleteFileSetting", "UnDeleteFileItems"},
        {"DeleteRegistrySetting", "DeleteRegistryItems"},
        {"UnDeleteRegistrySetting", "UnDeleteRegistryItems"},
        {"ProgramSetting", "ProgramItems"},
        {"RelationApplicationSetting", "RelationApplicationItems"},
        {"InstallProcessOrderSetting", "InstallProcessOrderItems"},
        {"UnInstallProcessOrderSetting", "UnInstallProcessOrderItems"},
    };
    return lists;
}

std::string ItemsSectionForWriting(const TIniDocument& project, const ItemListSections& list) {
    const std::string named = ItemsSectionName(project, list.setting, list.defaultItems);
    if (!IsReserved(project, list, named)) return named;
    return std::string(list.defaultItems);
}

void WriteItemList(TIniDocument& project, const ItemListSections& list, const std::vector<std::string>& records) {
    WriteItemLists(project, {{list, &records}});
}

void WriteItemLists(TIniDocument& project, const std::vector<ItemListRecords>& lists) {
    std::vector<std::string> sections;
    for (const ItemListRecords& l : lists) sections.push_back(ItemsSectionForWriting(project, l.list));
    for (std::size_t i = 0; i < lists.size(); ++i) project.WriteString(lists[i].list.setting, key::kUseSection, sections[i]);
    for (std::size_t i = 0; i < lists.size(); ++i) WriteItems(project, sections[i], *lists[i].records);
}

}  // namespace zeriru
