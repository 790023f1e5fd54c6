// The procedures that string sensor commands together: the sensor check with its error
// reports by origin, the recheck and the reaction to a device change, the ID-setting steps and
// the power-frequency steps. They run on the user-interface thread while no measurement runs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ridaviri/measurement.h"
#include "ridaviri/message_function.h"
#include "ridaviri/monitor_data.h"
#include "ridaviri/wrap_dev.h"

namespace ridaviri {

// What the procedures need of the windows: the modal dialogs they open and the cursor.
class CheckUi {
public:
    virtual ~CheckUi() = default;
    // The opening dialog again, modal, so that the user can choose another interface.
    virtual void ShowOpeningDialog() {}
    // The ID-setting dialog, modal (its buttons call the ID procedures below).
    virtual void RunIdSettingDialog() {}
    virtual void SetWaitCursor(bool /*busy*/) {}
    // A message box with a text of its own (the power-frequency dialog's), Shift-JIS.
    virtual void ShowText(const std::string& /*text*/, MessageBoxKind /*kind*/) {}
    // The save command (yes to question 115).
    virtual int SaveLog() { return 0; }
};

// Texts of the power-frequency dialog (UTF-8 here; shown in Shift-JIS).
inline constexpr const char* kPowerFrequencyReadFailed = "電源周波数取得失敗";
inline constexpr const char* kPowerFrequencyMixed =
    "設定された電源周波数が異なっています。電源周波数の設定を行ってください。";
inline constexpr const char* kPowerFrequencySendFailed = "電源周波数設定失敗!";
// Shown in the ID field for a unit without ID number.
inline constexpr const char* kIdNotSet = "未設定";

// Power-frequency codes of the units.
inline constexpr int kPowerFrequency50Hz = 0;
inline constexpr int kPowerFrequency60Hz = 1;

// What an ID read shows in the ID-setting dialog (Shift-JIS).
struct IdReadout {
    std::string manufacturingNumber;
    std::string idText;
};

class SensorProcedures {
public:
    SensorProcedures(MonitorData& data, SensorTransport& transport, MessageFunction& messages, CheckUi& ui);

    // The sensor check: finds the units, sets their clocks, reads identity, ID and input mode,
    // validates and (at start-up) reconciles. 0 done, -1 ended by an error (reported by
    // origin); the found table then holds nothing to take over.
    int SensorCheck();
    // Check error report: `number` 48 drops the unit of found-table `slot`; -1 is silent.
    // Returns true when the check may go on.
    bool CheckErrorReport(int number, int slot);
    // The port is closed (when units were counted) and the opening dialog shown again.
    void CanCheckFailure();

    // After a check the user started or a device change: the check, then MergeFoundDevices
    // and messages 73 / 68. -1 when the check ended by an error.
    int RecheckConnection();
    // The menu command "接続センサ確認".
    void MenuSensorCheck();
    // The system's device-change notification: nothing while a measurement or a check runs.
    void OnDeviceChange();

    // ---- ID-setting dialog ----
    void BeginIdSetting();  // the dialog opens: mode 6
    // "読み込み": exactly one unit connected; its manufacturing number and ID. 0 / -1.
    int IdRead(IdReadout* readout);
    // "設定": the ID text must be 1-65535; the unit read gets it. 0 / -1.
    int IdSet(const std::string& idText);
    void IdClear();        // "切断"
    void IdDialogClose();  // "閉じる"

    // ---- power-frequency dialog ----
    // Reads every unit's setting: the first unit's code (0 = 50 Hz, 1 = 60 Hz), or -1 (the
    // failure box shown). Mixed answers show the mixed-setting box.
    int PowerFrequencyRead();
    // Sends the code to every unit, then waits 2 s: 0 (the dialog closes) or -1 (box shown).
    int PowerFrequencySend(int code);

    bool IdLessMark() const { return idLessMark_; }

private:
    int CanCheck();
    int UsbCheck();
    int Validate();
    // Takes the unit of a found-table slot out of the check: its handle closed, the later
    // units moved up one slot, the device count one less.
    void DropFoundUnit(int slot);
    bool CanPowerFrequencyRead(std::vector<int>* answers);
    bool UsbPowerFrequencyRead(std::vector<int>* answers);
    // The power-frequency dialog's USB primitives: at most 10 polls 50 ms apart.
    bool UsbShortWrite(DeviceHandle handle, const WireBytes& bytes);
    bool UsbShortRead(DeviceHandle handle, uint8_t* buffer40);
    void CloseAllFound();
    int LeadingFoundUnits() const;
    void ShowText(const char* utf8, MessageBoxKind kind);

    MonitorData& data_;
    SensorTransport& transport_;
    MessageFunction& messages_;
    CheckUi& ui_;
    bool idLessMark_ = false;
    // The CAN node of the unit the last ID read read (0 = none): an ID set reaches it alone.
    uint32_t idReadNode_ = 0;
};

// The measurement's hooks over the device stack: the poll of the transport, the recheck of the
// procedures, closing the devices; saving, closing the main window and refreshing the views
// through functions the program gives.
class DeviceMeasurementHooks : public MeasurementHooks {
public:
    DeviceMeasurementHooks(SensorTransport& transport, SensorProcedures& procedures)
        : transport_(transport), procedures_(procedures) {}
    int PollChannels(PollItems& items, uint32_t timeoutMs) override { return transport_.PollChannels(items, timeoutMs); }
    int RecheckConnection() override { return procedures_.RecheckConnection(); }
    int CloseDevices() override { return transport_.CloseDevices(); }
    int SaveLog() override { return save ? save() : 0; }
    void RequestMainWindowClose() override {
        if (closeMainWindow) closeMainWindow();
    }
    void RefreshViews(std::size_t index) override {
        if (refreshViews) refreshViews(index);
    }
    void MeasurementEnded() override {
        if (measurementEnded) measurementEnded();
    }

    std::function<int()> save;
    std::function<void()> closeMainWindow;
    std::function<void(std::size_t)> refreshViews;
    std::function<void()> measurementEnded;

private:
    SensorTransport& transport_;
    SensorProcedures& procedures_;
};

}  // namespace ridaviri
