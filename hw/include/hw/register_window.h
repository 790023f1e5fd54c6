// The register window of a device as the bus sees it: reads and writes of 1, 2 or 4 bytes at
// an offset (little-endian for the wider accesses, as on PCI). The kernel's register accessors
// are mapped onto this; tests use it directly.
#pragma once

#include <cstdint>

namespace hw {

class RegisterWindow {
public:
    virtual ~RegisterWindow() = default;
    // Window length in bytes; accesses beyond it read all ones and are ignored on write.
    virtual uint32_t Length() const = 0;
    // width: 1, 2 or 4 bytes.
    virtual uint32_t Read(uint32_t offset, unsigned width) = 0;
    virtual void Write(uint32_t offset, uint32_t value, unsigned width) = 0;

    uint8_t Read8(uint32_t offset) { return static_cast<uint8_t>(Read(offset, 1)); }
    uint16_t Read16(uint32_t offset) { return static_cast<uint16_t>(Read(offset, 2)); }
    uint32_t Read32(uint32_t offset) { return Read(offset, 4); }
    void Write8(uint32_t offset, uint8_t v) { Write(offset, v, 1); }
    void Write16(uint32_t offset, uint16_t v) { Write(offset, v, 2); }
    void Write32(uint32_t offset, uint32_t v) { Write(offset, v, 4); }
};

}  // namespace hw
