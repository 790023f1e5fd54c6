// What the monitor says to a sensor unit and how it reads the answers. The same 8 bytes are
// the payload of a USB bulk transfer and the data field of a CAN message.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace ridaviri {

// 8 bytes as they stand on the wire (USB payload, CAN data field).
using WireBytes = std::array<uint8_t, 8>;

// Command codes (byte 1 of a command).
enum SensorCommandCode : uint8_t {
    kCmdSetClock = 1,           // hour, minute, second
    kCmdClockFollowUp = 2,      // CAN only, after SetClock
    kCmdSetIdNumber = 4,        // new ID number
    kCmdReadMeasurement = 6,    // reply bytes 2-5: measured value
    kCmdReadInfo = 9,           // first word: sub-code
    kCmdSetPowerFrequency = 14, // byte 3: 0 = 50 Hz, 1 = 60 Hz
};

// Sub-codes of kCmdReadInfo.
enum ReadInfoSubCode : uint16_t {
    kInfoIdentity = 1,        // reply bytes 2-7: SensorIdentity
    kInfoIdNumber = 2,        // reply bytes 2-3: ID number
    kInfoInputMode = 4,       // reply byte 3: input mode
    kInfoPowerFrequency = 9,  // reply byte 3: 0 = 50 Hz, 1 = 60 Hz
};

// A command with its three parameter words in host order. The words travel big-endian; the
// encoder swaps each byte pair just before sending. Commands whose parameters are single
// bytes keep them in a word so that the swap puts them in place (power frequency: word1 =
// code puts the code into byte 3).
struct SensorCommand {
    uint8_t zero = 0;
    uint8_t code = 0;
    uint16_t word1 = 0;
    uint16_t word2 = 0;
    uint16_t word3 = 0;
};
static_assert(sizeof(SensorCommand) == 8);

// The manufacturing number (製造番号). A type letter of 0 marks an empty record.
struct SensorIdentity {
    char typeLetter = 0;
    uint8_t year = 0;       // bit 7 is a flag; the year is the low 7 bits
    uint16_t monthLot = 0;  // month in bits 10-13, lot in bits 0-9
    uint16_t serial = 0;    // serial in bits 0-13

    bool operator==(const SensorIdentity&) const = default;
};

// A reply exactly as it came over the wire: bytes 2-7 big-endian.
struct SensorReply {
    WireBytes bytes{};

    // Reply byte 0 and 1 of a measured value in the CAN poll: 0x10, reply type 1.
    bool IsMeasurement() const { return bytes[0] == 0x10 && (bytes[1] & 0x0F) == 1; }
    uint16_t Word(int firstByte) const;            // big-endian word at bytes firstByte..+1
    SensorIdentity Identity() const;               // ReadInfo 1
    uint16_t IdNumber() const { return Word(2); }  // ReadInfo 2; 0 = none
    uint8_t InputMode() const { return bytes[3]; } // ReadInfo 4: low byte of the word
    uint8_t PowerFrequency() const { return bytes[3]; }  // ReadInfo 9
    uint32_t MeasuredValue() const;                // ReadMeasurement: bytes 2-5, big-endian
};

// Builders of the commands the program sends.
SensorCommand MakeSetClock(uint16_t hour, uint16_t minute, uint16_t second);
SensorCommand MakeClockFollowUp();
SensorCommand MakeSetIdNumber(uint16_t id);
SensorCommand MakeReadMeasurement();
SensorCommand MakeReadInfo(uint16_t subCode);
SensorCommand MakeSetPowerFrequency(uint8_t code);  // 0 = 50 Hz, 1 = 60 Hz

// Wire bytes of a command: bytes 0 and 1 as they are, the three words big-endian.
WireBytes EncodeCommand(const SensorCommand& command);
// The command a unit receives: inverse of EncodeCommand.
SensorCommand DecodeCommand(const WireBytes& wire);

