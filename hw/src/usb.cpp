#include "hw/usb.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace hw {

namespace {
void Add16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}

// Walks a configuration descriptor: the pipes of one interface and alternate setting.
bool ParseInterface(const std::vector<uint8_t>& cfg, uint8_t number, uint8_t alternate, int port,
                    UsbInterfaceInfo* out) {
    bool in_it = false, found = false;
    for (size_t i = 0; i + 1 < cfg.size() && cfg[i] >= 2; i += cfg[i]) {
        uint8_t len = cfg[i], type = cfg[i + 1];
        if (i + len > cfg.size()) break;
        if (type == USB_DESC_INTERFACE && len >= 9) {
            in_it = cfg[i + 2] == number && cfg[i + 3] == alternate;
            if (in_it) {
                found = true;
                *out = UsbInterfaceInfo{};
                out->number = number;
                out->alternate = alternate;
                out->klass = cfg[i + 5];
                out->subclass = cfg[i + 6];
                out->protocol = cfg[i + 7];
            }
        } else if (type == USB_DESC_ENDPOINT && len >= 7 && in_it) {
            UsbPipeInfo p;
            p.endpoint_address = cfg[i + 2];
            p.type = cfg[i + 3] & 3;
            p.max_packet = static_cast<uint16_t>(cfg[i + 4] | (cfg[i + 5] << 8));
            p.interval = cfg[i + 6];
            p.handle = (static_cast<uint32_t>(port) << 8) | p.endpoint_address;
            out->pipes.push_back(p);
        }
    }
    return found;
}
}  // namespace

// ------------------------------------------------------------------ UsbFunction

bool UsbFunction::HasEndpoint(uint8_t address) const {
    const auto& c = config_descriptor_;
    for (size_t i = 0; i + 2 < c.size() && c[i] >= 2; i += c[i])
        if (c[i + 1] == USB_DESC_ENDPOINT && c[i + 2] == address) return true;
    return false;
}

void UsbFunction::BusReset() {
    configuration_ = 0;
    alternate_ = 0;
    remote_wakeup_ = false;
    halted_.clear();
}

UsbResponse UsbFunction::Control(const UsbSetup& s, std::vector<uint8_t>* data, uint64_t now) {
    if ((s.request_type & 0x60) == USB_TYPE_VENDOR) return Vendor(s, data, now);
    if ((s.request_type & 0x60) != USB_TYPE_STANDARD) return UsbResponse::kStall;
    const uint8_t recipient = s.request_type & 0x1F;
    const uint8_t ep = static_cast<uint8_t>(s.index);
    auto reply = [&](std::vector<uint8_t> bytes) {
        if (bytes.size() > s.length) bytes.resize(s.length);
        *data = std::move(bytes);
        return UsbResponse::kAck;
    };
    switch (s.request) {
    case USB_REQ_GET_STATUS:
        if (recipient == USB_RECIP_DEVICE) return reply({static_cast<uint8_t>(remote_wakeup_ ? 2 : 0), 0});
        if (recipient == USB_RECIP_INTERFACE) return s.index == 0 ? reply({0, 0}) : UsbResponse::kStall;
        if (recipient == USB_RECIP_ENDPOINT) {
            if (ep != 0 && !HasEndpoint(ep)) return UsbResponse::kStall;
            return reply({static_cast<uint8_t>(halted_[ep] ? 1 : 0), 0});
        }
        return UsbResponse::kStall;
    case USB_REQ_CLEAR_FEATURE:
    case USB_REQ_SET_FEATURE: {
        bool set = s.request == USB_REQ_SET_FEATURE;
        if (recipient == USB_RECIP_DEVICE && s.value == USB_FEATURE_REMOTE_WAKEUP) {
            remote_wakeup_ = set;
            return UsbResponse::kAck;
        }
        if (recipient == USB_RECIP_ENDPOINT && s.value == USB_FEATURE_ENDPOINT_HALT && HasEndpoint(ep)) {
            halted_[ep] = set;
            return UsbResponse::kAck;
        }
        return UsbResponse::kStall;
    }
    case USB_REQ_GET_DESCRIPTOR: {
        uint8_t type = static_cast<uint8_t>(s.value >> 8), index = static_cast<uint8_t>(s.value);
        if (type == USB_DESC_DEVICE) return reply(device_descriptor_);
        if (type == USB_DESC_CONFIGURATION && index == 0) return reply(config_descriptor_);
        if (type == USB_DESC_STRING) {
            if (index == 0) return reply({4, USB_DESC_STRING, 0x09, 0x04});
            if (index > strings_.size()) return UsbResponse::kStall;
            const std::string& text = strings_[index - 1];
            std::vector<uint8_t> d{static_cast<uint8_t>(2 + 2 * text.size()), USB_DESC_STRING};
            for (char ch : text) Add16(d, static_cast<uint8_t>(ch));
            return reply(d);
        }
        return UsbResponse::kStall;
    }
    case USB_REQ_SET_DESCRIPTOR: return UsbResponse::kStall;  // descriptors are in ROM
    case USB_REQ_GET_CONFIGURATION: return reply({configuration_});
    case USB_REQ_SET_CONFIGURATION:
        if (s.value > 1) return UsbResponse::kStall;
        configuration_ = static_cast<uint8_t>(s.value);
        alternate_ = 0;
        halted_.clear();
        return UsbResponse::kAck;
    case USB_REQ_GET_INTERFACE:
        if (!configuration_ || s.index != 0) return UsbResponse::kStall;
        return reply({alternate_});
    case USB_REQ_SET_INTERFACE:
        if (!configuration_ || s.index != 0 || s.value != 0) return UsbResponse::kStall;
        alternate_ = 0;
        return UsbResponse::kAck;
    default: return UsbResponse::kStall;
    }
}

