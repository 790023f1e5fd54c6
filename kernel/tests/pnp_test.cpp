// Plug and play, power, names, interfaces and the drivers' registry.
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "kernel/wdm.h"
#include "machine_fixture.h"
#include "platform/registry.h"
#include "platform/sjis.h"

using namespace testdrv;

namespace {

class PnpTest : public MachineTest {};

TEST_F(PnpTest, ArrivalLoadsTheDriverAddsAndStartsTheDevice) {
    PDEVICE_OBJECT pdo = Plug(0);
    ASSERT_NE(pdo, nullptr);
    EXPECT_TRUE(TraceHas("tdrv: loaded"));
    EXPECT_TRUE(TraceHas("tdrv: start 0x00000000"));
    std::shared_ptr<kernel::OpenFile> f;
    EXPECT_EQ(machine_->Open("\\\\.\\test1", &f), STATUS_SUCCESS) << "link names ignore case";
    machine_->Close(f);
}

TEST_F(PnpTest, FailedStartRemovesTheDeviceAgain) {
    DriverFaults().failStart = true;
    NTSTATUS s = 0;
    EXPECT_EQ(Plug(0, &s), nullptr);
    EXPECT_EQ(s, STATUS_UNSUCCESSFUL);
    EXPECT_TRUE(TraceHas("tdrv: remove"));
    EXPECT_TRUE(TraceHas("tdrv: unload")) << "its only device is gone";
    std::shared_ptr<kernel::OpenFile> f;
    EXPECT_EQ(machine_->Open("\\\\.\\TEST1", &f), STATUS_OBJECT_NAME_NOT_FOUND);
}

TEST_F(PnpTest, DeviceWithoutDriverIsNotAdded) {
    class Orphan : public kernel::PhysicalDevice {
        std::wstring HardwareId() const override { return L"PCI\\VEN_FFFF&DEV_0001"; }
    };
    NTSTATUS s = 0;
    EXPECT_EQ(machine_->PlugIn(std::make_shared<Orphan>(), &s), nullptr);
    EXPECT_EQ(s, STATUS_NO_SUCH_DEVICE);
}

TEST_F(PnpTest, LinkNamesSkipCollisionsAndAreFreedOnRemoval) {
    PDEVICE_OBJECT a = Plug(0);
    PDEVICE_OBJECT b = Plug(1);
    ASSERT_TRUE(a && b);
    std::shared_ptr<kernel::OpenFile> f;
    ASSERT_EQ(machine_->Open("\\\\.\\TEST2", &f), STATUS_SUCCESS);
    machine_->Close(f);
    EXPECT_EQ(machine_->Remove(a), STATUS_SUCCESS);
    EXPECT_EQ(machine_->Open("\\\\.\\TEST1", &f), STATUS_OBJECT_NAME_NOT_FOUND);
    ASSERT_NE(Plug(2), nullptr);
    EXPECT_EQ(machine_->Open("\\\\.\\TEST1", &f), STATUS_SUCCESS) << "the freed link number is taken again";
    machine_->Close(f);

    UNICODE_STRING link, target;
    RtlInitUnicodeString(&link, L"\\DosDevices\\TEST2");
    RtlInitUnicodeString(&target, L"\\Device\\Other");
    EXPECT_EQ(IoCreateSymbolicLink(&link, &target), STATUS_OBJECT_NAME_COLLISION);
}

TEST_F(PnpTest, QueryRemoveRefusedOrVetoedIsCancelled) {
    PDEVICE_OBJECT pdo = Plug(0);
    DriverFaults().refuseQueryRemove = true;
    EXPECT_EQ(machine_->Remove(pdo), STATUS_UNSUCCESSFUL);
    DriverFaults().refuseQueryRemove = false;
    std::shared_ptr<kernel::OpenFile> f;
    ASSERT_EQ(machine_->Open("\\\\.\\TEST1", &f), STATUS_SUCCESS);
    // Open handle: the removal is vetoed and the device accepts requests again.
    EXPECT_EQ(machine_->Remove(pdo), STATUS_DEVICE_BUSY);
    kernel::UserRequest rq;
    rq.code = IOCTL_TEST_ECHO;
    NTSTATUS got = 0;
    machine_->Submit(f, rq, [&](NTSTATUS s, ULONG_PTR, bool) { got = s; });
    EXPECT_EQ(got, STATUS_SUCCESS);
    machine_->Close(f);
    EXPECT_EQ(machine_->Remove(pdo), STATUS_SUCCESS);
    EXPECT_TRUE(TraceHas("tdrv: remove"));
}

TEST_F(PnpTest, StopAndRestartKeepsTheDeviceWorking) {
    PDEVICE_OBJECT pdo = Plug(0);
    EXPECT_EQ(machine_->StopAndRestart(pdo), STATUS_SUCCESS);
    std::shared_ptr<kernel::OpenFile> f;
    ASSERT_EQ(machine_->Open("\\\\.\\TEST1", &f), STATUS_SUCCESS);
    machine_->Close(f);
}

TEST_F(PnpTest, CapabilitiesComeFromTheBusAndTheDriver) {
    PDEVICE_OBJECT pdo = Plug(0);
    DEVICE_CAPABILITIES caps;
    EXPECT_EQ(machine_->QueryCapabilities(pdo, &caps), STATUS_SUCCESS);
    EXPECT_EQ(caps.DeviceState[PowerSystemWorking], PowerDeviceD0);
    EXPECT_EQ(caps.DeviceState[PowerSystemSleeping3], PowerDeviceD3);
    EXPECT_EQ(caps.SurpriseRemovalOK, 1u);
}

TEST_F(PnpTest, SystemPowerRequestReachesTheDriver) {
    Plug(0);
    machine_->SetSystemPower(PowerSystemSleeping3);
    machine_->SetSystemPower(PowerSystemWorking);
    EXPECT_TRUE(TraceHas("tdrv: power D3"));
    EXPECT_TRUE(TraceHas("tdrv: power D0"));
}

TEST_F(PnpTest, EnumKeyAndDevicePropertiesDescribeTheDevice) {
    PDEVICE_OBJECT pdo = Plug(0);
    std::wstring key = machine_->EnumKeyPath(pdo);
    EXPECT_EQ(key, L"\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\TEST\\TDRV\\0");
    kernel::RegistryValue v;
    ASSERT_TRUE(machine_->registry().QueryValue(key, L"Driver", &v));
    std::wstring driverKey = kernel::SzText(v);
    WCHAR buf[128];
    ULONG len = 0;
    EXPECT_EQ(IoGetDeviceProperty(pdo, DevicePropertyDriverKeyName, sizeof buf, buf, &len), STATUS_SUCCESS);
    EXPECT_EQ(std::wstring(buf), driverKey);
    EXPECT_EQ(IoGetDeviceProperty(pdo, DevicePropertyHardwareID, 4, buf, &len), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(len, (std::wstring(L"TEST\\TDRV").size() + 2) * sizeof(WCHAR));
    EXPECT_EQ(IoGetDeviceProperty(pdo, DevicePropertyHardwareID, sizeof buf, buf, &len), STATUS_SUCCESS);
    EXPECT_EQ(std::wstring(buf), L"TEST\\TDRV");
    EXPECT_TRUE(machine_->registry().KeyExists(L"\\Registry\\Machine\\SYSTEM\\CurrentControlSet\\Control\\ProductOptions"));
}

TEST_F(PnpTest, DriverRegistryKeysReadAndWrite) {
    PDEVICE_OBJECT pdo = Plug(0);
    HANDLE key = nullptr;
    ASSERT_EQ(IoOpenDeviceRegistryKey(pdo, PLUGPLAY_REGKEY_DEVICE, KEY_ALL_ACCESS, &key), STATUS_SUCCESS);
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, L"Speed");
    ULONG speed = 500;
    EXPECT_EQ(ZwSetValueKey(key, &name, 0, REG_DWORD, &speed, 4), STATUS_SUCCESS);
    UCHAR small[offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data) + 2];  // header and half the value
    ULONG need = 0;
    EXPECT_EQ(ZwQueryValueKey(key, &name, KeyValuePartialInformation, small, sizeof small, &need), STATUS_BUFFER_OVERFLOW);
    UCHAR big[64];
    ASSERT_EQ(ZwQueryValueKey(key, &name, KeyValuePartialInformation, big, sizeof big, &need), STATUS_SUCCESS);
    auto* info = reinterpret_cast<KEY_VALUE_PARTIAL_INFORMATION*>(big);
    EXPECT_EQ(info->Type, static_cast<ULONG>(REG_DWORD));
    ULONG back = 0;
    std::memcpy(&back, info->Data, 4);
    EXPECT_EQ(back, 500u);
    ZwClose(key);

