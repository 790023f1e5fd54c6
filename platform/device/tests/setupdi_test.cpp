// Enumeration of device interfaces and device-change notifications, as the monitor uses them.
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "machine_fixture.h"
#include "platform/device.h"

using namespace testdrv;

namespace {

class InterfaceTest : public MachineTest {};

// The monitor's search: enumerate, ask the detail size, fetch the path with cbSize 5.
std::vector<std::string> Enumerate(DWORD* lastError) {
    std::vector<std::string> paths;
    HDEVINFO set = SetupDiGetClassDevsA(&kTestInterface, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return paths;
    for (DWORD i = 0; i < 128; ++i) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = 28;
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &kTestInterface, i, &data)) {
            *lastError = GetLastError();
            break;
        }
        DWORD need = 0;
        EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &need, nullptr));
        EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
        auto* detail = static_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(std::calloc(1, need));
        detail->cbSize = 5;
        EXPECT_TRUE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, need, nullptr, nullptr));
        paths.push_back(detail->DevicePath);
        std::free(detail);
    }
    SetupDiDestroyDeviceInfoList(set);
    return paths;
}

TEST_F(InterfaceTest, RecordSizesAreThoseTheCallersUse) {
    EXPECT_EQ(sizeof(SP_DEVICE_INTERFACE_DATA), 28u);
    EXPECT_EQ(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A), 5u);
    Plug(0);
    HDEVINFO set = SetupDiGetClassDevsA(&kTestInterface, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = 32;
    EXPECT_FALSE(SetupDiEnumDeviceInterfaces(set, nullptr, &kTestInterface, 0, &data));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_USER_BUFFER);
    data.cbSize = 28;
    ASSERT_TRUE(SetupDiEnumDeviceInterfaces(set, nullptr, &kTestInterface, 0, &data));
    char buf[300];
    auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buf);
    detail->cbSize = 8;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, sizeof buf, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_USER_BUFFER);
    detail->cbSize = 5;
    DWORD need = 0;
    EXPECT_FALSE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, 6, &need, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_TRUE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, need, nullptr, nullptr));
    EXPECT_EQ(std::strlen(detail->DevicePath) + 5, need);
    SetupDiDestroyDeviceInfoList(set);
}

TEST_F(InterfaceTest, EnumerationWithArrivalAndRemoval) {
    std::mutex m;
    std::vector<std::pair<DWORD, std::string>> changes;
    HDEVNOTIFY note = RegisterDeviceNotificationCallback(&kTestInterface, [&](DWORD event, const GUID&, const std::string& p) {
        std::lock_guard lk(m);
        changes.emplace_back(event, p);
    });
    ASSERT_NE(note, nullptr);

    DWORD last = 0;
    EXPECT_TRUE(Enumerate(&last).empty());
    EXPECT_EQ(last, ERROR_NO_MORE_ITEMS);
    PDEVICE_OBJECT a = Plug(0);
    Plug(1);
    auto paths = Enumerate(&last);
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(last, ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(paths[0].rfind("\\\\?\\", 0), 0u);
    EXPECT_NE(paths[0].find("#{6E1C3F2A-1D7B-4C55-9A0E-3B1F5C2D7E81}\\ref"), std::string::npos);

    // The path opens the device; the driver sees the reference string as the file name.
    HANDLE h = CreateFileA(paths[1].c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(TraceHas("tdrv: create \\ref"));
    CloseHandle(h);

    EXPECT_EQ(machine_->Remove(a), STATUS_SUCCESS);
    EXPECT_EQ(Enumerate(&last).size(), 1u);
    machine_->DrainWorker();
    EXPECT_TRUE(UnregisterDeviceNotification(note));
    Plug(2);
    machine_->DrainWorker();

    std::lock_guard lk(m);
    ASSERT_EQ(changes.size(), 3u) << "nothing arrives after unregistering";
    EXPECT_EQ(changes[0].first, DBT_DEVICEARRIVAL);
    EXPECT_EQ(changes[1].first, DBT_DEVICEARRIVAL);
    EXPECT_EQ(changes[2].first, DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(changes[2].second, paths[0]);
}

TEST_F(InterfaceTest, SurpriseRemovedInterfaceCannotBeOpenedAgain) {
    PDEVICE_OBJECT a = Plug(0);
    DWORD last = 0;
    auto paths = Enumerate(&last);
    ASSERT_EQ(paths.size(), 1u);
    HANDLE h = CreateFileA(paths[0].c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    machine_->SurpriseRemove(a);
    EXPECT_TRUE(Enumerate(&last).empty());
    EXPECT_EQ(CreateFileA(paths[0].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    CloseHandle(h);
}

}  // namespace
