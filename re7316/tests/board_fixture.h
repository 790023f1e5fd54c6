// A machine with the simulated PCI CAN board plugged in, built from a machine description
// and put into the kernel model by hw::KernelAttachment: every channel on one bus in fast
// mode, reached by the driver through the kernel model and by tests through platform/device.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "can_common/can_records.h"
#include "hw/kernel_attachment.h"
#include "hw/machine.h"
#include "kernel/machine.h"
#include "platform/device.h"
#include "re7316/re7316.h"

namespace re7316test {

// One board ("Board 1") with two channels on bus CAN1; `more` is appended (further boards).
inline std::string OneBoard(bool fifo, const std::string& more = {}) {
    return std::string("[Machine]\nName=re7316 test\nFastMode=1\n\n[Bus CAN1]\nBitTimeNs=1000\n\n") +
           "[Board 1]\nKind=" + (fifo ? "FIFO" : "Basic") +
           "\nChannels=2\nBus=CAN1\nSubsystemId=0x2402\nRevision=3\nSwitch=0x05\n"
           "ChannelInterruptMask=0xFE\nInterruptLine=11\n\n" +
           more;
}

class BoardTest : public ::testing::Test {
protected:
    // clock: null for the real one.
    void Boot(const std::string& description, std::shared_ptr<hw::Clock> clock = nullptr) {
        kernel_ = std::make_unique<kernel::Machine>();
        re7316::RegisterDriver(*kernel_);
        std::string error;
        hw_ = hw::Machine::FromText(description, std::move(clock), &error);
        ASSERT_TRUE(hw_) << error;
        attachment_ = std::make_unique<hw::KernelAttachment>(*kernel_, *hw_);
        board_ = hw_->board("Board 1");
        ASSERT_NE(board_, nullptr);
        cfg_ = board_->config();
        for (PDEVICE_OBJECT pdo : attachment_->ChannelPdos("Board 1")) ASSERT_NE(pdo, nullptr);
    }
    void Plug(bool fifo) { Boot(OneBoard(fifo)); }
    // Takes the board out (surprise removal of its channels) or puts it back.
    void Unplug(const std::string& board) {
        std::string error;
        ASSERT_TRUE(hw_->Unplug(board, &error)) << error;
    }
    void Replug(const std::string& board) {
        std::string error;
        ASSERT_TRUE(hw_->Plug(board, &error)) << error;
    }
    PDEVICE_OBJECT Pdo(unsigned channel, const std::string& board = "Board 1") {
        auto pdos = attachment_->ChannelPdos(board);
        return channel < pdos.size() ? pdos[channel] : nullptr;
    }

    void TearDown() override {
        for (HANDLE h : handles_) CloseHandle(h);
        handles_.clear();
        if (kernel_) {
            // Orderly removal of whatever is still plugged in.
            if (hw_ && attachment_)
                for (const hw::MachineDevice& d : hw_->PluggedDevices())
                    for (PDEVICE_OBJECT pdo : attachment_->ChannelPdos(d.name))
                        if (pdo && kernel_->TopOfStack(pdo)) kernel_->Remove(pdo);
            kernel_->DrainWorker();
            EXPECT_TRUE(kernel_->verifier().Clean()) << kernel_->verifier().Describe();
        }
        attachment_.reset();
        hw_.reset();
        kernel_.reset();
    }
    HANDLE Open(const char* name, DWORD flags = 0) {
        std::string path = std::string("\\\\.\\") + name;
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags, nullptr);
        if (h != INVALID_HANDLE_VALUE) handles_.push_back(h);
        return h;
    }
    void CloseTracked(HANDLE h) {
        for (auto it = handles_.begin(); it != handles_.end(); ++it)
            if (*it == h) {
                handles_.erase(it);
                break;
            }
        CloseHandle(h);
    }
    // Runs a control request; returns the Windows error (0 on success) and the bytes returned.
    DWORD Ioctl(HANDLE h, DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                DWORD* bytes = nullptr) {
        DWORD n = 0;
        BOOL ok = DeviceIoControl(h, code, const_cast<void*>(in), inLength, out, outLength, &n, nullptr);
        if (bytes) *bytes = n;
        return ok ? 0 : GetLastError();
    }
    DWORD Simple(HANDLE h, DWORD code, ULONG value) { return Ioctl(h, code, &value, 4, nullptr, 0); }
    CanStatus Status(HANDLE h) {
        CanStatus st{};
        EXPECT_EQ(Ioctl(h, IOCTL_CAN_GET_STATUS, nullptr, 0, &st, sizeof st), 0u);
        return st;
    }
    // Starts a wait on h (opened overlapped); the caller waits for ov.hEvent. True when the
    // wait completed at once (a queued event).
    bool StartWait(HANDLE h, OVERLAPPED* ov, ULONG* value) {
        *ov = OVERLAPPED{};
        ov->hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        DWORD n = 0;
        BOOL ok = DeviceIoControl(h, IOCTL_CAN_WAIT_EVENT, nullptr, 0, value, 4, &n, ov);
        if (!ok) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));
        }
        return ok;
    }
    // Waits (bounded: a hang guard) for a started wait; returns the bytes it returned.
    DWORD FinishWait(HANDLE h, OVERLAPPED* ov) {
        DWORD n = 0xFFFF;
        EXPECT_EQ(WaitForSingleObject(ov->hEvent, kHangGuardMs), 0u);
        EXPECT_TRUE(GetOverlappedResult(h, ov, &n, TRUE));
        CloseHandle(ov->hEvent);
        return n;
    }
    // Polls the status until the receive queue holds `count` messages (bounded: a hang guard).
    bool WaitForReceived(HANDLE h, ULONG count) {
        for (int i = 0; i < 20000; ++i) {
            CanStatus st{};
            if (Ioctl(h, IOCTL_CAN_GET_STATUS, nullptr, 0, &st, sizeof st) != 0) return false;
            if (st.receiveWaiting >= count) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
    bool Send(HANDLE h, const CanMessage* m, ULONG n) {
        DWORD written = 0;
        return WriteFile(h, m, n * sizeof(CanMessage), &written, nullptr);
    }

    // Bound on a wait for something the bus and the interrupt deliver (a hang guard, not a
    // timing assertion), ms.
    static constexpr DWORD kHangGuardMs = 20000;

    std::unique_ptr<kernel::Machine> kernel_;
    std::unique_ptr<hw::Machine> hw_;
    std::unique_ptr<hw::KernelAttachment> attachment_;
    hw::PciCanBoard* board_ = nullptr;
    hw::PciCanBoardConfig cfg_;
    std::vector<HANDLE> handles_;
};

inline CanMessage Frame(ULONG id, std::initializer_list<UCHAR> data, bool extended = true) {
    CanMessage m{};
    m.identifier = id | (extended ? 0x80000000u : 0);
    m.length = static_cast<ULONG>(data.size());
    int i = 0;
    for (UCHAR b : data) m.data[i++] = b;
    return m;
}

}  // namespace re7316test
