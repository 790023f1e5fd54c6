// The channel's description in its device key: "DeviceDesc" (and "FriendlyName" when there
// is one) get the board's switch value and the port name, so that the device list shows
// which channel answers as which DIZED port. Runs once per channel, on the first arrival of
// a board interface after start.
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "channel.h"
#include "re7316/re7316.h"

namespace re7316 {
namespace {

const wchar_t kEnumRoot[] = L"\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\";
const wchar_t kOldEnumRoot[] = L"\\Registry\\Machine\\Enum\\";
const wchar_t kProductOptions[] = L"\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
constexpr ULONG kValueBytes = 1024;

bool SameText(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towupper(a[i]) != std::towupper(b[i])) return false;
    return true;
}

// A registry key handle closed with its owner.
class Key {
public:
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (h_) ZwClose(h_);
    }
    bool Open(const std::wstring& path, ULONG access) {
        UNICODE_STRING name;
        RtlInitUnicodeString(&name, path.c_str());
        OBJECT_ATTRIBUTES a;
        InitializeObjectAttributes(&a, &name, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE, nullptr, nullptr);
        return NT_SUCCESS(ZwOpenKey(&h_, access, &a));
    }
    // A REG_SZ value without its terminating zero; false when absent or of another type.
    bool Text(const wchar_t* value, std::wstring* out) const {
        std::vector<UCHAR> buffer(sizeof(KEY_VALUE_PARTIAL_INFORMATION) + kValueBytes);
        UNICODE_STRING name;
        RtlInitUnicodeString(&name, value);
        ULONG length = 0;
        if (!NT_SUCCESS(ZwQueryValueKey(h_, &name, KeyValuePartialInformation, buffer.data(),
                                        static_cast<ULONG>(buffer.size()), &length)))
            return false;
        auto* info = reinterpret_cast<KEY_VALUE_PARTIAL_INFORMATION*>(buffer.data());
        if (info->Type != REG_SZ && info->Type != REG_EXPAND_SZ) return false;
        std::wstring text(info->DataLength / sizeof(WCHAR), L'\0');
        std::memcpy(text.data(), info->Data, text.size() * sizeof(WCHAR));
        text.resize(std::wcslen(text.c_str()));
        *out = text;
        return true;
    }
    NTSTATUS SetText(const wchar_t* value, const std::wstring& text) const {
        UNICODE_STRING name;
        RtlInitUnicodeString(&name, value);
        return ZwSetValueKey(h_, &name, 0, REG_SZ, const_cast<wchar_t*>(text.c_str()),
                             static_cast<ULONG>((text.size() + 1) * sizeof(WCHAR)));
    }
    std::vector<std::wstring> SubKeys() const {
        std::vector<std::wstring> names;
        std::vector<UCHAR> buffer(sizeof(KEY_BASIC_INFORMATION) + 512);
        for (ULONG i = 0;; ++i) {
            ULONG length = 0;
            if (!NT_SUCCESS(ZwEnumerateKey(h_, i, KeyBasicInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                                           &length)))
                break;
            auto* info = reinterpret_cast<KEY_BASIC_INFORMATION*>(buffer.data());
            names.emplace_back(info->Name, info->NameLength / sizeof(WCHAR));
        }
        return names;
    }

private:
    HANDLE h_ = nullptr;
};

// The first string of a device property.
std::wstring Property(PDEVICE_OBJECT pdo, DEVICE_REGISTRY_PROPERTY property) {
    std::vector<WCHAR> buffer(256);
    ULONG length = 0;
    NTSTATUS s = IoGetDeviceProperty(pdo, property, static_cast<ULONG>(buffer.size() * sizeof(WCHAR)), buffer.data(),
                                     &length);
    if (s == STATUS_BUFFER_TOO_SMALL) {
        buffer.assign(length / sizeof(WCHAR) + 1, 0);
        s = IoGetDeviceProperty(pdo, property, static_cast<ULONG>(buffer.size() * sizeof(WCHAR)), buffer.data(), &length);
    }
    if (!NT_SUCCESS(s)) return {};
    buffer.push_back(0);
    return buffer.data();
}

