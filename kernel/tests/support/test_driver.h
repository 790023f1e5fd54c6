// A small driver for the tests of the kernel model, the device calls and the device-I/O
// library: one device per plugged TestDevice, named "\Device\TestDev<n>", linked as
// "\\.\TEST<m>" (first free m) and published under kTestInterface with reference "ref".
// Its simulated hardware has a register window and an interrupt line.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>

#include "kernel/machine.h"

namespace testdrv {

// {6E1C3F2A-1D7B-4C55-9A0E-3B1F5C2D7E81}
inline const GUID kTestInterface = {0x6E1C3F2A, 0x1D7B, 0x4C55, {0x9A, 0x0E, 0x3B, 0x1F, 0x5C, 0x2D, 0x7E, 0x81}};

#define TEST_CODE(fn) CTL_CODE(0x22, (fn), METHOD_BUFFERED, FILE_ANY_ACCESS)
// Input copied to output.
constexpr ULONG IOCTL_TEST_ECHO = TEST_CODE(0x800);
// Pended with a cancel routine until an interrupt delivers a value (4 bytes out).
constexpr ULONG IOCTL_TEST_PEND = TEST_CODE(0x801);
// Input: a value (4 bytes) the device raises its interrupt with; the ISR takes it and the
// deferred procedure completes the oldest pended request with it.
constexpr ULONG IOCTL_TEST_FIRE = TEST_CODE(0x802);
// Completes the request twice (a driver bug the verifier must catch).
constexpr ULONG IOCTL_TEST_DOUBLE_COMPLETE = TEST_CODE(0x803);
// Pended without a cancel routine (a driver bug when the device goes away).
constexpr ULONG IOCTL_TEST_PEND_NO_CANCEL = TEST_CODE(0x804);
// Completes with the NT status given as input.
constexpr ULONG IOCTL_TEST_STATUS = TEST_CODE(0x805);
// Number of interrupts the ISR claimed, read under KeSynchronizeExecution (4 bytes out).
constexpr ULONG IOCTL_TEST_ISR_COUNT = TEST_CODE(0x806);
// Reads 4 bytes of PCI configuration space at the offset given, through the bus driver.
constexpr ULONG IOCTL_TEST_CONFIG_READ = TEST_CODE(0x807);
// Pended; a kernel timer's deferred procedure completes it after the ms given as input.
constexpr ULONG IOCTL_TEST_TIMER = TEST_CODE(0x808);
// Reads a register at the window offset given (outside the window: a verifier failure).
constexpr ULONG IOCTL_TEST_REGISTER_READ = TEST_CODE(0x809);
// Returns STATUS_PENDING without IoMarkIrpPending (completing the request first).
constexpr ULONG IOCTL_TEST_PEND_UNMARKED = TEST_CODE(0x80A);
// Returns holding a spin lock.
constexpr ULONG IOCTL_TEST_LEAK_LOCK = TEST_CODE(0x80B);
// Completes with the cancel routine still set.
constexpr ULONG IOCTL_TEST_COMPLETE_WITH_CANCEL = TEST_CODE(0x80C);
// Input (system buffer) copied to the output, which arrives as a memory descriptor.
constexpr ULONG IOCTL_TEST_ECHO_DIRECT = CTL_CODE(0x22, 0x80D, METHOD_OUT_DIRECT, FILE_ANY_ACCESS);

// A read of exactly this many bytes is pended like IOCTL_TEST_PEND (the next interrupt's
// value completes it with 4 bytes); other reads return what the last write stored.
constexpr ULONG kPendingReadLength = 48;

// Register window of the test device (byte offsets).
constexpr ULONG kRegValue = 0x00;   // 32-bit value the next interrupt delivers
constexpr ULONG kRegCommand = 0x04; // write 1: raise the interrupt
constexpr ULONG kRegStatus = 0x08;  // read: 1 when the interrupt is ours; reading clears it
constexpr ULONG kWindowLength = 0x10;

// Faults the driver can be told to make.
struct Faults {
    std::atomic<bool> refuseQueryRemove{false};
    std::atomic<bool> keepPendingOnSurpriseRemoval{false};
    std::atomic<bool> failStart{false};
};
Faults& DriverFaults();

// The simulated device.
class TestDevice : public kernel::PhysicalDevice, public kernel::RegisterWindow {
public:
    // direct: the driver's device does direct I/O for reads and writes (hardware ID
    // "TEST\TDRV_DIRECT") instead of buffered I/O ("TEST\TDRV").
    TestDevice(ULONGLONG physical, ULONG vector, bool direct = false);
    std::wstring HardwareId() const override { return direct_ ? L"TEST\\TDRV_DIRECT" : L"TEST\\TDRV"; }
    std::wstring DeviceDescription() const override { return L"Test device"; }
    std::vector<kernel::Resource> Resources() const override;
    ULONG ReadConfig(void* buffer, ULONG offset, ULONG length) override;
    ULONG WriteConfig(const void* buffer, ULONG offset, ULONG length) override;
    ULONG Read(ULONG offset, int width) override;
    void Write(ULONG offset, int width, ULONG value) override;
    // Connects the window and line to the machine (before PlugIn).
    void Attach(kernel::Machine& machine);
    void Detach(kernel::Machine& machine);
    bool removed() const { return removed_; }
    void Removed() override { removed_ = true; }

private:
    ULONGLONG physical_;
    ULONG vector_;
    bool direct_;
    kernel::InterruptLine* line_ = nullptr;
    std::mutex m_;
    ULONG value_ = 0;
    bool pending_ = false;
    std::array<UCHAR, 256> config_{};
    std::atomic<bool> removed_{false};
};

// Registers the driver for hardware ID "TEST\..." with the machine.
void RegisterTestDriver(kernel::Machine& machine);

}  // namespace testdrv
