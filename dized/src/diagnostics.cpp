// Raw access to the board behind a port: PCI identity, I/O ports, physical memory and PCI
// configuration space, one control request each.
#include "calls.h"
#include "can_common/can_records.h"
#include "dized.h"

using namespace dized;

namespace {

// A 4-byte read: the value is stored only when the request succeeded.
std::uint32_t Read4(CanHandle h, DWORD code, const std::uint32_t* input, DWORD inputLength, uint32_t* value) {
    if (!value) return CAN_ERR_INVALID_PARAMETER;
    std::uint32_t got = 0;
    std::uint32_t result = Control(h, code, input, inputLength, &got, sizeof got);
    if (result == 0) *value = got;
    return result;
}

std::uint32_t ReadAt(CanHandle h, DWORD code, uint32_t address, uint32_t* value) {
    return Read4(h, code, &address, sizeof address, value);
}

std::uint32_t WriteAt(CanHandle h, DWORD code, uint32_t address, uint32_t value) {
    const std::uint32_t input[2] = {address, value};
    return Control(h, code, input, sizeof input);
}

}  // namespace

extern "C" {

uint32_t CanCommonGetPciDeviceInfo(CanHandle h, uint32_t* deviceId, uint32_t* vendorId, uint32_t* classCode,
                                   uint32_t* revisionId, uint32_t* bar0, uint32_t* bar1, uint32_t* bar2,
                                   uint32_t* bar3, uint32_t* bar4, uint32_t* bar5, uint32_t* subsystemId,
                                   uint32_t* subsystemVendorId, uint32_t* interruptLine, uint32_t* boardSwitch) {
    uint32_t* const out[14] = {deviceId, vendorId, classCode,   revisionId,        bar0,          bar1,       bar2,
                               bar3,     bar4,     bar5,        subsystemId,       subsystemVendorId, interruptLine,
                               boardSwitch};
    for (uint32_t* p : out)
        if (!p) return CAN_ERR_INVALID_PARAMETER;
    CanPciInfo info{};
    DWORD bytes = 0;
    std::uint32_t result = Control(h, IOCTL_CAN_GET_PCI_INFO, nullptr, 0, &info, sizeof info, &bytes);
    if (result != 0) return result;
    const std::uint32_t words[14] = {info.deviceId, info.vendorId,    info.classCode,         info.revisionId,
                                     info.bar[0],   info.bar[1],      info.bar[2],            info.bar[3],
                                     info.bar[4],   info.bar[5],      info.subsystemId,       info.subsystemVendorId,
                                     info.interruptLine, info.boardSwitch};
    for (int i = 0; i < 14; ++i) *out[i] = words[i];
    return 0;
}

uint32_t CanCommonGetDeviceInfo(CanHandle h, uint32_t* value) {
    return Read4(h, IOCTL_CAN_GET_DEVICE_INFO, nullptr, 0, value);
}

uint32_t CanCommonIoByteRead(CanHandle h, uint32_t port, uint32_t* value) {
    return ReadAt(h, IOCTL_CAN_PORT_READ_BYTE, port, value);
}
uint32_t CanCommonIoWordRead(CanHandle h, uint32_t port, uint32_t* value) {
    return ReadAt(h, IOCTL_CAN_PORT_READ_WORD, port, value);
}
uint32_t CanCommonIoDwordRead(CanHandle h, uint32_t port, uint32_t* value) {
    return ReadAt(h, IOCTL_CAN_PORT_READ_DWORD, port, value);
}
uint32_t CanCommonIoByteWrite(CanHandle h, uint32_t port, uint32_t value) {
    return WriteAt(h, IOCTL_CAN_PORT_WRITE_BYTE, port, value);
}
uint32_t CanCommonIoWordWrite(CanHandle h, uint32_t port, uint32_t value) {
    return WriteAt(h, IOCTL_CAN_PORT_WRITE_WORD, port, value);
}
uint32_t CanCommonIoDwordWrite(CanHandle h, uint32_t port, uint32_t value) {
    return WriteAt(h, IOCTL_CAN_PORT_WRITE_DWORD, port, value);
}

uint32_t CanCommonMemoryByteRead(CanHandle h, uint32_t address, uint32_t* value) {
    return ReadAt(h, IOCTL_CAN_MEMORY_READ_BYTE, address, value);
}
uint32_t CanCommonMemoryWordRead(CanHandle h, uint32_t address, uint32_t* value) {
    return ReadAt(h, IOCTL_CAN_MEMORY_READ_WORD, address, value);
}
uint32_t CanCommonMemoryDwordRead(CanHandle h, uint32_t address, uint32_t* value) {
    return ReadAt(h, IOCTL_CAN_MEMORY_READ_DWORD, address, value);
}
uint32_t CanCommonMemoryByteWrite(CanHandle h, uint32_t address, uint32_t value) {
    return WriteAt(h, IOCTL_CAN_MEMORY_WRITE_BYTE, address, value);
}
uint32_t CanCommonMemoryWordWrite(CanHandle h, uint32_t address, uint32_t value) {
    return WriteAt(h, IOCTL_CAN_MEMORY_WRITE_WORD, address, value);
}
uint32_t CanCommonMemoryDwordWrite(CanHandle h, uint32_t address, uint32_t value) {
    return WriteAt(h, IOCTL_CAN_MEMORY_WRITE_DWORD, address, value);
}

uint32_t CanCommonPciCfgIoRead(CanHandle h, uint32_t offset, uint32_t width, uint32_t* value) {
    const std::uint32_t input[2] = {offset, width};
    return Read4(h, IOCTL_CAN_PCI_CONFIG_READ, input, sizeof input, value);
}

uint32_t CanCommonPciCfgIoWrite(CanHandle h, uint32_t offset, uint32_t value, uint32_t width) {
    const std::uint32_t input[3] = {offset, value, width};
    return Control(h, IOCTL_CAN_PCI_CONFIG_WRITE, input, sizeof input);
}

}  // extern "C"
