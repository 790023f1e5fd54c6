// The sensor driver the way the monitor uses it: SetupDi enumeration of the interface class,
// an overlapped open, an 8-byte command written and the reply read, plus the housekeeping
// control requests, admission, time-outs and surprise removal. Every test also requires a
// clean driver verifier.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <regex>
#include <set>
#include <thread>
#include <memory>
#include <string>
#include <vector>

#include "dedodavi/dedodavi.h"
#include "hw/kernel_attachment.h"
#include "hw/machine.h"
#include "platform/device.h"

namespace {

// One simulated USB sensor unit of the test's machine.
struct Unit {
    uint16_t id;
    bool interruptEndpoint = true;
};

class SensorDriver : public ::testing::Test {
protected:
    void TearDown() override {
        if (!machine_) return;
        for (HANDLE h : handles_) CloseHandle(h);
        for (HANDLE e : events_) CloseHandle(e);
        machine_->DrainWorker();
        EXPECT_TRUE(machine_->verifier().Clean()) << machine_->verifier().Describe();
        // Orderly removal of what is still there, then the kernel goes (the hardware stops
        // after the driver unloaded).
        for (size_t i = 0; i < units_; ++i) {
            if (PDEVICE_OBJECT pdo = attachment_->UsbPdo(Name(i))) machine_->Remove(pdo);
        }
        machine_->DrainWorker();
        EXPECT_TRUE(machine_->verifier().Clean()) << machine_->verifier().Describe();
        machine_.reset();
    }
    // A machine of USB sensor units ("UsbSensor 1", ...) attached to a kernel with the driver
    // registered: the units arrive and the driver starts on each.
    void Boot(const std::vector<Unit>& units) {
        std::string text = "[Machine]\nFastMode=1\n";
        for (size_t i = 0; i < units.size(); ++i) {
            char section[200];
            std::snprintf(section, sizeof section,
                          "[UsbSensor %zu]\nIdNumber=%u\nIdentity=U26-05002-%04u\nProfile=constant:25\nInterruptEndpoint=%d\n",
                          i + 1, unsigned(units[i].id), unsigned(units[i].id), units[i].interruptEndpoint ? 1 : 0);
            text += section;
        }
        std::string error;
        hw_ = hw::Machine::FromText(text, nullptr, &error);
        ASSERT_TRUE(hw_) << error;
        machine_ = std::make_unique<kernel::Machine>();
        dedodavi::Register(*machine_);
        attachment_ = std::make_unique<hw::KernelAttachment>(*machine_, *hw_);
        machine_->AtHardwareShutdown([this] {
            attachment_.reset();
            hw_.reset();
        });
        units_ = units.size();
        for (size_t i = 0; i < units.size(); ++i) ASSERT_NE(attachment_->UsbPdo(Name(i)), nullptr) << Name(i);
    }
    static std::string Name(size_t index) { return "UsbSensor " + std::to_string(index + 1); }
    std::vector<std::string> Paths() {
        std::vector<std::string> paths;
        HDEVINFO set = SetupDiGetClassDevsA(&dedodavi::kInterfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        for (DWORD i = 0;; ++i) {
            SP_DEVICE_INTERFACE_DATA data{};
            data.cbSize = sizeof(data);
            if (!SetupDiEnumDeviceInterfaces(set, nullptr, &dedodavi::kInterfaceClass, i, &data)) break;
            DWORD need = 0;
            SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &need, nullptr);
            std::vector<char> buf(need);
            auto* detail = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(buf.data());
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
            EXPECT_TRUE(SetupDiGetDeviceInterfaceDetailA(set, &data, detail, need, nullptr, nullptr));
            paths.push_back(detail->DevicePath);
        }
        SetupDiDestroyDeviceInfoList(set);
        return paths;
    }
    HANDLE Open(const std::string& path) {
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
        if (h != INVALID_HANDLE_VALUE) handles_.push_back(h);
        return h;
    }
    void Close(HANDLE h) {
        std::erase(handles_, h);
        EXPECT_TRUE(CloseHandle(h));
    }
    OVERLAPPED Overlapped() {
        OVERLAPPED ov{};
        ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        events_.push_back(ov.hEvent);
        return ov;
    }
    // Starts a request; true when it went pending or finished. *error: last error on failure.
    bool Write(HANDLE h, const std::vector<uint8_t>& bytes, DWORD* written, DWORD* error = nullptr) {
        OVERLAPPED ov = Overlapped();
        BOOL ok = WriteFile(h, bytes.data(), DWORD(bytes.size()), written, &ov);
        if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(h, &ov, written, TRUE);
        if (!ok && error) *error = GetLastError();
        return ok;
    }
    bool Read(HANDLE h, uint8_t* buffer, DWORD length, DWORD* got, DWORD* error = nullptr) {
        OVERLAPPED ov = Overlapped();
        BOOL ok = ReadFile(h, buffer, length, got, &ov);
        if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(h, &ov, got, TRUE);
        if (!ok && error) *error = GetLastError();
        return ok;
    }
    bool Ioctl(HANDLE h, ULONG code, const void* in, DWORD inLength, void* out, DWORD outLength, DWORD* got,
               DWORD* error = nullptr) {
        OVERLAPPED ov = Overlapped();
        BOOL ok = DeviceIoControl(h, code, const_cast<void*>(in), inLength, out, outLength, got, &ov);
        if (!ok && GetLastError() == ERROR_IO_PENDING) ok = GetOverlappedResult(h, &ov, got, TRUE);
        if (!ok && error) *error = GetLastError();
        return ok;
    }
    ULONG GetUlong(HANDLE h, ULONG code) {
        ULONG v = 0xDEAD;
        DWORD got = 0;
        EXPECT_TRUE(Ioctl(h, code, nullptr, 0, &v, 4, &got));
        EXPECT_EQ(got, 4u);
        return v;
    }
    bool SetUlong(HANDLE h, ULONG code, ULONG v) {
        DWORD got = 0;
        return Ioctl(h, code, &v, 4, nullptr, 0, &got);
    }
    bool TraceHas(const std::string& part) const {
        for (auto& l : machine_->Trace())
            if (l.find(part) != std::string::npos) return true;
        return false;
    }
    static DWORD Dos(NTSTATUS s) { return RtlNtStatusToDosError(s); }

