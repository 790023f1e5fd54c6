// The first device call of a process boots the machine from its description file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/device.h"
#include "platform/request_path.h"
#include "test_driver.h"

namespace {

TEST(MachineBoot, FirstDeviceCallBootsTheMachineNamedByPlatformMachine) {
    auto root = std::filesystem::temp_directory_path() / ("device-boot-" + std::to_string(::getpid()));
    std::filesystem::remove_all(root);
    ::setenv("PLATFORM_ROOT", root.c_str(), 1);
    ::setenv("PLATFORM_MACHINE", "/nowhere/test-machine.ini", 1);
    std::string seen;
    static std::shared_ptr<testdrv::TestDevice> device;
    kernel::SetMachineLoader([&seen](kernel::Machine& m, const std::string& path) {
        seen = path;
        testdrv::RegisterTestDriver(m);
        device = std::make_shared<testdrv::TestDevice>(0xF0000000ull, 5);
        device->Attach(m);
        m.PlugIn(device);
    });
    ASSERT_EQ(kernel::Machine::Current(), nullptr);
    HANDLE h = CreateFileA("\\\\.\\TEST1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    EXPECT_EQ(seen, "/nowhere/test-machine.ini");
    EXPECT_EQ(platform::device::MachineDescriptionFile(), "/nowhere/test-machine.ini");
    ASSERT_NE(kernel::Machine::Current(), nullptr);
    // The drivers' registry is the prefix's machine hive.
    EXPECT_TRUE(std::filesystem::exists(root / "registry"));
    kernel::RegistryValue v;
    EXPECT_TRUE(kernel::Machine::Current()->registry().QueryValue(
        L"\\Registry\\Machine\\System\\CurrentControlSet\\Enum\\TEST\\TDRV\\0", L"Service", &v));
    EXPECT_EQ(kernel::SzText(v), L"tdrv");
    DWORD n = 0;
    EXPECT_TRUE(DeviceIoControl(h, testdrv::IOCTL_TEST_ECHO, nullptr, 0, nullptr, 0, &n, nullptr));
    // Left open on purpose: the process's exit closes it and shuts the machine down.
    ::unsetenv("PLATFORM_MACHINE");
}

}  // namespace