UsbResponse UsbFunction::Out(uint8_t ep, const std::vector<uint8_t>& data, uint64_t now) {
    if (!configuration_ || !HasEndpoint(ep) || (ep & USB_DIR_IN)) return UsbResponse::kStall;
    if (halted_[ep]) return UsbResponse::kStall;
    return EndpointOut(ep, data, now);
}

UsbResponse UsbFunction::In(uint8_t ep, size_t max, std::vector<uint8_t>* data, uint64_t now) {
    if (!configuration_ || !HasEndpoint(ep) || !(ep & USB_DIR_IN)) return UsbResponse::kStall;
    if (halted_[ep]) return UsbResponse::kStall;
    return EndpointIn(ep, max, data, now);
}

// ------------------------------------------------------------------ SensorUsbDevice

SensorUsbDevice::SensorUsbDevice(std::shared_ptr<SensorFirmware> firmware, const SensorUsbIdentity& id)
    : firmware_(std::move(firmware)), identity_(id) {
    auto& d = device_descriptor_;
    d = {18, USB_DESC_DEVICE};
    Add16(d, 0x0110);  // USB 1.1
    d.insert(d.end(), {0xFF, 0x00, 0x00, 64});  // vendor class, control packet 64 bytes
    Add16(d, id.vendor_id);
    Add16(d, id.product_id);
    Add16(d, id.release);
    d.insert(d.end(), {1, 2, 3, 1});  // strings, one configuration
    const uint8_t endpoints = id.interrupt_endpoint ? 3 : 2;
    auto& c = config_descriptor_;
    c = {9, USB_DESC_CONFIGURATION, 0, 0, 1, 1, 0, 0xA0, 50};  // bus powered, remote wake-up, 100 mA
    c.insert(c.end(), {9, USB_DESC_INTERFACE, 0, 0, endpoints, 0xFF, 0x00, 0x00, 0});
    c.insert(c.end(), {7, USB_DESC_ENDPOINT, kBulkOut, USB_ENDPOINT_BULK, 64, 0, 0});
    c.insert(c.end(), {7, USB_DESC_ENDPOINT, kBulkIn, USB_ENDPOINT_BULK, 64, 0, 0});
    if (id.interrupt_endpoint) c.insert(c.end(), {7, USB_DESC_ENDPOINT, kInterruptIn, USB_ENDPOINT_INTERRUPT, 8, 0, 10});
    c[2] = static_cast<uint8_t>(c.size());
    c[3] = static_cast<uint8_t>(c.size() >> 8);
    SensorIdentity si = firmware_->settings().identity;
    char serial[32];
    std::snprintf(serial, sizeof serial, "%c%02u-%02u%03u-%04u", si.type_letter, si.year & 0x7F,
                  (si.month_lot >> 10) & 0x0F, si.month_lot & 0x3FF, si.serial & 0x3FFF);
    strings_ = {"hw", "Temperature sensor unit", serial};
}

