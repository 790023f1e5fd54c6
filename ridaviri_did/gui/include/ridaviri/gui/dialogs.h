// The monitor's modal dialogs on Qt: each binds its controls to its Qt-free model and holds no
// rule of its own. Every control's object name is its role (btnOk, edtMax, chkCh3, ...), so
// tests fill a dialog through its own controls. Escape never closes these dialogs, and Enter
// in a field or list does not close them either.
#pragma once

#include <QDialog>

#include <array>

#include "qtsupport/dialog_runner.h"
#include "ridaviri/message_function.h"
#include "ridaviri/calibration_dialog.h"
#include "ridaviri/ui/device_dialogs.h"
#include "ridaviri/ui/setting_dialogs.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace ridaviri::gui {

// The dialogs' common keys: Escape is ignored; Enter presses a focused button and does nothing
// in a field or list.
class MonitorDialog : public QDialog {
public:
    explicit MonitorDialog(QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // A push button with its object name, never the default button.
    QPushButton* Button(const char* text, const char* name);
};

// The opening dialog: no title, a picture, the version, the interface and OK / "終了".
class COpeningDlg : public MonitorDialog {
public:
    COpeningDlg(int choice, QWidget* parent);
    int Choice() const;

private:
    std::array<QRadioButton*, 3> radios_{};
};

class CSettingsDlg : public MonitorDialog {
public:
    CSettingsDlg(SettingsDialogModel& model, qtsupport::DialogRunner& runner, QWidget* parent);
    void Reload();

private:
    void OnPrecision();
    void OnChannelNumbers();
    void OnInterval();
    void OnChannelSelection(ChannelSelectionKind kind);
    void OnSend();

    SettingsDialogModel& model_;
    qtsupport::DialogRunner& runner_;
    QTableWidget* list_ = nullptr;
};

class CPrecisionDlg : public MonitorDialog {
public:
    CPrecisionDlg(uint8_t model, QWidget* parent);
    uint8_t Model() const;

private:
    QRadioButton* standard_ = nullptr;
    QRadioButton* high_ = nullptr;
};

class CChannelNumberDlg : public MonitorDialog {
public:
    CChannelNumberDlg(ChannelNumberDialogModel& model, QWidget* parent);
    // Closing it any way recomputes the duplicate mark, as "閉じる" does.
    void reject() override;

private:
    ChannelNumberDialogModel& model_;
    QComboBox* ids_ = nullptr;
    QComboBox* channels_ = nullptr;
};

class CIntervalDlg : public MonitorDialog {
public:
    CIntervalDlg(IntervalDialogModel& model, QWidget* parent);

private:
    IntervalDialogModel& model_;
    QLineEdit* interval_ = nullptr;
};

// The channel selection of every variant: twenty boxes in four columns of five.
class CChannelSelectDlg : public MonitorDialog {
public:
    CChannelSelectDlg(ChannelSelectionModel& model, QWidget* parent);
    void reject() override;  // "ｷｬﾝｾﾙ": nothing stored

private:
    void Reload();
    void Store();

    ChannelSelectionModel& model_;
    std::array<QCheckBox*, kChannelCount> boxes_{};
};

class CGraphScalingDlg : public MonitorDialog {
public:
    CGraphScalingDlg(GraphScalingDialogModel& model, QWidget* parent);

private:
    void OnOk();

    GraphScalingDialogModel& model_;
    QComboBox* multiplier_ = nullptr;
    QLineEdit* max_ = nullptr;
    QLineEdit* mini_ = nullptr;
};

class CIdSettingDlg : public MonitorDialog {
public:
    CIdSettingDlg(IdSettingDialogModel& model, QWidget* parent);
    // Closing it any way runs the close of "閉じる" (the recheck).
    void reject() override;

private:
    void Reload();
    void Busy(bool busy);
    void OnRead();
    void OnSet();
    void OnDisconnect();
    void OnClose();

    IdSettingDialogModel& model_;
    QLineEdit* serial_ = nullptr;
    QLineEdit* id_ = nullptr;
    QPushButton* read_ = nullptr;
    QPushButton* set_ = nullptr;
    QPushButton* disconnect_ = nullptr;
    bool closing_ = false;
};

class CPowerFrequencyDlg : public MonitorDialog {
public:
    CPowerFrequencyDlg(PowerFrequencyDialogModel& model, QWidget* parent);

private:
    PowerFrequencyDialogModel& model_;
    QRadioButton* hz50_ = nullptr;
    QRadioButton* hz60_ = nullptr;
};

class CCalibrationDlg : public MonitorDialog {
public:
    CCalibrationDlg(CalibrationDialogModel& model, QWidget* parent);

private:
    void Reload();
    void OnMeasure();
    void OnCompute();

    CalibrationDialogModel& model_;
    QRadioButton* pass1_ = nullptr;
    QRadioButton* pass2_ = nullptr;
    QLineEdit* reference_ = nullptr;
    std::array<QLineEdit*, 2> shown_{};
    std::array<std::array<QLineEdit*, kChannelCount>, 2> fields_{};
    QPushButton* compute_ = nullptr;
};

class CManufacturingNumberDlg : public MonitorDialog {
public:
    CManufacturingNumberDlg(ManufacturingNumberModel& model, QWidget* parent);

private:
    ManufacturingNumberModel& model_;
    QComboBox* channels_ = nullptr;
    QLineEdit* serial_ = nullptr;
};

// The version box.
class CVersionDlg : public MonitorDialog {
public:
    explicit CVersionDlg(QWidget* parent);
};

}  // namespace ridaviri::gui
