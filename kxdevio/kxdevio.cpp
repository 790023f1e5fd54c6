// The five device-I/O functions over platform/device.
#include "kxdevio.h"

namespace {
// Waits for a read or write that the driver pended: the caller relies on completion before
// return, whatever it passed.
BOOL Finish(BOOL ok, HANDLE device, LPOVERLAPPED overlapped, LPDWORD bytes) {
    if (ok || !overlapped || GetLastError() != ERROR_IO_PENDING) return ok;
    return GetOverlappedResult(device, overlapped, bytes, TRUE);
}
}  // namespace

extern "C" {

HANDLE KxDevioCreateFile(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                         DWORD flags, HANDLE templateFile) {
    return CreateFileA(path, access, share, security, disposition, flags, templateFile);
}

BOOL KxDevioDeviceIoControl(HANDLE device, DWORD code, LPVOID input, DWORD inputLength, LPVOID output,
                            DWORD outputLength, LPDWORD bytesReturned, LPOVERLAPPED overlapped) {
    // Without an overlapped record the request completes before return; with one, a pended
    // request reports ERROR_IO_PENDING and completes through the record's event.
    return DeviceIoControl(device, code, input, inputLength, output, outputLength, bytesReturned, overlapped);
}

BOOL KxDevioWriteFile(HANDLE device, LPCVOID buffer, DWORD length, LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
    return Finish(WriteFile(device, buffer, length, bytesWritten, overlapped), device, overlapped, bytesWritten);
}

BOOL KxDevioReadFile(HANDLE device, LPVOID buffer, DWORD length, LPDWORD bytesRead, LPOVERLAPPED overlapped) {
    return Finish(ReadFile(device, buffer, length, bytesRead, overlapped), device, overlapped, bytesRead);
}

BOOL KxDevioCloseHandle(HANDLE device) { return CloseHandle(device); }

}  // extern "C"
