#include "ridaviri/sensor_protocol.h"

#include <cmath>
#include <cstdio>

#include "ridaviri/sensor_link.h"

namespace ridaviri {
namespace {

void PutWord(WireBytes& w, int at, uint16_t v) {
    w[at] = static_cast<uint8_t>(v >> 8);
    w[at + 1] = static_cast<uint8_t>(v & 0xFF);
}

uint16_t GetWord(const WireBytes& w, int at) {
    return static_cast<uint16_t>((w[at] << 8) | w[at + 1]);
}

SensorCommand Make(uint8_t code, uint16_t w1 = 0, uint16_t w2 = 0, uint16_t w3 = 0) {
    SensorCommand c;
    c.code = code;
    c.word1 = w1;
    c.word2 = w2;
    c.word3 = w3;
    return c;
}

}  // namespace

uint16_t SensorReply::Word(int firstByte) const { return GetWord(bytes, firstByte); }

SensorIdentity SensorReply::Identity() const {
    SensorIdentity id;
    id.typeLetter = static_cast<char>(bytes[2]);
    id.year = bytes[3];
    id.monthLot = GetWord(bytes, 4);
    id.serial = GetWord(bytes, 6);
    return id;
}

uint32_t SensorReply::MeasuredValue() const {
    return (uint32_t{bytes[2]} << 24) | (uint32_t{bytes[3]} << 16) | (uint32_t{bytes[4]} << 8) |
           uint32_t{bytes[5]};
}

SensorCommand MakeSetClock(uint16_t hour, uint16_t minute, uint16_t second) {
    return Make(kCmdSetClock, hour, minute, second);
}
SensorCommand MakeClockFollowUp() { return Make(kCmdClockFollowUp); }
SensorCommand MakeSetIdNumber(uint16_t id) { return Make(kCmdSetIdNumber, id); }
SensorCommand MakeReadMeasurement() { return Make(kCmdReadMeasurement); }
SensorCommand MakeReadInfo(uint16_t subCode) { return Make(kCmdReadInfo, subCode); }
SensorCommand MakeSetPowerFrequency(uint8_t code) { return Make(kCmdSetPowerFrequency, code); }

WireBytes EncodeCommand(const SensorCommand& command) {
    WireBytes w{};
    w[0] = command.zero;
    w[1] = command.code;
    PutWord(w, 2, command.word1);
    PutWord(w, 4, command.word2);
    PutWord(w, 6, command.word3);
    return w;
}

SensorCommand DecodeCommand(const WireBytes& wire) {
    return Make(wire[1], GetWord(wire, 2), GetWord(wire, 4), GetWord(wire, 6));
}

WireBytes EncodeIdentityReply(const SensorIdentity& identity) {
    WireBytes w{};
    w[1] = kCmdReadInfo;
    w[2] = static_cast<uint8_t>(identity.typeLetter);
    w[3] = identity.year;
    PutWord(w, 4, identity.monthLot);
    PutWord(w, 6, identity.serial);
    return w;
}

WireBytes EncodeWordReply(uint8_t code, uint16_t word) {
    WireBytes w{};
    w[1] = code;
    PutWord(w, 2, word);
    return w;
}

WireBytes EncodeMeasurementReply(uint32_t raw) {
    WireBytes w{};
    w[0] = 0x10;
    w[1] = 0x01;
    w[2] = static_cast<uint8_t>(raw >> 24);
    w[3] = static_cast<uint8_t>(raw >> 16);
    w[4] = static_cast<uint8_t>(raw >> 8);
    w[5] = static_cast<uint8_t>(raw);
    return w;
}

bool UsbReadsReply(uint8_t code, bool channelPath) {
    return code == kCmdReadInfo || (code == kCmdReadMeasurement && channelPath);
}

std::string ManufacturingNumberText(const SensorIdentity& identity) {
    if (identity.typeLetter == 0) return std::string();
    char text[32];
    std::snprintf(text, sizeof text, "%c%02u-%02u%03u-%04u", identity.typeLetter,
                  static_cast<unsigned>(identity.year & 0x7F),
                  static_cast<unsigned>((identity.monthLot >> 10) & 0x0F),
                  static_cast<unsigned>(identity.monthLot & 0x3FF),
                  static_cast<unsigned>(identity.serial & 0x3FFF));
    return text;
}

ConvertedValue ConvertRawValue(uint32_t raw) {
    ConvertedValue out;
    if (raw & kRawBadData) {
        out.badData = true;
        raw &= ~kRawFlagBits;
    }
    const bool negative = (raw & kRawSign) != 0;
    const double magnitude = static_cast<double>(raw & ~kRawSign);
    out.celsius = (negative ? -magnitude : magnitude) / kRawUnitsPerDegree;
    return out;
}

uint32_t RawFromCelsius(double celsius, bool badData) {
    const double units = std::round(std::fabs(celsius) * kRawUnitsPerDegree);
    uint32_t raw = static_cast<uint32_t>(units) & ~kRawSign;
    if (celsius < 0 && raw != 0) raw |= kRawSign;
    if (badData) raw |= kRawBadData;
    return raw;
}

uint32_t CanRequestIdentifier(uint32_t node, bool foundPath) {
    return (kCanBroadcast | (foundPath ? kCanFoundPath : 0)) + (node << kCanNodeShift);
}

uint32_t CanNodeOfIdentifier(uint32_t identifier) { return (identifier & kCanNodeMask) >> kCanNodeShift; }

uint32_t CanNodeOfPollReply(uint32_t identifier) { return (identifier & kCanPollNodeMask) >> kCanNodeShift; }

bool UsbReplySubCodeKnown(uint16_t subCode) {
    return subCode == kInfoIdentity || subCode == kInfoIdNumber || subCode == kInfoInputMode;
}

int Transact(SensorLink& link, const SensorCommand& command, bool wantReply, SensorReply* reply,
             uint32_t timeoutMs) {
    if (link.Send(EncodeCommand(command), timeoutMs) != 0) return -1;
    if (!wantReply) return 0;
    WireBytes received{};
    if (link.Receive(&received, timeoutMs) != 0) return -1;
    if (reply != nullptr) reply->bytes = received;
    return 0;
}

}  // namespace ridaviri