    // The Enum tree, walked the way a driver finds its instance key.
    OBJECT_ATTRIBUTES oa;
    UNICODE_STRING path;
    RtlInitUnicodeString(&path, L"\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\TEST\\TDRV");
    InitializeObjectAttributes(&oa, &path, OBJ_CASE_INSENSITIVE, nullptr, nullptr);
    ASSERT_EQ(ZwOpenKey(&key, KEY_READ, &oa), STATUS_SUCCESS);
    UCHAR entry[128];
    ASSERT_EQ(ZwEnumerateKey(key, 0, KeyBasicInformation, entry, sizeof entry, &need), STATUS_SUCCESS);
    auto* basic = reinterpret_cast<KEY_BASIC_INFORMATION*>(entry);
    EXPECT_EQ(std::wstring(basic->Name, basic->NameLength / sizeof(WCHAR)), L"0");
    EXPECT_EQ(ZwEnumerateKey(key, 1, KeyBasicInformation, entry, sizeof entry, &need), STATUS_NO_MORE_ENTRIES);
    ZwClose(key);
    RtlInitUnicodeString(&path, L"\\Registry\\Machine\\Enum\\Nothing");
    EXPECT_EQ(ZwOpenKey(&key, KEY_READ, &oa), STATUS_OBJECT_NAME_NOT_FOUND);
}

