// The settings dialog and its sub-dialogs, the channel selections and the graph scaling, each
// with its checks and the messages they show.
#include "ridaviri/ui/setting_dialogs.h"

#include <gtest/gtest.h>

#include "platform/sjis.h"

namespace ridaviri {
namespace {

using platform::sjis::S;

// Three configured units (IDs 30, 10, 20 on channels 1-3), copied into the working copy as the
// command "その他の設定" does.
struct Rig {
    Rig() : data(1) {
        const uint16_t ids[] = {30, 10, 20};
        for (int i = 0; i < 3; ++i) {
            ChannelRecord& r = data.channels[i];
            r.identity.typeLetter = 'T';
            r.identity.serial = uint16_t(i + 1);
            r.idNumber = ids[i];
            r.channelNumber = uint8_t(i + 1);
            r.measureSwitch = 1;
            r.interval = 1000;
            r.factorA = 1.0f;
        }
        data.deviceCount = 3;
        data.found = data.channels;
    }
    MonitorData data;
    ScriptedMessages messages;
};

TEST(SettingsDialog, RowsLeaveOutUnitsThatDidNotAnswerOrHaveNoId) {
    Rig rig;
    rig.data.found[1].noResponse = 1;
    SettingsDialogModel model(rig.data, rig.messages);
    auto rows = model.Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "CH1");
    EXPECT_EQ(rows[1][0], "CH3");
    EXPECT_EQ(rows[1][1], "20");
    EXPECT_EQ(rows[1][2], S("標準型"));
    EXPECT_EQ(rows[1][3], "1000");
    EXPECT_EQ(rows[1][4], "ON");
    EXPECT_EQ(rows[1][5], "OFF");
    EXPECT_EQ(rows[1][6], "1.000000");
    EXPECT_EQ(rows[1][7], "0.000000");
    EXPECT_EQ(rows[1][8], S("温度"));
    // Rows follow the channel numbers, not the storage order.
    rig.data.found[0].channelNumber = 9;
    rows = model.Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "CH3");
    EXPECT_EQ(rows[1][0], "CH9");
    EXPECT_EQ(SettingsDialogModel::Columns().size(), 9u);
    EXPECT_EQ(SettingsDialogModel::Columns()[3].width, 115);
}

TEST(SettingsDialog, PrecisionModelGoesToEveryUnitWithAnId) {
    Rig rig;
    rig.data.found[2].idNumber = 0;
    SettingsDialogModel model(rig.data, rig.messages);
    EXPECT_EQ(model.PrecisionModel(), 0);
    model.SetPrecisionModel(1);
    EXPECT_EQ(rig.data.found[0].precisionModel, 1);
    EXPECT_EQ(rig.data.found[1].precisionModel, 1);
    EXPECT_EQ(rig.data.found[2].precisionModel, 0);
    EXPECT_EQ(model.PrecisionModel(), 1);
    EXPECT_EQ(rig.data.channels[0].precisionModel, 0) << "only the working copy changes";
}

TEST(SettingsDialog, DuplicateChannelNumbersRefuseSendingAndTheSelections) {
    Rig rig;
    const ChannelTable before = rig.data.channels;
    int blanked = 0;
    SettingsDialogModel settings(rig.data, rig.messages, [&] { ++blanked; });
    ChannelNumberDialogModel numbers(rig.data, rig.messages);
    // IDs sorted as text: "10", "20", "30".
    ASSERT_EQ(numbers.IdEntries(), (std::vector<std::string>{"10", "20", "30"}));
    EXPECT_EQ(numbers.Assign(1, 2), 0);  // ID 20 -> CH3 (unchanged)
    EXPECT_EQ(numbers.Assign(0, 2), 0);  // ID 10 -> CH3 as well
    numbers.Close();
    EXPECT_TRUE(rig.data.stateWord.Test(state::CH_DUPLICATE));
    EXPECT_EQ(settings.Send(), -1);
    EXPECT_FALSE(settings.MayOpenChannelSelection());
    EXPECT_EQ(rig.messages.Numbers(), (std::vector<int>{19, 19}));
    EXPECT_EQ(blanked, 1) << "sending blanks the graph even when refused";
    for (int i = 0; i < kChannelCount; ++i) EXPECT_EQ(rig.data.channels[i].channelNumber, before[i].channelNumber);

    // Moving one of them away clears the mark when the channel-number dialog closes again.
    EXPECT_EQ(numbers.Assign(0, 1), 0);  // ID 10 -> CH2
    EXPECT_TRUE(rig.data.stateWord.Test(state::CH_DUPLICATE));
    numbers.Close();
    EXPECT_FALSE(rig.data.stateWord.Test(state::CH_DUPLICATE));
    EXPECT_EQ(settings.Send(), 0);
    EXPECT_EQ(rig.data.channels[1].channelNumber, 2);
}

