// The main frame's commands without widgets: menu, text, status-bar prompt and tool-tip of each,
// the tool bar's order, and when each command is enabled (re-evaluated whenever the menu or the
// tool bar is shown).
#pragma once

#include <cstdint>
#include <vector>

#include "ridaviri/monitor_data.h"

namespace ridaviri {

enum class MonitorCommand {
    Open,
    Save,
    Close,
    LogChannelSelection,
    Exit,
    IdSetting,
    Calibration,
    PowerFrequency,
    OtherSettings,
    SensorCheck,
    Start,
    Stop,
    DisplayChannelSelection,
    GraphScaling,
    AllChannelGraph,
    MeasurementList,
    ManufacturingNumber,
    HelpTopics,
    About,
};

enum class MonitorMenu { File, Settings, Measure, View, Help };
inline constexpr int kMonitorMenuCount = 5;

struct CommandInfo {
    MonitorCommand command;
    MonitorMenu menu;
    const char* objectName;  // the action's object name
    const char* text;        // menu text with its mnemonic and short-cut (UTF-8)
    const char* prompt;      // status-bar prompt, empty when none
    const char* toolTip;     // empty when none
};

// Every command in menu order.
const std::vector<CommandInfo>& MonitorCommands();
const CommandInfo& InfoOf(MonitorCommand command);
// "ﾌｧｲﾙ(&F)", "設定(&C)", "計測(&M)", "表示(&V)", "ﾍﾙﾌﾟ(&H)" (UTF-8).
const char* MenuTitle(MonitorMenu menu);

// The tool bar from left to right; Exit stands for a separator.
struct ToolBarSlot {
    bool separator;
    MonitorCommand command;
};
const std::vector<ToolBarSlot>& MonitorToolBar();

// What the enabling looks at.
struct CommandState {
    uint8_t interfaceKind = kInterfaceCan;
    uint32_t stateWord = 0;
    int deviceCount = 0;
};
CommandState CurrentCommandState(const MonitorData& data);

bool CommandEnabled(MonitorCommand command, const CommandState& s);

}  // namespace ridaviri
