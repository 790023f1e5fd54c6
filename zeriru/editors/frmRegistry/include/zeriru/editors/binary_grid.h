// The byte grid of a binary registry value: 256 rows of 8 cells, each cell two hexadecimal
// digits, and its conversion to and from the value text of the record (bytes as two upper-case
// hexadecimal digits joined by ","). The cells are numbered row by row; the last cell that is
// not blank decides the length, and every cell up to it that is blank or unreadable is 00.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

inline constexpr int kBinaryGridColumns = 8;
inline constexpr int kBinaryGridRows = 256;
inline constexpr int kBinaryGridCells = kBinaryGridColumns * kBinaryGridRows;
// Most bytes a value converts (and the import reads); the cells beyond the grid are kept but
// not shown.
inline constexpr int kBinaryValueLimit = 16384;

// What a cell keeps of typed text: hexadecimal digits only, in upper case, at most two.
std::string FilterBinaryCell(std::string_view typed);
// The heading of a row: the offset of its first byte with four digits ("0000", "0008", ...).
std::string BinaryRowHeader(int row);

// The value text of the cells.
std::string BinaryValueFromCells(const std::vector<std::string>& cells);
// The cells of a value text: at least the grid's, at most kBinaryValueLimit.
std::vector<std::string> BinaryCellsFromValue(std::string_view value);

}  // namespace zeriru
