#include "kxdevio_spy.h"

#include <dlfcn.h>

#include "can_common/can_records.h"

namespace spy {
namespace {
std::mutex gLock;
std::vector<OpenCall> gOpens;
std::vector<ControlCall> gControls;
std::atomic<int> gTransfers{0}, gTransfersWithEvent{0};
std::atomic<DWORD> gFailCode{0}, gFailError{0}, gFailCloseError{0};
std::atomic<long> gCloseAttempts{0};
std::mutex gCountLock;
std::vector<std::pair<DWORD, long>> gCounts;
std::mutex gHoldLock;
bool gHolding = false;
std::vector<LPOVERLAPPED> gHeld;

template <class F>
F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
// The real functions, looked up when the program starts: a lookup on first use could wait for
// the loader's lock while dlclose holds it and runs the library's exit handler, which in turn
// waits for the thread doing the lookup.
struct Real {
    decltype(&KxDevioCreateFile) create = Next<decltype(&KxDevioCreateFile)>("KxDevioCreateFile");
    decltype(&KxDevioDeviceIoControl) control = Next<decltype(&KxDevioDeviceIoControl)>("KxDevioDeviceIoControl");
    decltype(&KxDevioWriteFile) write = Next<decltype(&KxDevioWriteFile)>("KxDevioWriteFile");
    decltype(&KxDevioReadFile) read = Next<decltype(&KxDevioReadFile)>("KxDevioReadFile");
    decltype(&KxDevioCloseHandle) close = Next<decltype(&KxDevioCloseHandle)>("KxDevioCloseHandle");
};
const Real gReal;
void Count(DWORD code) {
    std::lock_guard lk(gCountLock);
    for (auto& [c, n] : gCounts)
        if (c == code) {
            ++n;
            return;
        }
    gCounts.emplace_back(code, 1);
}
}  // namespace

std::vector<OpenCall> Opens() {
    std::lock_guard lk(gLock);
    return gOpens;
}
std::vector<ControlCall> Controls() {
    std::lock_guard lk(gLock);
    return gControls;
}
void Clear() {
    std::lock_guard lk(gLock);
    gOpens.clear();
    gControls.clear();
    gTransfers = 0;
    gTransfersWithEvent = 0;
}
int TransfersWithEvent() { return gTransfersWithEvent; }
int Transfers() { return gTransfers; }
long ControlCount(DWORD code) {
    std::lock_guard lk(gCountLock);
    for (auto& [c, n] : gCounts)
        if (c == code) return n;
    return 0;
}
void FailControl(DWORD code, DWORD error) {
    gFailError = error;
    gFailCode = code;
}
void FailClose(DWORD error) { gFailCloseError = error; }

void HoldWaits() {
    std::lock_guard lk(gHoldLock);
    gHolding = true;
}

void ReleaseHeldWaits() {
    std::lock_guard lk(gHoldLock);
    gHolding = false;
    for (LPOVERLAPPED ov : gHeld) {
        ov->InternalHigh = 0;
        if (ov->hEvent) SetEvent(ov->hEvent);
        __atomic_store_n(&ov->Internal, static_cast<ULONG_PTR>(STATUS_SUCCESS), __ATOMIC_RELEASE);
    }
    gHeld.clear();
}

long HeldWaits() {
    std::lock_guard lk(gHoldLock);
    return static_cast<long>(gHeld.size());
}
long CloseAttempts() { return gCloseAttempts; }

}  // namespace spy

using namespace spy;

extern "C" {

HANDLE KxDevioCreateFile(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                         DWORD flags, HANDLE templateFile) {
    {
        std::lock_guard lk(gLock);
        gOpens.push_back({path ? path : "", access, share, disposition, flags, security != nullptr,
                          templateFile != nullptr});
    }
    return gReal.create(path, access, share, security, disposition, flags, templateFile);
}

BOOL KxDevioDeviceIoControl(HANDLE device, DWORD code, LPVOID input, DWORD inputLength, LPVOID output,
                            DWORD outputLength, LPDWORD bytesReturned, LPOVERLAPPED overlapped) {
    {
        std::lock_guard lk(gLock);
        if (gControls.size() < 100000) gControls.push_back({code, overlapped != nullptr, overlapped && overlapped->hEvent});
    }
    Count(code);
    if (gFailCode != 0 && gFailCode == code) {
        SetLastError(gFailError);
        return FALSE;
    }
    if (code == IOCTL_CAN_WAIT_EVENT && overlapped) {
        std::lock_guard lk(gHoldLock);
        if (gHolding) {
            __atomic_store_n(&overlapped->Internal, static_cast<ULONG_PTR>(STATUS_PENDING), __ATOMIC_RELEASE);
            gHeld.push_back(overlapped);
            SetLastError(ERROR_IO_PENDING);
            return FALSE;
        }
    }
    return gReal.control(device, code, input, inputLength, output, outputLength, bytesReturned, overlapped);
}

BOOL KxDevioWriteFile(HANDLE device, LPCVOID buffer, DWORD length, LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
    ++gTransfers;
    if (overlapped && overlapped->hEvent) ++gTransfersWithEvent;
    return gReal.write(device, buffer, length, bytesWritten, overlapped);
}

BOOL KxDevioReadFile(HANDLE device, LPVOID buffer, DWORD length, LPDWORD bytesRead, LPOVERLAPPED overlapped) {
    ++gTransfers;
    if (overlapped && overlapped->hEvent) ++gTransfersWithEvent;
    return gReal.read(device, buffer, length, bytesRead, overlapped);
}

BOOL KxDevioCloseHandle(HANDLE device) {
    ++gCloseAttempts;
    if (DWORD e = gFailCloseError) {
        SetLastError(e);
        return FALSE;
    }
    return gReal.close(device);
}

}  // extern "C"
