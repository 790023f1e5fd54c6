// The device requests every API function is made of, and the translation of their errors.
#pragma once

#include <cstdint>

#include "platform/device.h"

namespace dized {

// The library's result code for an operating-system error; errors without a code of their
// own pass through unchanged.
std::uint32_t TranslateError(DWORD error);
// The result of a device call that reported failure, from the thread's last-error value.
std::uint32_t LastResult();

// One control request, synchronous, without an overlapped record: 0 or the translated error.
// `bytes` receives the output count on success.
std::uint32_t Control(HANDLE device, DWORD code, const void* input, DWORD inputLength, void* output = nullptr,
                      DWORD outputLength = 0, DWORD* bytes = nullptr);

// Largest record count whose byte length still fits the 32-bit length of a request.
inline std::uint32_t ClampCount(std::uint32_t count, std::uint32_t recordSize) {
    const std::uint32_t most = 0xFFFFFFFFu / recordSize;
    return count > most ? most : count;
}

}  // namespace dized
