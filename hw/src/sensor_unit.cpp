#include "hw/sensor_unit.h"

#include "regular_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <sstream>

namespace hw {

namespace {

bool ParseNumbers(const std::string& s, std::vector<double>* out) {
    std::stringstream ss(s);
    std::string item;
    while (std::getline(ss, item, ',')) {
        char* end = nullptr;
        double v = std::strtod(item.c_str(), &end);
        if (end == item.c_str() || !std::isfinite(v)) return false;
        while (*end == ' ' || *end == '\t') ++end;
        if (*end) return false;
        out->push_back(v);
    }
    return true;
}

// A hash of (seed, step) into [-1, 1): noise that is the same for the same time, whoever asks.
double Noise(uint64_t seed, uint64_t step) {
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + step;
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 31;
    return static_cast<double>(x >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

void PutBe16(SensorMessage& m, unsigned at, uint16_t v) {
    m[at] = static_cast<uint8_t>(v >> 8);
    m[at + 1] = static_cast<uint8_t>(v);
}

uint16_t GetBe16(const SensorMessage& m, unsigned at) { return static_cast<uint16_t>((m[at] << 8) | m[at + 1]); }

}  // namespace

TemperatureProfile TemperatureProfile::Constant(double celsius) {
    TemperatureProfile p;
    p.a_ = celsius;
    char buf[64];
    std::snprintf(buf, sizeof buf, "constant:%g", celsius);
    p.text_ = buf;
    return p;
}

std::optional<TemperatureProfile> TemperatureProfile::Parse(const std::string& text, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<TemperatureProfile> {
        if (error) *error = "temperature profile \"" + text + "\": " + why;
        return std::nullopt;
    };
    size_t colon = text.find(':');
    if (colon == std::string::npos) return fail("expected kind:values");
    std::string kind = text.substr(0, colon), rest = text.substr(colon + 1);
    TemperatureProfile p;
    p.text_ = text;
    if (kind == "file") {
        std::string read_error;
        std::optional<std::string> content = ReadRegularFile(rest, &read_error);
        if (!content) return fail(read_error);
        std::istringstream in(*content);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty() || line[0] == '#' || line[0] == ';') continue;
            std::vector<double> v;
            if (!ParseNumbers(line, &v) || v.size() != 2) return fail("bad line \"" + line + "\"");
            p.points_.emplace_back(v[0], v[1]);
        }
        if (p.points_.empty()) return fail("no points in " + rest);
        std::sort(p.points_.begin(), p.points_.end());
        p.kind_ = Kind::kFile;
        return p;
    }
    std::vector<double> v;
    if (!ParseNumbers(rest, &v)) return fail("bad number (a finite decimal number is needed)");
    if (kind == "constant" && v.size() == 1) {
        p.kind_ = Kind::kConstant;
    } else if (kind == "ramp" && v.size() == 2) {
        p.kind_ = Kind::kRamp;
    } else if (kind == "sine" && v.size() == 3 && v[2] > 0) {
        p.kind_ = Kind::kSine;
    } else if (kind == "noise" && v.size() == 3) {
        p.kind_ = Kind::kNoise;
    } else {
        return fail("unknown kind or wrong number of values");
    }
    p.a_ = v[0];
    p.b_ = v.size() > 1 ? v[1] : 0;
    p.c_ = v.size() > 2 ? v[2] : 0;
    return p;
}

std::string TemperatureProfile::ToString() const { return text_; }

double TemperatureProfile::At(double t) const {
    switch (kind_) {
    case Kind::kConstant: return a_;
    case Kind::kRamp: return a_ + b_ * t / 60.0;
    case Kind::kSine: return a_ + b_ * std::sin(2 * std::numbers::pi * t / c_);
    case Kind::kNoise: return a_ + b_ * Noise(static_cast<uint64_t>(c_), static_cast<uint64_t>(t * 10));
    case Kind::kFile: {
        if (t <= points_.front().first) return points_.front().second;
        for (size_t i = 1; i < points_.size(); ++i) {
            if (t <= points_[i].first) {
                auto [t0, v0] = points_[i - 1];
                auto [t1, v1] = points_[i];
                return t1 == t0 ? v1 : v0 + (v1 - v0) * (t - t0) / (t1 - t0);
            }
        }
        return points_.back().second;
    }
    }
    return a_;
}

const char* SensorFaultName(SensorFault f) {
    switch (f) {
    case SensorFault::kNone: return "none";
    case SensorFault::kNoAnswer: return "noanswer";
    case SensorFault::kBadData: return "baddata";
    case SensorFault::kBusy: return "busy";
    }
    return "none";
}

std::optional<SensorFault> ParseSensorFault(const std::string& text) {
    for (SensorFault f : {SensorFault::kNone, SensorFault::kNoAnswer, SensorFault::kBadData, SensorFault::kBusy})
        if (text == SensorFaultName(f)) return f;
    return std::nullopt;
}

SensorFirmware::SensorFirmware(Clock& clock, SensorSettings settings)
    : clock_(clock), settings_(std::move(settings)), powered_at_us_(clock.NowUs()) {}

uint32_t SensorFirmware::EncodeRaw(double celsius, bool bad_data) {
    double scaled = std::round(std::fabs(celsius) * 10000.0);
    uint32_t magnitude = scaled >= kRawMaxMagnitude ? kRawMaxMagnitude : static_cast<uint32_t>(scaled);
    uint32_t raw = magnitude;
    if (celsius < 0 && magnitude != 0) raw |= kRawNegative;
    if (bad_data) raw |= kRawBadData;
    return raw;
}

uint32_t SensorFirmware::RawValueLocked() const {
    double t = static_cast<double>(clock_.NowUs() - powered_at_us_) / 1e6;
    return EncodeRaw(settings_.profile.At(t), settings_.fault == SensorFault::kBadData);
}

uint32_t SensorFirmware::RawValue() const {
    std::lock_guard<std::mutex> lk(mu_);
    return RawValueLocked();
}

std::optional<SensorMessage> SensorFirmware::Handle(const SensorMessage& req, Transport transport, bool broadcast) {
    std::optional<SensorMessage> reply;
    bool changed = false;
    SensorSettings after;
    {
        std::lock_guard<std::mutex> lk(mu_);
        if (settings_.fault == SensorFault::kNoAnswer || settings_.fault == SensorFault::kBusy) return std::nullopt;
        const uint8_t cmd = req[1];
        SensorMessage r{};
        r[1] = cmd;
        switch (cmd) {
        case kCmdSetClock:
            clock_set_ = {GetBe16(req, 2), GetBe16(req, 4), GetBe16(req, 6)};
            r = req;
            break;
        case kCmdClockFollowUp: r = req; break;
        case kCmdAcknowledge: r[2] = 1; break;
        case kCmdSetIdNumber: {
            uint16_t id = GetBe16(req, 2);
            changed = id != settings_.id_number;
            settings_.id_number = id;
            r[2] = 2;  // the host checks byte 2 = 2
            PutBe16(r, 4, id);
            break;
        }
        case kCmdReadMeasurement: {
            uint32_t raw = RawValueLocked();
            r[0] = kMeasurementReplyMark;
            r[1] = kReplyTypeMeasuredValue;
            r[2] = static_cast<uint8_t>(raw >> 24);
            r[3] = static_cast<uint8_t>(raw >> 16);
            r[4] = static_cast<uint8_t>(raw >> 8);
            r[5] = static_cast<uint8_t>(raw);
            break;
        }
        case kCmdReadInfo: {
            uint16_t sub = GetBe16(req, 2);
            switch (sub) {
            case kInfoIdentity:
                r[2] = static_cast<uint8_t>(settings_.identity.type_letter);
                r[3] = settings_.identity.year;
                PutBe16(r, 4, settings_.identity.month_lot);
                PutBe16(r, 6, settings_.identity.serial);
                break;
            case kInfoIdNumber: PutBe16(r, 2, settings_.id_number); break;
            case kInfoInputMode: PutBe16(r, 2, settings_.input_mode); break;
            case kInfoPowerFrequency: r[3] = settings_.power_frequency; break;
            default: break;  // unknown information: zeros
            }
            break;
        }
        case kCmdSetPowerFrequency: {
            uint8_t code = req[3] ? 1 : 0;
            changed = code != settings_.power_frequency;
            settings_.power_frequency = code;
            r = req;
            break;
        }
        default: return std::nullopt;  // unknown commands are ignored
        }
        // Over USB the host reads a reply only after ReadMeasurement and ReadInfo; any other
        // reply would be taken as the answer to its next request. Broadcast settings on CAN
        // are not answered either (every node would answer at once for nothing).
        bool answers;
        if (transport == Transport::kUsb) {
            answers = cmd == kCmdReadMeasurement || cmd == kCmdReadInfo;
        } else {
            answers = !broadcast || cmd == kCmdReadMeasurement || cmd == kCmdReadInfo;
        }
        if (answers) reply = r;
        after = settings_;
    }
    if (changed) {
        std::function<void(const SensorSettings&)> cb;
        {
            std::lock_guard<std::mutex> lk(mu_);
            cb = changed_;
        }
        if (cb) cb(after);
    }
    return reply;
}

SensorSettings SensorFirmware::settings() const {
    std::lock_guard<std::mutex> lk(mu_);
    return settings_;
}

void SensorFirmware::SetFault(SensorFault fault) {
    std::lock_guard<std::mutex> lk(mu_);
    settings_.fault = fault;
}

void SensorFirmware::SetProfile(TemperatureProfile profile) {
    std::lock_guard<std::mutex> lk(mu_);
    settings_.profile = std::move(profile);
}

void SensorFirmware::OnSettingsChanged(std::function<void(const SensorSettings&)> callback) {
    std::lock_guard<std::mutex> lk(mu_);
    changed_ = std::move(callback);
}

std::array<uint16_t, 3> SensorFirmware::clock_set() const {
    std::lock_guard<std::mutex> lk(mu_);
    return clock_set_;
}

SensorCanNode::SensorCanNode(std::shared_ptr<SensorFirmware> firmware, uint16_t node, uint64_t bit_time_ns)
    : firmware_(std::move(firmware)), node_(node), bit_time_ns_(bit_time_ns) {}

SensorCanNode::~SensorCanNode() { AttachBus(nullptr); }

void SensorCanNode::AttachBus(CanBus* bus) {
    if (bus_ == bus) return;
    if (bus_) bus_->Detach(this);
    {
        std::lock_guard<std::mutex> lk(mu_);
        replies_.clear();  // a unit taken off the bus forgets what it was about to say
    }
    bus_ = bus;
    if (bus_) bus_->Attach(this);
}

void SensorCanNode::Receive(const CanFrame& f, uint64_t now) {
    if (!f.extended || f.remote || f.dlc < 8) return;
    if (!(f.id & kCanRequestMark)) return;  // replies of other units
    uint32_t node = (f.id & kCanNodeMask) >> kCanNodeShift;
    if (node != 0 && node != node_) return;
    SensorMessage req;
    std::copy(f.data.begin(), f.data.end(), req.begin());
    auto reply = firmware_->Handle(req, SensorFirmware::Transport::kCan, node == 0);
    if (!reply) return;
    CanFrame out;
    out.extended = true;
    out.id = static_cast<uint32_t>(node_) << kCanNodeShift;
    out.dlc = 8;
    std::copy(reply->begin(), reply->end(), out.data.begin());
    bool fast = bus_ && bus_->fast_mode();
    uint64_t delay = fast ? 0 : firmware_->settings().reply_delay_us;
    std::lock_guard<std::mutex> lk(mu_);
    replies_.push_back({now + delay, out});
}

uint64_t SensorCanNode::Service(uint64_t now) {
    std::lock_guard<std::mutex> lk(mu_);
    if (replies_.empty()) return kNever;
    return replies_.front().due_us > now ? replies_.front().due_us : now;
}

bool SensorCanNode::Pending(uint64_t now, CanFrame* frame) {
    std::lock_guard<std::mutex> lk(mu_);
    if (replies_.empty() || replies_.front().due_us > now) return false;
    *frame = replies_.front().frame;
    return true;
}

void SensorCanNode::Transmitted(uint64_t) {
    std::lock_guard<std::mutex> lk(mu_);
    if (!replies_.empty()) replies_.pop_front();
}

void SensorCanNode::ArbitrationLost(unsigned, uint64_t) {}   // tries again when the bus is free
void SensorCanNode::TransmitError(BusError, uint64_t) {}     // likewise

}  // namespace hw
