// The define combos of the item dialogs: a stored define put into a combo selects the entry
// equal to it (ignoring case); a define that no entry holds is inserted as the first entry.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

struct DefineComboChoice {
    std::vector<std::string> entries;
    int selected = -1;  // -1: an empty define, nothing selected
};

DefineComboChoice PlaceDefine(std::vector<std::string> entries, std::string_view define);

}  // namespace zeriru
