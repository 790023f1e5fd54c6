#include "ridaviri/ui/commands.h"

#include <stdexcept>

namespace ridaviri {

const std::vector<CommandInfo>& MonitorCommands() {
    using C = MonitorCommand;
    using M = MonitorMenu;
    static const std::vector<CommandInfo> commands = {
        {C::Open, M::File, "actFileOpen", "開く(&O)...\tCtrl+O", "既存のﾌｧｲﾙを開く", "開く"},
        {C::Save, M::File, "actFileSave", "保存(&S)\tCtrl+S", "作業中のﾌｧｲﾙを上書きして保存", "保存"},
        {C::Close, M::File, "actFileClose", "閉じる(&C)", "現在開いているデータを閉じる", "閉じる"},
        {C::LogChannelSelection, M::File, "actLogChannelSelection", "ロギングデータ読み取りチャンネル番号選択(&R)",
         "ログデータを読み取る", "ロギングデータ読み取りチャンネル番号選択"},
        {C::Exit, M::File, "actAppExit", "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", "ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示", "終了"},
        {C::IdSetting, M::Settings, "actIdSetting", "ID番号設定", "ＩＤ番号を設定", "ＩＤ番号設定"},
        {C::Calibration, M::Settings, "actCalibration", "校正機能(&P)", "校正値を計算", "校正機能"},
        {C::PowerFrequency, M::Settings, "actPowerFrequency", "電源周波数設定", "", ""},
        {C::OtherSettings, M::Settings, "actOtherSettings", "その他の設定(&C)", "各種の設定を行う", "その他の設定"},
        {C::SensorCheck, M::Measure, "actSensorCheck", "接続センサ確認(&S)", "接続されているセンサを確認",
         "接続センサ確認"},
        {C::Start, M::Measure, "actStart", "計測開始(&G)", "計測を開始", "計測開始"},
        {C::Stop, M::Measure, "actStop", "計測終了(&X)", "計測を終了", "計測終了"},
        {C::DisplayChannelSelection, M::View, "actDisplayChannelSelection", "表示チャンネル番号選択(&H)",
         "表示するチャンネル番号の選択", "表示チャンネル番号選択"},
        {C::GraphScaling, M::View, "actGraphScaling", "グラフスケーリング(&G)", "グラフスケールの変更",
         "グラフスケーリング"},
        {C::AllChannelGraph, M::View, "actAllChannelGraph", "全チャンネル番号グラフ表示(&A)",
         "全チャンネル番号のグラフ表示", "全チャンネル番号グラフ表示"},
        {C::MeasurementList, M::View, "actMeasurementList", "計測チャンネル番号リスト表示(&L)", "データリストの表示",
         "計測チャンネル番号リスト表示"},
        {C::ManufacturingNumber, M::View, "actManufacturingNumber", "製造番号表示(&S)", "製造番号の表示",
         "製造番号表示"},
        {C::HelpTopics, M::Help, "actHelpTopics", "ﾄﾋﾟｯｸの検索(&H)", "ﾍﾙﾌﾟ ﾄﾋﾟｯｸの一覧", "ﾍﾙﾌﾟ ﾄﾋﾟｯｸ"},
        {C::About, M::Help, "actAbout", "RAdizavizediv のﾊﾞｰｼﾞｮﾝ情報(&A)...",
         "ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示", "ﾊﾞｰｼﾞｮﾝ情報"},
    };
    return commands;
}

const CommandInfo& InfoOf(MonitorCommand command) {
    for (const CommandInfo& info : MonitorCommands()) {
        if (info.command == command) return info;
    }
    throw std::out_of_range("unknown monitor command");
}

const char* MenuTitle(MonitorMenu menu) {
    switch (menu) {
    case MonitorMenu::File: return "ﾌｧｲﾙ(&F)";
    case MonitorMenu::Settings: return "設定(&C)";
    case MonitorMenu::Measure: return "計測(&M)";
    case MonitorMenu::View: return "表示(&V)";
    case MonitorMenu::Help: return "ﾍﾙﾌﾟ(&H)";
    }
    return "";
}

const std::vector<ToolBarSlot>& MonitorToolBar() {
    using C = MonitorCommand;
    static const std::vector<ToolBarSlot> slots = {
        {false, C::OtherSettings}, {true, C::Exit},  {false, C::SensorCheck},     {false, C::Start},
        {false, C::Stop},          {true, C::Exit},  {false, C::AllChannelGraph}, {false, C::MeasurementList},
    };
    return slots;
}

CommandState CurrentCommandState(const MonitorData& data) {
    return {data.interfaceKind.load(), data.stateWord.Value(), data.deviceCount.load()};
}

bool CommandEnabled(MonitorCommand command, const CommandState& s) {
    const bool device = s.interfaceKind == kInterfaceCan || s.interfaceKind == kInterfaceUsb;
    const uint32_t mode = s.stateWord & state::kModeMask;
    const bool measuring = mode == state::kModePolling || mode == state::kModeMeasuring;
    const bool checkNeeded = (s.stateWord & state::CHECK_NEEDED) != 0;
    switch (command) {
    case MonitorCommand::Open: return !(device && measuring);
    case MonitorCommand::Save: return (s.stateWord & state::UNSAVED) != 0;
    case MonitorCommand::Close:
    case MonitorCommand::LogChannelSelection: return false;
    case MonitorCommand::IdSetting: return device && s.deviceCount == 1 && mode == state::kModeIdle && !checkNeeded;
    case MonitorCommand::Calibration:
    case MonitorCommand::PowerFrequency:
    case MonitorCommand::OtherSettings:
    case MonitorCommand::Start: return device && mode == state::kModeIdle && !checkNeeded;
    case MonitorCommand::SensorCheck: return device && (mode == state::kModeIdle || mode == state::kModeFileShown);
    case MonitorCommand::Stop: return device && measuring;
    case MonitorCommand::DisplayChannelSelection:
        if (device)
            return (s.stateWord & state::STOP_REQUEST) != 0 || measuring || mode == state::kModeFileShown ||
                   mode == state::kModeIdSetting;
        return mode != state::kModeIdle;
    case MonitorCommand::AllChannelGraph:
    case MonitorCommand::MeasurementList: return mode != state::kModeIdle;
    case MonitorCommand::ManufacturingNumber:
        if (device) return !measuring && mode != state::kModeFileShown && !checkNeeded;
        return mode != state::kModeIdle && mode != state::kModeFileShown;
    case MonitorCommand::GraphScaling:
    case MonitorCommand::Exit:
    case MonitorCommand::HelpTopics:
    case MonitorCommand::About: return true;
    }
    return false;
}

}  // namespace ridaviri
