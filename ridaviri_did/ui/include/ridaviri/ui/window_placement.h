// Where the main window was: its normal-state rectangle and show state, kept per user in the
// settings store (HKEY_CURRENT_USER) under the program's key, section "Window".
#pragma once

#include <string>

#include "platform/registry.h"

namespace ridaviri {

// The key of the settings store and the program's section path under it.
inline constexpr const char* kSettingsStoreKey = "Local AppWizard-Generated Applications";
// "Software\Local AppWizard-Generated Applications\RAdizavizediv\Window"
std::string WindowPlacementKey();

// Show states as the store keeps them.
inline constexpr int kShowNormal = 1;
inline constexpr int kShowMinimized = 2;
inline constexpr int kShowMaximized = 3;

struct WindowPlacement {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int show = kShowNormal;

    bool Empty() const { return right <= left || bottom <= top; }
    bool operator==(const WindowPlacement&) const = default;
};

// Missing values give 0 (the rectangle) and 1 (the show state).
WindowPlacement ReadWindowPlacement(platform::registry::Registry& registry);
// false when the store could not be written.
bool WriteWindowPlacement(platform::registry::Registry& registry, const WindowPlacement& placement);

}  // namespace ridaviri
