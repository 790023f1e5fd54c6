#include "hw/machine.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/hostfile.h"
#include "platform/sjis.h"
#include "regular_file.h"

namespace hw {

namespace sj = platform::sjis;

// ------------------------------------------------------------------ IniText

namespace {
std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}
}  // namespace

IniText::IniText(std::string text) {
    std::string section;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);  // 0x0A is never a trail byte
        std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? text.size() : nl + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        Line l{line, section, {}};
        std::string t = Trim(line);
        if (!t.empty() && t[0] == '[') {
            size_t close = sj::FindChar(t, ']');
            if (close != sj::npos) {
                section = Trim(t.substr(1, close - 1));
                l.section = section;
            }
        } else if (!t.empty() && t[0] != ';' && t[0] != '#') {
            size_t eq = sj::FindChar(t, '=');
            if (eq != sj::npos) l.key = Trim(t.substr(0, eq));
        }
        lines_.push_back(std::move(l));
    }
}

std::vector<std::string> IniText::Sections() const {
    std::vector<std::string> out;
    for (const auto& l : lines_) {
        if (l.key.empty() && !l.section.empty() && Trim(l.text).rfind('[', 0) == 0) out.push_back(l.section);
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> IniText::Entries(const std::string& section) const {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& l : lines_) {
        if (l.key.empty() || !sj::EqualsNoCase(l.section, section)) continue;
        std::string t = Trim(l.text);
        out.emplace_back(l.key, Trim(t.substr(sj::FindChar(t, '=') + 1)));
    }
    return out;
}

std::optional<std::string> IniText::Get(const std::string& section, const std::string& key) const {
    for (const auto& [k, v] : Entries(section))
        if (sj::EqualsNoCase(k, key)) return v;
    return std::nullopt;
}

void IniText::Set(const std::string& section, const std::string& key, const std::string& value) {
    size_t last_of_section = std::string::npos;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (!sj::EqualsNoCase(lines_[i].section, section)) continue;
        if (!Trim(lines_[i].text).empty()) last_of_section = i;
        if (sj::EqualsNoCase(lines_[i].key, key)) {
            lines_[i].text = lines_[i].key + "=" + value;
            return;
        }
    }
    Line l{key + "=" + value, section, key};
    if (last_of_section == std::string::npos) {
        if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back({"", "", ""});
        lines_.push_back({"[" + section + "]", section, ""});
        lines_.push_back(l);
    } else {
        lines_.insert(lines_.begin() + static_cast<long>(last_of_section) + 1, l);
    }
}

std::string IniText::Text() const {
    std::string out;
    for (const auto& l : lines_) out += l.text + "\n";
    return out;
}

// ------------------------------------------------------------------ description

const char* DeviceKindName(DeviceKind kind) {
    switch (kind) {
    case DeviceKind::kPciCanBoard: return "Board";
    case DeviceKind::kCanSensor: return "CanSensor";
    case DeviceKind::kUsbSensor: return "UsbSensor";
    }
    return "?";
}

