// Whether an item applies on this machine: its OS target (a mask of systems and the lowest
// service packs) and its condition record (a registry key, value, file, folder or INI entry
// that must exist or hold a value), evaluated when the condition's timing covers the phase.
#pragma once

#include "context.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace installer {

// A condition record ("," fields): field 1 timing (0 none, 1 install, 2 uninstall, 3 both),
// 2 type, 3 root key or define, 4 key or parameter, 5 value name or file name, 6 value,
// 7 the item's own option, 8 INI section, 10 the item's own processing timing.
struct Condition {
    int timing = 0;
    int type = 0;
    std::string rootOrDefine;
    std::string keyOrParameter;
    std::string name;
    std::string value;
    int option = 0;
    std::string section;
    int processTiming = 0;
};
Condition ParseCondition(std::string_view rawField);

// Whether the condition holds; true when its timing does not cover the phase (no condition
// then). A condition whose file or INI path the rule of Targets refuses does not hold.
bool ConditionHolds(const Condition& condition, const Context& context);
// The same test without regard to the timing (a program's condition has its own switch).
bool ConditionTestHolds(const Condition& condition, const Context& context);

// Whether an item with this processing timing (condition field 10: 0 install, 1 uninstall,
// 2 both) is processed in the phase.
bool ProcessedIn(const Condition& condition, Phase phase);

// Whether an INI file has a section of that name (ignoring case).
bool ProfileHasSection(const std::filesystem::path& file, std::string_view section);

// Whether the OS mask (empty or unreadable: all) and the service-pack string admit this
// machine.
bool OsTargetAdmits(std::string_view maskField, std::string_view servicePacks, const MachineFacts& machine);

}  // namespace installer
