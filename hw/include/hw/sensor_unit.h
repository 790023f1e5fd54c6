// The temperature sensor unit: its firmware (the 8-byte command/reply protocol), its
// temperature profile and faults, and its two attachments: a node on a CAN bus and a USB
// device with one interface (bulk OUT, bulk IN, optional interrupt IN).
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "hw/can_bus.h"
#include "hw/clock.h"

namespace hw {

// Command codes as they appear in byte 1 of a request.
inline constexpr uint8_t kCmdSetClock = 1;
inline constexpr uint8_t kCmdClockFollowUp = 2;
inline constexpr uint8_t kCmdAcknowledge = 3;
inline constexpr uint8_t kCmdSetIdNumber = 4;
inline constexpr uint8_t kCmdReadMeasurement = 6;
inline constexpr uint8_t kCmdReadInfo = 9;
inline constexpr uint8_t kCmdSetPowerFrequency = 14;
// ReadInfo sub-codes (request bytes 2-3).
inline constexpr uint16_t kInfoIdentity = 1;
inline constexpr uint16_t kInfoIdNumber = 2;
inline constexpr uint16_t kInfoInputMode = 4;
inline constexpr uint16_t kInfoPowerFrequency = 9;
// Byte 0 of a measurement reply, and its reply type in the low nibble of byte 1.
inline constexpr uint8_t kMeasurementReplyMark = 0x10;
inline constexpr uint8_t kReplyTypeMeasuredValue = 1;
// Raw value: sign-and-magnitude in 0.0001 degC; bit 30 marks bad data.
inline constexpr uint32_t kRawNegative = 0x80000000u;
inline constexpr uint32_t kRawBadData = 0x40000000u;
// Magnitude the unit can report (bits 0-23).
inline constexpr uint32_t kRawMaxMagnitude = 0x00FFFFFFu;

// Identifier word of requests and replies on CAN (29-bit extended identifiers).
inline constexpr uint32_t kCanNodeShift = 13;
inline constexpr uint32_t kCanNodeMask = 0x1FFFE000u;
inline constexpr uint32_t kCanRequestMark = 0x1;  // bit 0 set in every request, clear in replies

// Manufacturing number (製造番号) as the unit reports it.
struct SensorIdentity {
    char type_letter = 'T';
    uint8_t year = 0;        // shown as year & 0x7F
    uint16_t month_lot = 0;  // month in bits 10-13, lot in bits 0-9
    uint16_t serial = 0;     // shown as serial & 0x3FFF
    bool operator==(const SensorIdentity&) const = default;
};

// How the measured temperature moves with time (seconds since the unit was powered).
class TemperatureProfile {
public:
    enum class Kind { kConstant, kRamp, kSine, kNoise, kFile };
    TemperatureProfile() = default;
    static TemperatureProfile Constant(double celsius);
    // Texts: "constant:25", "ramp:20,0.5" (start, degC per minute), "sine:25,2,60" (mean,
    // amplitude, period s), "noise:25,0.1,7" (mean, spread, seed), "file:<host path>" (lines
    // "seconds,degC", linear between points, the last value held).
    static std::optional<TemperatureProfile> Parse(const std::string& text, std::string* error);
    std::string ToString() const;
    double At(double seconds) const;
    Kind kind() const { return kind_; }

private:
    Kind kind_ = Kind::kConstant;
    double a_ = 25.0, b_ = 0.0, c_ = 0.0;
    std::string text_ = "constant:25";
    std::vector<std::pair<double, double>> points_;
};

enum class SensorFault {
    kNone,
    kNoAnswer,  // the unit takes requests but never answers
    kBadData,   // measurements carry the bad-data bit
    kBusy,      // the unit takes no request: over USB its bulk OUT endpoint answers NAK (the
                // host's transfer stays pending until cancelled), on CAN it never answers
};
const char* SensorFaultName(SensorFault f);
std::optional<SensorFault> ParseSensorFault(const std::string& text);

struct SensorSettings {
    SensorIdentity identity;
    uint16_t id_number = 0;
    uint8_t power_frequency = 0;  // 0 = 50 Hz, 1 = 60 Hz
    uint16_t input_mode = 1;
    TemperatureProfile profile;
    SensorFault fault = SensorFault::kNone;
    uint32_t reply_delay_us = 1000;
};

using SensorMessage = std::array<uint8_t, 8>;

// The firmware: answers one request at a time. Thread-safe.
class SensorFirmware {
public:
    enum class Transport { kCan, kUsb };
    SensorFirmware(Clock& clock, SensorSettings settings);

    // One request; the reply to send, if the unit answers this request on this transport.
    // `broadcast`: a CAN request to node 0.
    std::optional<SensorMessage> Handle(const SensorMessage& request, Transport transport, bool broadcast);

    SensorSettings settings() const;
    void SetFault(SensorFault fault);
    void SetProfile(TemperatureProfile profile);
    // Called after the unit stored a new ID number or power frequency (never with a lock held).
    void OnSettingsChanged(std::function<void(const SensorSettings&)> callback);

    // Raw measured value at the current time, as the unit reports it.
    uint32_t RawValue() const;
    // Encodes a temperature as the unit does (sign-and-magnitude, 0.0001 degC).
    static uint32_t EncodeRaw(double celsius, bool bad_data);
    // Time of day the host set last (hour, minute, second), for tests.
    std::array<uint16_t, 3> clock_set() const;

private:
    uint32_t RawValueLocked() const;
    Clock& clock_;
    mutable std::mutex mu_;
    SensorSettings settings_;
    uint64_t powered_at_us_;
    std::array<uint16_t, 3> clock_set_{};
    std::function<void(const SensorSettings&)> changed_;
};

// The unit as a node on a CAN bus: firmware runs on the bus thread; replies leave after the
// reply delay (no delay in fast mode), with identifier 0x80000000-style extended id = node << 13.
class SensorCanNode final : public CanBusPort {
public:
    SensorCanNode(std::shared_ptr<SensorFirmware> firmware, uint16_t node, uint64_t bit_time_ns = 0);
    ~SensorCanNode() override;
    void AttachBus(CanBus* bus);
    uint16_t node() const { return node_; }
    SensorFirmware& firmware() { return *firmware_; }

    uint64_t Service(uint64_t now_us) override;
    bool Pending(uint64_t now_us, CanFrame* frame) override;
    bool Acknowledging() override { return true; }
    void Receive(const CanFrame& frame, uint64_t now_us) override;
    void Transmitted(uint64_t now_us) override;
    void ArbitrationLost(unsigned bit, uint64_t now_us) override;
    void TransmitError(BusError error, uint64_t now_us) override;
    uint64_t BitTimeNs() override { return bit_time_ns_; }

private:
    std::shared_ptr<SensorFirmware> firmware_;
    uint16_t node_;
    uint64_t bit_time_ns_;
    CanBus* bus_ = nullptr;
    std::mutex mu_;
    struct Reply {
        uint64_t due_us;
        CanFrame frame;
    };
    std::deque<Reply> replies_;
};

}  // namespace hw