namespace {

bool ParseUnsigned(const std::string& s, uint64_t max, uint64_t* out) {
    if (s.empty()) return false;
    char* end = nullptr;
    unsigned long long v = std::strtoull(s.c_str(), &end, 0);
    if (*end || v > max || s[0] == '-') return false;
    *out = v;
    return true;
}

// "T26-04001-0001": type letter, year, month (2 digits) and lot (3 digits), serial.
bool ParseIdentity(const std::string& s, SensorIdentity* id) {
    unsigned year, month, lot, serial;
    char letter, tail;
    if (std::sscanf(s.c_str(), "%c%2u-%2u%3u-%4u%c", &letter, &year, &month, &lot, &serial, &tail) != 5) return false;
    if (year > 127 || month > 15 || lot > 1023 || serial > 0x3FFF) return false;
    id->type_letter = letter;
    id->year = static_cast<uint8_t>(year);
    id->month_lot = static_cast<uint16_t>((month << 10) | lot);
    id->serial = static_cast<uint16_t>(serial);
    return true;
}

std::string FirstWord(const std::string& s) {
    size_t sp = s.find(' ');
    return sp == std::string::npos ? s : s.substr(0, sp);
}

// The shape of the text before its meaning: every line is blank, a comment, a section header
// or an entry inside a section; no section appears twice; at least one section. A binary or
// empty file fails here instead of describing a machine without devices.
bool CheckShape(const std::string& text, std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error) *error = what;
        return false;
    };
    if (text.find('\0') != std::string::npos) return fail("not a machine description: the file holds NUL bytes");
    std::vector<std::string> sections;
    std::string section;
    size_t pos = 0;
    for (int number = 1; pos < text.size(); ++number) {
        size_t nl = text.find('\n', pos);
        std::string t = Trim(text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos));
        pos = nl == std::string::npos ? text.size() : nl + 1;
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        const std::string where = section.empty() ? "line " + std::to_string(number) : "[" + section + "] line " +
                                                                                              std::to_string(number);
        if (t[0] == '[') {
            size_t close = sj::FindChar(t, ']');
            const std::string after = close == sj::npos ? "" : Trim(t.substr(close + 1));
            if (close == sj::npos || (!after.empty() && after[0] != ';') || Trim(t.substr(1, close - 1)).empty())
                return fail(where + ": not a section header: " + t);
            section = Trim(t.substr(1, close - 1));
            for (const auto& seen : sections)
                if (sj::EqualsNoCase(seen, section)) return fail("[" + section + "] appears twice");
            sections.push_back(section);
            continue;
        }
        const size_t eq = sj::FindChar(t, '=');
        if (eq == sj::npos || Trim(t.substr(0, eq)).empty()) return fail(where + ": not an entry (key=value): " + t);
        if (section.empty()) return fail(where + ": entry outside any section: " + t);
    }
    if (sections.empty()) return fail("not a machine description: no section");
    return true;
}

}  // namespace

