// Every dized test process runs on its own machine: a description written to a fresh folder,
// named by PLATFORM_MACHINE before the first device call boots it. Fast mode; one FIFO board
// with two channels on CAN1 (with two sensor units), one basic board alone on CAN2.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "hw/kernel_attachment.h"
#include "platform/device.h"
#include "re7316/re7316.h"

// Present in sanitizer builds only.
extern "C" int __lsan_do_recoverable_leak_check() __attribute__((weak));

namespace {

constexpr const char* kMachineText = R"(; Machine of the CAN library tests.
[Machine]
Name=dized-tests
FastMode=1

[Bus CAN1]
BitTimeNs=12000

[Bus CAN2]
BitTimeNs=12000

[Board 1]
Kind=FIFO
Channels=2
Bus=CAN1
SubsystemId=0x2402
Revision=3
Switch=0x00
ChannelInterruptMask=0xFE
InterruptLine=11
Bar0=0xFEB00000

[Board 2]
Kind=Basic
Channels=1
Bus=CAN2
SubsystemId=0x0100
Revision=1
InterruptLine=10
Bar0=0xFEA00000

[CanSensor 1]
Bus=CAN1
Node=1
IdNumber=1
Identity=T26-04001-0001
Profile=constant:21.5

[CanSensor 2]
Bus=CAN1
Node=2
IdNumber=2
Identity=T26-04001-0002
Profile=constant:22.5
)";

std::filesystem::path gFolder;

void RemoveFolder() {
    std::error_code ec;
    std::filesystem::remove_all(gFolder, ec);
}

// The loader's machine does not yet shut down cleanly at exit (its hardware goes after the
// kernel machine it still unmaps from). Until it does, the process ends here, once its own
// exit handlers (the library's port closing among them) have run, with the leak check done
// first in sanitizer builds.
void Finish(int status, void*) {
    std::fflush(nullptr);
    if (__lsan_do_recoverable_leak_check && __lsan_do_recoverable_leak_check() && status == 0) status = 23;
    RemoveFolder();
    _exit(status);
}

struct TestMachine {
    TestMachine() {
        gFolder = std::filesystem::temp_directory_path() / ("dized-test-" + std::to_string(::getpid()));
        std::filesystem::remove_all(gFolder);
        std::filesystem::create_directories(gFolder / "prefix");
        std::ofstream(gFolder / "machine.ini") << kMachineText;
        ::setenv("PLATFORM_ROOT", (gFolder / "prefix").c_str(), 1);
        ::setenv("PLATFORM_MACHINE", (gFolder / "machine.ini").c_str(), 1);
        hw::InstallKernelMachineLoader(re7316::RegisterDriver);
        // Boot now (the path names no device), so that Finish is registered after the
        // machine's own exit handlers and runs before them.
        CreateFileA("\\\\.\\BOOT", 0xC0000000u, 0, nullptr, 3, 0, nullptr);
        on_exit(Finish, nullptr);
    }
};
TestMachine gMachine;

}  // namespace
