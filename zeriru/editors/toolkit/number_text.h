// Decimal numbers in the records and settings the toolkit reads (internal).
#pragma once

#include <charconv>
#include <optional>
#include <string_view>

namespace zeriru::toolkit_detail {

// The whole text as a decimal number (an optional "-"); nullopt otherwise.
inline std::optional<int> ParseInt(std::string_view text) {
    int value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace zeriru::toolkit_detail