std::optional<MachineDescription> ParseMachineDescription(const std::string& text, const std::filesystem::path& base_dir,
                                                          std::string* error) {
    if (!CheckShape(text, error)) return std::nullopt;
    IniText ini(text);
    MachineDescription d;
    std::string problem;
    auto fail = [&](const std::string& section, const std::string& what) -> std::optional<MachineDescription> {
        if (error) *error = "[" + section + "] " + what;
        return std::nullopt;
    };
    auto bus_named = [&](const std::string& name) {
        for (const auto& b : d.buses)
            if (sj::EqualsNoCase(b.name, name)) return;
        d.buses.push_back({name, 12000});
    };
    for (const std::string& section : ini.Sections()) {
        const std::string kind = FirstWord(section);
        const std::string rest = section.size() > kind.size() ? Trim(section.substr(kind.size())) : "";
        auto entries = ini.Entries(section);
        if (sj::EqualsNoCase(kind, "Machine")) {
            for (const auto& [k, v] : entries) {
                uint64_t n;
                if (sj::EqualsNoCase(k, "Name")) d.name = v;
                else if (sj::EqualsNoCase(k, "FastMode") && ParseUnsigned(v, 1, &n)) d.fast_mode = n != 0;
                else return fail(section, "bad entry " + k + "=" + v);
            }
        } else if (sj::EqualsNoCase(kind, "Bus")) {
            if (rest.empty()) return fail(section, "a bus needs a name");
            bus_named(rest);
            for (const auto& [k, v] : entries) {
                uint64_t n;
                if (sj::EqualsNoCase(k, "BitTimeNs") && ParseUnsigned(v, 1000000000, &n) && n > 0) {
                    for (auto& b : d.buses)
                        if (sj::EqualsNoCase(b.name, rest)) b.bit_time_ns = n;
                } else {
                    return fail(section, "bad entry " + k + "=" + v);
                }
            }
        } else if (sj::EqualsNoCase(kind, "Board")) {
            BoardDesc b;
            b.name = section;
            b.config.bar0_base = 0xFEB00000u + 0x10000u * static_cast<uint32_t>(d.boards.size());
            std::string all_bus;
            std::map<unsigned, std::string> per_channel;
            bool device_id_given = false;
            std::string board_kind = "FIFO";
            for (const auto& [k, v] : entries) {
                uint64_t n = 0;
                auto num = [&](uint64_t max) { return ParseUnsigned(v, max, &n); };
                if (sj::EqualsNoCase(k, "Kind")) board_kind = v;
                else if (sj::EqualsNoCase(k, "DeviceId") && num(0xFFFF)) { b.config.device_id = uint16_t(n); device_id_given = true; }
                else if (sj::EqualsNoCase(k, "VendorId") && num(0xFFFF)) b.config.vendor_id = uint16_t(n);
                else if (sj::EqualsNoCase(k, "SubsystemVendorId") && num(0xFFFF)) b.config.subsystem_vendor_id = uint16_t(n);
                else if (sj::EqualsNoCase(k, "SubsystemId") && num(0xFFFF)) b.config.subsystem_id = uint16_t(n);
                else if (sj::EqualsNoCase(k, "ClassCode") && num(0xFFFFFF)) b.config.class_code = uint32_t(n);
                else if (sj::EqualsNoCase(k, "Revision") && num(0xFF)) b.config.revision = uint8_t(n);
                else if (sj::EqualsNoCase(k, "Channels") && num(4) && n >= 1) b.config.channels = unsigned(n);
                else if (sj::EqualsNoCase(k, "Switch") && num(0xFF)) b.config.board_switch = uint8_t(n);
                else if (sj::EqualsNoCase(k, "ChannelInterruptMask") && num(0xFF)) b.config.channel_interrupt_mask = uint8_t(n);
                else if (sj::EqualsNoCase(k, "InterruptLine") && num(0xFF)) b.config.interrupt_line = uint8_t(n);
                else if (sj::EqualsNoCase(k, "Bar0") && num(0xFFFFF000)) b.config.bar0_base = uint32_t(n) & ~0xFFFu;
                else if (sj::EqualsNoCase(k, "OscillatorHz") && num(100000000) && n > 0) b.config.oscillator_hz = uint32_t(n);
                else if (sj::EqualsNoCase(k, "Plugged") && num(1)) b.plugged = n != 0;
                else if (sj::EqualsNoCase(k, "Bus")) all_bus = v;
                else if (sj::StartsWithNoCase(k, "Channel") && sj::EndsWithNoCase(k, "Bus") && k.size() == 11 &&
                         k[7] >= '1' && k[7] <= '4') per_channel[unsigned(k[7] - '1')] = v;
                else return fail(section, "bad entry " + k + "=" + v);
            }
            if (sj::EqualsNoCase(board_kind, "Basic")) {
                if (!device_id_given) b.config.device_id = kBasicBoardDeviceId;
            } else if (!sj::EqualsNoCase(board_kind, "FIFO")) {
                return fail(section, "Kind must be FIFO or Basic");
            }
            b.channel_bus.assign(b.config.channels, all_bus);
            for (auto& [ch, bus] : per_channel) {
                if (ch >= b.config.channels) return fail(section, "no such channel for its bus");
                b.channel_bus[ch] = bus;
            }
            for (const auto& bus : b.channel_bus)
                if (!bus.empty()) bus_named(bus);
            d.boards.push_back(b);
        } else if (sj::EqualsNoCase(kind, "CanSensor") || sj::EqualsNoCase(kind, "UsbSensor")) {
            SensorDesc s;
            s.name = section;
            s.kind = sj::EqualsNoCase(kind, "CanSensor") ? DeviceKind::kCanSensor : DeviceKind::kUsbSensor;
            const bool can = s.kind == DeviceKind::kCanSensor;
            std::optional<uint64_t> year_byte;
            for (const auto& [k, v] : entries) {
                uint64_t n = 0;
                auto num = [&](uint64_t max) { return ParseUnsigned(v, max, &n); };
                if (sj::EqualsNoCase(k, "IdNumber") && num(0xFFFF)) s.settings.id_number = uint16_t(n);
                else if (sj::EqualsNoCase(k, "Identity") && ParseIdentity(v, &s.settings.identity)) {}
                else if (sj::EqualsNoCase(k, "YearByte") && num(0xFF)) year_byte = n;
                else if (sj::EqualsNoCase(k, "PowerFrequency") && (v == "50" || v == "60")) s.settings.power_frequency = v == "60";
                else if (sj::EqualsNoCase(k, "InputMode") && num(0xFFFF)) s.settings.input_mode = uint16_t(n);
                else if (sj::EqualsNoCase(k, "ReplyDelayUs") && num(10000000)) s.settings.reply_delay_us = uint32_t(n);
                else if (sj::EqualsNoCase(k, "Plugged") && num(1)) s.plugged = n != 0;
                else if (sj::EqualsNoCase(k, "Fault") && ParseSensorFault(v)) s.settings.fault = *ParseSensorFault(v);
                else if (sj::EqualsNoCase(k, "Profile")) {
                    std::string p = sj::ToUtf8(v);
                    if (p.rfind("file:", 0) == 0) {
                        std::filesystem::path f = p.substr(5);
                        if (f.is_relative()) f = base_dir / f;
                        p = "file:" + f.string();
                    }
                    auto prof = TemperatureProfile::Parse(p, &problem);
                    if (!prof) return fail(section, k + "=" + v + ": " + problem);
                    s.settings.profile = *prof;
                }
                else if (can && sj::EqualsNoCase(k, "Bus")) s.bus = v;
                else if (can && sj::EqualsNoCase(k, "Node") && num(0xFFFF) && n > 0) s.node = uint16_t(n);
                else if (!can && sj::EqualsNoCase(k, "VendorId") && num(0xFFFF)) s.usb.vendor_id = uint16_t(n);
                else if (!can && sj::EqualsNoCase(k, "ProductId") && num(0xFFFF)) s.usb.product_id = uint16_t(n);
                else if (!can && sj::EqualsNoCase(k, "Release") && num(0xFFFF)) s.usb.release = uint16_t(n);
                else if (!can && sj::EqualsNoCase(k, "InterruptEndpoint") && num(1)) s.usb.interrupt_endpoint = n != 0;
                else if (!can && sj::EqualsNoCase(k, "ReplyBytes") && num(64) && n >= 8) s.usb.reply_bytes = uint8_t(n);
                else return fail(section, "bad entry " + k + "=" + v);
            }
            if (year_byte) s.settings.identity.year = uint8_t(*year_byte);
            if (can) {
                if (s.bus.empty() || s.node == 0) return fail(section, "a CAN sensor needs Bus and Node");
                for (const auto& o : d.sensors)
                    if (o.kind == DeviceKind::kCanSensor && sj::EqualsNoCase(o.bus, s.bus) && o.node == s.node)
                        return fail(section, "node number already used on " + s.bus);
            }
            d.sensors.push_back(s);
        } else {
            return fail(section, "unknown kind of section");
        }
    }
    // A sensor's bus is one a [Bus] section or a board's channel names (in any order).
    for (const auto& s : d.sensors) {
        if (s.kind != DeviceKind::kCanSensor) continue;
        bool known = false;
        for (const auto& b : d.buses) known = known || sj::EqualsNoCase(b.name, s.bus);
        if (!known) return fail(s.name, "Bus=" + s.bus + ": no such bus (no [Bus " + s.bus + "] section, no board on it)");
    }
    return d;
}