// Wire bytes of replies, as a unit builds them (simulated units and tests).
WireBytes EncodeIdentityReply(const SensorIdentity& identity);
WireBytes EncodeWordReply(uint8_t code, uint16_t word);  // ReadInfo 2 / 4 / 9, SetIdNumber
WireBytes EncodeMeasurementReply(uint32_t raw);          // 0x10, type 1, value big-endian

// True for the commands after which USB reads a reply: ReadInfo always, ReadMeasurement on
// the channel-table path only. (Every CAN request waits for the node's answer.)
bool UsbReadsReply(uint8_t code, bool channelPath);

// "%c%02u-%02u%03u-%04u" of type letter, year & 0x7F, month, lot, serial & 0x3FFF, e.g.
// "T11-06123-0042". An empty identity (type letter 0) gives "" as the C text would end there.
std::string ManufacturingNumberText(const SensorIdentity& identity);

// Raw measured values: 32-bit sign-and-magnitude in 0.0001 °C.
inline constexpr uint32_t kRawSign = 0x80000000u;     // bit 31: negative
inline constexpr uint32_t kRawBadData = 0x40000000u;  // bit 30: the unit flags bad data
inline constexpr uint32_t kRawFlagBits = 0x7F000000u; // bits 24-30, cleared when bad data
inline constexpr double kRawUnitsPerDegree = 10000.0;

struct ConvertedValue {
    double celsius = 0.0;
    bool badData = false;
};

// Bit 30 marks bad data and clears bits 24-30; bit 31 is the sign of the low 31 bits.
ConvertedValue ConvertRawValue(uint32_t raw);
// Raw value of a temperature (simulated units and tests), rounded to 0.0001 °C.
uint32_t RawFromCelsius(double celsius, bool badData = false);

// CAN identifier words of the sensor messages (extended frames).
inline constexpr uint32_t kCanExtended = 0x80000000u;   // bit 31: always set
inline constexpr uint32_t kCanNodeMask = 0x1FFFE000u;   // bits 13-28: node number
inline constexpr int kCanNodeShift = 13;
inline constexpr uint32_t kCanFoundPath = 0x00000002u;  // bit 1: request through the found table
inline constexpr uint32_t kCanRequest = 0x00000001u;    // bit 0: set in every request
inline constexpr uint32_t kCanBroadcast = kCanExtended | kCanRequest;  // node 0: every node
// Mask the measurement poll takes the node of a reply with.
inline constexpr uint32_t kCanPollNodeMask = 0x7FFFFFFCu;

// Identifier of a request to `node`: 0x80000001 + (node << 13), plus bit 1 on the found-table
// path (0x80000003 + (node << 13)).
uint32_t CanRequestIdentifier(uint32_t node, bool foundPath);
// Node of a message (scan, transactions): (identifier AND 0x1FFFE000) >> 13.
uint32_t CanNodeOfIdentifier(uint32_t identifier);
// Node of a measurement reply in the poll: (identifier AND 0x7FFFFFFC) >> 13.
uint32_t CanNodeOfPollReply(uint32_t identifier);
inline bool IsCanRequest(uint32_t identifier) { return (identifier & kCanRequest) != 0; }

// ReadInfo sub-codes whose USB replies the program can turn back (1, 2, 4); a reply to any
// other sub-code fails the USB transaction.
bool UsbReplySubCodeKnown(uint16_t subCode);

// One channel of the measurement poll, in channel-table order.
inline constexpr uint16_t kPollSend = 0x8000;          // the channel takes part
inline constexpr uint16_t kPollNoReply = 0x4000;       // no valid reply came
inline constexpr uint16_t kPollKindMask = 0x3FFF;
inline constexpr uint16_t kPollKindMeasurement = 8;

struct PollItem {
    uint32_t node = 0;       // CAN node of the record
    uint16_t request = 0;    // kPollSend, kPollNoReply, request kind
    uint32_t value = 0;      // raw measured value as received
    SensorIdentity identity;
    uint8_t spare[4] = {0, 0, 0, 0};

    bool Send() const { return (request & kPollSend) != 0; }
    bool NoReply() const { return (request & kPollNoReply) != 0; }
};

}  // namespace ridaviri
