#include "zeriru/editors/text_order.h"

#include "platform/sjis.h"

namespace zeriru {

namespace sjis = platform::sjis;

namespace {

enum CharClass : int { kSymbol = 0, kDigit = 1, kLetter = 2, kHalfWidthKana = 3, kDoubleByte = 4 };

// The weight of the character at `pos`: its class and its code within the class, letters folded.
std::pair<int, unsigned> Weight(std::string_view s, std::size_t pos) {
    const auto c = static_cast<unsigned char>(s[pos]);
    if (sjis::CharLength(s, pos) == 2) return {kDoubleByte, (c << 8) | static_cast<unsigned char>(s[pos + 1])};
    if (c >= '0' && c <= '9') return {kDigit, c};
    if (c >= 'A' && c <= 'Z') return {kLetter, c + ('a' - 'A')};
    if (c >= 'a' && c <= 'z') return {kLetter, c};
    if (c >= 0xA1 && c <= 0xDF) return {kHalfWidthKana, c};
    return {kSymbol, c};
}

bool IsUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }

}  // namespace

int CompareListTexts(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    int caseOrder = 0;  // the first difference in case alone: lower case first
    while (i < a.size() && j < b.size()) {
        const auto wa = Weight(a, i), wb = Weight(b, j);
        if (wa != wb) return wa < wb ? -1 : 1;
        if (caseOrder == 0 && a[i] != b[j] && wa.first == kLetter)
            caseOrder = IsUpper(static_cast<unsigned char>(a[i])) ? 1 : -1;
        i = sjis::NextChar(a, i);
        j = sjis::NextChar(b, j);
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    if (caseOrder != 0) return caseOrder;
    const int bytes = a.compare(b);
    return bytes < 0 ? -1 : (bytes > 0 ? 1 : 0);
}

}  // namespace zeriru
