// A program that links only the machine library gets its machine on its first device call:
// the one $PLATFORM_MACHINE names (a small fast machine here), with the board driver and the
// sensor driver serving it; machinectl changes it while it runs; the units' ID numbers are
// written back to the description and found again by the next process; a process that ends
// with handles and requests open ends cleanly; without $PLATFORM_MACHINE the default machine
// is written into the prefix. The process-level cases run in child processes (death-test
// style "threadsafe" re-executes this program for them, skipping the test's other children);
// every test stands alone, as ctest runs each in its own process.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dedodavi/dedodavi.h"
#include "hw/machine.h"
#include "platform/device.h"

namespace {

namespace fs = std::filesystem;

const char kMachineText[] =
    "[Machine]\nName=boot-test\nFastMode=1\n"
    "[Bus CAN1]\nBitTimeNs=12000\n"
    "[Board 1]\nKind=FIFO\nChannels=2\nBus=CAN1\nInterruptLine=11\n"
    "[CanSensor 1]\nBus=CAN1\nNode=1\nIdNumber=1\nIdentity=T26-04001-0001\nProfile=constant:21.5\n"
    "[UsbSensor 1]\nIdNumber=11\nIdentity=U26-05002-0011\nProfile=constant:25\n"
    "[UsbSensor 2]\nIdNumber=12\nIdentity=U26-05002-0012\nProfile=constant:-3.25\n";

// The parent's folder, inherited by the child processes through the environment.
fs::path Root() { return fs::path(std::getenv("BOOT_TEST_ROOT")); }
fs::path MachineFile() { return Root() / "machine.ini"; }

std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class BootedMachine : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        if (!std::getenv("BOOT_TEST_ROOT")) {
            fs::path root = fs::temp_directory_path() / ("machine-boot-" + std::to_string(::getpid()));
            fs::remove_all(root);
            fs::create_directories(root / "prefix");
            ::setenv("BOOT_TEST_ROOT", root.c_str(), 1);
            std::ofstream(root / "machine.ini", std::ios::binary) << kMachineText;
            ownsRoot_ = true;
        }
        ::setenv("PLATFORM_ROOT", (Root() / "prefix").c_str(), 1);
        ::setenv("PLATFORM_MACHINE", MachineFile().c_str(), 1);
    }
    static void TearDownTestSuite() {
        // The machine of this process still runs until its exit; it holds no file open.
        std::error_code ec;
        if (ownsRoot_) fs::remove_all(Root(), ec);
    }
    static inline bool ownsRoot_ = false;

    static std::vector<std::string> SensorPaths() {
        std::vector<std::string> paths;
        HDEVINFO set = SetupDiGetClassDevsA(&dedodavi::kInterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        for (DWORD i = 0;; ++i) {
            SP_DEVICE_INTERFACE_DATA data{};
            data.cbSize = sizeof data;
            if (!SetupDiEnumDeviceInterfaces(set, nullptr, &dedodavi::kInterfaceClass, i, &data)) break;
            DWORD need = 0;
            SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &need, nullptr);
            std::vector<char> buf(need);
            auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buf.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            if (SetupDiGetDeviceInterfaceDetailA(set, &data, detail, need, nullptr, nullptr)) paths.push_back(detail->DevicePath);
        }
        SetupDiDestroyDeviceInfoList(set);
        return paths;
    }

    static HANDLE Open(const std::string& path) {
        return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    }

    // One request as the monitor makes it: overlapped, then waited for. False on failure.
    static bool Finish(HANDLE h, BOOL started, OVERLAPPED& ov, DWORD* n) {
        if (!started && GetLastError() == ERROR_IO_PENDING) started = GetOverlappedResult(h, &ov, n, TRUE);
        return started;
    }
    // The 8-byte command written, the reply read with a 40-byte read; empty on failure.
    static std::vector<uint8_t> Transact(HANDLE h, std::vector<uint8_t> command) {
        OVERLAPPED ov{};
        ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        DWORD n = 0;
        std::vector<uint8_t> reply(40);
        bool ok = Finish(h, WriteFile(h, command.data(), 8, &n, &ov), ov, &n) && n == 8 &&
                  Finish(h, ReadFile(h, reply.data(), 40, &n, &ov), ov, &n);
        CloseHandle(ov.hEvent);
        if (!ok) return {};
        reply.resize(n);
        return reply;
    }
    static int IdNumber(HANDLE h) {
        auto r = Transact(h, {0, 9, 0, 2, 0, 0, 0, 0});
        return r.size() == 8 ? (r[2] << 8) | r[3] : -1;
    }
    // The open sensor whose ID number is `id`, or INVALID_HANDLE_VALUE.
    static HANDLE OpenSensor(int id) {
        for (const auto& path : SensorPaths()) {
            HANDLE h = Open(path);
            if (h == INVALID_HANDLE_VALUE) continue;
            if (IdNumber(h) == id) return h;
            CloseHandle(h);
        }
        return INVALID_HANDLE_VALUE;
    }
    // Runs machinectl against this process; its output, and its exit status in *status.
    static std::string Machinectl(const std::string& args, int* status = nullptr) {
        std::string command = std::string(MACHINECTL_PATH) + " --pid " + std::to_string(::getpid()) + " " + args + " 2>&1";
        std::string out;
        int rc = -1;
        if (FILE* p = ::popen(command.c_str(), "r")) {
            char buf[256];
            while (std::fgets(buf, sizeof buf, p)) out += buf;
            rc = ::pclose(p);
        }
        if (status) *status = rc;
        return out;
    }
    // Gives the unit with ID 12 the ID 42; true when it answers with it and the description
    // file holds it.
    static bool SetIdNumber12To42() {
        HANDLE h = OpenSensor(12);
        OVERLAPPED ov{};
        ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        const uint8_t setId[8] = {0, 4, 0, 42, 0, 0, 0, 0};
        DWORD n = 0;
        bool set = h != INVALID_HANDLE_VALUE && Finish(h, WriteFile(h, setId, 8, &n, &ov), ov, &n) && IdNumber(h) == 42;
        std::string text = ReadText(MachineFile());
        auto section = text.find("[UsbSensor 2]");
        bool written = section != std::string::npos && text.find("IdNumber=42", section) != std::string::npos &&
                       text.find("IdNumber=11") != std::string::npos;  // the other unit's line unchanged
        return set && written;
    }
};