void SensorUsbDevice::BusReset() {
    UsbFunction::BusReset();
    replies_.clear();
}

uint64_t SensorUsbDevice::NextEventUs(uint64_t now) {
    if (replies_.empty()) return kNever;
    return std::max(replies_.front().due_us, now);
}

UsbResponse SensorUsbDevice::TakeReply(size_t max, bool cut, std::vector<uint8_t>* data, uint64_t now) {
    if (replies_.empty() || replies_.front().due_us > now) return UsbResponse::kNak;
    const auto& r = replies_.front().bytes;
    data->assign(r.begin(), r.end());
    if (data->size() < identity_.reply_bytes) data->resize(identity_.reply_bytes, 0);
    if (cut && data->size() > max) data->resize(max);
    replies_.pop_front();
    return UsbResponse::kAck;
}

UsbResponse SensorUsbDevice::Vendor(const UsbSetup& s, std::vector<uint8_t>* data, uint64_t now) {
    if ((s.request_type & USB_DIR_IN) && s.request == 0 && configuration_) return TakeReply(s.length, true, data, now);
    return UsbResponse::kStall;
}

UsbResponse SensorUsbDevice::EndpointOut(uint8_t ep, const std::vector<uint8_t>& data, uint64_t now) {
    if (ep != kBulkOut) return UsbResponse::kStall;
    if (firmware_->settings().fault == SensorFault::kBusy) return UsbResponse::kNak;
    if (data.size() >= 8) {
        SensorMessage req;
        std::copy(data.begin(), data.begin() + 8, req.begin());
        if (auto reply = firmware_->Handle(req, SensorFirmware::Transport::kUsb, false)) {
            uint64_t delay = fast_ ? 0 : firmware_->settings().reply_delay_us;
            replies_.push_back({now + delay, *reply});
        }
    }
    return UsbResponse::kAck;
}

UsbResponse SensorUsbDevice::EndpointIn(uint8_t ep, size_t max, std::vector<uint8_t>* data, uint64_t now) {
    if (ep != kBulkIn && ep != kInterruptIn) return UsbResponse::kStall;
    return TakeReply(max, false, data, now);
}

// ------------------------------------------------------------------ UsbHost

UsbHost::UsbHost(Clock& clock) : clock_(clock), kick_handle_(std::make_shared<KickHandle>()) {
    kick_handle_->host = this;
    clock_.AddListener([h = kick_handle_] {
        std::lock_guard<std::mutex> lk(h->mu);
        if (h->host) {
            std::lock_guard<std::mutex> hl(h->host->mu_);
            h->host->kicked_ = true;
            h->host->cv_.notify_all();
        }
    });
    thread_ = std::thread([this] { Run(); });
}

UsbHost::~UsbHost() {
    {
        std::lock_guard<std::mutex> lk(kick_handle_->mu);
        kick_handle_->host = nullptr;
    }
    {
        std::lock_guard<std::mutex> lk(mu_);
        stop_ = true;
        cv_.notify_all();
    }
    thread_.join();
}

int UsbHost::Plug(UsbDevice* device) {
    std::lock_guard<std::mutex> lk(mu_);
    int port = 1;
    while (ports_.count(port)) ++port;
    Port& p = ports_[port];
    p.device = device;
    p.enabled = true;
    device->SetFastMode(fast_);
    device->BusReset();
    return port;
}

void UsbHost::Unplug(int port) {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = ports_.find(port);
    if (it == ports_.end()) return;
    for (Urb* u : it->second.pending) {
        u->status = USBD_STATUS_DEVICE_GONE;
        done_.push_back(u);
    }
    ports_.erase(it);
    kicked_ = true;
    cv_.notify_all();
}

void UsbHost::Submit(int port, Urb* urb) {
    std::lock_guard<std::mutex> lk(mu_);
    urb->status = USBD_STATUS_PENDING;
    auto it = ports_.find(port);
    if (it == ports_.end()) {
        urb->status = USBD_STATUS_DEVICE_GONE;
        done_.push_back(urb);
    } else {
        it->second.pending.push_back(urb);
    }
    kicked_ = true;
    cv_.notify_all();
}

