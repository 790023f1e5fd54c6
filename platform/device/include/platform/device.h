// The Windows device calls: CreateFile on device paths, DeviceIoControl, ReadFile, WriteFile
// with and without overlapped records, GetOverlappedResult, CancelIo, CloseHandle, event
// objects for overlapped records, the thread's last-error value, SetupDi enumeration of
// device interfaces and device-change notifications. Each call becomes a request of the
// machine's kernel (kernel/machine.h); each NT status comes back as the Windows error.
//
// Link `machine` (libmachine.so) to use these.
#pragma once

#include <functional>
#include <string>

#include "kernel/basetypes.h"

typedef const char* LPCSTR;
typedef char* LPSTR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef DWORD* LPDWORD;
typedef DWORD* PDWORD;
typedef void* HWND;
struct SECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

struct OVERLAPPED {
    ULONG_PTR Internal;      // NT status; STATUS_PENDING while the request runs
    ULONG_PTR InternalHigh;  // bytes transferred
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;  // set when the request completes; reset when it starts
};
typedef OVERLAPPED* LPOVERLAPPED;
#define HasOverlappedIoCompleted(ov) (static_cast<NTSTATUS>((ov)->Internal) != STATUS_PENDING)

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define OPEN_EXISTING 3u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_FLAG_OVERLAPPED 0x40000000u

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0u
#define WAIT_TIMEOUT 258u
#define WAIT_FAILED 0xFFFFFFFFu

#define ERROR_SUCCESS 0u
#define ERROR_INVALID_FUNCTION 1u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_HANDLE 6u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_NOT_READY 21u
#define ERROR_BAD_COMMAND 22u
#define ERROR_BAD_LENGTH 24u
#define ERROR_GEN_FAILURE 31u
#define ERROR_SHARING_VIOLATION 32u
#define ERROR_NOT_SUPPORTED 50u
#define ERROR_DEV_NOT_EXIST 55u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_DISK_FULL 112u
#define ERROR_SEM_TIMEOUT 121u
#define ERROR_INSUFFICIENT_BUFFER 122u
#define ERROR_INVALID_NAME 123u
#define ERROR_NOT_LOCKED 158u
#define ERROR_BUSY 170u
#define ERROR_ALREADY_EXISTS 183u
#define ERROR_MORE_DATA 234u
#define ERROR_NO_MORE_ITEMS 259u
#define ERROR_MR_MID_NOT_FOUND 317u
#define ERROR_OPERATION_ABORTED 995u
#define ERROR_IO_INCOMPLETE 996u
#define ERROR_IO_PENDING 997u
#define ERROR_NOACCESS 998u
#define ERROR_NO_DATA_DETECTED 1104u
#define ERROR_IO_DEVICE 1117u
#define ERROR_NOT_FOUND 1168u
#define ERROR_NO_SYSTEM_RESOURCES 1450u
#define ERROR_DEVICE_REMOVED 1617u
#define ERROR_INVALID_USER_BUFFER 1784u

// The calling thread's last-error value, shared by every Windows-like call of the suite.
DWORD GetLastError();
void SetLastError(DWORD error);
// The Windows error for an NT status (ERROR_MR_MID_NOT_FOUND for one without a mapping).
DWORD RtlNtStatusToDosError(NTSTATUS status);

// Opens "\\.\NAME" or a device-interface path. Other paths are not devices: the call fails
// with ERROR_PATH_NOT_FOUND.
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
// Without an overlapped record, or on a handle opened without FILE_FLAG_OVERLAPPED, these
// wait for the request to complete. With one, a request the driver pends gives FALSE and
// ERROR_IO_PENDING; its outcome arrives in the record (and its event).
BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID input, DWORD inputLength, LPVOID output, DWORD outputLength,
                     LPDWORD bytesReturned, LPOVERLAPPED overlapped);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD length, LPDWORD bytesRead, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD length, LPDWORD bytesWritten, LPOVERLAPPED overlapped);
BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD bytes, BOOL wait);
// Cancels the requests of this handle that the calling thread issued.
BOOL CancelIo(HANDLE file);
BOOL CloseHandle(HANDLE handle);

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

// ---------------------------------------------------------------- SetupDi
typedef void* HDEVINFO;
#define DIGCF_PRESENT 0x00000002u
#define DIGCF_ALLCLASSES 0x00000004u
#define DIGCF_DEVICEINTERFACE 0x00000010u

// Record layouts as the calling programs know them: cbSize 28 and 5.
struct SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    DWORD Reserved;  // index into the device information set
};
typedef SP_DEVICE_INTERFACE_DATA* PSP_DEVICE_INTERFACE_DATA;
#pragma pack(push, 1)
struct SP_DEVICE_INTERFACE_DETAIL_DATA_A {
    DWORD cbSize;
    CHAR DevicePath[1];
};
#pragma pack(pop)
typedef SP_DEVICE_INTERFACE_DETAIL_DATA_A* PSP_DEVICE_INTERFACE_DETAIL_DATA_A;
struct SP_DEVINFO_DATA;
typedef SP_DEVINFO_DATA* PSP_DEVINFO_DATA;
#define SPINT_ACTIVE 0x00000001u

// A snapshot of the enabled interfaces of the class (with DIGCF_DEVICEINTERFACE).
HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, LPCSTR enumerator, HWND parent, DWORD flags);
BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device, const GUID* classGuid, DWORD index,
                                 PSP_DEVICE_INTERFACE_DATA data);
BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                                      PDWORD requiredSize, PSP_DEVINFO_DATA device);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set);

// ---------------------------------------------------------------- device-change notifications
#define DBT_DEVICEARRIVAL 0x8000u
#define DBT_DEVICEREMOVECOMPLETE 0x8004u
typedef void* HDEVNOTIFY;
// The callback runs on the machine's worker thread for each interface of the class (every
// class when classGuid is null) that arrives or goes away; event is DBT_DEVICEARRIVAL or
// DBT_DEVICEREMOVECOMPLETE and path the interface's device path.
using DeviceChangeCallback = std::function<void(DWORD event, const GUID& classGuid, const std::string& path)>;
HDEVNOTIFY RegisterDeviceNotificationCallback(const GUID* classGuid, DeviceChangeCallback callback);
// Returns once the callback can no longer run.
BOOL UnregisterDeviceNotification(HDEVNOTIFY notification);
