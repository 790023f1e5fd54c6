// The Windows base types shared by the kernel model (kernel mode) and platform/device
// (user mode). Widths are those of 64-bit Windows: LONG and ULONG are 32 bits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "can_common/ntstatus.h"

typedef std::uint8_t UCHAR, BYTE, BOOLEAN;
typedef std::uint16_t USHORT, WORD;
typedef std::uint32_t ULONG, DWORD;
typedef std::int32_t LONG, BOOL;
typedef std::int64_t LONGLONG;
typedef std::uint64_t ULONGLONG;
typedef std::uintptr_t ULONG_PTR, SIZE_T;
typedef std::intptr_t LONG_PTR;
typedef char CHAR;
typedef wchar_t WCHAR;
typedef void VOID;
typedef void* PVOID;
typedef void* HANDLE;
typedef UCHAR* PUCHAR;
typedef USHORT* PUSHORT;
typedef ULONG* PULONG;
typedef CHAR* PCHAR;
typedef WCHAR* PWSTR;
typedef const WCHAR* PCWSTR;
typedef HANDLE* PHANDLE;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#ifndef GUID_DEFINED
#define GUID_DEFINED
struct GUID {
    ULONG Data1;
    USHORT Data2;
    USHORT Data3;
    UCHAR Data4[8];
};
inline bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}
#endif
typedef const GUID* LPCGUID;

union LARGE_INTEGER {
    struct {
        ULONG LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};
typedef LARGE_INTEGER* PLARGE_INTEGER;
typedef LARGE_INTEGER PHYSICAL_ADDRESS;
