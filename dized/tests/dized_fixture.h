// Ports of the test machine and the helpers the library tests share.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dized.h"

namespace dizedtest {

// Waits for a condition, polling; false when it did not come within a generous bound.
inline bool WaitUntil(const std::function<bool()>& condition, int seconds = 20) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline CanMessage Frame(uint32_t id, std::initializer_list<uint8_t> data, bool extended = false) {
    CanMessage m{};
    m.identifier = id | (extended ? 0x80000000u : 0u);
    m.length = static_cast<uint32_t>(data.size());
    int i = 0;
    for (uint8_t b : data) m.data[i++] = b;
    return m;
}

// The ports of the test machine by kind: two FIFO board channels on one bus, one basic board.
struct MachinePorts {
    std::string fifoA, fifoB, basic;
};
const MachinePorts& Ports();

// Notifications a callback saw; the callback finds its recorder by the registered user value.
class Recorder {
public:
    Recorder();
    ~Recorder();
    uint32_t userValue() const { return index_; }
    CanNotifyProc callback() const;
    std::vector<uint32_t> bits() const;
    size_t count() const;
    // Runs inside the callback, on the notification thread, after the bits were recorded.
    void OnNotify(std::function<void(uint32_t bits)> f);
    bool WaitForBits(uint32_t bit, int seconds = 20) const;

    void Record(uint32_t bits);

private:
    uint32_t index_;
    mutable std::mutex m_;
    std::vector<uint32_t> bits_;
    std::function<void(uint32_t)> hook_;
};

// Opens a port that is expected to be there. The driver's close of a port closed a moment
// ago may still be under way (the device layer sends it once the file's last request has
// ended, which can be just after CloseHandle returned), so a failed open is tried again for a
// while.
inline CanHandle OpenWhenFree(const std::string& name) {
    CanHandle h = CAN_INVALID_PORT;
    WaitUntil([&] { return (h = CanOpenPort(name.c_str())) != CAN_INVALID_PORT; }, 10);
    return h;
}

// An open port that the test owns: closed at the end of the test if still open.
class Port {
public:
    explicit Port(const std::string& name) : h_(OpenWhenFree(name)) {}
    ~Port() {
        if (h_ != CAN_INVALID_PORT) CanClosePort(h_);
    }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;
    CanHandle get() const { return h_; }
    bool ok() const { return h_ != CAN_INVALID_PORT; }
    uint32_t Close() {
        uint32_t r = CanClosePort(h_);
        if (r == 0) h_ = CAN_INVALID_PORT;
        return r;
    }
    CanStatus Status() const {
        CanStatus s{};
        EXPECT_EQ(CanGetStatus(h_, &s), 0u);
        return s;
    }
    // Receives until the driver has nothing more; the messages in order.
    std::vector<CanMessage> Drain() const;
    // Waits until n messages wait in the receive queue.
    bool WaitReceived(uint32_t n) const {
        return WaitUntil([&] { return Status().receiveWaiting >= n; });
    }

private:
    CanHandle h_;
};

}  // namespace dizedtest