bool UsbHost::Cancel(int port, Urb* urb) {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = ports_.find(port);
    if (it == ports_.end()) return false;
    auto& q = it->second.pending;
    auto pos = std::find(q.begin(), q.end(), urb);
    if (pos == q.end()) return false;
    q.erase(pos);
    urb->status = USBD_STATUS_CANCELED;
    urb->length = 0;
    done_.push_back(urb);
    kicked_ = true;
    cv_.notify_all();
    return true;
}

uint32_t UsbHost::PortStatus(int port) {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = ports_.find(port);
    if (it == ports_.end()) return 0;
    return USBD_PORT_CONNECTED | (it->second.enabled ? USBD_PORT_ENABLED : 0);
}

bool UsbHost::ResetPort(int port) {
    std::lock_guard<std::mutex> lk(mu_);
    auto it = ports_.find(port);
    if (it == ports_.end()) return false;
    Port& p = it->second;
    for (auto i = p.pending.begin(); i != p.pending.end();) {
        if ((*i)->function == UrbFunction::kBulkOrInterruptTransfer) {
            (*i)->status = USBD_STATUS_CANCELED;
            (*i)->length = 0;
            done_.push_back(*i);
            i = p.pending.erase(i);
        } else {
            ++i;
        }
    }
    p.device->BusReset();
    p.enabled = true;
    if (p.configuration) {
        // The bus driver restores the selected configuration after a reset.
        UsbSetup s{0, USB_REQ_SET_CONFIGURATION, p.configuration, 0, 0};
        std::vector<uint8_t> none;
        p.device->Control(s, &none, clock_.NowUs());
    }
    kicked_ = true;
    cv_.notify_all();
    return true;
}

void UsbHost::SetFastMode(bool fast) {
    std::lock_guard<std::mutex> lk(mu_);
    fast_ = fast;
    for (auto& [n, p] : ports_) p.device->SetFastMode(fast);
}

bool UsbHost::WaitIdle(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lk(mu_);
    uint64_t target = ++request_seq_;
    kicked_ = true;
    cv_.notify_all();
    return idle_cv_.wait_for(lk, limit, [&] { return idle_seq_ >= target || stop_; });
}

bool UsbHost::Control(Port& p, Urb& urb, const UsbSetup& setup, uint64_t now) {
    std::vector<uint8_t> data;
    const bool in = (setup.request_type & USB_DIR_IN) != 0;
    if (!in && urb.buffer) data.assign(urb.buffer, urb.buffer + urb.length);
    UsbResponse r = p.device->Control(setup, &data, now);
    if (r == UsbResponse::kNak) return false;
    if (r == UsbResponse::kStall) {
        urb.status = USBD_STATUS_STALL_PID;
        urb.length = 0;
        return true;
    }
    if (in) {
        uint32_t n = static_cast<uint32_t>(std::min<size_t>(data.size(), urb.length));
        if (urb.buffer) std::copy(data.begin(), data.begin() + n, urb.buffer);
        urb.length = n;
    }
    urb.status = USBD_STATUS_SUCCESS;
    return true;
}

void UsbHost::SelectConfiguration(int port, Port& p, Urb& urb, uint64_t now) {
    urb.interfaces.clear();
    if (!urb.configuration) {
        UsbSetup s{0, USB_REQ_SET_CONFIGURATION, 0, 0, 0};
        Control(p, urb, s, now);
        if (urb.status == USBD_STATUS_SUCCESS) p.configuration = 0;
        return;
    }
    uint16_t total = static_cast<uint16_t>(urb.configuration[2] | (urb.configuration[3] << 8));
    std::vector<uint8_t> cfg(urb.configuration, urb.configuration + total);
    uint8_t value = cfg.size() > 5 ? cfg[5] : 0;
    uint8_t interfaces = cfg.size() > 4 ? cfg[4] : 0;
    UsbSetup s{0, USB_REQ_SET_CONFIGURATION, value, 0, 0};
    uint32_t len = urb.length;
    Control(p, urb, s, now);
    urb.length = len;
    if (urb.status != USBD_STATUS_SUCCESS) return;
    p.configuration = value;
    p.config_descriptor = cfg;
    for (uint8_t i = 0; i < interfaces; ++i) {
        UsbInterfaceInfo info;
        if (ParseInterface(cfg, i, 0, port, &info)) urb.interfaces.push_back(info);
    }
    urb.configuration_handle = (static_cast<uint32_t>(port) << 16) | value;
}