    const std::vector<uint8_t> kReadMeasurement{0, 6, 0, 0, 0, 0, 0, 0};
    std::unique_ptr<hw::Machine> hw_;
    std::unique_ptr<kernel::Machine> machine_;
    std::unique_ptr<hw::KernelAttachment> attachment_;
    size_t units_ = 0;
    std::vector<HANDLE> handles_, events_;
};

TEST_F(SensorDriver, EnumeratesOneInterfacePerSensorAndTracesItsSteps) {
    Boot({{11}, {12}});
    EXPECT_EQ(Paths().size(), 2u);
    EXPECT_TRUE(TraceHas("[RoZod] DrvShell AddDevice Line"));
    EXPECT_TRUE(TraceHas("[RoZod] DrvPnP StartDevice CV00.99R12 Line"));
    HANDLE h = Open(Paths().at(0));
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0, got = 0;
    uint8_t reply[40];
    ASSERT_TRUE(Write(h, kReadMeasurement, &n));
    ASSERT_TRUE(Read(h, reply, sizeof reply, &got));
    Close(h);
    // The close request may follow on the kernel's own thread once the read has fully ended.
    for (int i = 0; i < 5000 && !TraceHas("[RoZod] DrvClose DispatchClose"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // Every line: module, routine, source line; modules as the driver's sources are named.
    const std::regex line(R"(\[RoZod\] (Drv[A-Za-z]+) [A-Za-z]+( CV00\.99R12)? Line[0-9]+\n?)");
    const std::set<std::string> modules{"DrvShell", "DrvCreat", "DrvClose", "DrvWrite", "DrvRead",
                                        "DrvIOCtl", "DrvVendor", "DrvSysCl", "DrvPnP", "DrvPower",
                                        "DrvCmplt", "DrvInside", "DrvClnup", "DrvPass"};
    std::set<std::string> seen;
    for (auto& l : machine_->Trace()) {
        if (l.rfind("[RoZod] ", 0) != 0) continue;
        std::smatch m;
        ASSERT_TRUE(std::regex_match(l, m, line)) << l;
        EXPECT_TRUE(modules.count(m[1])) << l;
        seen.insert(m[1]);
    }
    for (const char* step : {"DrvShell", "DrvPnP", "DrvCreat", "DrvWrite", "DrvRead", "DrvCmplt", "DrvClnup", "DrvClose"})
        EXPECT_TRUE(seen.count(step)) << step;
}

TEST_F(SensorDriver, CommandWrittenAndReplyReadOnEachTransferType) {
    Boot({{11}});
    HANDLE h = Open(Paths().at(0));
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetUlong(h, IOCTL_USBCL_GET_TRANS_TYPE), 1u) << "bulk before the first write";
    for (ULONG type : {1u, 2u, 0u}) {
        DWORD n = 0;
        ASSERT_TRUE(Write(h, kReadMeasurement, &n));
        EXPECT_EQ(n, 8u);
        EXPECT_EQ(GetUlong(h, IOCTL_USBCL_GET_TRANS_TYPE), 1u);
        ASSERT_TRUE(SetUlong(h, IOCTL_USBCL_SET_TRANS_TYPE, type));
        uint8_t reply[40] = {};
        DWORD got = 0, error = 0;
        ASSERT_TRUE(Read(h, reply, sizeof reply, &got, &error)) << "type " << type << " error " << error;
        EXPECT_EQ(got, 8u) << "type " << type;
        EXPECT_EQ(reply[0], 0x10);
        EXPECT_EQ(reply[1], 0x01);
        // 25 °C in 0.0001 °C, big-endian in bytes 2-5.
        EXPECT_EQ((uint32_t(reply[2]) << 24) | (reply[3] << 16) | (reply[4] << 8) | reply[5], 250000u);
    }
}

TEST_F(SensorDriver, OneOpenerAtATime) {
    Boot({{11}});
    std::string path = Paths().at(0);
    HANDLE a = Open(path);
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Open(path), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), Dos(STATUS_INVALID_HANDLE));
    Close(a);
    machine_->DrainWorker();
    HANDLE b = Open(path);
    EXPECT_NE(b, INVALID_HANDLE_VALUE) << "a new open after close";
}

