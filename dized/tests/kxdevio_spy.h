// A spy between the library and the device-I/O library: the test executable defines the five
// KxDevio* functions, records how the library calls them, can make chosen calls fail, and
// passes everything else on to the real library.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "kxdevio.h"

namespace spy {

struct OpenCall {
    std::string path;
    DWORD access, share, disposition, flags;
    bool security, templateFile;
};
struct ControlCall {
    DWORD code;
    bool overlapped, overlappedEvent;
};

std::vector<OpenCall> Opens();
std::vector<ControlCall> Controls();
void Clear();
// Read and write calls that came with an overlapped record holding an event.
int TransfersWithEvent();
int Transfers();
// Calls of control `code` counted so far.
long ControlCount(DWORD code);

// The next calls of control `code` fail at once with `error` (0: no failure injected).
void FailControl(DWORD code, DWORD error);
// Closes of devices fail with `error` (0: no failure); counts close attempts.
void FailClose(DWORD error);
long CloseAttempts();

// While holding, wait requests (IOCTL_CAN_WAIT_EVENT with an overlapped record) are kept by the
// spy instead of reaching the driver: they stay pending, as a driver that does not let go of
// them would leave them. ReleaseHeldWaits completes every kept one without data and stops
// holding.
void HoldWaits();
void ReleaseHeldWaits();
long HeldWaits();

}  // namespace spy
