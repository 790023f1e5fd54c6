#include "ridaviri/gui/dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTableWidget>
#include <QVBoxLayout>

#include "qtsupport/sjis_text.h"
#include "ridaviri/gui/icons.h"

namespace ridaviri::gui {
namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }
QString Q(const std::string& sjis) { return qtsupport::ToQString(sjis); }

QLabel* Label(const char* utf8, QWidget* parent) { return new QLabel(U(utf8), parent); }

QLineEdit* Field(const char* name, bool readOnly, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setReadOnly(readOnly);
    return field;
}

QRadioButton* Radio(const char* utf8, const char* name, QWidget* parent) {
    auto* radio = new QRadioButton(U(utf8), parent);
    radio->setObjectName(QString::fromLatin1(name));
    return radio;
}

QHBoxLayout* Buttons(std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* b : buttons) row->addWidget(b);
    return row;
}

// A wait cursor while a dialog talks to the units.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

// ------------------------------------------------------------------------------ keys

MonitorDialog::MonitorDialog(QWidget* parent) : QDialog(parent) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void MonitorDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape: event->accept(); return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            if (button->isEnabled()) button->click();
        }
        event->accept();
        return;
    default: QDialog::keyPressEvent(event);
    }
}

QPushButton* MonitorDialog::Button(const char* text, const char* name) {
    auto* button = new QPushButton(U(text), this);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// ------------------------------------------------------------------------------ opening

COpeningDlg::COpeningDlg(int choice, QWidget* parent) : MonitorDialog(parent) {
    setObjectName(QStringLiteral("COpeningDlg"));
    setWindowTitle(QString());
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picture"));
    picture->setPixmap(OpeningPicture(240, 150));
    auto* version = new QLabel(U(kOpeningVersionText), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    radios_ = {Radio("CANバス", "rbCan", this), Radio("USB", "rbUsb", this), Radio("ビューア機能", "rbViewer", this)};
    radios_.at(choice >= 0 && choice < 3 ? choice : 0)->setChecked(true);
    QPushButton* ok = Button("OK", "btnOk");
    QPushButton* end = Button("終了", "btnEnd");
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(end, &QPushButton::clicked, this, &QDialog::reject);

    auto* choices = new QVBoxLayout;
    for (QRadioButton* r : radios_) choices->addWidget(r);
    choices->addStretch();
    choices->addWidget(ok);
    choices->addWidget(end);
    auto* left = new QVBoxLayout;
    left->addWidget(picture);
    left->addWidget(version, 0, Qt::AlignRight);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(choices);
}

int COpeningDlg::Choice() const {
    for (int i = 0; i < 3; ++i) {
        if (radios_[i]->isChecked()) return i;
    }
    return kInterfaceCan;
}

// ------------------------------------------------------------------------------ settings

CSettingsDlg::CSettingsDlg(SettingsDialogModel& model, qtsupport::DialogRunner& runner, QWidget* parent)
    : MonitorDialog(parent), model_(model), runner_(runner) {
    setObjectName(QStringLiteral("CSettingsDlg"));
    setWindowTitle(U("設定"));
    list_ = new QTableWidget(this);
    list_->setObjectName(QStringLiteral("lstChannels"));
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->verticalHeader()->hide();
    const std::vector<ListColumn> columns = SettingsDialogModel::Columns();
    int width = 0;
    list_->setColumnCount(static_cast<int>(columns.size()));
    for (std::size_t c = 0; c < columns.size(); ++c) {
        list_->setHorizontalHeaderItem(static_cast<int>(c), new QTableWidgetItem(Q(columns[c].title)));
        list_->setColumnWidth(static_cast<int>(c), columns[c].width);
        width += columns[c].width;
    }
    list_->setMinimumSize(width + 4, 260);

    QPushButton* precision = Button("計測精度型選択", "btnPrecision");
    QPushButton* numbers = Button("チャンネル番号 設定", "btnChannelNumber");
    QPushButton* interval = Button("計測インターバル設定", "btnInterval");
    QPushButton* measured = Button("計測チャンネル 番号選択", "btnMeasuredChannels");
    QPushButton* calibration = Button("校正機能ON/OFF", "btnCalibrationSwitches");
    QPushButton* send = Button("設定内容送信", "btnSend");
    QPushButton* cancel = Button("ｷｬﾝｾﾙ", "btnCancel");
    connect(precision, &QPushButton::clicked, this, [this] { OnPrecision(); });
    connect(numbers, &QPushButton::clicked, this, [this] { OnChannelNumbers(); });
    connect(interval, &QPushButton::clicked, this, [this] { OnInterval(); });
    connect(measured, &QPushButton::clicked, this, [this] { OnChannelSelection(ChannelSelectionKind::MeasuredChannels); });
    connect(calibration, &QPushButton::clicked, this,
            [this] { OnChannelSelection(ChannelSelectionKind::CalibrationSwitches); });
    connect(send, &QPushButton::clicked, this, [this] { OnSend(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {precision, numbers, interval, measured, calibration}) buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(send);
    buttons->addWidget(cancel);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    Reload();
}

void CSettingsDlg::Reload() {
    const std::vector<SettingsDialogModel::Row> rows = model_.Rows();
    list_->setRowCount(0);
    list_->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c)
            list_->setItem(static_cast<int>(r), static_cast<int>(c), new QTableWidgetItem(Q(rows[r][c])));
    }
}

void CSettingsDlg::OnPrecision() {
    CPrecisionDlg dialog(model_.PrecisionModel(), this);
    if (runner_.Run(dialog) == QDialog::Accepted) model_.SetPrecisionModel(dialog.Model());
    Reload();
}

void CSettingsDlg::OnChannelNumbers() {
    ChannelNumberDialogModel numbers(model_.Data(), model_.Messages());
    CChannelNumberDlg dialog(numbers, this);
    runner_.Run(dialog);
    Reload();
}

void CSettingsDlg::OnInterval() {
    IntervalDialogModel interval(model_.Data(), model_.Messages());
    CIntervalDlg dialog(interval, this);
    runner_.Run(dialog);
    Reload();
}

void CSettingsDlg::OnChannelSelection(ChannelSelectionKind kind) {
    if (!model_.MayOpenChannelSelection()) return;
    ChannelSelectionModel selection(kind, model_.Data(), model_.Messages());
    CChannelSelectDlg dialog(selection, this);
    runner_.Run(dialog);
    Reload();
}

void CSettingsDlg::OnSend() {
    int result;
    {
        WaitCursor wait;
        setEnabled(false);
        result = model_.Send();
        setEnabled(true);
    }
    if (result == 0) accept();
}

CPrecisionDlg::CPrecisionDlg(uint8_t model, QWidget* parent) : MonitorDialog(parent) {
    setObjectName(QStringLiteral("CPrecisionDlg"));
    setWindowTitle(U("計測精度型選択"));
    auto* group = new QGroupBox(U("計測精度型選択"), this);
    standard_ = Radio("標準型", "rbStandard", group);
    high_ = Radio("高精度型", "rbHigh", group);
    (model == 0 ? standard_ : high_)->setChecked(true);
    auto* radios = new QVBoxLayout(group);
    radios->addWidget(standard_);
    radios->addWidget(high_);
    QPushButton* ok = Button("OK", "btnOk");
    QPushButton* cancel = Button("ｷｬﾝｾﾙ", "btnCancel");
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(Buttons({ok, cancel}));
}

uint8_t CPrecisionDlg::Model() const { return high_->isChecked() ? 1 : 0; }

CChannelNumberDlg::CChannelNumberDlg(ChannelNumberDialogModel& model, QWidget* parent)
    : MonitorDialog(parent), model_(model) {
    setObjectName(QStringLiteral("CChannelNumberDlg"));
    setWindowTitle(U("チャンネル番号設定"));
    ids_ = new QComboBox(this);
    ids_->setObjectName(QStringLiteral("cmbId"));
    for (const std::string& id : model.IdEntries()) ids_->addItem(Q(id));
    ids_->setCurrentIndex(-1);
    channels_ = new QComboBox(this);
    channels_->setObjectName(QStringLiteral("cmbChannel"));
    for (const std::string& ch : ChannelNumberDialogModel::ChannelEntries()) channels_->addItem(Q(ch));
    channels_->setCurrentIndex(-1);
    QPushButton* set = Button("設定", "btnSet");
    QPushButton* close = Button("閉じる", "btnClose");
    connect(set, &QPushButton::clicked, this, [this] { model_.Assign(ids_->currentIndex(), channels_->currentIndex()); });
    connect(close, &QPushButton::clicked, this, [this] {
        model_.Close();
        QDialog::accept();
    });
    auto* form = new QFormLayout;
    form->addRow(U("ID番号"), ids_);
    form->addRow(U("チャンネル番号"), channels_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(Buttons({set, close}));
}

void CChannelNumberDlg::reject() {
    model_.Close();
    QDialog::reject();
}

CIntervalDlg::CIntervalDlg(IntervalDialogModel& model, QWidget* parent) : MonitorDialog(parent), model_(model) {
    setObjectName(QStringLiteral("CIntervalDlg"));
    setWindowTitle(U("計測インターバル設定"));
    interval_ = Field("edtInterval", false, this);
    // The field takes digits only, as the toolkit's number field would.
    interval_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,10}")), interval_));
    interval_->setText(QString::number(model.Shown()));
    QPushButton* ok = Button("OK", "btnOk");
    QPushButton* cancel = Button("ｷｬﾝｾﾙ", "btnCancel");
    connect(ok, &QPushButton::clicked, this, [this] {
        if (model_.Apply(interval_->text().toULongLong()) == 0) accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addWidget(Label("計測インターバル", this));
    row->addWidget(interval_);
    row->addWidget(Label("msec", this));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(Label("500msec～3,600,000msecで100msec毎に変更可能", this));
    layout->addLayout(Buttons({ok, cancel}));
}

// ------------------------------------------------------------------------------ channel selection

CChannelSelectDlg::CChannelSelectDlg(ChannelSelectionModel& model, QWidget* parent)
    : MonitorDialog(parent), model_(model) {
    setObjectName(QStringLiteral("CChannelSelectDlg"));
    setWindowTitle(U(model.Title()));
    auto* group = new QGroupBox(U(model.GroupTitle()), this);
    auto* grid = new QGridLayout(group);
    for (int i = 0; i < kChannelCount; ++i) {
        auto* box = new QCheckBox(QStringLiteral("CH%1").arg(i + 1), group);
        box->setObjectName(QStringLiteral("chkCh%1").arg(i + 1));
        grid->addWidget(box, i % 5, i / 5);
        boxes_[i] = box;
    }
    QPushButton* clear = Button("全てクリア", "btnClearAll");
    QPushButton* all = Button("全て選択", "btnSelectAll");
    QPushButton* ok = Button("OK", "btnOk");
    QPushButton* cancel = Button("ｷｬﾝｾﾙ", "btnCancel");
    connect(clear, &QPushButton::clicked, this, [this] {
        model_.ClearAll();
        Reload();
    });
    connect(all, &QPushButton::clicked, this, [this] {
        model_.SelectAll();
        Reload();
    });
    connect(ok, &QPushButton::clicked, this, [this] {
        Store();
        if (model_.Ok() == 0) accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(clear);
    buttons->addWidget(all);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    Reload();
}

void CChannelSelectDlg::reject() {
    model_.Cancel();
    QDialog::reject();
}

void CChannelSelectDlg::Reload() {
    for (int i = 0; i < kChannelCount; ++i) {
        boxes_[i]->setEnabled(model_.Enabled(i));
        boxes_[i]->setChecked(model_.Checked(i));
    }
}

void CChannelSelectDlg::Store() {
    for (int i = 0; i < kChannelCount; ++i) model_.SetChecked(i, boxes_[i]->isChecked());
}

// ------------------------------------------------------------------------------ graph scaling

CGraphScalingDlg::CGraphScalingDlg(GraphScalingDialogModel& model, QWidget* parent)
    : MonitorDialog(parent), model_(model) {
    setObjectName(QStringLiteral("CGraphScalingDlg"));
    setWindowTitle(U(model.Title()));
    auto* time = new QGroupBox(U("時間軸設定（X軸）"), this);
    QLineEdit* interval = Field("edtInterval", true, time);
    interval->setText(QString::number(model.interval));
    multiplier_ = new QComboBox(time);
    multiplier_->setObjectName(QStringLiteral("cmbMultiplier"));
    for (const std::string& m : GraphScalingDialogModel::Multipliers()) multiplier_->addItem(Q(m));
    multiplier_->setCurrentIndex(model.multiplier);
    auto* timeRow = new QHBoxLayout(time);
    timeRow->addWidget(Label("目盛間隔", time));
    timeRow->addWidget(interval);
    timeRow->addWidget(Label("msec", time));
    timeRow->addWidget(Label("×", time));
    timeRow->addWidget(multiplier_);

    auto* data = new QGroupBox(U("データ軸設定（Y軸）"), this);
    max_ = Field("edtMax", false, data);
    max_->setText(Q(model.maxText));
    mini_ = Field("edtMin", false, data);
    mini_->setText(Q(model.miniText));
    auto* grid = new QGridLayout(data);
    grid->addWidget(Label("最大値", data), 0, 0);
    grid->addWidget(max_, 0, 1);
    grid->addWidget(Label("℃", data), 0, 2);
    grid->addWidget(Label(model.MaxNote(), data), 1, 1, 1, 2);
    grid->addWidget(Label("最小値", data), 2, 0);
    grid->addWidget(mini_, 2, 1);
    grid->addWidget(Label("℃", data), 2, 2);
    grid->addWidget(Label(model.MiniNote(), data), 3, 1, 1, 2);
    grid->addWidget(Label(model.StepNote(), data), 4, 0, 1, 3);

    QPushButton* ok = Button("OK", "btnOk");
    QPushButton* cancel = Button("ｷｬﾝｾﾙ", "btnCancel");
    connect(ok, &QPushButton::clicked, this, [this] { OnOk(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(time);
    layout->addWidget(data);
    layout->addLayout(Buttons({ok, cancel}));
}

void CGraphScalingDlg::OnOk() {
    model_.multiplier = multiplier_->currentIndex();
    model_.maxText = qtsupport::ToSjis(max_->text());
    model_.miniText = qtsupport::ToSjis(mini_->text());
    bool accepted = false;
    const GraphScalingDialogModel::Field failed = model_.Ok(&accepted);
    if (accepted) {
        accept();
        return;
    }
    if (failed == GraphScalingDialogModel::Field::Max) max_->setFocus();
    if (failed == GraphScalingDialogModel::Field::Mini) mini_->setFocus();
}

// ------------------------------------------------------------------------------ ID setting

CIdSettingDlg::CIdSettingDlg(IdSettingDialogModel& model, QWidget* parent) : MonitorDialog(parent), model_(model) {
    setObjectName(QStringLiteral("CIdSettingDlg"));
    setWindowTitle(U("ＩＤ番号設定"));
    serial_ = Field("edtSerial", true, this);
    id_ = Field("edtId", false, this);
    id_->setMaxLength(5);
    read_ = Button("読み込み", "btnRead");
    set_ = Button("設定", "btnSet");
    disconnect_ = Button("切断", "btnDisconnect");
    QPushButton* close = Button("閉じる", "btnClose");
    connect(read_, &QPushButton::clicked, this, [this] { OnRead(); });
    connect(set_, &QPushButton::clicked, this, [this] { OnSet(); });
    connect(disconnect_, &QPushButton::clicked, this, [this] { OnDisconnect(); });
    connect(close, &QPushButton::clicked, this, [this] { OnClose(); });
    auto* form = new QGridLayout;
    form->addWidget(Label("製造番号", this), 0, 0);
    form->addWidget(serial_, 0, 1);
    form->addWidget(Label("ID番号", this), 1, 0);
    form->addWidget(id_, 1, 1);
    form->addWidget(Label("（設定範囲：1～65535）", this), 2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(Buttons({read_, set_, disconnect_, close}));
    Reload();
}

void CIdSettingDlg::Reload() {
    serial_->setText(Q(model_.manufacturingNumber));
    id_->setText(Q(model_.idText));
    read_->setEnabled(model_.ReadEnabled());
    set_->setEnabled(model_.SetEnabled());
    disconnect_->setEnabled(model_.DisconnectEnabled());
    id_->setEnabled(model_.SetEnabled());
}

void CIdSettingDlg::Busy(bool busy) {
    setEnabled(!busy);
    if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
}

void CIdSettingDlg::OnRead() {
    Busy(true);
    model_.Read();
    Busy(false);
    Reload();
}

void CIdSettingDlg::OnSet() {
    Busy(true);
    model_.Set(qtsupport::ToSjis(id_->text()));
    Busy(false);
    id_->setText(Q(model_.idText));
}

void CIdSettingDlg::OnDisconnect() {
    model_.Disconnect();
    Reload();
}

void CIdSettingDlg::OnClose() {
    if (closing_) return;
    closing_ = true;
    hide();
    model_.Close();
    QDialog::accept();
}

void CIdSettingDlg::reject() { OnClose(); }

// ------------------------------------------------------------------------------ power frequency

CPowerFrequencyDlg::CPowerFrequencyDlg(PowerFrequencyDialogModel& model, QWidget* parent)
    : MonitorDialog(parent), model_(model) {
    setObjectName(QStringLiteral("CPowerFrequencyDlg"));
    setWindowTitle(U("電源周波数設定"));
    auto* group = new QGroupBox(U("電源周波数状態/選択"), this);
    hz50_ = Radio("50Hz", "rb50Hz", group);
    hz60_ = Radio("60Hz", "rb60Hz", group);
    if (model.checked == kPowerFrequency50Hz) hz50_->setChecked(true);
    if (model.checked == kPowerFrequency60Hz) hz60_->setChecked(true);
    auto* radios = new QHBoxLayout(group);
    radios->addWidget(hz50_);
    radios->addWidget(hz60_);
    QPushButton* send = Button("送信", "btnSend");
    QPushButton* cancel = Button("ｷｬﾝｾﾙ", "btnCancel");
    connect(send, &QPushButton::clicked, this, [this] {
        const int code = hz60_->isChecked() ? kPowerFrequency60Hz : kPowerFrequency50Hz;
        int result;
        {
            WaitCursor wait;
            result = model_.Send(code);
        }
        if (result == 0) accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(Buttons({send, cancel}));
}

// ------------------------------------------------------------------------------ calibration

CCalibrationDlg::CCalibrationDlg(CalibrationDialogModel& model, QWidget* parent)
    : MonitorDialog(parent), model_(model) {
    setObjectName(QStringLiteral("CCalibrationDlg"));
    setWindowTitle(Q(model.Title()));
    pass1_ = Radio("1回目", "rbPass1", this);
    pass2_ = Radio("2回目", "rbPass2", this);
    pass1_->setChecked(true);
    reference_ = Field("edtReference", false, this);
    QPushButton* measure = Button("計測", "btnMeasure");
    compute_ = Button("校正値計算", "btnCompute");
    QPushButton* cancel = Button("ｷｬﾝｾﾙ", "btnCancel");
    connect(measure, &QPushButton::clicked, this, [this] { OnMeasure(); });
    connect(compute_, &QPushButton::clicked, this, [this] { OnCompute(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* input = new QHBoxLayout;
    input->addWidget(pass1_);
    input->addWidget(pass2_);
    input->addSpacing(12);
    input->addWidget(Label("基準温度入力", this));
    input->addWidget(reference_);
    input->addWidget(Label("℃", this));
    input->addWidget(measure);

    auto* grid = new QGridLayout;
    grid->addWidget(Label("1回目", this), 0, 1, 1, 1, Qt::AlignHCenter);
    grid->addWidget(Label("2回目", this), 0, 2, 1, 1, Qt::AlignHCenter);
    grid->addWidget(Label("1回目", this), 0, 4, 1, 1, Qt::AlignHCenter);
    grid->addWidget(Label("2回目", this), 0, 5, 1, 1, Qt::AlignHCenter);
    grid->addWidget(Label("基準温度", this), 1, 0);
    for (int p = 0; p < 2; ++p) {
        shown_[p] = Field(p == 0 ? "edtReference1" : "edtReference2", true, this);
        grid->addWidget(shown_[p], 1, 1 + p);
    }
    for (int c = 0; c < kChannelCount; ++c) {
        const int row = 2 + c % 10;
        const int column = c < 10 ? 0 : 3;
        grid->addWidget(new QLabel(QStringLiteral("CH%1").arg(c + 1), this), row, column);
        for (int p = 0; p < 2; ++p) {
            QLineEdit* field = new QLineEdit(this);
            field->setObjectName(QStringLiteral("edtCh%1Pass%2").arg(c + 1).arg(p + 1));
            field->setReadOnly(true);
            field->setFixedWidth(90);
            grid->addWidget(field, row, column + 1 + p);
            fields_[p][c] = field;
        }
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(input);
    layout->addLayout(grid);
    layout->addLayout(Buttons({compute_, cancel}));
    Reload();
}

void CCalibrationDlg::Reload() {
    for (int p = 0; p < 2; ++p) {
        shown_[p]->setText(Q(model_.ReferenceText(p + 1)));
        for (int c = 0; c < kChannelCount; ++c) fields_[p][c]->setText(Q(model_.FieldText(p + 1, c + 1)));
    }
    compute_->setEnabled(model_.ComputeEnabled());
}

void CCalibrationDlg::OnMeasure() {
    {
        WaitCursor wait;
        setEnabled(false);
        model_.Measure(pass2_->isChecked() ? 2 : 1, qtsupport::ToSjis(reference_->text()));
        setEnabled(true);
    }
    if (model_.FocusReference()) reference_->setFocus();
    Reload();
}

void CCalibrationDlg::OnCompute() {
    if (model_.Compute() == 0) accept();
}

// ------------------------------------------------------------------------------ manufacturing number

CManufacturingNumberDlg::CManufacturingNumberDlg(ManufacturingNumberModel& model, QWidget* parent)
    : MonitorDialog(parent), model_(model) {
    setObjectName(QStringLiteral("CManufacturingNumberDlg"));
    setWindowTitle(U("製造番号表示"));
    channels_ = new QComboBox(this);
    channels_->setObjectName(QStringLiteral("cmbChannel"));
    for (const std::string& entry : model.Entries()) channels_->addItem(Q(entry));
    channels_->setCurrentIndex(-1);
    serial_ = Field("edtSerial", true, this);
    QPushButton* show = Button("表示", "btnShow");
    QPushButton* close = Button("閉じる", "btnClose");
    connect(show, &QPushButton::clicked, this, [this] {
        std::string text;
        if (model_.Show(channels_->currentIndex(), &text)) serial_->setText(Q(text));
    });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* form = new QFormLayout;
    form->addRow(U("チャンネル番号選択"), channels_);
    form->addRow(U("製造番号"), serial_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(Buttons({show, close}));
}

// ------------------------------------------------------------------------------ version

CVersionDlg::CVersionDlg(QWidget* parent) : MonitorDialog(parent) {
    setObjectName(QStringLiteral("CVersionDlg"));
    setWindowTitle(U("RAdizavizedivのﾊﾞｰｼﾞｮﾝ情報"));
    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    auto* text = new QLabel(U(kVersionBoxText), this);
    text->setObjectName(QStringLiteral("lblVersion"));
    QPushButton* ok = Button("OK", "btnOk");
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* row = new QHBoxLayout;
    row->addWidget(icon);
    row->addSpacing(12);
    row->addWidget(text, 1);
    row->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
}

}  // namespace ridaviri::gui