// The channel's instance key: a PCI function's under Enum\<hardware ID>\<instance>, a
// multi-function child's under Enum\MF\<device>\<instance>; the one whose "Driver" is ours.
std::wstring FindDeviceKey(ChannelContext* c) {
    std::wstring hardwareId = Property(c->pdo, DevicePropertyHardwareID);
    std::wstring driverKey = Property(c->pdo, DevicePropertyDriverKeyName);
    if (hardwareId.empty() || driverKey.empty()) return {};
    Key options;
    std::wstring root = options.Open(kProductOptions, KEY_READ) ? kEnumRoot : kOldEnumRoot;
    std::vector<std::wstring> candidates;
    if (SameText(hardwareId.substr(0, 4), L"PCI\\")) {
        Key device;
        std::wstring base = root + hardwareId;
        if (device.Open(base, KEY_READ))
            for (const auto& instance : device.SubKeys()) candidates.push_back(base + L"\\" + instance);
    } else {
        Key mf;
        std::wstring base = root + L"MF";
        if (mf.Open(base, KEY_READ))
            for (const auto& device : mf.SubKeys()) {
                Key d;
                if (!d.Open(base + L"\\" + device, KEY_READ)) continue;
                for (const auto& instance : d.SubKeys()) candidates.push_back(base + L"\\" + device + L"\\" + instance);
            }
    }
    for (const auto& path : candidates) {
        Key k;
        std::wstring driver;
        if (k.Open(path, KEY_READ) && k.Text(L"Driver", &driver) && SameText(driver, driverKey)) return path;
    }
    return {};
}

std::wstring Hex(ULONG value) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%lX", static_cast<unsigned long>(value));
    return text;
}

}  // namespace

NTSTATUS UpdateRegistryDescription(ChannelContext* c) {
    std::wstring path = FindDeviceKey(c);
    if (path.empty()) return STATUS_NO_SUCH_DEVICE;
    Key key;
    if (!key.Open(path, KEY_READ | KEY_WRITE)) return STATUS_NO_SUCH_DEVICE;
    const bool type2 = c->boardType == 2;
    // "DIZED<n>" of "\DosDevices\DIZED<n>".
    std::wstring port = c->linkName;
    port = port.substr(port.rfind(L'\\') + 1);
    const std::wstring portPart = L" (" + port + L")";

    std::wstring described;
    key.Text(L"DeviceDesc", &described);
    std::wstring cut = described;
    size_t at = cut.find(type2 ? L" (" : L" [RSW");
    if (at != std::wstring::npos) cut.resize(at);
    std::wstring text = type2 ? cut : cut + L" [RSW1:" + Hex(c->pci.boardSwitch) + L"]";
    text += portPart;
    NTSTATUS s = key.SetText(L"DeviceDesc", text);
    if (!NT_SUCCESS(s)) return s;

    std::wstring friendly;
    if (!key.Text(L"FriendlyName", &friendly)) return STATUS_SUCCESS;
    size_t old = described.empty() ? std::wstring::npos : friendly.find(described);
    if (old != std::wstring::npos)
        friendly.replace(old, described.size(), text);
    else
        friendly += (type2 ? std::wstring(L"[RSW:]") : L"[RSW1:" + Hex(c->pci.boardSwitch) + L"]") + portPart;
    return key.SetText(L"FriendlyName", friendly);
}

NTSTATUS OnInterfaceChange(PVOID notification, PVOID context) {
    const auto* n = static_cast<const DEVICE_INTERFACE_CHANGE_NOTIFICATION*>(notification);
    auto* c = static_cast<ChannelContext*>(context);
    auto same = [](const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    if (!same(n->Event, GUID_DEVICE_INTERFACE_ARRIVAL)) return STATUS_SUCCESS;
    if (!same(n->InterfaceClassGuid, kInterfaceCan) && !same(n->InterfaceClassGuid, kInterfaceType2))
        return STATUS_SUCCESS;
    if (c->registryUpdated) return STATUS_SUCCESS;
    // A channel whose device key cannot be found stays as it was; a later arrival tries again.
    if (NT_SUCCESS(UpdateRegistryDescription(c))) c->registryUpdated = true;
    return STATUS_SUCCESS;
}

}  // namespace re7316
