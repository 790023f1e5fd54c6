#include "zeriru/editors/define_combo.h"

#include "platform/sjis.h"

namespace zeriru {

DefineComboChoice PlaceDefine(std::vector<std::string> entries, std::string_view define) {
    DefineComboChoice choice{std::move(entries), -1};
    if (define.empty()) return choice;
    for (std::size_t i = 0; i < choice.entries.size(); ++i) {
        if (platform::sjis::EqualsNoCase(choice.entries[i], define)) {
            choice.selected = static_cast<int>(i);
            return choice;
        }
    }
    choice.entries.insert(choice.entries.begin(), std::string(define));
    choice.selected = 0;
    return choice;
}

}  // namespace zeriru
