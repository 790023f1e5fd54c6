/* DiZed: CAN ports of the PCI CAN board for applications.
 *
 * Every function but CanOpenPort returns a 32-bit result: 0 for success, a CAN_ERR_ code, or
 * an operating-system error number that has no code of its own. Out-values are written only
 * on success. Records are little-endian 32-bit words, laid out as the board driver moves
 * them. Usable from C (C99 and later) and C++.
 *
 * A port is "DIZED" followed by a decimal number from 1 upward. Typical use:
 *
 *     CanHandle h = CanOpenPort("DIZED1");
 *     if (h == CAN_INVALID_PORT) ...;
 *     CanActivate(h);
 *     CanMessage m = {8, 0, 0x80000001u, {0, 9, 0, 2, 0, 0, 0, 0}, 0};
 *     CanSendMessage(h, &m, 1);
 *     uint32_t n = 1;
 *     if (CanReceiveMessage(h, &m, &n) == 0) ...;   n messages arrived
 *     CanClosePort(h);
 */
#ifndef DIZED_H
#define DIZED_H

#include <stdint.h>

#ifdef __cplusplus
/* C++ programs share the records with the driver's own header: one definition per type. */
#include "can_common/can_records.h"
#else
/* One CAN frame: the unit of every message transfer (send, receive, completion, cyclic send). */
typedef struct CanMessage {
    uint32_t length;     /* data length code; data bytes used = min(length & 0x0F, 8) */
    uint32_t remote;     /* bit 0: remote frame (bit 31 is the driver's sent mark, returned clear) */
    uint32_t identifier; /* bits 0-28; bit 31 set: extended (29-bit) frame */
    uint8_t data[8];
    uint32_t time; /* received and completion records: time stamp, us; FIFO board send: delay or
                      period in 10 us steps (21 bits) */
} CanMessage;

/* Channel configuration; the default after every open is {0, 1, 64, 64, 64, 96, 0x053A}. */
typedef struct CanConfig {
    uint32_t mode;              /* bit 0 listen-only; bit 31 transmit-FIFO trigger (FIFO board) */
    uint32_t filterMode;        /* 1 single 32-bit acceptance filter, 0 dual filter */
    uint32_t transmitQueueSize; /* messages, >= 64 */
    uint32_t receiveQueueSize;  /* messages, >= 64 */
    uint32_t errorQueueSize;    /* records, >= 64 */
    uint32_t errorWarningLimit; /* 0-255 */
    uint32_t bitTiming;         /* bus timing 0 in bits 15-8, bus timing 1 in bits 7-0; bit 31:
                                   any value, low 16 bits used unchanged */
} CanConfig;

typedef struct CanStatus {
    uint32_t busState; /* CAN_BUS_ERROR_ACTIVE, CAN_BUS_ERROR_PASSIVE or CAN_BUS_OFF */
    uint32_t transmitWaiting;
    uint32_t receiveWaiting;
    uint32_t errorsWaiting;
    uint32_t transmitErrorCounter;
    uint32_t receiveErrorCounter;
} CanStatus;

typedef struct CanErrorRecord {
    uint32_t flags;            /* the controller's interrupt causes: 0x04 error warning, 0x08 data
                                  overrun, 0x20 error passive, 0x40 arbitration lost, 0x80 bus
                                  error */
    uint32_t errorCodeCapture; /* bits 7-6 type, bit 5 direction (1 receive), bits 4-0 segment */
    uint32_t arbitrationLostCapture; /* bit number at which arbitration was lost */
    uint32_t time;                   /* us */
} CanErrorRecord;

/* Bus states of CanStatus. */
#define CAN_BUS_ERROR_ACTIVE 1u
#define CAN_BUS_ERROR_PASSIVE 2u
#define CAN_BUS_OFF 4u /* also: controller stopped */

/* Event bits of CanSetEventMask, CanGetEventMask and every notification. */
#define CAN_EVENT_ERROR_QUEUE_FULL 0x0001u
#define CAN_EVENT_RECEIVE_QUEUE_FULL 0x0002u
#define CAN_EVENT_ERROR_WARNING 0x0004u
#define CAN_EVENT_TRANSMIT_DONE 0x0008u /* transmit queue ran empty */
#define CAN_EVENT_ERROR 0x0010u         /* error record entered the empty error queue */
#define CAN_EVENT_RECEIVE 0x0020u       /* message entered the empty receive queue */
#define CAN_EVENT_BUS_STATE 0x0040u
#define CAN_EVENT_CYCLIC_STOPPED 0x0080u
#define CAN_EVENT_DATA_OVERRUN 0x0100u
#define CAN_EVENT_ERROR_FIFO_OVERFLOW 0x0200u
#define CAN_EVENT_BOARD 0x1000u

