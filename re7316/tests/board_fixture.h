// A machine with the simulated PCI CAN board plugged in: every channel on one bus in fast
// mode, reached by the driver through the kernel model and by tests through platform/device.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "can_common/can_records.h"
#include "hw/can_bus.h"
#include "hw/clock.h"
#include "hw/pci_can_board.h"
#include "kernel/machine.h"
#include "platform/device.h"
#include "re7316/re7316.h"

namespace re7316test {

// The board's line as the kernel model's interrupt line.
class LineAdapter final : public hw::InterruptLine {
public:
    explicit LineAdapter(kernel::InterruptLine& line) : line_(line) {}
    void Set(bool asserted) override { asserted ? line_.Raise() : line_.Lower(); }

private:
    kernel::InterruptLine& line_;
};

// One channel's PCI function as the bus driver reports it.
class ChannelDevice final : public kernel::PhysicalDevice, public kernel::RegisterWindow {
public:
    ChannelDevice(hw::PciCanChannel& channel, const hw::PciCanBoardConfig& cfg) : ch_(channel), cfg_(cfg) {}
    std::wstring HardwareId() const override {
        wchar_t id[96];
        std::swprintf(id, 96, L"PCI\\VEN_%04X&DEV_%04X&SUBSYS_%04X%04X&REV_%02X", cfg_.vendor_id, cfg_.device_id,
                      cfg_.subsystem_id, cfg_.subsystem_vendor_id, cfg_.revision);
        return id;
    }
    std::vector<kernel::Resource> Resources() const override {
        kernel::Resource mem;
        mem.kind = kernel::Resource::Memory;
        mem.start = ch_.window_base();
        mem.length = hw::kChannelWindowLength;
        kernel::Resource irq;
        irq.kind = kernel::Resource::Interrupt;
        irq.vector = cfg_.interrupt_line;
        return {mem, irq};
    }
    ULONG ReadConfig(void* buffer, ULONG offset, ULONG length) override {
        auto* b = static_cast<UCHAR*>(buffer);
        ULONG n = 0;
        for (; n < length && offset + n < 256; ++n) b[n] = static_cast<UCHAR>(ch_.ConfigRead(offset + n, 1));
        return n;
    }
    ULONG WriteConfig(const void* buffer, ULONG offset, ULONG length) override {
        auto* b = static_cast<const UCHAR*>(buffer);
        ULONG n = 0;
        for (; n < length && offset + n < 256; ++n) ch_.ConfigWrite(offset + n, b[n], 1);
        return n;
    }
    ULONG Read(ULONG offset, int width) override { return ch_.Read(offset, static_cast<unsigned>(width)); }
    void Write(ULONG offset, int width, ULONG value) override { ch_.Write(offset, value, static_cast<unsigned>(width)); }

private:
    hw::PciCanChannel& ch_;
    hw::PciCanBoardConfig cfg_;
};

class BoardTest : public ::testing::Test {
protected:
    void Plug(hw::PciCanBoardConfig cfg) {
        cfg_ = cfg;
        machine_ = std::make_unique<kernel::Machine>();
        re7316::RegisterDriver(*machine_);
        bus_ = std::make_unique<hw::CanBus>(clock_, "CAN1");
        bus_->SetFastMode(true);
        board_ = std::make_unique<hw::PciCanBoard>(clock_, cfg);
        line_ = std::make_unique<LineAdapter>(machine_->Line(cfg.interrupt_line));
        board_->ConnectInterrupt(line_.get());
        for (unsigned i = 0; i < board_->channel_count(); ++i) {
            board_->AttachChannel(i, bus_.get());
            auto dev = std::make_shared<ChannelDevice>(board_->channel(i), cfg);
            machine_->MapRegisters(board_->channel(i).window_base(), hw::kChannelWindowLength, dev.get());
            devices_.push_back(dev);
            pdos_.push_back(machine_->PlugIn(dev));
            ASSERT_NE(pdos_.back(), nullptr);
        }
    }
    void TearDown() override {
        for (HANDLE h : handles_) CloseHandle(h);
        handles_.clear();
        if (machine_) {
            for (auto* pdo : pdos_)
                if (pdo) machine_->Remove(pdo);
            machine_->DrainWorker();
            EXPECT_TRUE(machine_->verifier().Clean()) << machine_->verifier().Describe();
        }
        if (board_)
            for (unsigned i = 0; i < board_->channel_count(); ++i) board_->AttachChannel(i, nullptr);
        machine_.reset();
        board_.reset();
        bus_.reset();
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

    hw::PciCanBoardConfig cfg_;
    hw::SteadyClock clock_;
    std::unique_ptr<kernel::Machine> machine_;
    std::unique_ptr<hw::CanBus> bus_;
    std::unique_ptr<hw::PciCanBoard> board_;
    std::unique_ptr<LineAdapter> line_;
    std::vector<std::shared_ptr<ChannelDevice>> devices_;
    std::vector<PDEVICE_OBJECT> pdos_;
    std::vector<HANDLE> handles_;
};

inline hw::PciCanBoardConfig BasicBoard() {
    hw::PciCanBoardConfig cfg;
    cfg.device_id = hw::kBasicBoardDeviceId;
    return cfg;
}
inline hw::PciCanBoardConfig FifoBoard() { return hw::PciCanBoardConfig{}; }

inline CanMessage Frame(ULONG id, std::initializer_list<UCHAR> data, bool extended = true) {
    CanMessage m{};
    m.identifier = id | (extended ? 0x80000000u : 0);
    m.length = static_cast<ULONG>(data.size());
    int i = 0;
    for (UCHAR b : data) m.data[i++] = b;
    return m;
}

}  // namespace re7316test
