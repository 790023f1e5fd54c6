#include "kxdevio_spy.h"

#include <dlfcn.h>

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

template <class F>
F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
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
    static auto real = Next<decltype(&KxDevioCreateFile)>("KxDevioCreateFile");
    return real(path, access, share, security, disposition, flags, templateFile);
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
    static auto real = Next<decltype(&KxDevioDeviceIoControl)>("KxDevioDeviceIoControl");
    return real(device, code, input, inputLength, output, outputLength, bytesReturned, overlapped);
}

BOOL KxDevioWriteFile(HANDLE device, LPCVOID buffer, DWORD length, LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
    ++gTransfers;
    if (overlapped && overlapped->hEvent) ++gTransfersWithEvent;
    static auto real = Next<decltype(&KxDevioWriteFile)>("KxDevioWriteFile");
    return real(device, buffer, length, bytesWritten, overlapped);
}

BOOL KxDevioReadFile(HANDLE device, LPVOID buffer, DWORD length, LPDWORD bytesRead, LPOVERLAPPED overlapped) {
    ++gTransfers;
    if (overlapped && overlapped->hEvent) ++gTransfersWithEvent;
    static auto real = Next<decltype(&KxDevioReadFile)>("KxDevioReadFile");
    return real(device, buffer, length, bytesRead, overlapped);
}

BOOL KxDevioCloseHandle(HANDLE device) {
    ++gCloseAttempts;
    if (DWORD e = gFailCloseError) {
        SetLastError(e);
        return FALSE;
    }
    static auto real = Next<decltype(&KxDevioCloseHandle)>("KxDevioCloseHandle");
    return real(device);
}

}  // extern "C"
