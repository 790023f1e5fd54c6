#include "ridaviri/channel_tables.h"

#include <gtest/gtest.h>

namespace ridaviri {
namespace {

SensorIdentity Unit(uint16_t serial) { return {'T', 0x8B, 0x1803, serial}; }

ChannelRecord Record(uint16_t serial, uint16_t id, uint8_t channel = 0, uint32_t node = 0) {
    ChannelRecord r;
    r.identity = Unit(serial);
    r.idNumber = id;
    r.channelNumber = channel;
    r.canNode = node;
    return r;
}

TEST(MergeFoundDevices, NewUnitsTakeTheLowestFreeChannelNumbers) {
    MonitorData data(1);
    data.channels[0] = Record(1, 10, 1);
    data.channels[1] = Record(2, 20, 3);
    data.found[0] = Record(2, 20, 0, 7);
    data.found[1] = Record(3, 30, 0, 8);
    data.found[2] = Record(1, 10, 0, 6);
    data.found[3] = Record(4, 40, 0, 9);
    data.deviceCount = 4;
    MergeFoundDevices(data);
    EXPECT_EQ(data.channels[0].canNode, 6u);
    EXPECT_EQ(data.channels[1].canNode, 7u);
    EXPECT_EQ(data.channels[2].identity, Unit(3));
    EXPECT_EQ(data.channels[2].measureSwitch, 1);
    EXPECT_EQ(data.channels[3].identity, Unit(4));
    int numbers[] = {1, 3, 2, 4};
    for (int c = 0; c < 4; ++c) EXPECT_EQ(data.channels[c].channelNumber, numbers[c]) << c;
    EXPECT_TRUE(data.stateWord.Test(state::CONFIG_CHANGED));  // units were added
    for (const ChannelRecord& f : data.found) EXPECT_TRUE(f.IsEmpty());
}

TEST(MergeFoundDevices, AUnitWithAnotherIdIsDroppedAndAddedAgain) {
    MonitorData data(1);
    data.channels[0] = Record(1, 10, 5);
    data.channels[0].measureSwitch = 0;
    data.channels[0].calibrationSwitch = 1;
    data.found[0] = Record(1, 11, 0, 6);
    data.deviceCount = 1;
    MergeFoundDevices(data);
    EXPECT_TRUE(data.stateWord.Test(state::CONFIG_CHANGED));
    EXPECT_EQ(data.channels[0].idNumber, 11);
    EXPECT_EQ(data.channels[0].measureSwitch, 1);
    EXPECT_EQ(data.channels[0].calibrationSwitch, 0);  // a new record
    EXPECT_EQ(data.channels[0].channelNumber, 1);
}

TEST(MergeFoundDevices, InIdSettingModeTheIdentityAloneMatchesAndTheNewIdIsTaken) {
    MonitorData data(1);
    data.stateWord.SetMode(state::kModeIdSetting);
    data.channels[0] = Record(1, 10, 5);
    data.found[0] = Record(1, 11, 0, 6);
    data.deviceCount = 1;
    MergeFoundDevices(data);
    EXPECT_FALSE(data.stateWord.Test(state::CONFIG_CHANGED));
    EXPECT_EQ(data.channels[0].idNumber, 11);
    EXPECT_EQ(data.channels[0].channelNumber, 5);
    EXPECT_EQ(data.channels[0].canNode, 6u);
}

// Regression: closing a gap left the interval and the calibration switch behind, so the
// common interval fell back to 1000 ms and a calibrated channel lost its correction.
TEST(MergeFoundDevices, GapsCloseAndIntervalAndPrecisionBecomeCommon) {
    MonitorData data(1);
    data.channels[0] = Record(1, 10, 4);   // gone
    data.channels[1] = Record(2, 20, 2);
    data.channels[1].interval = 0;
    data.channels[1].calibrationSwitch = 1;
    data.channels[1].factorA = 0.998f;
    data.channels[2] = Record(3, 30, 0);
    data.channels[2].interval = 2000;
    data.channels[2].precisionModel = 1;
    data.found[0] = Record(3, 30, 0, 8);
    data.found[1] = Record(2, 20, 0, 7);
    data.deviceCount = 2;
    MergeFoundDevices(data);
    EXPECT_EQ(data.channels[0].identity, Unit(2));  // moved to the front with its channel
    EXPECT_EQ(data.channels[0].channelNumber, 2);
    EXPECT_EQ(data.channels[0].calibrationSwitch, 1);  // the switch goes with its factors
    EXPECT_FLOAT_EQ(data.channels[0].factorA, 0.998f);
    EXPECT_EQ(data.channels[1].identity, Unit(3));
    EXPECT_EQ(data.channels[1].channelNumber, 1);
    EXPECT_TRUE(data.channels[2].IsEmpty());
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(data.channels[c].interval, 2000u) << c;  // the first non-zero one
        EXPECT_EQ(data.channels[c].precisionModel, 1) << c;
    }
}

TEST(AssignChannelNumbers, ScansUpwardAndNeverPast20) {
    ChannelTable t;
    ResetTable(t);
    for (int c = 0; c < 20; ++c) t[c].channelNumber = uint8_t(c < 19 ? c + 2 : 0);  // 2..20 used
    AssignChannelNumbers(t, 20);
    EXPECT_EQ(t[19].channelNumber, 1);
    ResetTable(t);
    t[0].channelNumber = 20;
    AssignChannelNumbers(t, 3);
    EXPECT_EQ(t[1].channelNumber, 1);
    EXPECT_EQ(t[2].channelNumber, 2);
}

TEST(ReconcileAtStartup, Message68OnceAndTheIdLessMarkSuppressesOnlyTheIdCase) {
    struct Case {
        bool idLess;
        bool missing;  // the second configured unit is absent rather than re-numbered
        int messages68;
    } cases[] = {{false, false, 1}, {true, false, 0}, {true, true, 1}, {false, true, 1}};
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "idLess " << k.idLess << " missing " << k.missing);
        MonitorData data(1);
        ScriptedMessages messages;
        data.channels[0] = Record(1, 10, 1);
        data.channels[1] = Record(2, 20, 2);
        data.channels[2] = Record(3, 30, 3);
        data.found[0] = Record(1, 10, 0, 5);
        if (!k.missing) data.found[1] = Record(2, 21, 0, 6);
        data.found[2] = Record(3, 31, 0, 7);  // another ID
        data.deviceCount = k.missing ? 2 : 3;
        ReconcileAtStartup(data, messages, k.idLess);
        EXPECT_EQ(messages.Numbers(), std::vector<int>(size_t(k.messages68), 68));
        EXPECT_TRUE(data.stateWord.Test(state::CONFIG_CHANGED));
        EXPECT_EQ(data.channels[0].canNode, 5u);
    }
}

