// Where the setting editors write their item lists. A list's items live in the section its
// settings section names with UseSection (the list's default without one), and an editor erases
// that section before it writes the items again. A project is untrusted input: a UseSection that
// names a section the project keeps something else in (a frame section such as [Project], a
// settings section, another list's items or the language texts) would have that erased, so such
// a list is written to its default section instead and UseSection is set to it.
#pragma once

#include "zeriru/ini_document.h"

#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

// A list of the project: its settings section and its default items section.
struct ItemListSections {
    std::string_view setting;
    std::string_view defaultItems;
};

// Every list of a project (files, shortcuts, registry, INI, the four uninstall lists, programs,
// related applications, the two process orders).
const std::vector<ItemListSections>& ProjectItemLists();

// The items section of the list as the editors write it.
std::string ItemsSectionForWriting(const TIniDocument& project, const ItemListSections& list);

// Writes UseSection and the items ("0", "1", ... after erasing the section) of the list.
void WriteItemList(TIniDocument& project, const ItemListSections& list, const std::vector<std::string>& records);

// The same for several lists of one editor: every UseSection first, then the items, so the
// sections of the lists stand in the same order however often the editor writes them.
struct ItemListRecords {
    ItemListSections list;
    const std::vector<std::string>* records;
};
void WriteItemLists(TIniDocument& project, const std::vector<ItemListRecords>& lists);

}  // namespace zeriru
