// Unloading the library closes every port still open; a port whose close keeps failing is
// dropped after a bounded number of tries instead of holding the unload for ever.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "dized.h"
#include "kxdevio_spy.h"

namespace {

struct Library {
    Library() : handle(dlopen(DIZED_LIBRARY, RTLD_NOW | RTLD_LOCAL)) {}
    template <class F>
    F Get(const char* name) {
        return reinterpret_cast<F>(dlsym(handle, name));
    }
    void* handle;
};

// Every device-layer handle of the channel is closed when it can be opened again.
bool ChannelFreeNow(const char* name) {
    HANDLE h = KxDevioCreateFile((std::string("\\\\.\\") + name).c_str(), 0xC0000000u, 0, nullptr, 3, 0x40000080u,
                                 nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    KxDevioCloseHandle(h);
    return true;
}
// The driver's close may follow a moment after the handle's close: tried for a while.
bool ChannelFree(const char* name) {
    for (int i = 0; i < 10000; ++i) {
        if (ChannelFreeNow(name)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

void Ignore(uint32_t, uint32_t) {}

// ThreadSanitizer's runtime runs every atexit handler at process exit, also one a library
// registered and that should run when the library is unloaded: what these tests look at does
// not happen there (and the handler would run after its library is gone).
#if defined(__SANITIZE_THREAD__)
#define SKIP_WHERE_UNLOAD_HANDLERS_WAIT_FOR_EXIT() \
    GTEST_SKIP() << "ThreadSanitizer defers the library's unload handler to process exit"
#else
#define SKIP_WHERE_UNLOAD_HANDLERS_WAIT_FOR_EXIT() (void)0
#endif

TEST(Unload, ClosesEveryPortStillOpen) {
    SKIP_WHERE_UNLOAD_HANDLERS_WAIT_FOR_EXIT();
    Library lib;
    ASSERT_NE(lib.handle, nullptr) << dlerror();
    auto open = lib.Get<decltype(&CanOpenPort)>("CanOpenPort");
    auto setEvent = lib.Get<decltype(&CanSetEvent)>("CanSetEvent");
    auto setMask = lib.Get<decltype(&CanSetEventMask)>("CanSetEventMask");
    ASSERT_TRUE(open && setEvent && setMask);
    CanHandle a = open("DIZED1");
    CanHandle b = open("DIZED2");
    ASSERT_NE(a, CAN_INVALID_PORT);
    ASSERT_NE(b, CAN_INVALID_PORT);
    CanEventSetting s{};
    s.callback = Ignore;
    ASSERT_EQ(setEvent(b, &s), 0u);
    ASSERT_EQ(setMask(b, CAN_EVENT_RECEIVE), 0u);
    EXPECT_FALSE(ChannelFreeNow("DIZED1"));
    ASSERT_EQ(dlclose(lib.handle), 0);
    EXPECT_EQ(dlopen(DIZED_LIBRARY, RTLD_NOW | RTLD_NOLOAD), nullptr) << "the library really went away";
    EXPECT_TRUE(ChannelFree("DIZED1"));
    EXPECT_TRUE(ChannelFree("DIZED2"));
}

TEST(Unload, APortWhoseCloseKeepsFailingIsDroppedAfterThreeTries) {
    SKIP_WHERE_UNLOAD_HANDLERS_WAIT_FOR_EXIT();
    Library lib;
    ASSERT_NE(lib.handle, nullptr) << dlerror();
    auto open = lib.Get<decltype(&CanOpenPort)>("CanOpenPort");
    CanHandle a = open("DIZED1");
    CanHandle b = open("DIZED2");
    ASSERT_NE(a, CAN_INVALID_PORT);
    ASSERT_NE(b, CAN_INVALID_PORT);
    spy::FailClose(ERROR_ACCESS_DENIED);
    long before = spy::CloseAttempts();
    ASSERT_EQ(dlclose(lib.handle), 0);
    EXPECT_EQ(spy::CloseAttempts() - before, 6) << "three tries for each of the two ports";
    spy::FailClose(0);
    // The device handles are still the device layer's; closing them frees the channels.
    EXPECT_NE(KxDevioCloseHandle(a), 0);
    EXPECT_NE(KxDevioCloseHandle(b), 0);
    EXPECT_TRUE(ChannelFree("DIZED1"));
}

}  // namespace
