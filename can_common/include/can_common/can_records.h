// Records and control codes on the wire between the CAN library and the board driver. Every
// field is a little-endian 32-bit word; the sizes are fixed by the driver's interface.
#pragma once

#include <cstdint>

#include "can_common/ntstatus.h"

// One CAN frame: the unit of every message transfer (send, receive, completion, cyclic send).
struct CanMessage {
    std::uint32_t length;      // data length code; data bytes used = min(length & 0x0F, 8)
    std::uint32_t remote;      // bit 0: remote frame; bit 31: sent mark inside the driver
    std::uint32_t identifier;  // bits 0-28; bit 31 set: extended (29-bit) frame
    std::uint8_t data[8];
    std::uint32_t time;  // time stamp, us (received/completed); FIFO board send: delay/period, 10 us
};
static_assert(sizeof(CanMessage) == 24);

// Channel configuration; the default after every open is {0, 1, 64, 64, 64, 96, 0x053A}.
struct CanConfig {
    std::uint32_t mode;        // bit 0 listen-only; bit 31 transmit-FIFO trigger (FIFO board)
    std::uint32_t filterMode;  // 1 single 32-bit acceptance filter, 0 dual filter
    std::uint32_t transmitQueueSize;  // messages, >= 64
    std::uint32_t receiveQueueSize;   // messages, >= 64
    std::uint32_t errorQueueSize;     // records, >= 64
    std::uint32_t errorWarningLimit;  // 0-255
    std::uint32_t bitTiming;  // bus timing 0 in bits 15-8, bus timing 1 in bits 7-0
};
static_assert(sizeof(CanConfig) == 28);

// Bus state values of CanStatus.
inline constexpr std::uint32_t CAN_BUS_ERROR_ACTIVE = 1;
inline constexpr std::uint32_t CAN_BUS_ERROR_PASSIVE = 2;
inline constexpr std::uint32_t CAN_BUS_OFF = 4;  // also: controller stopped

struct CanStatus {
    std::uint32_t busState;
    std::uint32_t transmitWaiting;
    std::uint32_t receiveWaiting;
    std::uint32_t errorsWaiting;
    std::uint32_t transmitErrorCounter;
    std::uint32_t receiveErrorCounter;
};
static_assert(sizeof(CanStatus) == 24);

struct CanErrorRecord {
    std::uint32_t flags;  // the controller's interrupt-cause bits (0x04, 0x08, 0x20, 0x40, 0x80)
    std::uint32_t errorCodeCapture;
    std::uint32_t arbitrationLostCapture;
    std::uint32_t time;  // us
};
static_assert(sizeof(CanErrorRecord) == 16);

// PCI identity of a channel (14 words).
struct CanPciInfo {
    std::uint32_t deviceId, vendorId, classCode, revisionId;
    std::uint32_t bar[6];
    std::uint32_t subsystemId, subsystemVendorId, interruptLine, boardSwitch;
};
static_assert(sizeof(CanPciInfo) == 56);

struct CanBoardInfo {
    std::uint32_t reserved;  // not set by the driver
    std::uint32_t vendorId, deviceId, subsystemId, revisionId, boardSwitch, modelNumber;
    std::uint32_t channelNumber;  // channel index + 1
    std::uint32_t channelInterrupt;
};
static_assert(sizeof(CanBoardInfo) == 36);

// Event bits delivered by IOCTL_CAN_WAIT_EVENT.
inline constexpr std::uint32_t CAN_EVENT_ERROR_QUEUE_FULL = 0x0001;
inline constexpr std::uint32_t CAN_EVENT_RECEIVE_QUEUE_FULL = 0x0002;
inline constexpr std::uint32_t CAN_EVENT_ERROR_WARNING = 0x0004;
inline constexpr std::uint32_t CAN_EVENT_TRANSMIT_DONE = 0x0008;
inline constexpr std::uint32_t CAN_EVENT_ERROR = 0x0010;
inline constexpr std::uint32_t CAN_EVENT_RECEIVE = 0x0020;
inline constexpr std::uint32_t CAN_EVENT_BUS_STATE = 0x0040;
inline constexpr std::uint32_t CAN_EVENT_CYCLIC_STOPPED = 0x0080;
inline constexpr std::uint32_t CAN_EVENT_DATA_OVERRUN = 0x0100;
inline constexpr std::uint32_t CAN_EVENT_ERROR_FIFO_OVERFLOW = 0x0200;
inline constexpr std::uint32_t CAN_EVENT_BOARD = 0x1000;

// IOCTL_CAN_CLEAR flags.
inline constexpr std::uint32_t CAN_CLEAR_TIME_BASE = 0x01;
inline constexpr std::uint32_t CAN_CLEAR_ERROR_QUEUE = 0x02;
inline constexpr std::uint32_t CAN_CLEAR_RECEIVE_ERROR_COUNTER = 0x04;
inline constexpr std::uint32_t CAN_CLEAR_TRANSMIT_ERROR_COUNTER = 0x08;
inline constexpr std::uint32_t CAN_CLEAR_RECEIVE_QUEUE = 0x10;
inline constexpr std::uint32_t CAN_CLEAR_TRANSMIT_QUEUE = 0x20;

