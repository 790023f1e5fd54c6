// When each command of the main frame is enabled.
#include "ridaviri/ui/commands.h"

#include <gtest/gtest.h>

#include <set>

namespace ridaviri {
namespace {

using C = MonitorCommand;

constexpr uint8_t kCan = kInterfaceCan;
constexpr uint8_t kUsb = kInterfaceUsb;
constexpr uint8_t kViewer = kInterfaceViewer;

TEST(CommandEnabling, Table) {
    struct Case {
        const char* what;
        CommandState state;
        std::set<C> enabled;  // everything else is disabled
    };
    const std::set<C> always = {C::GraphScaling, C::Exit, C::HelpTopics, C::About};
    auto with = [&](std::set<C> more) {
        more.insert(always.begin(), always.end());
        return more;
    };
    const Case cases[] = {
        {"CAN, idle, one unit", {kCan, 0, 1},
         with({C::Open, C::IdSetting, C::Calibration, C::PowerFrequency, C::OtherSettings, C::Start, C::SensorCheck,
               C::ManufacturingNumber})},
        {"CAN, idle, two units: no ID setting", {kCan, 0, 2},
         with({C::Open, C::Calibration, C::PowerFrequency, C::OtherSettings, C::Start, C::SensorCheck,
               C::ManufacturingNumber})},
        {"USB, idle, check needed", {kUsb, state::CHECK_NEEDED, 1}, with({C::Open, C::SensorCheck})},
        {"CAN, polling", {kCan, state::kModePolling | state::HAS_DATA, 3},
         with({C::Stop, C::DisplayChannelSelection, C::AllChannelGraph, C::MeasurementList})},
        {"CAN, measuring, unsaved", {kCan, state::kModeMeasuring | state::UNSAVED, 3},
         with({C::Save, C::Stop, C::DisplayChannelSelection, C::AllChannelGraph, C::MeasurementList})},
        {"CAN, stopped", {kCan, state::STOP_REQUEST | state::UNSAVED | state::HAS_DATA, 3},
         with({C::Open, C::Save, C::Calibration, C::PowerFrequency, C::OtherSettings, C::Start,
               C::SensorCheck, C::DisplayChannelSelection, C::ManufacturingNumber})},
        {"USB, file shown", {kUsb, state::kModeFileShown, 20},
         with({C::Open, C::SensorCheck, C::DisplayChannelSelection, C::AllChannelGraph, C::MeasurementList})},
        {"CAN, ID dialog open", {kCan, state::kModeIdSetting, 1},
         with({C::Open, C::DisplayChannelSelection, C::AllChannelGraph, C::MeasurementList, C::ManufacturingNumber})},
        {"viewer, idle", {kViewer, 0, 0}, with({C::Open})},
        {"viewer, file shown", {kViewer, state::kModeFileShown, 20},
         with({C::Open, C::DisplayChannelSelection, C::AllChannelGraph, C::MeasurementList})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const CommandInfo& info : MonitorCommands()) {
            EXPECT_EQ(CommandEnabled(info.command, c.state), c.enabled.count(info.command) == 1) << info.objectName;
        }
    }
}

TEST(CommandEnabling, TablesAreComplete) {
    // One entry per command, each with a menu, text and unique object name.
    std::set<std::string> names;
    for (const CommandInfo& info : MonitorCommands()) {
        EXPECT_TRUE(names.insert(info.objectName).second) << info.objectName;
        EXPECT_NE(std::string(info.text), "");
    }
    EXPECT_EQ(names.size(), std::size_t(C::About) + 1);
    EXPECT_EQ(std::string(InfoOf(C::Open).text), "開く(&O)...\tCtrl+O");
    EXPECT_EQ(std::string(InfoOf(C::Exit).prompt), "ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示");
    EXPECT_EQ(std::string(InfoOf(C::PowerFrequency).prompt), "");
    // The tool bar: settings | check, start, stop | graphs, list.
    std::vector<std::string> bar;
    for (const ToolBarSlot& slot : MonitorToolBar()) bar.push_back(slot.separator ? "|" : InfoOf(slot.command).objectName);
    EXPECT_EQ(bar, (std::vector<std::string>{"actOtherSettings", "|", "actSensorCheck", "actStart", "actStop", "|",
                                             "actAllChannelGraph", "actMeasurementList"}));
}

}  // namespace
}  // namespace ridaviri