TEST_F(SensorDriver, SecondRequestWhileOneIsPendingIsRefused) {
    Boot({{11}});
    HANDLE h = Open(Paths().at(0));
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    // No command sent: the bulk read waits for a reply that never comes.
    uint8_t reply[40];
    OVERLAPPED ov = Overlapped();
    DWORD got = 0;
    ASSERT_FALSE(ReadFile(h, reply, sizeof reply, &got, &ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    DWORD n = 0, error = 0;
    EXPECT_FALSE(Write(h, kReadMeasurement, &n, &error));
    EXPECT_EQ(error, Dos(STATUS_DELETE_PENDING));
    EXPECT_FALSE(Read(h, reply, 8, &got, &error));
    EXPECT_EQ(error, Dos(STATUS_DELETE_PENDING));
    ULONG status = 7;
    EXPECT_TRUE(Ioctl(h, IOCTL_USBCL_GET_DRIVER_STATUS, nullptr, 0, &status, 4, &got)) << "answered before admission";
    EXPECT_EQ(status, 0u);
    EXPECT_TRUE(CancelIo(h));
    EXPECT_FALSE(GetOverlappedResult(h, &ov, &got, TRUE));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    EXPECT_TRUE(Write(h, kReadMeasurement, &n)) << "admitted again once the read ended";
}

TEST_F(SensorDriver, VendorReadGivesUpAfterTheBulkTimeout) {
    Boot({{11}});
    HANDLE h = Open(Paths().at(0));
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetUlong(h, IOCTL_USBCL_GET_BULK_TIMEOUT), 2000u);
    ASSERT_TRUE(SetUlong(h, IOCTL_USBCL_SET_BULK_TIMEOUT, 500));
    EXPECT_EQ(GetUlong(h, IOCTL_USBCL_GET_BULK_TIMEOUT), 500u);
    ASSERT_TRUE(SetUlong(h, IOCTL_USBCL_SET_TRANS_TYPE, 0));
    uint8_t reply[40];
    DWORD got = 0, error = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Read(h, reply, sizeof reply, &got, &error)) << "nothing was asked, nothing to read";
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(error, Dos(STATUS_CANCELLED));
    // Gave up no earlier than the time-out set (how much later depends on the machine's load).
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(waited).count(), 500);
    EXPECT_TRUE(TraceHas("[RoZod] DrvInside CallUSBD Line"));
    EXPECT_TRUE(TraceHas("[RoZod] DrvVendor VendorRead Line"));
    DWORD n = 0;
    EXPECT_TRUE(Write(h, kReadMeasurement, &n)) << "the device is usable after the cancelled transfer";
}

