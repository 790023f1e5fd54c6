// The order in which the list dialogs sort the texts of a column. It is fixed here rather
// than taken from the machine's locale, so a list sorts the same way on every machine:
// characters compare by class (blanks and symbols, digits, letters, half-width kana, then
// double-byte characters by their code), letters without regard to case; of two texts that
// differ only in the case of letters, the one whose first differing letter is lower case comes
// first; texts equal in all that compare byte by byte. A text sorts before every longer text
// that begins with it.
#pragma once

#include <string_view>

namespace zeriru {

// < 0, 0 or > 0 as `a` sorts before, with or after `b` (Shift-JIS texts).
int CompareListTexts(std::string_view a, std::string_view b);
inline bool ListTextLess(std::string_view a, std::string_view b) { return CompareListTexts(a, b) < 0; }

}  // namespace zeriru