TEST(ReconcileAtStartup, NewUnitsKeepTheirIntervalWhichBecomesCommon) {
    MonitorData data(1);
    ScriptedMessages messages;
    data.channels[0] = Record(1, 10, 2);
    data.found[0] = Record(1, 10, 0, 5);
    data.found[1] = Record(2, 20, 0, 6);
    data.found[1].interval = 5000;
    data.found[1].inputMode = 3;
    data.channels[5].channelNumber = 9;  // an empty record's leftovers are cleared
    data.deviceCount = 2;
    ReconcileAtStartup(data, messages, false);
    EXPECT_TRUE(messages.Numbers().empty());
    EXPECT_EQ(data.channels[1].identity, Unit(2));
    EXPECT_EQ(data.channels[1].inputMode, 3);
    EXPECT_EQ(data.channels[1].channelNumber, 1);
    EXPECT_EQ(data.channels[0].channelNumber, 2);
    for (const ChannelRecord& r : data.channels) EXPECT_EQ(r.interval, 5000u);
    EXPECT_EQ(data.channels[0].measureSwitch, 1);
    EXPECT_EQ(data.channels[1].measureSwitch, 1);
    EXPECT_EQ(data.channels[5].channelNumber, 0);
}

TEST(IdHistory, WarnsOncePerEarlierIdAndRemembersNewPairs) {
    MonitorData data(1);
    ScriptedMessages messages;
    RecordIdAssignment(data, Unit(1), 300, messages);
    RecordIdAssignment(data, Unit(1), 300, messages);  // the same pair again: nothing
    EXPECT_TRUE(messages.Numbers().empty());
    RecordIdAssignment(data, Unit(1), 301, messages);
    RecordIdAssignment(data, Unit(1), 302, messages);  // two earlier IDs: two warnings
    EXPECT_EQ(messages.Numbers(), (std::vector<int>{66, 66, 66}));
    EXPECT_EQ(data.idHistory[2].idNumber, 302);
    for (uint16_t s = 2; s < 40; ++s) RecordIdAssignment(data, Unit(s), 1, messages);
    EXPECT_EQ(data.idHistory.back().identity, Unit(39));  // full: the last entry is reused
}

}  // namespace
}  // namespace ridaviri
