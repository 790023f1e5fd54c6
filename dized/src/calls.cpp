#include "calls.h"

#include "dized.h"
#include "kxdevio.h"

namespace dized {

namespace {
struct ErrorCode {
    DWORD error;
    std::uint32_t code;
};
constexpr ErrorCode kErrorCodes[] = {
    {ERROR_NOT_READY, CAN_ERR_NOT_READY},
    {ERROR_ACCESS_DENIED, CAN_ERR_ACCESS_DENIED},
    {ERROR_INVALID_PARAMETER, CAN_ERR_INVALID_PARAMETER},
    {ERROR_INSUFFICIENT_BUFFER, CAN_ERR_BUFFER_TOO_SMALL},
    {ERROR_NOT_LOCKED, CAN_ERR_NOT_OPEN},
    {ERROR_NOT_ENOUGH_MEMORY, CAN_ERR_NO_MEMORY},
    {ERROR_NO_SYSTEM_RESOURCES, CAN_ERR_NO_MEMORY},
    {ERROR_DISK_FULL, CAN_ERR_QUEUE_FULL},
    {ERROR_NO_DATA_DETECTED, CAN_ERR_NO_DATA},
    {ERROR_NOACCESS, CAN_ERR_WRONG_STATE},
    {ERROR_INVALID_HANDLE, CAN_ERR_INVALID_HANDLE},
    {ERROR_NOT_SUPPORTED, CAN_ERR_NOT_SUPPORTED},
    {ERROR_IO_DEVICE, CAN_ERR_DEVICE_BUSY},
};
}  // namespace

std::uint32_t TranslateError(DWORD error) {
    for (const ErrorCode& e : kErrorCodes)
        if (e.error == error) return e.code;
    return error;
}

std::uint32_t LastResult() {
    DWORD error = GetLastError();
    // A failure must never read as success, even when the layer below left no error value.
    return error == ERROR_SUCCESS ? ERROR_GEN_FAILURE : TranslateError(error);
}

std::uint32_t Control(HANDLE device, DWORD code, const void* input, DWORD inputLength, void* output,
                      DWORD outputLength, DWORD* bytes) {
    DWORD returned = 0;
    if (!KxDevioDeviceIoControl(device, code, const_cast<void*>(input), inputLength, output, outputLength, &returned,
                                nullptr))
        return LastResult();
    if (bytes) *bytes = returned;
    return 0;
}

}  // namespace dized
