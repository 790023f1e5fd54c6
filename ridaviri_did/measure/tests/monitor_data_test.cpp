#include "ridaviri/monitor_data.h"

#include <gtest/gtest.h>

namespace ridaviri {
namespace {

TEST(ChannelRecord, ResetGivesInterval1000InvalidHandleAndZeros) {
    ChannelRecord r;
    r.identity = {'T', 0x8B, 0x1803, 42};
    r.channelNumber = 3;
    r.idNumber = 7;
    r.usbHandle = 5;
    r.canNode = 9;
    r.measureSwitch = 1;
    r.interval = 500;
    r.calibrationSwitch = 1;
    r.factorA = 0.998f;
    r.factorB = 0.5f;
    r.precisionModel = 1;
    r.listDisplay = r.graphDisplay = r.noResponse = r.spare = 1;
    ResetRecord(r);
    EXPECT_TRUE(r.IsEmpty());
    EXPECT_EQ(r.identity, SensorIdentity{});
    EXPECT_EQ(r.usbHandle, kInvalidDeviceHandle);
    EXPECT_EQ(r.interval, 1000u);
    EXPECT_EQ(r.channelNumber + r.idNumber + r.canNode + r.measureSwitch + r.calibrationSwitch +
                  r.precisionModel + r.listDisplay + r.graphDisplay + r.noResponse + r.spare,
              0u);
    EXPECT_EQ(r.factorA, 0.0f);
    EXPECT_EQ(r.factorB, 0.0f);
}

TEST(StateWord, ModeChangesKeepTheFlags) {
    StateWord w;
    w.Set(state::UNSAVED | state::DEVICES_OPEN);
    w.SetMode(state::kModeIdSetting);
    EXPECT_EQ(w.Mode(), state::kModeIdSetting);
    w.SetMode(state::kModePolling);
    EXPECT_EQ(w.Mode(), state::kModePolling);
    EXPECT_EQ(w.Value(), state::UNSAVED | state::DEVICES_OPEN | state::kModePolling);
    w.Clear(state::UNSAVED);
    EXPECT_FALSE(w.Test(state::UNSAVED));
    EXPECT_TRUE(w.Test(state::DEVICES_OPEN));
}

TEST(MonitorData, FreshObjectHasResetTablesAndAClearedBufferOfTheGivenSize) {
    MonitorData data(7);
    EXPECT_EQ(data.samples.Capacity(), 7u);
    EXPECT_EQ(data.SampleIndex(), 0u);
    EXPECT_EQ(data.stateWord.Value(), 0u);
    for (const ChannelRecord& r : data.channels) EXPECT_EQ(r.usbHandle, kInvalidDeviceHandle);
    data.samples.At(6, 19) = 25.5;
    EXPECT_EQ(data.samples.Sample(6)[19], 25.5);
    data.samples.Clear();
    EXPECT_EQ(data.samples.At(6, 19), 0.0);
    EXPECT_EQ(MonitorData().samples.Capacity(), kMaxSamples);
}

}  // namespace
}  // namespace ridaviri