bool UsbHost::Execute(int port, Port& p, Urb& urb, uint64_t now) {
    auto recip = [](UrbFunction f, UrbFunction dev, UrbFunction itf) -> uint8_t {
        return f == dev ? USB_RECIP_DEVICE : f == itf ? USB_RECIP_INTERFACE : USB_RECIP_ENDPOINT;
    };
    switch (urb.function) {
    case UrbFunction::kBulkOrInterruptTransfer: {
        uint8_t ep = static_cast<uint8_t>(urb.pipe);
        if ((urb.pipe >> 8) != static_cast<uint32_t>(port) || !p.configuration) {
            urb.status = USBD_STATUS_INVALID_PIPE_HANDLE;
            urb.length = 0;
            return true;
        }
        if (ep & USB_DIR_IN) {
            std::vector<uint8_t> data;
            UsbResponse r = p.device->In(ep, urb.length, &data, now);
            if (r == UsbResponse::kNak) return false;
            if (r == UsbResponse::kStall) {
                urb.status = USBD_STATUS_STALL_PID;
                urb.length = 0;
                return true;
            }
            uint32_t n = static_cast<uint32_t>(std::min<size_t>(data.size(), urb.length));
            std::copy(data.begin(), data.begin() + n, urb.buffer);
            urb.status = data.size() > urb.length                ? USBD_STATUS_BUFFER_OVERRUN
                         : (n < urb.length && !urb.short_ok)     ? USBD_STATUS_DATA_UNDERRUN
                                                                 : USBD_STATUS_SUCCESS;
            urb.length = n;
            return true;
        }
        std::vector<uint8_t> data(urb.buffer, urb.buffer + urb.length);
        UsbResponse r = p.device->Out(ep, data, now);
        if (r == UsbResponse::kNak) return false;
        urb.status = r == UsbResponse::kAck ? USBD_STATUS_SUCCESS : USBD_STATUS_STALL_PID;
        if (r != UsbResponse::kAck) urb.length = 0;
        return true;
    }
    case UrbFunction::kSelectConfiguration: SelectConfiguration(port, p, urb, now); return true;
    case UrbFunction::kSelectInterface: {
        UsbSetup s{USB_RECIP_INTERFACE, USB_REQ_SET_INTERFACE, urb.alternate_setting, urb.interface_number, 0};
        if (!Control(p, urb, s, now)) return false;
        urb.interfaces.clear();
        UsbInterfaceInfo info;
        if (urb.status == USBD_STATUS_SUCCESS &&
            ParseInterface(p.config_descriptor, urb.interface_number, urb.alternate_setting, port, &info))
            urb.interfaces.push_back(info);
        return true;
    }
    case UrbFunction::kAbortPipe:
        for (auto i = p.pending.begin(); i != p.pending.end();) {
            if (*i != &urb && (*i)->function == UrbFunction::kBulkOrInterruptTransfer && (*i)->pipe == urb.pipe) {
                (*i)->status = USBD_STATUS_CANCELED;
                (*i)->length = 0;
                done_.push_back(*i);
                i = p.pending.erase(i);
            } else {
                ++i;
            }
        }
        urb.status = USBD_STATUS_SUCCESS;
        return true;
    case UrbFunction::kResetPipe: {
        UsbSetup s{USB_RECIP_ENDPOINT, USB_REQ_CLEAR_FEATURE, USB_FEATURE_ENDPOINT_HALT,
                   static_cast<uint16_t>(urb.pipe & 0xFF), 0};
        uint32_t len = urb.length;
        bool done = Control(p, urb, s, now);
        urb.length = len;
        return done;
    }
    case UrbFunction::kVendorDevice: {
        UsbSetup s{static_cast<uint8_t>(USB_TYPE_VENDOR | USB_RECIP_DEVICE | (urb.in ? USB_DIR_IN : 0)), urb.request,
                   urb.value, urb.index, static_cast<uint16_t>(urb.length)};
        return Control(p, urb, s, now);
    }
    case UrbFunction::kGetDescriptorFromDevice:
    case UrbFunction::kSetDescriptorToDevice: {
        bool get = urb.function == UrbFunction::kGetDescriptorFromDevice;
        UsbSetup s{static_cast<uint8_t>(get ? USB_DIR_IN : 0), get ? USB_REQ_GET_DESCRIPTOR : USB_REQ_SET_DESCRIPTOR,
                   static_cast<uint16_t>((urb.descriptor_type << 8) | urb.descriptor_index), urb.language_id,
                   static_cast<uint16_t>(urb.length)};
        return Control(p, urb, s, now);
    }
    case UrbFunction::kGetStatusFromDevice:
    case UrbFunction::kGetStatusFromInterface:
    case UrbFunction::kGetStatusFromEndpoint: {
        uint8_t r = recip(urb.function, UrbFunction::kGetStatusFromDevice, UrbFunction::kGetStatusFromInterface);
        UsbSetup s{static_cast<uint8_t>(USB_DIR_IN | r), USB_REQ_GET_STATUS, 0, urb.index, 2};
        return Control(p, urb, s, now);
    }
    case UrbFunction::kSetFeatureToDevice:
    case UrbFunction::kSetFeatureToInterface:
    case UrbFunction::kSetFeatureToEndpoint: {
        uint8_t r = recip(urb.function, UrbFunction::kSetFeatureToDevice, UrbFunction::kSetFeatureToInterface);
        UsbSetup s{r, USB_REQ_SET_FEATURE, urb.value, urb.index, 0};
        return Control(p, urb, s, now);
    }
    case UrbFunction::kClearFeatureToDevice:
    case UrbFunction::kClearFeatureToInterface:
    case UrbFunction::kClearFeatureToEndpoint: {
        uint8_t r = recip(urb.function, UrbFunction::kClearFeatureToDevice, UrbFunction::kClearFeatureToInterface);
        UsbSetup s{r, USB_REQ_CLEAR_FEATURE, urb.value, urb.index, 0};
        return Control(p, urb, s, now);
    }
    case UrbFunction::kGetConfiguration: {
        UsbSetup s{USB_DIR_IN, USB_REQ_GET_CONFIGURATION, 0, 0, 1};
        return Control(p, urb, s, now);
    }
    case UrbFunction::kGetInterface: {
        UsbSetup s{static_cast<uint8_t>(USB_DIR_IN | USB_RECIP_INTERFACE), USB_REQ_GET_INTERFACE, 0,
                   urb.interface_number, 1};
        return Control(p, urb, s, now);
    }
    }
    urb.status = USBD_STATUS_INVALID_URB_FUNCTION;
    return true;
}