TEST_F(BootedMachine, FirstDeviceCallBootsTheDescribedMachineWithBothDrivers) {
    HANDLE port = CreateFileA("\\\\.\\DIZED1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    HANDLE port2 = CreateFileA("\\\\.\\DIZED2", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(port2, INVALID_HANDLE_VALUE) << "the board's second channel";
    CloseHandle(port2);
    CloseHandle(port);

    auto paths = SensorPaths();
    ASSERT_EQ(paths.size(), 2u);
    HANDLE h = Open(paths[0]);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    auto reply = Transact(h, {0, 6, 0, 0, 0, 0, 0, 0});
    ASSERT_EQ(reply.size(), 8u);
    EXPECT_EQ(reply[0], 0x10);
    EXPECT_EQ(reply[1], 0x01);
    uint32_t raw = (uint32_t(reply[2]) << 24) | (reply[3] << 16) | (reply[4] << 8) | reply[5];
    int id = IdNumber(h);
    ASSERT_TRUE(id == 11 || id == 12) << id;
    // 25 °C, or -3.25 °C in sign and magnitude, in 0.0001 °C.
    EXPECT_EQ(raw, id == 11 ? 250000u : (0x80000000u | 32500u));
    CloseHandle(h);
}

TEST_F(BootedMachine, MachinectlUnplugsAndPlugsAUsbSensorOfTheRunningMachine) {
    HANDLE h = OpenSensor(11);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_NE(Machinectl("list").find("UsbSensor 1"), std::string::npos);
    // A read waiting for a reply that was never asked for, when the unit is pulled out.
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    uint8_t reply[40];
    DWORD n = 0;
    ASSERT_FALSE(ReadFile(h, reply, sizeof reply, &n, &ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    int rc = -1;
    std::string answer = Machinectl("unplug UsbSensor 1", &rc);
    EXPECT_EQ(rc, 0) << answer;
    EXPECT_FALSE(GetOverlappedResult(h, &ov, &n, TRUE)) << "the pending read ends with the unit";
    ULONG status = 0;
    ASSERT_TRUE(Finish(h, DeviceIoControl(h, IOCTL_USBCL_GET_DRIVER_STATUS, nullptr, 0, &status, 4, &n, &ov), ov, &n));
    EXPECT_EQ(status, 1u) << "the open handle sees the surprise removal";
    EXPECT_EQ(SensorPaths().size(), 1u);
    CloseHandle(h);
    CloseHandle(ov.hEvent);

    answer = Machinectl("plug UsbSensor 1", &rc);
    EXPECT_EQ(rc, 0) << answer;
    EXPECT_EQ(SensorPaths().size(), 2u);
    h = OpenSensor(11);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "the unit answers again after plugging it in";
    CloseHandle(h);
}

// SetIdNumber over USB (no reply is read): the unit keeps the number, the description file
// keeps it, and the next process finds the unit with it. Both processes are children, so
// each boots its own machine from the same file.
TEST_F(BootedMachine, IdNumberSetOnAUnitIsFoundByTheNextProcess) {
    EXPECT_EXIT(std::exit(SetIdNumber12To42() ? 0 : 1), ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(std::exit(OpenSensor(42) != INVALID_HANDLE_VALUE && OpenSensor(12) == INVALID_HANDLE_VALUE ? 0 : 1),
                ::testing::ExitedWithCode(0), "");
}

// Handles left open, a read pending on a sensor and a port open: the exit closes them, the
// drivers unload while the hardware still runs, then the hardware stops (no hang, no crash,
// nothing leaked).
TEST_F(BootedMachine, ProcessEndingWithOpenHandlesAndAPendingReadEndsCleanly) {
    EXPECT_EXIT(
        {
            HANDLE port = CreateFileA("\\\\.\\DIZED1", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            HANDLE h = OpenSensor(11);
            static OVERLAPPED ov{};
            static uint8_t reply[40];
            DWORD n = 0;
            bool pending = h != INVALID_HANDLE_VALUE && !ReadFile(h, reply, sizeof reply, &n, &ov) &&
                           GetLastError() == ERROR_IO_PENDING;
            std::exit(port != INVALID_HANDLE_VALUE && pending ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(BootedMachine, WithoutAMachineNamedTheDefaultMachineIsWrittenIntoThePrefix) {
    EXPECT_EXIT(
        {
            fs::path prefix = Root() / "fresh-prefix";
            ::setenv("PLATFORM_ROOT", prefix.c_str(), 1);
            ::unsetenv("PLATFORM_MACHINE");
            HANDLE port = CreateFileA("\\\\.\\DIZED2", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            bool written = ReadText(prefix / "machine" / "default.ini") == hw::DefaultMachineText();
            std::exit(port != INVALID_HANDLE_VALUE && written && SensorPaths().size() == 2 ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
