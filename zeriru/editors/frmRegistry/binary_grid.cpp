#include "zeriru/editors/binary_grid.h"

#include "platform/sjis.h"

#include <algorithm>
#include <cstdio>

namespace zeriru {

namespace {

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

char Upper(char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsBlank(std::string_view cell) {
    return std::all_of(cell.begin(), cell.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// A cell as a byte of the record: one or two hexadecimal digits, "00" for anything else.
std::string ByteText(std::string_view cell) {
    while (!cell.empty() && IsBlank(cell.substr(0, 1))) cell.remove_prefix(1);
    while (!cell.empty() && IsBlank(cell.substr(cell.size() - 1))) cell.remove_suffix(1);
    if (cell.empty() || cell.size() > 2 || !std::all_of(cell.begin(), cell.end(), IsHexDigit)) return "00";
    std::string digits = cell.size() == 1 ? "0" : "";
    for (char c : cell) digits += Upper(c);
    return digits;
}

}  // namespace

std::string FilterBinaryCell(std::string_view typed) {
    std::string cell;
    for (char c : typed) {
        if (cell.size() == 2) break;
        if (IsHexDigit(c)) cell += Upper(c);
    }
    return cell;
}

std::string BinaryRowHeader(int row) {
    char text[16];
    std::snprintf(text, sizeof text, "%.4d", row * kBinaryGridColumns);
    return text;
}

std::string BinaryValueFromCells(const std::vector<std::string>& cells) {
    const std::size_t limit = std::min<std::size_t>(cells.size(), kBinaryValueLimit);
    std::size_t length = 0;
    for (std::size_t i = 0; i < limit; ++i)
        if (!IsBlank(cells[i])) length = i + 1;
    std::string value;
    for (std::size_t i = 0; i < length; ++i) {
        if (i > 0) value += ',';
        value += ByteText(cells[i]);
    }
    return value;
}

std::vector<std::string> BinaryCellsFromValue(std::string_view value) {
    std::vector<std::string> cells;
    if (!value.empty()) {
        for (const std::string& part : platform::sjis::SplitSjis(value, ',')) {
            if (cells.size() == static_cast<std::size_t>(kBinaryValueLimit)) break;
            cells.push_back(FilterBinaryCell(part));
        }
    }
    if (cells.size() < static_cast<std::size_t>(kBinaryGridCells)) cells.resize(kBinaryGridCells);
    return cells;
}

}  // namespace zeriru
