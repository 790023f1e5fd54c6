// Inside of the registry module: the parsed key tree and its text form.
#pragma once

#include "platform/registry.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry::detail {

// Longest key name, bytes (as Windows allows).
inline constexpr std::size_t kMaxKeyNameBytes = 255;
// Deepest key path, names (as Windows allows); also bounds the recursion over the tree.
inline constexpr std::size_t kMaxKeyDepth = 512;
// Longest value name, bytes.
inline constexpr std::size_t kMaxValueNameBytes = 16383;

struct KeyNode {
    std::string name;  // spelling as created
    std::vector<NamedValue> values;  // in the order first set
    // Keyed by the upper-case name: gives case-blind lookup and the sorted enumeration.
    std::map<std::string, std::unique_ptr<KeyNode>> subkeys;

    KeyNode* FindSubKey(std::string_view name) const;
    KeyNode& AddSubKey(std::string_view name);  // existing or new
    NamedValue* FindValue(std::string_view name);
    const NamedValue* FindValue(std::string_view name) const;
};

// Splits a key path into names; false for a leading '\', an empty or over-long name, or a
// path deeper than kMaxKeyDepth.
bool SplitKeyPath(std::string_view path, std::vector<std::string>* names);

// The hive file's text for `root`, and back. Parse fills `tree` (which must be empty) and
// returns false with a reason (line number and what was expected) for anything that is not
// a complete hive of that root.
std::string FormatHive(const KeyNode& tree, Root root);
bool ParseHive(std::string_view text, Root root, KeyNode* tree, std::string* error);

}  // namespace platform::registry::detail