void UsbHost::Run() {
    std::unique_lock<std::mutex> lk(mu_);
    while (!stop_) {
        kicked_ = false;
        uint64_t seen = request_seq_;
        uint64_t now = clock_.NowUs();
        uint64_t next = kNever;
        bool progressed = false;
        for (auto& [port, p] : ports_) {
            // Requests on one pipe complete in order; control requests share endpoint 0.
            std::set<uint32_t> blocked;
            for (auto i = p.pending.begin(); i != p.pending.end();) {
                Urb* u = *i;
                uint32_t key = u->function == UrbFunction::kBulkOrInterruptTransfer ? u->pipe
                               : (u->function == UrbFunction::kAbortPipe) ? 0xFFFFFFFFu
                                                                           : 0;
                if (blocked.count(key)) {
                    ++i;
                    continue;
                }
                if (Execute(port, p, *u, now)) {
                    done_.push_back(u);
                    progressed = true;
                    // An abort may have removed entries: restart this port's scan.
                    i = std::find(p.pending.begin(), p.pending.end(), u);
                    if (i != p.pending.end()) i = p.pending.erase(i);
                    blocked.clear();
                    i = p.pending.begin();
                } else {
                    blocked.insert(key);
                    ++i;
                }
            }
            if (!p.pending.empty()) next = std::min(next, p.device->NextEventUs(now));
        }
        if (!done_.empty()) {
            std::vector<Urb*> done;
            done.swap(done_);
            lk.unlock();
            for (Urb* u : done)
                if (u->on_complete) u->on_complete(*u);
            lk.lock();
            continue;
        }
        if (progressed || kicked_) continue;
        idle_seq_ = std::max(idle_seq_, seen);
        idle_cv_.notify_all();
        if (kicked_ || stop_) continue;
        clock_.WaitUntil(lk, cv_, next);
    }
    idle_cv_.notify_all();
}

}  // namespace hw