TEST(SettingsDialog, SendCopiesTheConfiguredUnitsAndResetsTheRest) {
    Rig rig;
    rig.data.channels[5].identity.typeLetter = 'T';  // a stale record beyond the count
    rig.data.found[0].calibrationSwitch = 1;
    SettingsDialogModel model(rig.data, rig.messages);
    EXPECT_EQ(model.Send(), 0);
    EXPECT_EQ(rig.data.channels[0].calibrationSwitch, 1);
    EXPECT_TRUE(rig.data.channels[5].IsEmpty());
    EXPECT_EQ(rig.messages.Count(), 0u);
}

TEST(ChannelNumberDialog, NeedsBothEntries) {
    Rig rig;
    ChannelNumberDialogModel numbers(rig.data, rig.messages);
    EXPECT_EQ(numbers.Assign(-1, 3), -1);
    EXPECT_EQ(numbers.Assign(0, -1), -1);
    EXPECT_EQ(numbers.Assign(7, 0), -1);
    EXPECT_EQ(rig.messages.Numbers(), (std::vector<int>{18, 18, 18}));
    EXPECT_EQ(ChannelNumberDialogModel::ChannelEntries().back(), "CH20");
}

TEST(IntervalDialog, RangeAndStep) {
    struct Case {
        uint64_t value;
        int message;  // 0: accepted
    };
    const Case cases[] = {{2550, 21}, {400, 22}, {499, 22}, {500, 0}, {3600000, 0}, {3600100, 22}, {0, 22}, {1500, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Rig rig;
        rig.data.found[0].interval = 0;
        rig.data.found[1].interval = 2000;
        IntervalDialogModel model(rig.data, rig.messages);
        EXPECT_EQ(model.Shown(), 2000u);  // the first interval that is not 0
        EXPECT_EQ(model.Apply(c.value), c.message == 0 ? 0 : -1);
        if (c.message == 0) {
            EXPECT_EQ(rig.messages.Count(), 0u);
            for (int i = 0; i < 3; ++i) EXPECT_EQ(rig.data.found[i].interval, c.value);
            EXPECT_EQ(rig.data.found[3].interval, kDefaultIntervalMs) << "beyond the count";
        } else {
            EXPECT_EQ(rig.messages.Numbers(), std::vector<int>{c.message});
            EXPECT_EQ(rig.data.found[1].interval, 2000u);
        }
    }
}

TEST(ChannelSelection, MeasuredChannelsOfTheWorkingCopy) {
    Rig rig;
    rig.data.found[1].measureSwitch = 0;
    ChannelSelectionModel model(ChannelSelectionKind::MeasuredChannels, rig.data, rig.messages);
    EXPECT_TRUE(model.Checked(0));
    EXPECT_FALSE(model.Checked(1));
    EXPECT_TRUE(model.Enabled(1));
    EXPECT_FALSE(model.Enabled(3));
    model.SetChecked(3, true);  // a disabled box stays as it is
    EXPECT_FALSE(model.Checked(3));
    model.ClearAll();
    EXPECT_EQ(model.Ok(), -1);
    EXPECT_EQ(rig.messages.Numbers(), std::vector<int>{41});
    model.SelectAll();
    EXPECT_TRUE(model.Checked(1));
    EXPECT_FALSE(model.Checked(3));
    model.SetChecked(0, false);
    EXPECT_EQ(model.Ok(), 0);
    EXPECT_EQ(rig.data.found[0].measureSwitch, 0);
    EXPECT_EQ(rig.data.found[1].measureSwitch, 1);
    EXPECT_EQ(rig.data.channels[0].measureSwitch, 1) << "the channel table waits for sending";
}

TEST(ChannelSelection, CalibrationSwitchesMayAllBeOff) {
    Rig rig;
    rig.data.found[2].calibrationSwitch = 1;
    ChannelSelectionModel model(ChannelSelectionKind::CalibrationSwitches, rig.data, rig.messages);
    EXPECT_TRUE(model.Checked(2));
    model.ClearAll();
    EXPECT_EQ(model.Ok(), 0);
    EXPECT_EQ(rig.data.found[2].calibrationSwitch, 0);
    EXPECT_EQ(rig.messages.Count(), 0u);
}

TEST(ChannelSelection, GraphAndListChannelsOfTheChannelTable) {
    Rig rig;
    rig.data.channels[2].measureSwitch = 0;
    rig.data.channels[0].graphDisplay = 1;
    std::atomic<int> result{0};
    ChannelSelectionModel graph(ChannelSelectionKind::GraphChannels, rig.data, rig.messages);
    EXPECT_TRUE(graph.Checked(0));
    EXPECT_FALSE(graph.Checked(1));
    EXPECT_FALSE(graph.Enabled(2)) << "not measured";
    graph.SelectAll();
    EXPECT_EQ(graph.Ok(), 0);
    EXPECT_EQ(rig.data.channels[1].graphDisplay, 1);
    EXPECT_EQ(rig.data.channels[2].graphDisplay, 0);

    ChannelSelectionModel list(ChannelSelectionKind::ListChannels, rig.data, rig.messages, &result);
    list.ClearAll();
    EXPECT_EQ(list.Ok(), -1);
    EXPECT_EQ(result, kListSelectionConfirmed);
    list.SetChecked(1, true);
    EXPECT_EQ(list.Ok(), 0);
    EXPECT_EQ(result, kListSelectionChosen);
    EXPECT_EQ(rig.data.channels[1].listDisplay, 1);
    list.Cancel();
    EXPECT_EQ(result, kListSelectionCancelled);
    EXPECT_EQ(rig.messages.Numbers(), std::vector<int>{41});
}

TEST(ChannelSelection, AShownFileOffersAllTwentyByPosition) {
    Rig rig;
    rig.data.stateWord.SetMode(state::kModeFileShown);
    rig.data.found[4].graphDisplay = 0;
    ChannelSelectionModel model(ChannelSelectionKind::GraphChannels, rig.data, rig.messages);
    for (int i = 0; i < kChannelCount; ++i) {
        EXPECT_TRUE(model.Checked(i));
        EXPECT_TRUE(model.Enabled(i));
    }
    model.SetChecked(19, false);
    EXPECT_EQ(model.Ok(), 0);
    EXPECT_EQ(rig.data.found[4].graphDisplay, 1);
    EXPECT_EQ(rig.data.found[19].graphDisplay, 0);
}

TEST(GraphScaling, ChecksInOrder) {
    using F = GraphScalingDialogModel::Field;
    struct Case {
        uint8_t precision;
        const char* max;
        const char* mini;
        F failed;  // None: accepted
    };
    const Case cases[] = {
        {0, "100.00", "0.00", F::None},
        {0, "100.005", "0.00", F::Max},     // too precise for the standard model
        {1, "100.005", "0.000", F::None},
        {1, "100.0005", "0.000", F::Max},
        {0, "50", "50", F::Max},            // maximum not above minimum
        {0, "-19.99", "-20.00", F::None},
        {0, "-19.995", "-20", F::Max},      // below the lowest maximum
        {1, "-19.999", "-20", F::None},
        {0, "200.01", "0", F::Max},
        {0, "100", "-20.01", F::Mini},
        {0, "200", "199.99", F::None},
        {0, "200", "199.995", F::Mini},     // above the highest minimum
        {1, "200", "199.999", F::None},
        {0, "1000", "0", F::Max},           // out of range before too long
        {0, "150.001", "0", F::Max},        // 7 characters
        {0, "150.01", "0", F::None},        // 6 characters
        {0, "150", "-19.999", F::Mini},     // 7 characters
        {0, "150", "10.001", F::Mini},      // three decimals
        {1, "150", "10.0001", F::Mini},
        {1, "150", "-19.9999", F::Mini},    // 8 characters
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.max) + " / " + c.mini + " model " + std::to_string(c.precision));
        ScriptedMessages messages;
        GraphScalingDialogModel model(c.precision, {10, 100, 0}, 1000, messages);
        model.maxText = c.max;
        model.miniText = c.mini;
        bool accepted = false;
        EXPECT_EQ(model.Ok(&accepted), c.failed);
        EXPECT_EQ(accepted, c.failed == F::None);
        EXPECT_EQ(messages.Numbers(), c.failed == F::None ? std::vector<int>{} : std::vector<int>{7});
    }
}