// ------------------------------------------------------------------ Machine

std::unique_ptr<Machine> Machine::FromText(const std::string& text, std::shared_ptr<Clock> clock, std::string* error) {
    auto desc = ParseMachineDescription(text, std::filesystem::current_path(), error);
    if (!desc) return nullptr;
    return std::unique_ptr<Machine>(new Machine(*desc, clock ? clock : std::make_shared<SteadyClock>()));
}

std::unique_ptr<Machine> Machine::Load(const std::filesystem::path& file, std::shared_ptr<Clock> clock,
                                       std::string* error) {
    std::string read_error;
    auto text = ReadRegularFile(file, &read_error);
    if (!text) {
        if (error) *error = read_error;
        return nullptr;
    }
    auto desc = ParseMachineDescription(*text, file.parent_path(), error);
    if (!desc) {
        if (error) *error = file.string() + ": " + *error;
        return nullptr;
    }
    std::unique_ptr<Machine> m(new Machine(*desc, clock ? clock : std::make_shared<SteadyClock>()));
    std::lock_guard<std::mutex> lk(m->file_mu_);
    m->file_ = file;
    m->ini_ = std::make_unique<IniText>(*text);
    return m;
}

Machine::Machine(MachineDescription desc, std::shared_ptr<Clock> clock) : desc_(std::move(desc)), clock_(std::move(clock)) {
    ini_ = std::make_unique<IniText>();
    for (const auto& b : desc_.buses) {
        auto bus = std::make_unique<CanBus>(*clock_, b.name);
        bus->SetNominalBitTimeNs(b.bit_time_ns);
        bus->SetFastMode(desc_.fast_mode);
        buses_[sj::ToUpper(b.name)] = std::move(bus);
    }
    usb_ = std::make_unique<UsbHost>(*clock_);
    usb_->SetFastMode(desc_.fast_mode);
    for (const auto& b : desc_.boards) {
        auto e = std::make_unique<Entry>();
        e->name = b.name;
        e->kind = DeviceKind::kPciCanBoard;
        e->board = std::make_unique<PciCanBoard>(*clock_, b.config);
        e->channel_bus = b.channel_bus;
        for (unsigned i = 0; i < e->board->channel_count(); ++i) e->board->channel(i).SetPresent(false);
        entries_.push_back(std::move(e));
    }
    for (const auto& s : desc_.sensors) {
        auto e = std::make_unique<Entry>();
        e->name = s.name;
        e->kind = s.kind;
        e->firmware = std::make_shared<SensorFirmware>(*clock_, s.settings);
        std::string section = s.name;
        e->firmware->OnSettingsChanged([this, section](const SensorSettings& st) { Persist(section, st); });
        if (s.kind == DeviceKind::kCanSensor) {
            e->bus = s.bus;
            // Bit time 0: the unit runs at its bus's nominal rate.
            e->node = std::make_unique<SensorCanNode>(e->firmware, s.node, 0);
        } else {
            e->usb = std::make_unique<SensorUsbDevice>(e->firmware, s.usb);
        }
        entries_.push_back(std::move(e));
    }
    std::vector<std::string> plug;
    for (const auto& b : desc_.boards)
        if (b.plugged) plug.push_back(b.name);
    for (const auto& s : desc_.sensors)
        if (s.plugged) plug.push_back(s.name);
    for (const auto& name : plug) Plug(name, nullptr);
}

