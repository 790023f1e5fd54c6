#include "zeriru/editors/widgets/condition_editor.h"

#include "qtsupport/sjis_text.h"
#include "zeriru/defines.h"
#include "zeriru/editors/widgets/define_widgets.h"
#include "zeriru/editors/widgets/editor_toolkit.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace zeriru::gui {

using qtsupport::ToQString;
using qtsupport::ToSjis;
namespace cc = condition_control;

namespace {

QLineEdit* Edit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

// A form row whose label can be hidden with its field.
QLabel* Row(QFormLayout* form, const char* caption, QWidget* field) {
    auto* label = new QLabel(QString::fromUtf8(caption));
    label->setBuddy(field);
    form->addRow(label, field);
    return label;
}

}  // namespace

TConditionEditor::TConditionEditor(EditorToolkit& kit, const std::vector<std::string>& folderDefines,
                                   const std::vector<std::string>& iniDefines, QWidget* parent)
    : QWidget(parent), kit_(kit) {
    setObjectName("ConditionEditor");
    BuildWidgets(folderDefines, iniDefines);
    Load(ConditionRecord{});
}

void TConditionEditor::BuildWidgets(const std::vector<std::string>& folderDefines,
                                    const std::vector<std::string>& iniDefines) {
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    timing_ = new QComboBox(this);
    timing_->setObjectName(cc::kTiming);
    for (int t = 0; t < kConditionTimingCount; ++t) timing_->addItem(ToQString(ConditionTimingText(t)));
    ni_ = new QLabel(QStringLiteral("に"), this);
    type_ = new QComboBox(this);
    type_->setObjectName(cc::kType);
    for (int t = 0; t < kConditionTypeCount; ++t) type_->addItem(ToQString(ConditionTypeText(t)));
    suffix_ = new QLabel(QStringLiteral("処理を行う。"), this);
    top->addWidget(timing_);
    top->addWidget(ni_);
    top->addWidget(type_, 1);
    top->addWidget(suffix_);
    layout->addLayout(top);

    registryGroup_ = new QGroupBox(QStringLiteral("条件"), this);
    registryGroup_->setObjectName("grpConditionRegistry");
    auto* reg = new QFormLayout(registryGroup_);
    rootKey_ = new QComboBox(registryGroup_);
    rootKey_->setObjectName(cc::kRootKey);
    for (std::string_view root : RootKeyChoices()) rootKey_->addItem(ToQString(root));
    subKey_ = Edit(registryGroup_, cc::kSubKey);
    valueName_ = Edit(registryGroup_, cc::kValueName);
    value_ = Edit(registryGroup_, cc::kValue);
    Row(reg, "ルートキー(&R)", rootKey_);
    Row(reg, "サブキー(&K)", subKey_);
    valueNameLabel_ = Row(reg, "値名(&N)", valueName_);
    valueLabel_ = Row(reg, "値(&V)", value_);

    folderGroup_ = new QGroupBox(QStringLiteral("条件"), this);
    folderGroup_->setObjectName("grpConditionFolder");
    auto* folder = new QFormLayout(folderGroup_);
    folderDefine_ = new TDefineCombo(folderGroup_, cc::kFolderDefine);
    folderDefine_->SetEntries(folderDefines);
    folderParameter_ = new TParameterField(kit_, folderDefine_, cc::kFolderParameter, "btnConditionParameter",
                                           folderGroup_);
    fileName_ = Edit(folderGroup_, cc::kFileName);
    Row(folder, "フォルダ定数(&D)", folderDefine_);
    Row(folder, "パラメータ(&P)", folderParameter_);
    fileNameLabel_ = Row(folder, "ファイル(&F)", fileName_);

    iniGroup_ = new QGroupBox(QStringLiteral("条件"), this);
    iniGroup_->setObjectName("grpConditionIni");
    auto* ini = new QFormLayout(iniGroup_);
    iniDefine_ = new TDefineCombo(iniGroup_, cc::kIniDefine);
    iniDefine_->SetEntries(iniDefines);
    iniParameter_ = new TParameterField(kit_, iniDefine_, cc::kIniParameter, "btnConditionIniParameter", iniGroup_);
    section_ = Edit(iniGroup_, cc::kSection);
    iniValueName_ = Edit(iniGroup_, cc::kIniValueName);
    iniValue_ = Edit(iniGroup_, cc::kIniValue);
    Row(ini, "フォルダ定数(&D)", iniDefine_);
    Row(ini, "パラメータ(&P)", iniParameter_);
    Row(ini, "セクション名(&S)", section_);
    iniValueNameLabel_ = Row(ini, "値名(&N)", iniValueName_);
    iniValueLabel_ = Row(ini, "値(&V)", iniValue_);

    layout->addWidget(registryGroup_);
    layout->addWidget(folderGroup_);
    layout->addWidget(iniGroup_);
    layout->addStretch();

    const auto changed = [this] {
        Sync();
        UpdateView();
        Q_EMIT conditionChanged();
    };
    connect(timing_, &QComboBox::currentIndexChanged, this, changed);
    connect(type_, &QComboBox::currentIndexChanged, this, changed);
}

