/* A C program that knows only dized.h: two ports of one bus exchange a frame, a callback
 * reports its arrival, and the result codes come back as the header names them. Exit code 0
 * when everything held. */
#define _POSIX_C_SOURCE 199309L

#include <stdio.h>
#include <string.h>
#include <time.h>

#include "dized.h"

/* Written by the callback on the port's notification thread, read by main: the user value is
 * stored before the bits are published, and read after them. */
static uint32_t gBits;
static uint32_t gUser;

static void OnEvent(uint32_t bits, uint32_t user) {
    __atomic_store_n(&gUser, user, __ATOMIC_RELAXED);
    __atomic_fetch_or(&gBits, bits, __ATOMIC_RELEASE);
}

static uint32_t Bits(void) { return __atomic_load_n(&gBits, __ATOMIC_ACQUIRE); }
static uint32_t User(void) { return __atomic_load_n(&gUser, __ATOMIC_RELAXED); }

static int gFailures;
#define CHECK(cond)                                                     \
    do {                                                                \
        if (!(cond)) {                                                  \
            fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond);  \
            ++gFailures;                                                \
        }                                                               \
    } while (0)

static void Pause(void) {
    struct timespec t = {0, 1000000L};
    nanosleep(&t, NULL);
}

int main(void) {
    CanHandle a = CanOpenPort("DIZED1");
    CanHandle b = CanOpenPort("DIZED2");
    CanEventSetting setting;
    CanMessage out, in[4];
    CanConfig config;
    uint32_t n = 4;
    int i;

    CHECK(sizeof(CanMessage) == 24 && sizeof(CanConfig) == 28 && sizeof(CanStatus) == 24);
    CHECK(sizeof(CanErrorRecord) == 16 && sizeof(CanWindowMessage) == 12);
    if (a == CAN_INVALID_PORT || b == CAN_INVALID_PORT) {
        fprintf(stderr, "ports DIZED1 and DIZED2 do not open\n");
        return 1;
    }
    CHECK(CanOpenPort("DIZED1") == CAN_INVALID_PORT);
    CHECK(CanGetConfig(a, &config) == CAN_OK && config.bitTiming == 0x053A && config.transmitQueueSize == 64);

    memset(&setting, 0, sizeof setting);
    setting.callback = OnEvent;
    setting.userValue = 0xC0DE;
    CHECK(CanSetEvent(b, &setting) == CAN_OK);
    CHECK(CanSetEventMask(b, CAN_EVENT_RECEIVE) == CAN_OK);
    CHECK(CanActivate(a) == CAN_OK && CanActivate(b) == CAN_OK);

    memset(&out, 0, sizeof out);
    out.identifier = 0x80000000u | 0x12345678u;
    out.length = 4;
    memcpy(out.data, "\xDE\xAD\xBE\xEF", 4);
    CHECK(CanSendMessage(a, &out, 1) == CAN_OK);
    for (i = 0; i < 20000 && !(Bits() & CAN_EVENT_RECEIVE); ++i) Pause();
    CHECK(Bits() == CAN_EVENT_RECEIVE && User() == 0xC0DE);
    CHECK(CanReceiveMessage(b, in, &n) == CAN_OK && n == 1);
    CHECK(in[0].identifier == out.identifier && memcmp(in[0].data, out.data, 4) == 0);
    n = 4;
    CHECK(CanReceiveMessage(b, in, &n) == CAN_ERR_NO_DATA && n == 4);
    CHECK(CanSetConfig(a, &config) == CAN_ERR_WRONG_STATE);

    CHECK(CanClosePort(a) == CAN_OK);
    CHECK(CanClosePort(a) == CAN_ERR_INVALID_HANDLE);
    CHECK(CanClosePort(b) == CAN_OK);
    if (gFailures == 0) printf("C program: all checks held\n");
    return gFailures == 0 ? 0 : 1;
}
