#include "hw/kernel_attachment.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>

#include <unistd.h>

#include "platform/hostfile.h"

namespace hw {

namespace {

// The kernel's line for a vector, driven by every board wired to it.
class KernelLine final : public InterruptLine {
public:
    explicit KernelLine(kernel::InterruptLine& line) : line_(line) {}
    void Set(bool asserted) override { asserted ? line_.Raise() : line_.Lower(); }

private:
    kernel::InterruptLine& line_;
};

class Window final : public kernel::RegisterWindow {
public:
    explicit Window(PciCanChannel& ch) : ch_(ch) {}
    ULONG Read(ULONG offset, int width) override { return ch_.Read(offset, static_cast<unsigned>(width)); }
    void Write(ULONG offset, int width, ULONG value) override { ch_.Write(offset, value, static_cast<unsigned>(width)); }

private:
    PciCanChannel& ch_;
};

class ChannelDevice final : public kernel::PhysicalDevice {
public:
    ChannelDevice(PciCanChannel& ch, const PciCanBoardConfig& cfg) : ch_(ch), cfg_(cfg) {}
    std::wstring HardwareId() const override {
        wchar_t buf[96];
        std::swprintf(buf, 96, L"PCI\\VEN_%04X&DEV_%04X&SUBSYS_%04X%04X&REV_%02X", cfg_.vendor_id, cfg_.device_id,
                      cfg_.subsystem_id, cfg_.subsystem_vendor_id, cfg_.revision);
        return buf;
    }
    std::wstring DeviceDescription() const override { return L"PCI CAN Controller"; }
    std::vector<kernel::Resource> Resources() const override {
        kernel::Resource mem;
        mem.kind = kernel::Resource::Memory;
        mem.start = ch_.window_base();
        mem.length = kChannelWindowLength;
        kernel::Resource irq;
        irq.kind = kernel::Resource::Interrupt;
        irq.vector = cfg_.interrupt_line;
        irq.shared = true;
        return {mem, irq};
    }
    ULONG ReadConfig(void* buffer, ULONG offset, ULONG length) override {
        auto* out = static_cast<UCHAR*>(buffer);
        ULONG n = 0;
        for (; n < length && offset + n < 256; ++n) out[n] = static_cast<UCHAR>(ch_.ConfigRead(offset + n, 1));
        return n;
    }
    ULONG WriteConfig(const void* buffer, ULONG offset, ULONG length) override {
        const auto* in = static_cast<const UCHAR*>(buffer);
        ULONG n = 0;
        for (; n < length && offset + n < 256; ++n) ch_.ConfigWrite(offset + n, in[n], 1);
        return n;
    }

private:
    PciCanChannel& ch_;
    PciCanBoardConfig cfg_;
};

}  // namespace

struct KernelAttachment::Vector {
    explicit Vector(kernel::InterruptLine& line) : out(line), shared(&out) {}
    KernelLine out;
    SharedLine shared;
    // One source per board on the number; boards hold pointers to them, so they never move.
    std::deque<SharedLine::Source> sources;
};

struct KernelAttachment::Board {
    PciCanBoard* board = nullptr;
    std::vector<std::unique_ptr<Window>> windows;
    std::vector<PDEVICE_OBJECT> pdos;
};

KernelAttachment::KernelAttachment(kernel::Machine& kernel, Machine& machine) : kernel_(kernel), machine_(machine) {
    std::vector<MachineDevice> plugged = machine_.PluggedDevices();
    machine_.SetListener(this);
    for (const auto& d : plugged) OnArrival(d);
}

KernelAttachment::~KernelAttachment() {
    machine_.SetListener(nullptr);
    std::lock_guard<std::mutex> lk(mu_);
    for (auto& [name, b] : boards_) {
        b->board->ConnectInterrupt(nullptr);
        for (unsigned i = 0; i < b->board->channel_count(); ++i) kernel_.UnmapRegisters(b->board->channel(i).window_base());
    }
}

void KernelAttachment::OnArrival(const MachineDevice& device) {
    if (device.kind == DeviceKind::kUsbSensor) {
        PDEVICE_OBJECT pdo = kernel_.PlugIn(MakeUsbPhysicalDevice(machine_.usb_host(), device.usb_port, device.usb));
        std::lock_guard<std::mutex> lk(mu_);
        usb_[device.name] = pdo;
        return;
    }
    if (device.kind != DeviceKind::kPciCanBoard) return;  // CAN sensor nodes live on their bus only
    std::vector<std::shared_ptr<kernel::PhysicalDevice>> to_plug;
    Board* b;
    {
        std::lock_guard<std::mutex> lk(mu_);
        auto& slot = boards_[device.name];
        if (!slot) {
            slot = std::make_unique<Board>();
            slot->board = device.board;
            const auto& cfg = device.board->config();
            auto& v = vectors_[cfg.interrupt_line];
            if (!v) v = std::make_unique<Vector>(kernel_.Line(cfg.interrupt_line));
            v->sources.push_back(v->shared.MakeSource(static_cast<unsigned>(v->sources.size())));
            device.board->ConnectInterrupt(&v->sources.back());
            for (unsigned i = 0; i < device.board->channel_count(); ++i) {
                slot->windows.push_back(std::make_unique<Window>(device.board->channel(i)));
                kernel_.MapRegisters(device.board->channel(i).window_base(), kChannelWindowLength,
                                     slot->windows.back().get());
            }
            slot->pdos.assign(device.board->channel_count(), nullptr);
        }
        b = slot.get();
        for (unsigned i = 0; i < device.board->channel_count(); ++i)
            to_plug.push_back(std::make_shared<ChannelDevice>(device.board->channel(i), device.board->config()));
    }
    for (unsigned i = 0; i < to_plug.size(); ++i) {
        PDEVICE_OBJECT pdo = kernel_.PlugIn(to_plug[i]);
        std::lock_guard<std::mutex> lk(mu_);
        b->pdos[i] = pdo;
    }
}

void KernelAttachment::OnSurpriseRemoval(const MachineDevice& device) {
    if (device.kind == DeviceKind::kUsbSensor) {
        PDEVICE_OBJECT pdo = nullptr;
        {
            std::lock_guard<std::mutex> lk(mu_);
            auto it = usb_.find(device.name);
            if (it != usb_.end()) std::swap(pdo, it->second);
        }
        if (pdo) kernel_.SurpriseRemove(pdo);
        return;
    }
    if (device.kind != DeviceKind::kPciCanBoard) return;
    std::vector<PDEVICE_OBJECT> pdos;
    {
        std::lock_guard<std::mutex> lk(mu_);
        auto it = boards_.find(device.name);
        if (it == boards_.end()) return;
        pdos.swap(it->second->pdos);
        it->second->pdos.assign(pdos.size(), nullptr);
    }
    for (PDEVICE_OBJECT pdo : pdos)
        if (pdo) kernel_.SurpriseRemove(pdo);
}

std::vector<PDEVICE_OBJECT> KernelAttachment::ChannelPdos(const std::string& board) {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = boards_.find(board);
    return it == boards_.end() ? std::vector<PDEVICE_OBJECT>{} : it->second->pdos;
}

PDEVICE_OBJECT KernelAttachment::UsbPdo(const std::string& sensor) {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = usb_.find(sensor);
    return it == usb_.end() ? nullptr : it->second;
}

namespace {
struct Booted {
    std::unique_ptr<Machine> machine;
    std::unique_ptr<KernelAttachment> attachment;
};
}  // namespace

void InstallKernelMachineLoader(std::function<void(kernel::Machine&)> register_drivers) {
    kernel::SetMachineLoader([register_drivers](kernel::Machine& km, const std::string& path) {
        if (register_drivers) register_drivers(km);
        std::filesystem::path file = path;
        std::error_code ec;
        if (!std::filesystem::exists(file, ec)) {
            std::filesystem::create_directories(file.parent_path(), ec);
            std::string error;
            if (!platform::WriteHostFileAtomic(file, DefaultMachineText(), &error))
                std::fprintf(stderr, "machine %s: %s\n", file.string().c_str(), error.c_str());
        }
        std::string error;
        auto m = Machine::Load(file, nullptr, &error);
        if (!m) {
            std::fprintf(stderr, "machine %s: %s\n", file.string().c_str(), error.c_str());
            return;
        }
        auto booted = std::make_shared<Booted>();
        booted->machine = std::move(m);
        booted->attachment = std::make_unique<KernelAttachment>(km, *booted->machine);
        if (!booted->machine->ServeControl(ControlSocketPath(::getpid()), &error))
            std::fprintf(stderr, "machine %s: no control socket: %s\n", file.string().c_str(), error.c_str());
        // Every device was removed and every driver unloaded by then: the attachment lets go
        // of the kernel's lines and windows, then the buses and the USB host stop.
        km.AtHardwareShutdown([booted] {
            booted->machine->SetListener(nullptr);
            booted->attachment.reset();
            booted->machine.reset();
        });
    });
}

}  // namespace hw
