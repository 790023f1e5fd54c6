#include "platform/prefix.h"

#include <cstdlib>

namespace platform {

std::filesystem::path PrefixRoot() {
    if (const char* root = std::getenv("PLATFORM_ROOT"); root && *root) return root;
    std::filesystem::path data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        data = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        data = std::filesystem::path(home) / ".local" / "share";
    } else {
        data = "/tmp";
    }
    return data / kSuiteName / "prefix";
}

std::filesystem::path RegistryFolder() { return PrefixRoot() / "registry"; }

}  // namespace platform