Machine::~Machine() {
    control_.reset();
    SetListener(nullptr);
    for (auto& e : entries_) {
        if (e->firmware) e->firmware->OnSettingsChanged(nullptr);
        if (e->usb && e->plugged) usb_->Unplug(e->port);
        if (e->node) e->node->AttachBus(nullptr);
        if (e->board)
            for (unsigned i = 0; i < e->board->channel_count(); ++i) e->board->AttachChannel(i, nullptr);
    }
    usb_.reset();
    buses_.clear();
    entries_.clear();
}

CanBus* Machine::bus(const std::string& name) {
    auto it = buses_.find(sj::ToUpper(name));
    return it == buses_.end() ? nullptr : it->second.get();
}

Machine::Entry* Machine::Find(const std::string& name) {
    for (auto& e : entries_)
        if (sj::EqualsNoCase(e->name, name)) return e.get();
    return nullptr;
}

PciCanBoard* Machine::board(const std::string& name) {
    Entry* e = Find(name);
    return e ? e->board.get() : nullptr;
}

SensorFirmware* Machine::sensor(const std::string& name) {
    Entry* e = Find(name);
    return e ? e->firmware.get() : nullptr;
}

MachineDevice Machine::DeviceOf(Entry& e) {
    MachineDevice d;
    d.name = e.name;
    d.kind = e.kind;
    d.board = e.board.get();
    d.usb_port = e.port;
    if (e.usb) d.usb = e.usb->identity();
    d.sensor = e.firmware.get();
    return d;
}

