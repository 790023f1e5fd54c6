// The dialogs that talk to the units, without widgets: the opening dialog (interface choice),
// the ID-setting dialog, the power-frequency dialog and the manufacturing-number window. The
// procedures behind their buttons are the sensor procedures'; these models hold what the
// dialogs show and which buttons are enabled. Texts are Shift-JIS.
#pragma once

#include <string>
#include <vector>

#include "ridaviri/message_function.h"
#include "ridaviri/monitor_data.h"
#include "ridaviri/sensor_check.h"

namespace ridaviri {

// Version text of the opening dialog and of the version box.
inline constexpr const char* kOpeningVersionText = "Ver.1.0.7";
inline constexpr const char* kVersionBoxText = "RAdizavizediv Version 1.0.7";
inline constexpr const char* kApplicationTitle = "RAdizavizediv";

// The opening dialog: which radio button starts checked, and what OK chose.
class OpeningDialogModel {
public:
    // The button checked at opening (0 "CANバス", 1 "USB", 2 "ビューア機能"), from the
    // interface the configuration file gave (any other value: CAN; an incomplete file: CAN).
    static int Preselection(const MonitorData& data);
    // OK with radio button `choice`: the interface is set; true when a sensor check follows
    // (CAN or USB), false for the viewer.
    static bool Choose(MonitorData& data, int choice);
};

// "ＩＤ番号設定": "読み込み" reads the one connected unit, "設定" gives it the ID typed,
// "切断" goes back to reading, "閉じる" rechecks the connection.
class IdSettingDialogModel {
public:
    explicit IdSettingDialogModel(SensorProcedures& procedures) : procedures_(procedures) {}

    void Open();  // mode 6 while the dialog is open
    int Read();   // 0: the unit's number and ID are shown and setting is possible
    int Set(const std::string& idText);
    void Disconnect();
    void Close();

    bool ReadEnabled() const { return !readDone_; }
    bool SetEnabled() const { return readDone_; }
    bool DisconnectEnabled() const { return readDone_; }

    std::string manufacturingNumber;  // the read-only field "製造番号"
    std::string idText;               // the field "ID番号"

private:
    SensorProcedures& procedures_;
    bool readDone_ = false;
};

// "電源周波数設定": reads the units' setting when it opens, sends the chosen one.
class PowerFrequencyDialogModel {
public:
    explicit PowerFrequencyDialogModel(SensorProcedures& procedures) : procedures_(procedures) {}

    // Reads the units: the code to check (0 "50Hz", 1 "60Hz"), or -1 when the reading failed
    // (its box shown; no button checked).
    int Open();
    // "送信" with the checked code: 0 closes the dialog, -1 (box shown) keeps it open.
    int Send(int code);

    int checked = -1;

private:
    SensorProcedures& procedures_;
};

// "製造番号表示": the manufacturing number of one channel's unit.
class ManufacturingNumberModel {
public:
    ManufacturingNumberModel(const MonitorData& data, MessageFunction& messages) : data_(data), messages_(messages) {}

    // The command's checks: message 1 without units, 5 when a unit has no ID number, 13 when
    // one has no manufacturing number; false then (no window).
    bool MayOpen();
    // The drop-down list: channel numbers 1-20 that the channel table holds, ascending.
    std::vector<std::string> Entries() const;
    // "表示" with entry `index` (-1: none chosen, message 11): the field's new text, or false.
    bool Show(int index, std::string* text);

private:
    const MonitorData& data_;
    MessageFunction& messages_;
};

}  // namespace ridaviri