TEST_F(SensorDriver, SurpriseRemovalEndsThePendingReadAndRefusesAllButDriverStatus) {
    Boot({{11}});
    HANDLE h = Open(Paths().at(0));
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    uint8_t reply[40];
    OVERLAPPED ov = Overlapped();
    DWORD got = 0;
    ASSERT_FALSE(ReadFile(h, reply, sizeof reply, &got, &ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    std::string text;
    ASSERT_TRUE(hw_->Unplug(Name(0), &text)) << text;
    EXPECT_FALSE(GetOverlappedResult(h, &ov, &got, TRUE)) << "the read ends with the sensor gone";
    EXPECT_EQ(GetLastError(), Dos(STATUS_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(GetUlong(h, IOCTL_USBCL_GET_DRIVER_STATUS), 1u);
    DWORD n = 0, error = 0;
    EXPECT_FALSE(Write(h, kReadMeasurement, &n, &error));
    EXPECT_EQ(error, Dos(STATUS_DELETE_PENDING));
    EXPECT_FALSE(Ioctl(h, IOCTL_USBCL_GET_TRANS_TYPE, nullptr, 0, reply, 4, &got, &error));
    EXPECT_EQ(error, Dos(STATUS_DELETE_PENDING));
    EXPECT_TRUE(Paths().empty());
    // Plugged in again, the unit is a new device; the old handle still sees the old one.
    ASSERT_TRUE(hw_->Plug(Name(0), &text)) << text;
    ASSERT_EQ(Paths().size(), 1u);
    EXPECT_EQ(GetUlong(h, IOCTL_USBCL_GET_DRIVER_STATUS), 1u);
    HANDLE again = Open(Paths().at(0));
    ASSERT_NE(again, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(Write(again, kReadMeasurement, &n));
    EXPECT_TRUE(Read(again, reply, sizeof reply, &got));
    EXPECT_EQ(got, 8u);
}

TEST_F(SensorDriver, ControlRequestChecks) {
    Boot({{11, /*interruptEndpoint=*/false}});
    HANDLE h = Open(Paths().at(0));
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    uint8_t buf[600] = {};
    DWORD got = 0, error = 0;
    ASSERT_TRUE(Ioctl(h, IOCTL_USBCL_GET_DEVICE_DESCRIPTOR, nullptr, 0, buf, 18, &got));
    EXPECT_EQ(got, 18u);
    EXPECT_EQ(buf[1], 1) << "device descriptor type";
    ASSERT_TRUE(Ioctl(h, IOCTL_USBCL_GET_CONFIG_DESCRIPTOR, nullptr, 0, buf, sizeof buf, &got));
    EXPECT_EQ(got, DWORD(buf[2] | (buf[3] << 8)));
    EXPECT_EQ(buf[1], 2);

    struct Case {
        const char* what;
        ULONG code;
        std::vector<uint8_t> in;
        DWORD outLength;
        NTSTATUS expected;
    };
    const Case cases[] = {
        {"device descriptor, short output", IOCTL_USBCL_GET_DEVICE_DESCRIPTOR, {}, 17, STATUS_INVALID_BUFFER_SIZE},
        {"config descriptor, short output", IOCTL_USBCL_GET_CONFIG_DESCRIPTOR, {}, 9, STATUS_INVALID_BUFFER_SIZE},
        {"reset pipe 3", IOCTL_USBCL_RESET_PIPE, {3, 0}, 0, STATUS_INVALID_PARAMETER},
        {"reset pipe 0", IOCTL_USBCL_RESET_PIPE, {0, 0}, 0, STATUS_INVALID_PARAMETER},
        {"reset pipe 1", IOCTL_USBCL_RESET_PIPE, {1, 0}, 0, STATUS_SUCCESS},
        {"reset device", IOCTL_USBCL_RESET_DEVICE, {}, 0, STATUS_SUCCESS},
        {"endpoint number, selector 2", IOCTL_USBCL_GET_ENDPOINT_NUMBER, {2, 0}, 2, STATUS_INVALID_PARAMETER},
        {"endpoint number, short output", IOCTL_USBCL_GET_ENDPOINT_NUMBER, {0, 0}, 1, STATUS_INVALID_PARAMETER},
        {"bulk timeout, short input", IOCTL_USBCL_SET_BULK_TIMEOUT, {1, 0, 0}, 0, STATUS_INVALID_PARAMETER},
        {"start address, short input", IOCTL_USBCL_SET_BULK_START_ADDRESS, {1}, 0, STATUS_INVALID_PARAMETER},
        {"start address", IOCTL_USBCL_SET_BULK_START_ADDRESS, {1, 2, 3, 4}, 0, STATUS_SUCCESS},
        {"start address reset", IOCTL_USBCL_RESET_BULK_START_ADDRESS, {}, 0, STATUS_SUCCESS},
        {"driver status, short output", IOCTL_USBCL_GET_DRIVER_STATUS, {}, 3, STATUS_INVALID_PARAMETER},
        {"trans type, short input", IOCTL_USBCL_SET_TRANS_TYPE, {1, 0}, 0, STATUS_INVALID_PARAMETER},
        {"configuration, no output", IOCTL_USBCL_GET_CONFIGURATION, {}, 0, STATUS_INVALID_BUFFER_SIZE},
        {"interface, no output", IOCTL_USBCL_GET_INTERFACE, {}, 0, STATUS_INVALID_BUFFER_SIZE},
        {"configuration", IOCTL_USBCL_GET_CONFIGURATION, {}, 1, STATUS_SUCCESS},
        {"device status", IOCTL_USBCL_GET_DEVICE_STATUS, {}, 2, STATUS_SUCCESS},
        {"remote wake-up on", IOCTL_USBCL_REMOTE_WAKEUP_ON, {}, 0, STATUS_SUCCESS},
        {"remote wake-up off", IOCTL_USBCL_REMOTE_WAKEUP_OFF, {}, 0, STATUS_SUCCESS},
        {"descriptors read again", IOCTL_USBCL_GET_DESCRIPTOR, {}, 0, STATUS_SUCCESS},
        {"configuration selected again", IOCTL_USBCL_SELECT_CONFIGURATION, {}, 0, STATUS_SUCCESS},
        {"unlisted code", dedodavi::UsbClCode(0x11), {}, 4, STATUS_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> in = c.in;
        error = 0;
        bool ok = Ioctl(h, c.code, in.empty() ? nullptr : in.data(), DWORD(in.size()), buf, c.outLength, &got, &error);
        if (c.expected == STATUS_SUCCESS) {
            EXPECT_TRUE(ok) << c.what << " error " << error;
        } else {
            EXPECT_FALSE(ok) << c.what;
            EXPECT_EQ(error, Dos(c.expected)) << c.what;
        }
    }
    uint16_t selector = 1, number = 0;
    ASSERT_TRUE(Ioctl(h, IOCTL_USBCL_GET_ENDPOINT_NUMBER, &selector, 2, &number, 2, &got));
    EXPECT_EQ(number, 2) << "bulk IN is the second pipe";
    selector = 0;
    ASSERT_TRUE(Ioctl(h, IOCTL_USBCL_GET_ENDPOINT_NUMBER, &selector, 2, &number, 2, &got));
    EXPECT_EQ(number, 1);
    // No interrupt pipe on this unit: a read of type 2 is refused.
    ASSERT_TRUE(SetUlong(h, IOCTL_USBCL_SET_TRANS_TYPE, 2));
    EXPECT_FALSE(Read(h, buf, 40, &got, &error));
    EXPECT_EQ(error, Dos(STATUS_INVALID_PARAMETER));
    ASSERT_TRUE(SetUlong(h, IOCTL_USBCL_SET_TRANS_TYPE, 7));
    EXPECT_FALSE(Read(h, buf, 40, &got, &error));
    EXPECT_EQ(error, Dos(STATUS_INVALID_PARAMETER));
    DWORD n = 0;
    EXPECT_TRUE(Write(h, kReadMeasurement, &n)) << "reads and writes still work after the resets";
    ASSERT_TRUE(SetUlong(h, IOCTL_USBCL_SET_TRANS_TYPE, 1));
    EXPECT_TRUE(Read(h, buf, 40, &got, &error)) << error;
    EXPECT_EQ(got, 8u);
}

}  // namespace

namespace {

TEST_F(SensorDriver, CapabilitiesSurpriseRemovalSafeAndSystemPowerMapped) {
    Boot({{12}});
    PDEVICE_OBJECT pdo = attachment_->UsbPdo(Name(0));
    DEVICE_CAPABILITIES caps{};
    caps.Size = sizeof(caps);
    caps.Version = 1;
    ASSERT_EQ(machine_->QueryCapabilities(pdo, &caps), STATUS_SUCCESS);
    EXPECT_EQ(caps.SurpriseRemovalOK, 1u);
    HANDLE h = Open(Paths().at(0));
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    machine_->SetSystemPower(PowerSystemSleeping3);
    machine_->SetSystemPower(PowerSystemWorking);
    machine_->DrainWorker();
    EXPECT_TRUE(TraceHas("[RoZod] DrvPower DevicePowerDone Line"));
    DWORD n = 0, got = 0;
    uint8_t reply[40];
    EXPECT_TRUE(Write(h, kReadMeasurement, &n));
    EXPECT_TRUE(Read(h, reply, sizeof reply, &got));
    EXPECT_EQ(got, 8u);
}

}  // namespace

namespace {

// The unit takes no command (its bulk OUT endpoint answers NAK): the write stays pending, and
// a read meanwhile is refused, as the driver admits one request at a time.
TEST_F(SensorDriver, ReadWhileAWriteIsPendingIsRefusedWithDeletePending) {
    Boot({{11}});
    HANDLE h = Open(Paths().at(0));
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    hw_->sensor(Name(0))->SetFault(hw::SensorFault::kBusy);
    OVERLAPPED ov = Overlapped();
    DWORD n = 0, got = 0, error = 0;
    ASSERT_FALSE(WriteFile(h, kReadMeasurement.data(), 8, &n, &ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    uint8_t reply[40];
    EXPECT_FALSE(Read(h, reply, sizeof reply, &got, &error));
    EXPECT_EQ(error, Dos(STATUS_DELETE_PENDING));
    EXPECT_TRUE(CancelIo(h));
    EXPECT_FALSE(GetOverlappedResult(h, &ov, &n, TRUE));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
    hw_->sensor(Name(0))->SetFault(hw::SensorFault::kNone);
    ASSERT_TRUE(Write(h, kReadMeasurement, &n)) << "admitted again once the write ended";
    EXPECT_TRUE(Read(h, reply, sizeof reply, &got));
    EXPECT_EQ(got, 8u);
}

// A stop and start of the device (resource rebalance) with the handle open: requests are
// refused only while it is stopped, and after the start the open handle works again.
TEST_F(SensorDriver, StopAndRestartKeepsTheOpenHandleWorking) {
    Boot({{11}});
    HANDLE h = Open(Paths().at(0));
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_EQ(machine_->StopAndRestart(attachment_->UsbPdo(Name(0))), STATUS_SUCCESS);
    EXPECT_TRUE(TraceHas("[RoZod] DrvPnP StopDevice Line"));
    DWORD n = 0, got = 0;
    uint8_t reply[40];
    EXPECT_TRUE(Write(h, kReadMeasurement, &n));
    EXPECT_TRUE(Read(h, reply, sizeof reply, &got));
    EXPECT_EQ(got, 8u);
    EXPECT_EQ(GetUlong(h, IOCTL_USBCL_GET_TRANS_TYPE), 1u);
}

}  // namespace
