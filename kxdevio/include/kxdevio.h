// The device-I/O library the CAN library reaches its driver through: five functions with
// undecorated C names. Reads, writes and control requests without an overlapped record
// complete before they return; a control request with an overlapped record may fail with
// ERROR_IO_PENDING (997) and set the record's event once its output is in place. Errors go
// to the thread's last-error value (GetLastError).
#pragma once

#include "platform/device.h"

extern "C" {
HANDLE KxDevioCreateFile(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                         DWORD flags, HANDLE templateFile);
BOOL KxDevioDeviceIoControl(HANDLE device, DWORD code, LPVOID input, DWORD inputLength, LPVOID output,
                            DWORD outputLength, LPDWORD bytesReturned, LPOVERLAPPED overlapped);
BOOL KxDevioWriteFile(HANDLE device, LPCVOID buffer, DWORD length, LPDWORD bytesWritten, LPOVERLAPPED overlapped);
BOOL KxDevioReadFile(HANDLE device, LPVOID buffer, DWORD length, LPDWORD bytesRead, LPOVERLAPPED overlapped);
BOOL KxDevioCloseHandle(HANDLE device);
}