// Control codes of a channel: device type 0x22, buffered, any access.
#define CAN_CTL(fn) CTL_CODE(0x22, (fn), METHOD_BUFFERED, FILE_ANY_ACCESS)
inline constexpr std::uint32_t IOCTL_CAN_GET_PCI_INFO = CAN_CTL(0x900);
inline constexpr std::uint32_t IOCTL_CAN_GET_DEVICE_INFO = CAN_CTL(0x901);
inline constexpr std::uint32_t IOCTL_CAN_PORT_READ_BYTE = CAN_CTL(0x902);
inline constexpr std::uint32_t IOCTL_CAN_PORT_READ_WORD = CAN_CTL(0x903);
inline constexpr std::uint32_t IOCTL_CAN_PORT_READ_DWORD = CAN_CTL(0x904);
inline constexpr std::uint32_t IOCTL_CAN_PORT_WRITE_BYTE = CAN_CTL(0x905);
inline constexpr std::uint32_t IOCTL_CAN_PORT_WRITE_WORD = CAN_CTL(0x906);
inline constexpr std::uint32_t IOCTL_CAN_PORT_WRITE_DWORD = CAN_CTL(0x907);
inline constexpr std::uint32_t IOCTL_CAN_MEMORY_READ_BYTE = CAN_CTL(0x908);
inline constexpr std::uint32_t IOCTL_CAN_MEMORY_READ_WORD = CAN_CTL(0x909);
inline constexpr std::uint32_t IOCTL_CAN_MEMORY_READ_DWORD = CAN_CTL(0x90A);
inline constexpr std::uint32_t IOCTL_CAN_MEMORY_WRITE_BYTE = CAN_CTL(0x90B);
inline constexpr std::uint32_t IOCTL_CAN_MEMORY_WRITE_WORD = CAN_CTL(0x90C);
inline constexpr std::uint32_t IOCTL_CAN_MEMORY_WRITE_DWORD = CAN_CTL(0x90D);
inline constexpr std::uint32_t IOCTL_CAN_PCI_CONFIG_READ = CAN_CTL(0x90E);
inline constexpr std::uint32_t IOCTL_CAN_PCI_CONFIG_WRITE = CAN_CTL(0x90F);
inline constexpr std::uint32_t IOCTL_CAN_WAIT_EVENT = CAN_CTL(0xA00);
inline constexpr std::uint32_t IOCTL_CAN_RELEASE_WAIT = CAN_CTL(0xA01);
inline constexpr std::uint32_t IOCTL_CAN_SET_CONFIG = CAN_CTL(0xA02);
inline constexpr std::uint32_t IOCTL_CAN_GET_CONFIG = CAN_CTL(0xA03);
inline constexpr std::uint32_t IOCTL_CAN_ACTIVATE = CAN_CTL(0xA04);
inline constexpr std::uint32_t IOCTL_CAN_DEACTIVATE = CAN_CTL(0xA05);
inline constexpr std::uint32_t IOCTL_CAN_GET_STATUS = CAN_CTL(0xA06);
inline constexpr std::uint32_t IOCTL_CAN_SET_EVENT_MASK = CAN_CTL(0xA07);
inline constexpr std::uint32_t IOCTL_CAN_GET_EVENT_MASK = CAN_CTL(0xA08);
inline constexpr std::uint32_t IOCTL_CAN_SET_FILTER = CAN_CTL(0xA09);
inline constexpr std::uint32_t IOCTL_CAN_GET_FILTER = CAN_CTL(0xA0A);
inline constexpr std::uint32_t IOCTL_CAN_CLEAR = CAN_CTL(0xA0B);
inline constexpr std::uint32_t IOCTL_CAN_GET_ERRORS = CAN_CTL(0xA0C);
inline constexpr std::uint32_t IOCTL_CAN_SET_FIFO_TRIGGER = CAN_CTL(0xA0D);
inline constexpr std::uint32_t IOCTL_CAN_GET_FIFO_TRIGGER = CAN_CTL(0xA0E);
inline constexpr std::uint32_t IOCTL_CAN_CYCLIC_SEND = CAN_CTL(0xA0F);
inline constexpr std::uint32_t IOCTL_CAN_STOP_CYCLIC_SEND = CAN_CTL(0xA10);
inline constexpr std::uint32_t IOCTL_CAN_GET_COMPLETIONS = CAN_CTL(0xA11);
inline constexpr std::uint32_t IOCTL_CAN_GET_BOARD_INFO = CAN_CTL(0xA12);
static_assert(IOCTL_CAN_GET_PCI_INFO == 0x222400 && IOCTL_CAN_PCI_CONFIG_WRITE == 0x22243C);
static_assert(IOCTL_CAN_WAIT_EVENT == 0x222800 && IOCTL_CAN_GET_BOARD_INFO == 0x222848);
