// SetupDi enumeration of device interfaces and device-change notifications.
#include <cstddef>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "platform/device.h"
#include "platform/request_path.h"

using namespace platform::device;

namespace {

struct InfoSet {
    std::vector<std::pair<GUID, std::string>> interfaces;
};

std::mutex gSetMutex;
std::map<uintptr_t, std::shared_ptr<InfoSet>>& Sets() {
    static auto* s = new std::map<uintptr_t, std::shared_ptr<InfoSet>>;
    return *s;
}
uintptr_t gNextSet = 0x7000;

std::shared_ptr<InfoSet> FindSet(HDEVINFO set) {
    std::lock_guard lk(gSetMutex);
    auto it = Sets().find(reinterpret_cast<uintptr_t>(set));
    return it == Sets().end() ? nullptr : it->second;
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace

HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, LPCSTR, HWND, DWORD flags) {
    if (!(flags & DIGCF_DEVICEINTERFACE) || !classGuid) {
        // Only interface enumeration of one class is served.
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto set = std::make_shared<InfoSet>();
    for (auto& p : CurrentPath().InterfacePaths(*classGuid)) set->interfaces.emplace_back(*classGuid, p);
    std::lock_guard lk(gSetMutex);
    uintptr_t h = gNextSet += 4;
    Sets()[h] = set;
    return reinterpret_cast<HDEVINFO>(h);
}

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID* classGuid, DWORD index,
                                 PSP_DEVICE_INTERFACE_DATA data) {
    auto s = FindSet(set);
    if (!s) return Fail(ERROR_INVALID_HANDLE);
    if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) return Fail(ERROR_INVALID_USER_BUFFER);
    DWORD n = 0;
    for (DWORD i = 0; i < s->interfaces.size(); ++i) {
        if (classGuid && !(s->interfaces[i].first == *classGuid)) continue;
        if (n++ == index) {
            data->InterfaceClassGuid = s->interfaces[i].first;
            data->Flags = SPINT_ACTIVE;
            data->Reserved = i;
            return TRUE;
        }
    }
    return Fail(ERROR_NO_MORE_ITEMS);
}

BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize, PDWORD requiredSize,
                                      PSP_DEVINFO_DATA) {
    auto s = FindSet(set);
    if (!s) return Fail(ERROR_INVALID_HANDLE);
    if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) || data->Reserved >= s->interfaces.size())
        return Fail(ERROR_INVALID_PARAMETER);
    const std::string& path = s->interfaces[data->Reserved].second;
    DWORD need = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    if (requiredSize) *requiredSize = need;
    if (!detail) return Fail(detailSize ? ERROR_INVALID_USER_BUFFER : ERROR_INSUFFICIENT_BUFFER);
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return Fail(ERROR_INVALID_USER_BUFFER);
    if (detailSize < need) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    return TRUE;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    std::lock_guard lk(gSetMutex);
    return Sets().erase(reinterpret_cast<uintptr_t>(set)) ? TRUE : Fail(ERROR_INVALID_HANDLE);
}

// ---------------------------------------------------------------- notifications
namespace {
std::mutex gNotifyMutex;
std::map<uintptr_t, int>& Subscriptions() {
    static auto* s = new std::map<uintptr_t, int>;
    return *s;
}
uintptr_t gNextNotify = 0x9000;
}  // namespace

HDEVNOTIFY RegisterDeviceNotificationCallback(const GUID* classGuid, DeviceChangeCallback callback) {
    bool all = classGuid == nullptr;
    GUID want = all ? GUID{} : *classGuid;
    int id = CurrentPath().Subscribe([=](const GUID& g, const std::string& path, bool arrival) {
        if (all || g == want) callback(arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE, g, path);
    });
    if (!id) {
        SetLastError(ERROR_DEV_NOT_EXIST);
        return nullptr;
    }
    std::lock_guard lk(gNotifyMutex);
    uintptr_t h = gNextNotify += 4;
    Subscriptions()[h] = id;
    return reinterpret_cast<HDEVNOTIFY>(h);
}

BOOL UnregisterDeviceNotification(HDEVNOTIFY notification) {
    int id;
    {
        std::lock_guard lk(gNotifyMutex);
        auto it = Subscriptions().find(reinterpret_cast<uintptr_t>(notification));
        if (it == Subscriptions().end()) return Fail(ERROR_INVALID_HANDLE);
        id = it->second;
        Subscriptions().erase(it);
    }
    CurrentPath().Unsubscribe(id);
    return TRUE;
}