/* CanClearBuffer flags; they may be combined. */
#define CAN_CLEAR_TIME_BASE 0x01u
#define CAN_CLEAR_ERROR_QUEUE 0x02u
#define CAN_CLEAR_RECEIVE_ERROR_COUNTER 0x04u  /* controller stopped only */
#define CAN_CLEAR_TRANSMIT_ERROR_COUNTER 0x08u /* controller stopped only */
#define CAN_CLEAR_RECEIVE_QUEUE 0x10u
#define CAN_CLEAR_TRANSMIT_QUEUE 0x20u
#endif /* __cplusplus */

#ifdef __cplusplus
extern "C" {
#endif

/* The port handle: the device handle of the opened port. */
typedef void* CanHandle;
/* What CanOpenPort returns when the port cannot be opened (all bits set). */
#define CAN_INVALID_PORT ((CanHandle)(intptr_t)-1)

/* Result codes. */
#define CAN_OK 0u
#define CAN_ERR_NOT_READY 0xC0000001u         /* device removed or stopped */
#define CAN_ERR_ACCESS_DENIED 0xC0000002u     /* port already open; device being removed */
#define CAN_ERR_INVALID_PARAMETER 0xC0000003u /* configuration or trigger value out of range */
#define CAN_ERR_BUFFER_TOO_SMALL 0xC0000004u  /* buffer shorter than one record */
#define CAN_ERR_NOT_OPEN 0xC0000005u          /* close of a device that is not open */
#define CAN_ERR_NO_MEMORY 0xC0000006u         /* driver out of memory */
#define CAN_ERR_QUEUE_FULL 0xC0000007u        /* no room for all the messages given; none queued */
#define CAN_ERR_NO_DATA 0xC0000008u           /* nothing to read */
#define CAN_ERR_WRONG_STATE 0xC0000009u       /* controller stopped, running or bus off */
#define CAN_ERR_INVALID_HANDLE 0xC000000Au    /* handle unknown to the library and the device layer */
#define CAN_ERR_NOT_SUPPORTED 0xC000000Bu     /* not available on this board */
#define CAN_ERR_DEVICE_BUSY 0xC000000Cu       /* hardware transmit queue or cyclic transmitter busy */

/* FIFO kinds of CanSetFifoTrigger and CanGetFifoTrigger (boards with hardware FIFOs). */
#define CAN_FIFO_RECEIVE 0u
#define CAN_FIFO_ERROR 1u
#define CAN_FIFO_TRANSMIT 2u

/* Width codes of CanCommonPciCfgIoRead and CanCommonPciCfgIoWrite. */
#define CAN_PCI_WIDTH_BYTE 0u
#define CAN_PCI_WIDTH_WORD 1u
#define CAN_PCI_WIDTH_DWORD 2u

/* Called on the port's notification thread with the event bits and the registered user value.
 * It may call any function of its port except CanClosePort. */
typedef void (*CanNotifyProc)(uint32_t eventBits, uint32_t userValue);

/* Where notifications go; every target is optional (null / 0). They are served in the order
 * event, window message, callback. */
typedef struct CanEventSetting {
    /* Window to post to: a descriptor of a pipe or stream socket that the application reads,
     * given with CAN_WINDOW_FROM_FD. Each notification writes one CanWindowMessage to it
     * without blocking; a full descriptor drops the message, as a full message queue would. */
    void* window;
    /* Event object (an event handle of the platform's device layer) set on each notification.
     * Once registered it belongs to the library: CanClosePort closes it. */
    void* event;
    CanNotifyProc callback;
    uint32_t message;   /* message number posted to the window; nothing is posted when 0 */
    uint32_t userValue; /* second parameter of the message, second argument of the callback */
} CanEventSetting;

/* The descriptor is stored one above its number, so that descriptor 0 is a window too and not
 * the null "no window". */
#define CAN_WINDOW_FROM_FD(fd) ((void*)((intptr_t)(fd) + 1))

/* One posted notification as the window's descriptor delivers it (12 bytes). */
typedef struct CanWindowMessage {
    uint32_t message;
    uint32_t wParam; /* event bits */
    uint32_t lParam; /* user value */
} CanWindowMessage;

/* ---- Ports, configuration and messages ---- */

/* Opens "\\.\" + name (at most the first 11 characters of name). The port starts stopped, with
 * the default configuration, empty queues and event mask 0. CAN_INVALID_PORT on failure. */
CanHandle CanOpenPort(const char* portName);
uint32_t CanClosePort(CanHandle h);
uint32_t CanSetConfig(CanHandle h, const CanConfig* config); /* stopped only */
uint32_t CanGetConfig(CanHandle h, CanConfig* config);
uint32_t CanActivate(CanHandle h);   /* stopped only: the controller joins the bus */
uint32_t CanDeactivate(CanHandle h); /* running and not bus off only */
uint32_t CanGetStatus(CanHandle h, CanStatus* status);
/* All count messages are queued, or none (CAN_ERR_QUEUE_FULL). Running and not bus off only. */
uint32_t CanSendMessage(CanHandle h, const CanMessage* messages, uint32_t count);
/* Up to *count messages, oldest first; *count = messages delivered. CAN_ERR_NO_DATA when none. */
uint32_t CanReceiveMessage(CanHandle h, CanMessage* messages, uint32_t* count);
uint32_t CanGetErrorEvent(CanHandle h, CanErrorRecord* records, uint32_t* count);
/* The controller's four acceptance code and mask bytes, most significant first. Stopped only. */
uint32_t CanSetAcceptanceFilter(CanHandle h, uint32_t code, uint32_t mask);
uint32_t CanGetAcceptanceFilter(CanHandle h, uint32_t* code, uint32_t* mask);
uint32_t CanClearBuffer(CanHandle h, uint32_t flags);

/* ---- Notifications, completions, FIFO boards ---- */

uint32_t CanSetEvent(CanHandle h, const CanEventSetting* setting);
uint32_t CanKillEvent(CanHandle h);
uint32_t CanSetEventMask(CanHandle h, uint32_t mask);
uint32_t CanGetEventMask(CanHandle h, uint32_t* mask);
uint32_t CanSetFifoTrigger(CanHandle h, uint32_t kind, uint32_t mode, uint32_t level);
uint32_t CanGetFifoTrigger(CanHandle h, uint32_t kind, uint32_t* mode, uint32_t* level);
/* The hardware sends the message repeatedly; its time field is the period in 10 us steps. */
uint32_t CanCyclicSendMessage(CanHandle h, const CanMessage* message);
uint32_t CanStopCyclicSendMessage(CanHandle h);
/* Sent messages with their completion time stamps, oldest first; *count = records delivered. */
uint32_t CanGetCompletionMessage(CanHandle h, CanMessage* messages, uint32_t* count);

/* ---- Board diagnostics ---- */

uint32_t CanCommonGetPciDeviceInfo(CanHandle h, uint32_t* deviceId, uint32_t* vendorId, uint32_t* classCode,
                                   uint32_t* revisionId, uint32_t* bar0, uint32_t* bar1, uint32_t* bar2,
                                   uint32_t* bar3, uint32_t* bar4, uint32_t* bar5, uint32_t* subsystemId,
                                   uint32_t* subsystemVendorId, uint32_t* interruptLine, uint32_t* boardSwitch);
uint32_t CanCommonGetDeviceInfo(CanHandle h, uint32_t* value);
uint32_t CanCommonIoByteRead(CanHandle h, uint32_t port, uint32_t* value);
uint32_t CanCommonIoWordRead(CanHandle h, uint32_t port, uint32_t* value);
uint32_t CanCommonIoDwordRead(CanHandle h, uint32_t port, uint32_t* value);
uint32_t CanCommonIoByteWrite(CanHandle h, uint32_t port, uint32_t value);
uint32_t CanCommonIoWordWrite(CanHandle h, uint32_t port, uint32_t value);
uint32_t CanCommonIoDwordWrite(CanHandle h, uint32_t port, uint32_t value);
uint32_t CanCommonMemoryByteRead(CanHandle h, uint32_t address, uint32_t* value);
uint32_t CanCommonMemoryWordRead(CanHandle h, uint32_t address, uint32_t* value);
uint32_t CanCommonMemoryDwordRead(CanHandle h, uint32_t address, uint32_t* value);
uint32_t CanCommonMemoryByteWrite(CanHandle h, uint32_t address, uint32_t value);
uint32_t CanCommonMemoryWordWrite(CanHandle h, uint32_t address, uint32_t value);
uint32_t CanCommonMemoryDwordWrite(CanHandle h, uint32_t address, uint32_t value);
/* width: CAN_PCI_WIDTH_BYTE, _WORD or _DWORD; note the argument orders differ. */
uint32_t CanCommonPciCfgIoRead(CanHandle h, uint32_t offset, uint32_t width, uint32_t* value);
uint32_t CanCommonPciCfgIoWrite(CanHandle h, uint32_t offset, uint32_t value, uint32_t width);

#ifdef __cplusplus
}
#endif

#endif /* DIZED_H */
