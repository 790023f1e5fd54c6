#include "ridaviri/ui/window_placement.h"

#include <cstdint>

#include "ridaviri/ui/device_dialogs.h"

namespace ridaviri {
namespace {

using platform::registry::Registry;
using platform::registry::Root;
using platform::registry::Status;

int Read(Registry& registry, const std::string& key, const char* name, int fallback) {
    return static_cast<int32_t>(registry.GetDword(Root::CurrentUser, key, name, static_cast<uint32_t>(fallback)));
}

}  // namespace

std::string WindowPlacementKey() {
    return std::string("Software\\") + kSettingsStoreKey + "\\" + kApplicationTitle + "\\Window";
}

WindowPlacement ReadWindowPlacement(Registry& registry) {
    const std::string key = WindowPlacementKey();
    WindowPlacement p;
    p.left = Read(registry, key, "left", 0);
    p.top = Read(registry, key, "top", 0);
    p.right = Read(registry, key, "right", 0);
    p.bottom = Read(registry, key, "bottom", 0);
    p.show = Read(registry, key, "show", kShowNormal);
    return p;
}

bool WriteWindowPlacement(Registry& registry, const WindowPlacement& placement) {
    const std::string key = WindowPlacementKey();
    const Status status = registry.Edit(Root::CurrentUser, [&](platform::registry::HiveEdit& edit) {
        const std::pair<const char*, int> values[] = {{"left", placement.left},
                                                      {"top", placement.top},
                                                      {"right", placement.right},
                                                      {"bottom", placement.bottom},
                                                      {"show", placement.show}};
        for (const auto& [name, value] : values) {
            const Status s = edit.SetValue(key, name, platform::registry::Value::Dword(static_cast<uint32_t>(value)));
            if (s != Status::Ok) return s;
        }
        return Status::Ok;
    });
    return status == Status::Ok;
}

}  // namespace ridaviri