std::vector<MachineDevice> Machine::PluggedDevices() {
    std::lock_guard<std::mutex> lk(mu_);
    std::vector<MachineDevice> out;
    for (auto& e : entries_)
        if (e->plugged) out.push_back(DeviceOf(*e));
    return out;
}

bool Machine::IsPlugged(const std::string& name) {
    std::lock_guard<std::mutex> lk(mu_);
    Entry* e = Find(name);
    return e && e->plugged;
}

void Machine::SetListener(MachineListener* listener) {
    std::unique_lock<std::mutex> lk(mu_);
    listener_ = listener;
    // A listener being replaced or going away is not called any more once this returns.
    listener_cv_.wait(lk, [this] { return listener_calls_ == 0; });
}

void Machine::CallListener(MachineListener* listener, const MachineDevice& device, bool arrival) {
    if (!listener) return;
    if (arrival)
        listener->OnArrival(device);
    else
        listener->OnSurpriseRemoval(device);
    std::lock_guard<std::mutex> lk(mu_);
    if (--listener_calls_ == 0) listener_cv_.notify_all();
}

bool Machine::Plug(const std::string& name, std::string* error) {
    MachineListener* listener;
    MachineDevice device;
    {
        std::lock_guard<std::mutex> lk(mu_);
        Entry* e = Find(name);
        if (!e) {
            if (error) *error = "no device named " + name;
            return false;
        }
        if (e->plugged) {
            if (error) *error = name + " is already plugged";
            return false;
        }
        switch (e->kind) {
        case DeviceKind::kPciCanBoard:
            for (unsigned i = 0; i < e->board->channel_count(); ++i) {
                auto& ch = e->board->channel(i);
                ch.SetPresent(true);
                ch.HardwareReset();
                // What the firmware does before the system starts: memory decoding on.
                ch.ConfigWrite(PCI_COMMAND, PCI_COMMAND_MEMORY, 2);
                e->board->AttachChannel(i, e->channel_bus[i].empty() ? nullptr : bus(e->channel_bus[i]));
            }
            break;
        case DeviceKind::kCanSensor: e->node->AttachBus(bus(e->bus)); break;
        case DeviceKind::kUsbSensor: e->port = usb_->Plug(e->usb.get()); break;
        }
        e->plugged = true;
        listener = listener_;
        if (listener) ++listener_calls_;
        device = DeviceOf(*e);
    }
    CallListener(listener, device, true);
    return true;
}

bool Machine::Unplug(const std::string& name, std::string* error) {
    MachineListener* listener;
    MachineDevice device;
    {
        std::lock_guard<std::mutex> lk(mu_);
        Entry* e = Find(name);
        if (!e) {
            if (error) *error = "no device named " + name;
            return false;
        }
        if (!e->plugged) {
            if (error) *error = name + " is not plugged";
            return false;
        }
        switch (e->kind) {
        case DeviceKind::kPciCanBoard:
            for (unsigned i = 0; i < e->board->channel_count(); ++i) {
                e->board->AttachChannel(i, nullptr);
                e->board->channel(i).SetPresent(false);
            }
            break;
        case DeviceKind::kCanSensor: e->node->AttachBus(nullptr); break;
        case DeviceKind::kUsbSensor: usb_->Unplug(e->port); break;
        }
        e->plugged = false;
        listener = listener_;
        if (listener) ++listener_calls_;
        device = DeviceOf(*e);
    }
    CallListener(listener, device, false);
    return true;
}

void Machine::SetFastMode(bool fast) {
    for (auto& [n, b] : buses_) b->SetFastMode(fast);
    usb_->SetFastMode(fast);
}

void Machine::Persist(const std::string& section, const SensorSettings& s) {
    std::lock_guard<std::mutex> lk(file_mu_);
    ini_->Set(section, "IdNumber", std::to_string(s.id_number));
    ini_->Set(section, "PowerFrequency", s.power_frequency ? "60" : "50");
    if (file_.empty()) return;
    std::string error;
    if (!platform::WriteHostFileAtomic(file_, ini_->Text(), &error)) persist_error_ = error;
}

