#include "ridaviri/sensor_protocol.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "ridaviri/sensor_link.h"

namespace ridaviri {
namespace {

WireBytes W(std::initializer_list<int> b) {
    WireBytes w{};
    int i = 0;
    for (int v : b) w[i++] = static_cast<uint8_t>(v);
    return w;
}

TEST(SensorCommand, EncodesEachCommandWithBigEndianWords) {
    struct Case {
        SensorCommand command;
        WireBytes wire;
    } cases[] = {
        {MakeSetClock(14, 5, 9), W({0, 1, 0, 14, 0, 5, 0, 9})},
        {MakeClockFollowUp(), W({0, 2, 0, 0, 0, 0, 0, 0})},
        {MakeSetIdNumber(300), W({0, 4, 0x01, 0x2C, 0, 0, 0, 0})},
        {MakeReadMeasurement(), W({0, 6, 0, 0, 0, 0, 0, 0})},
        {MakeReadInfo(kInfoIdNumber), W({0, 9, 0, 2, 0, 0, 0, 0})},  // the node scan's query
        {MakeReadInfo(kInfoPowerFrequency), W({0, 9, 0, 9, 0, 0, 0, 0})},
        {MakeSetPowerFrequency(1), W({0, 0x0E, 0, 1, 0, 0, 0, 0})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.command.code));
        EXPECT_EQ(EncodeCommand(c.command), c.wire);
        SensorCommand back = DecodeCommand(c.wire);
        EXPECT_EQ(EncodeCommand(back), c.wire);
    }
}

TEST(SensorReply, DecodesIdentityIdInputModeAndValue) {
    SensorIdentity id{'T', 0x8B, static_cast<uint16_t>((6 << 10) | 123), 42};
    SensorReply r{EncodeIdentityReply(id)};
    EXPECT_EQ(r.bytes, W({0, 9, 'T', 0x8B, 0x18, 0x7B, 0x00, 0x2A}));
    EXPECT_EQ(r.Identity(), id);

    EXPECT_EQ(SensorReply{EncodeWordReply(kCmdReadInfo, 256)}.IdNumber(), 256);  // ID 256 is set
    EXPECT_EQ(SensorReply{W({0, 9, 0x12, 0x34})}.InputMode(), 0x34);
    SensorReply value{W({0x10, 0x01, 0x00, 0x03, 0xD0, 0x90})};
    EXPECT_TRUE(value.IsMeasurement());
    EXPECT_EQ(value.MeasuredValue(), 250000u);
    EXPECT_TRUE((SensorReply{W({0x10, 0x71})}.IsMeasurement()));   // high nibble ignored
    EXPECT_FALSE((SensorReply{W({0x10, 0x02})}.IsMeasurement()));  // another reply type
    EXPECT_FALSE((SensorReply{W({0x00, 0x01})}.IsMeasurement()));
}

TEST(ManufacturingNumber, FieldsWithLeadingZerosAndMasks) {
    struct Case {
        SensorIdentity id;
        const char* text;
    } cases[] = {
        {{'T', 0x8B, static_cast<uint16_t>((6 << 10) | 123), 42}, "T11-06123-0042"},
        {{'A', 0x05, static_cast<uint16_t>((12 << 10) | 7), 9999}, "A05-12007-9999"},
        {{'Z', 0xFF, 0xFFFF, 0xFFFF}, "Z127-151023-16383"},  // masks: 0x7F, 0x0F, 0x3FF, 0x3FFF
        {{0, 0x8B, 1, 1}, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ManufacturingNumberText(c.id), c.text);
}

TEST(RawValue, SignAndMagnitudeInTenThousandthsWithBadDataMark) {
    struct Case {
        uint32_t raw;
        double celsius;
        bool bad;
    } cases[] = {
        {250000, 25.0, false},
        {0x80000000u | 250000, -25.0, false},
        {0xC0000000u | 50000, -5.0, true},      // bits 31 and 30 set
        {0x40000000u | 0x3F000000u | 1234, 0.1234, true},  // bits 24-30 cleared
        {0x80000000u, 0.0, false},               // negative zero
        {0x7FFFFFFFu, 1677.7215, true},          // bit 30 set: only bits 0-23 remain
        {0x00FFFFFFu, 1677.7215, false},
        {0x3FFFFFFFu, 107374.1823, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        ConvertedValue v = ConvertRawValue(c.raw);
        EXPECT_DOUBLE_EQ(v.celsius, c.celsius);
        EXPECT_EQ(v.badData, c.bad);
    }
    EXPECT_EQ(RawFromCelsius(-5.0), 0x80000000u | 50000);
    EXPECT_DOUBLE_EQ(ConvertRawValue(RawFromCelsius(23.4567)).celsius, 23.4567);
}

TEST(ReplyRules, UsbReadsRepliesOnlyToReadInfoAndTheChannelPoll) {
    EXPECT_TRUE(UsbReadsReply(kCmdReadInfo, false));
    EXPECT_TRUE(UsbReadsReply(kCmdReadInfo, true));
    EXPECT_TRUE(UsbReadsReply(kCmdReadMeasurement, true));
    EXPECT_FALSE(UsbReadsReply(kCmdReadMeasurement, false));
    for (uint8_t c : {kCmdSetClock, kCmdClockFollowUp, kCmdSetIdNumber, kCmdSetPowerFrequency})
        EXPECT_FALSE(UsbReadsReply(c, true)) << int(c);
}

TEST(CanIdentifiers, RequestsAndNodes) {
    EXPECT_EQ(CanRequestIdentifier(0, false), 0x80000001u);  // every node
    EXPECT_EQ(CanRequestIdentifier(5, false), 0x8000A001u);
    EXPECT_EQ(CanRequestIdentifier(5, true), 0x8000A003u);
    EXPECT_EQ(CanNodeOfIdentifier(0x8000A002u), 5u);
    EXPECT_EQ(CanNodeOfIdentifier(0xFFFFFFFFu), 0xFFFFu);
    EXPECT_EQ(CanNodeOfPollReply(0x8000A000u), 5u);
    EXPECT_TRUE(IsCanRequest(0x8000A003u));
    EXPECT_FALSE(IsCanRequest(0x8000A002u));
    EXPECT_TRUE(UsbReplySubCodeKnown(kInfoInputMode));
    EXPECT_FALSE(UsbReplySubCodeKnown(3));
    EXPECT_FALSE(UsbReplySubCodeKnown(kInfoPowerFrequency));
}

// A unit that answers ReadInfo 1 and 2 and records what it received.
class FakeUnit : public SensorLink {
public:
    SensorIdentity identity{'T', 0x8B, 0x1803, 5};
    uint16_t id = 300;
    bool silent = false;
    std::vector<SensorCommand> received;
    std::deque<WireBytes> pending;

    int Send(const WireBytes& command, uint32_t) override {
        SensorCommand c = DecodeCommand(command);
        received.push_back(c);
        if (c.code == kCmdReadInfo && c.word1 == kInfoIdentity) pending.push_back(EncodeIdentityReply(identity));
        if (c.code == kCmdReadInfo && c.word1 == kInfoIdNumber) pending.push_back(EncodeWordReply(kCmdReadInfo, id));
        return 0;
    }
    int Receive(WireBytes* reply, uint32_t) override {
        if (silent || pending.empty()) return -1;
        *reply = pending.front();
        pending.pop_front();
        return 0;
    }
};

TEST(Transact, SendsEncodedCommandAndReadsTheReplyOnlyWhenWanted) {
    FakeUnit unit;
    SensorReply reply;
    ASSERT_EQ(Transact(unit, MakeReadInfo(kInfoIdentity), true, &reply, 5000), 0);
    EXPECT_EQ(reply.Identity(), unit.identity);
    ASSERT_EQ(Transact(unit, MakeReadInfo(kInfoIdNumber), true, &reply, 5000), 0);
    EXPECT_EQ(reply.IdNumber(), 300);
    EXPECT_EQ(Transact(unit, MakeSetClock(1, 2, 3), false, nullptr, 5000), 0);
    ASSERT_EQ(unit.received.size(), 3u);
    EXPECT_EQ(unit.received[2].word3, 3);

    unit.silent = true;
    SensorReply kept{W({1, 2, 3, 4, 5, 6, 7, 8})};
    EXPECT_EQ(Transact(unit, MakeReadInfo(kInfoIdNumber), true, &kept, 5000), -1);
    EXPECT_EQ(kept.bytes, W({1, 2, 3, 4, 5, 6, 7, 8}));  // a failed request leaves the reply
}

}  // namespace
}  // namespace ridaviri