struct Seen {
    std::mutex m;
    std::vector<std::pair<bool, std::wstring>> events;
};
NTSTATUS OnInterface(PVOID notification, PVOID context) {
    auto* n = static_cast<DEVICE_INTERFACE_CHANGE_NOTIFICATION*>(notification);
    auto* seen = static_cast<Seen*>(context);
    std::lock_guard lk(seen->m);
    seen->events.emplace_back(n->Event == GUID_DEVICE_INTERFACE_ARRIVAL, kernel::ToWide(n->SymbolicLinkName));
    return STATUS_SUCCESS;
}

TEST_F(PnpTest, InterfaceNotificationsIncludeExistingOnesThenArrivalAndRemoval) {
    PDEVICE_OBJECT first = Plug(0);
    Seen seen;
    PVOID entry = nullptr;
    GUID g = kTestInterface;
    ASSERT_EQ(IoRegisterPlugPlayNotification(EventCategoryDeviceInterfaceChange,
                                             PNPNOTIFY_DEVICE_INTERFACE_INCLUDE_EXISTING_INTERFACES, &g, nullptr,
                                             OnInterface, &seen, &entry),
              STATUS_SUCCESS);
    Plug(1);
    machine_->Remove(first);
    machine_->DrainWorker();
    IoUnregisterPlugPlayNotification(entry);
    std::lock_guard lk(seen.m);
    ASSERT_EQ(seen.events.size(), 3u);
    EXPECT_TRUE(seen.events[0].first);
    EXPECT_TRUE(seen.events[1].first);
    EXPECT_FALSE(seen.events[2].first);
    EXPECT_EQ(seen.events[2].second, seen.events[0].second);
    EXPECT_NE(seen.events[0].second.find(L"{6E1C3F2A-1D7B-4C55-9A0E-3B1F5C2D7E81}\\ref"), std::wstring::npos);
}

void WorkRoutine(PDEVICE_OBJECT, PVOID context) { static_cast<std::atomic<bool>*>(context)->store(true); }

TEST_F(PnpTest, WorkItemRunsOnTheWorkerThread) {
    PDEVICE_OBJECT pdo = Plug(0);
    std::atomic<bool> ran{false};
    PIO_WORKITEM item = IoAllocateWorkItem(pdo);
    IoQueueWorkItem(item, WorkRoutine, DelayedWorkQueue, &ran);
    machine_->DrainWorker();
    EXPECT_TRUE(ran.load());
    IoFreeWorkItem(item);
}