void TConditionEditor::Load(const ConditionRecord& record) {
    model_ = ConditionEditorModel{};
    model_.Load(record);
    const QSignalBlocker blockTiming(timing_);
    const QSignalBlocker blockType(type_);
    timing_->setCurrentIndex(model_.timing);
    type_->setCurrentIndex(model_.type);
    rootKey_->setCurrentIndex(rootKey_->findText(ToQString(model_.registry.rootKey)));
    if (rootKey_->currentIndex() < 0) rootKey_->setCurrentIndex(1);
    subKey_->setText(ToQString(model_.registry.subKey));
    valueName_->setText(ToQString(model_.registry.valueName));
    value_->setText(ToQString(model_.registry.value));
    folderDefine_->SetDefine(model_.folder.define);
    folderParameter_->SetParameter(model_.folder.parameter);
    fileName_->setText(ToQString(model_.folder.fileName));
    iniDefine_->SetDefine(model_.ini.define);
    iniParameter_->SetParameter(model_.ini.parameter);
    section_->setText(ToQString(model_.ini.section));
    iniValueName_->setText(ToQString(model_.ini.valueName));
    iniValue_->setText(ToQString(model_.ini.value));
    UpdateView();
}

void TConditionEditor::Sync() {
    model_.timing = timing_->currentIndex();
    model_.type = type_->currentIndex();
    model_.registry.rootKey = ToSjis(rootKey_->currentText());
    model_.registry.subKey = ToSjis(subKey_->text());
    model_.registry.valueName = ToSjis(valueName_->text());
    model_.registry.value = ToSjis(value_->text());
    model_.folder.define = folderDefine_->define();
    model_.folder.parameter = folderParameter_->parameter();
    model_.folder.fileName = ToSjis(fileName_->text());
    model_.ini.define = iniDefine_->define();
    model_.ini.parameter = iniParameter_->parameter();
    model_.ini.section = ToSjis(section_->text());
    model_.ini.valueName = ToSjis(iniValueName_->text());
    model_.ini.value = ToSjis(iniValue_->text());
}

void TConditionEditor::UpdateView() {
    // Without its own timing combo (the program list) the type always shows.
    ConditionEditorModel shown = model_;
    if (!timingVisible_) shown.timing = kConditionInstall;
    const ConditionEditorModel::Group group = shown.VisibleGroup();
    timing_->setVisible(timingVisible_);
    ni_->setVisible(timingVisible_ && shown.TypeVisible());
    type_->setVisible(shown.TypeVisible());
    suffix_->setVisible(timingVisible_ && shown.TypeVisible());
    registryGroup_->setVisible(group == ConditionEditorModel::Group::Registry);
    folderGroup_->setVisible(group == ConditionEditorModel::Group::Folder);
    iniGroup_->setVisible(group == ConditionEditorModel::Group::Ini);
    for (QWidget* w : {static_cast<QWidget*>(valueNameLabel_), static_cast<QWidget*>(valueName_),
                       static_cast<QWidget*>(iniValueNameLabel_), static_cast<QWidget*>(iniValueName_)})
        w->setVisible(shown.ShowsValueName());
    for (QWidget* w : {static_cast<QWidget*>(valueLabel_), static_cast<QWidget*>(value_),
                       static_cast<QWidget*>(iniValueLabel_), static_cast<QWidget*>(iniValue_)})
        w->setVisible(shown.ShowsValue());
    fileNameLabel_->setVisible(shown.ShowsFileName());
    fileName_->setVisible(shown.ShowsFileName());
}

ConditionRecord TConditionEditor::Record(int option, int processing) {
    Sync();
    return model_.Record(option, processing);
}

CheckOutcome TConditionEditor::Check(const ConditionEditorModel::CheckOptions& options) {
    Sync();
    if (!timingVisible_) return kit_.advancedMode() ? model_.CheckOperands(options) : std::nullopt;
    return model_.Check(kit_.advancedMode(), options);
}

const ConditionEditorModel& TConditionEditor::model() {
    Sync();
    return model_;
}

void TConditionEditor::SetTimingVisible(bool visible) {
    timingVisible_ = visible;
    UpdateView();
}

void TConditionEditor::SetReadOnly(bool readOnly) {
    for (QWidget* w : findChildren<QWidget*>()) {
        if (!qobject_cast<QLabel*>(w) && !qobject_cast<QGroupBox*>(w)) w->setEnabled(!readOnly);
    }
}

}  // namespace zeriru::gui
