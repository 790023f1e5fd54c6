// TConditionEditor: the tab "条件の指定" of an item dialog (the timing, the condition type and
// one operand group per type family), bound to ConditionEditorModel. An editor puts it on its
// condition page, fills it with Load, stores Record, and checks it with Check (advanced mode
// and a timing other than 0). Its controls carry the object names of condition_control, so a
// failed check focuses them through TEditorDialogFrame::ShowCheck.
#pragma once

#include "zeriru/editors/condition.h"

#include <QWidget>

#include <string>
#include <vector>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;

namespace zeriru::gui {

class EditorToolkit;
class TDefineCombo;
class TParameterField;

class TConditionEditor : public QWidget {
    Q_OBJECT
public:
    // `folderDefines`: the define list of types 3-4; `iniDefines`: of types 5-7 (each editor's
    // Part gives them).
    TConditionEditor(EditorToolkit& kit, const std::vector<std::string>& folderDefines,
                     const std::vector<std::string>& iniDefines, QWidget* parent = nullptr);

    // Fills every control from a stored record (its type's group; the others keep defaults).
    void Load(const ConditionRecord& record);
    // The record of what the controls show; fields 7 and 10 as given.
    ConditionRecord Record(int option = 0, int processing = 0);
    // The checks of advanced mode (the toolkit's mode), nullopt in standard mode or timing 0.
    CheckOutcome Check(const ConditionEditorModel::CheckOptions& options = {});
    // The model as the controls now stand.
    const ConditionEditorModel& model();

    // The group "条件" of types 3-4, for an editor's own buttons (the files editor adds one).
    QGroupBox* folderGroup() const { return folderGroup_; }
    // The program list keeps its own switch instead of the timing combo: hides the timing and
    // shows the type and its group whatever the model's timing.
    void SetTimingVisible(bool visible);
    // Read-only: every control disabled.
    void SetReadOnly(bool readOnly);

Q_SIGNALS:
    // The timing or the type changed (the dialog may re-check what depends on it).
    void conditionChanged();

private:
    void BuildWidgets(const std::vector<std::string>& folderDefines, const std::vector<std::string>& iniDefines);
    void Sync();        // controls -> model
    void UpdateView();  // model -> visibility

    EditorToolkit& kit_;
    ConditionEditorModel model_;
    bool timingVisible_ = true;
    QComboBox *timing_, *type_, *rootKey_;
    QLabel *ni_, *suffix_;
    QGroupBox *registryGroup_, *folderGroup_, *iniGroup_;
    QLineEdit *subKey_, *valueName_, *value_, *fileName_, *section_, *iniValueName_, *iniValue_;
    QLabel *valueNameLabel_, *valueLabel_, *fileNameLabel_, *iniValueNameLabel_, *iniValueLabel_;
    TDefineCombo *folderDefine_, *iniDefine_;
    TParameterField *folderParameter_, *iniParameter_;
};

}  // namespace zeriru::gui