TEST_F(PnpTest, KernelStringsAndGuidText) {
    WCHAR buf[16];
    UNICODE_STRING s{0, sizeof buf, buf};
    EXPECT_EQ(RtlIntegerToUnicodeString(254, 10, &s), STATUS_SUCCESS);
    EXPECT_EQ(kernel::ToWide(&s), L"254");
    EXPECT_EQ(RtlAppendUnicodeToString(&s, L"ab"), STATUS_SUCCESS);
    EXPECT_EQ(kernel::ToWide(&s), L"254ab");
    EXPECT_EQ(RtlAppendUnicodeToString(&s, L"0123456789abcdef"), STATUS_BUFFER_TOO_SMALL);
    UNICODE_STRING a, b;
    RtlInitUnicodeString(&a, L"\\DosDevices\\Dized1");
    RtlInitUnicodeString(&b, L"\\DOSDEVICES\\DIZED1");
    EXPECT_TRUE(RtlEqualUnicodeString(&a, &b, TRUE));
    EXPECT_FALSE(RtlEqualUnicodeString(&a, &b, FALSE));
    UNICODE_STRING g;
    ASSERT_EQ(RtlStringFromGUID(kTestInterface, &g), STATUS_SUCCESS);
    EXPECT_EQ(kernel::ToWide(&g), L"{6E1C3F2A-1D7B-4C55-9A0E-3B1F5C2D7E81}");
    RtlFreeUnicodeString(&g);
    // Shift-JIS text of user mode and the kernel's wide strings.
    std::string sjis = "\x83\x5C\x83\x74\x83\x67";  // ソフト
    EXPECT_EQ(kernel::Narrow(kernel::Widen(sjis)), sjis);
}

}  // namespace

namespace {

// The Enum tree in the prefix's hives, readable by user mode as Shift-JIS text.
TEST(HiveRegistryTest, MachineKeysLiveInTheLocalMachineHive) {
    auto folder = std::filesystem::temp_directory_path() / ("kernel-hive-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    {
        auto hives = kernel::MakeHiveRegistry(folder);
        ASSERT_NE(hives, nullptr);
        kernel::RegistryStore& r = *hives;
        std::wstring key = L"\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\PCI\\VEN_1234&DEV_1C94\\0";
        ASSERT_TRUE(r.CreateKey(key));
        EXPECT_TRUE(r.KeyExists(L"\\REGISTRY\\MACHINE\\system\\currentcontrolset\\enum\\pci"));
        EXPECT_TRUE(r.SetValue(key, L"DeviceDesc", kernel::SzValue(L"CAN board \x30dc\x30fc\x30c9")));
        EXPECT_TRUE(r.SetValue(key, L"Count", kernel::DwordValue(7)));
        kernel::RegistryValue multi;
        multi.type = REG_MULTI_SZ;
        std::wstring list = std::wstring(L"PCI\\VEN_1234&DEV_1C94") + L'\0' + L"PCI\\VEN_1234" + L'\0' + L'\0';
        multi.data.resize(list.size() * sizeof(WCHAR));
        std::memcpy(multi.data.data(), list.data(), multi.data.size());
        EXPECT_TRUE(r.SetValue(key, L"HardwareID", multi));
        EXPECT_FALSE(r.SetValue(key + L"\\Missing", L"x", kernel::DwordValue(1))) << "values go into existing keys";
        kernel::RegistryValue back;
        ASSERT_TRUE(r.QueryValue(key, L"devicedesc", &back));
        EXPECT_EQ(kernel::SzText(back), L"CAN board \x30dc\x30fc\x30c9");
        ASSERT_TRUE(r.QueryValue(key, L"HardwareID", &back));
        EXPECT_EQ(back.data, multi.data);
        ASSERT_TRUE(r.QueryValue(key, L"Count", &back));
        EXPECT_EQ(back.type, static_cast<ULONG>(REG_DWORD));
        EXPECT_EQ(r.SubKeys(L"\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\PCI"),
                  std::vector<std::wstring>{L"VEN_1234&DEV_1C94"});
        EXPECT_FALSE(r.CreateKey(L"\\Registry\\Nowhere\\X"));
    }
    platform::registry::Registry user(folder);
    EXPECT_EQ(user.GetString(platform::registry::Root::LocalMachine,
                             "System\\CurrentControlSet\\Enum\\PCI\\VEN_1234&DEV_1C94\\0", "DeviceDesc"),
              platform::sjis::S("CAN board ボード"));
    std::filesystem::remove_all(folder);
}

}  // namespace