std::string Machine::persist_error() {
    std::lock_guard<std::mutex> lk(file_mu_);
    return persist_error_;
}

std::string Machine::Describe() {
    std::lock_guard<std::mutex> lk(mu_);
    std::ostringstream out;
    char buf[256];
    for (auto& e : entries_) {
        out << e->name << '\t' << (e->plugged ? "plugged" : "unplugged") << '\t';
        if (e->board) {
            const auto& c = e->board->config();
            std::snprintf(buf, sizeof buf, "PCI %04X:%04X subsystem %04X, %u channel(s), line %u, BAR0 %08X", c.vendor_id,
                          c.device_id, c.subsystem_id, c.channels, c.interrupt_line, c.bar0_base);
            out << buf << ", buses";
            for (const auto& b : e->channel_bus) out << ' ' << (b.empty() ? "-" : b);
        } else {
            SensorSettings s = e->firmware->settings();
            const auto& id = s.identity;
            std::snprintf(buf, sizeof buf, "ID %u, %c%02u-%02u%03u-%04u, %s Hz, %s, fault %s", s.id_number,
                          id.type_letter, id.year & 0x7F, (id.month_lot >> 10) & 0x0F, id.month_lot & 0x3FF,
                          id.serial & 0x3FFF, s.power_frequency ? "60" : "50", s.profile.ToString().c_str(),
                          SensorFaultName(s.fault));
            if (e->node) out << "CAN node " << e->node->node() << " on " << e->bus << ", ";
            else out << "USB port " << e->port << ", ";
            out << buf;
        }
        out << '\n';
    }
    return out.str();
}

std::string Machine::Control(const std::string& command) {
    std::vector<std::string> words;
    std::istringstream in(command);
    for (std::string w; in >> w;) words.push_back(w);
    if (words.empty()) return "error empty command\n";
    auto join = [&](size_t from, size_t to) {
        std::string s;
        for (size_t i = from; i < to && i < words.size(); ++i) s += (s.empty() ? "" : " ") + words[i];
        return s;
    };
    const std::string& cmd = words[0];
    std::string error;
    if (cmd == "list") return "ok\n" + Describe();
    if ((cmd == "plug" || cmd == "unplug") && words.size() >= 2) {
        bool ok = cmd == "plug" ? Plug(join(1, words.size()), &error) : Unplug(join(1, words.size()), &error);
        return ok ? "ok\n" : "error " + error + "\n";
    }
    if (cmd == "fast" && words.size() == 2) {
        SetFastMode(words[1] == "1");
        return "ok\n";
    }
    if (cmd == "errors" && words.size() == 3) {
        CanBus* b = bus(words[1]);
        uint64_t n;
        if (!b) return "error no bus named " + words[1] + "\n";
        if (!ParseUnsigned(words[2], 1000000, &n)) return "error bad count " + words[2] + "\n";
        b->InjectErrorBurst(static_cast<unsigned>(n));
        return "ok\n";
    }
    if (cmd == "event" && words.size() >= 2) {
        PciCanBoard* b = board(join(1, words.size()));
        if (!b) return "error no board named " + join(1, words.size()) + "\n";
        b->RaiseBoardEvent();
        return "ok\n";
    }
    if ((cmd == "fault" || cmd == "profile") && words.size() >= 3) {
        SensorFirmware* s = sensor(join(1, words.size() - 1));
        if (!s) return "error no sensor named " + join(1, words.size() - 1) + "\n";
        if (cmd == "fault") {
            auto f = ParseSensorFault(words.back());
            if (!f) return "error fault must be none, noanswer, baddata or busy\n";
            s->SetFault(*f);
        } else {
            auto p = TemperatureProfile::Parse(words.back(), &error);
            if (!p) return "error " + error + "\n";
            s->SetProfile(*p);
        }
        return "ok\n";
    }
    return "error unknown command: " + command + "\n";
}

}  // namespace hw