TEST(GraphScaling, OpensWithTheCurrentRangeAndTakesTheChoice) {
    ScriptedMessages messages;
    GraphScalingDialogModel standard(0, {100, 80, -10}, 2000, messages);
    EXPECT_EQ(standard.multiplier, 2);
    EXPECT_EQ(standard.maxText, "80.00");
    EXPECT_EQ(standard.miniText, "-10.00");
    EXPECT_EQ(standard.interval, 2000u);
    EXPECT_STREQ(standard.Title(), "グラフスケーリング（標準型）");
    GraphScalingDialogModel odd(1, {7, 80, -10}, 2000, messages);
    EXPECT_EQ(odd.multiplier, 0) << "a SCALE not in the list selects 1";
    EXPECT_EQ(odd.maxText, "80.000");
    EXPECT_STREQ(odd.MaxNote(), "（-19.999℃～200.000℃）");
    odd.multiplier = 3;
    odd.maxText = "50.5";
    bool accepted = false;
    odd.Ok(&accepted);
    ASSERT_TRUE(accepted);
    EXPECT_EQ(odd.ScaleText(), "1000");
    EXPECT_EQ(odd.Range().scale, 1000);
    EXPECT_DOUBLE_EQ(odd.Range().max, 50.5);
    odd.multiplier = -1;
    EXPECT_EQ(odd.Ok(&accepted), GraphScalingDialogModel::Field::None);
    EXPECT_FALSE(accepted) << "no multiplier: nothing happens";
}

}  // namespace
}  // namespace ridaviri
