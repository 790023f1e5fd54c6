// TEditorDialogFrame: the frame every setting editor's dialog (and the project property
// dialogs) sits in. It gives the dialog its buttons "OK", "キャンセル" and "ヘルプ(&H)" (object
// names btnOk, btnCancel, btnHelp), asks "変更内容を破棄してもよろしいですか？" before changes are
// discarded (Cancel, Esc, the close box), switches pages with Ctrl+PageUp / Ctrl+PageDown
// (wrapping) and opens the help topic of the page shown, remembers the last page, locks a
// read-only project's dialog for viewing, and shows a failed check (message, page, field, the
// parameter dialog).
//
//   class TfrmIniFileDialog : public TEditorDialogFrame {
//       TfrmIniFileDialog(EditorToolkit& kit, IniFileDialogModel& model)
//           : TEditorDialogFrame(kit.ui(), "frmIniFileDialog", caption, kit.parent()) {
//           body()->addWidget(...);             // the editor's controls
//           SetHelpTopic(140);
//           if (model.readOnly()) LockDown();
//           TrackChanges();                     // after the controls are filled
//       }
//       bool AcceptOk() override { return !ShowCheck(model_.Check()); }
//   };
#pragma once

#include "zeriru/editor_settings.h"
#include "zeriru/editors/check_result.h"
#include "zeriru/editors/dialog_frame_model.h"
#include "zeriru/editors/item_list.h"

#include <QDialog>
#include <QDialogButtonBox>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QPushButton;
class QTabWidget;
class QVBoxLayout;

namespace zeriru {
class Ui;
}

namespace zeriru::gui {

// A button box with Japanese captions whose buttons are named btnOk, btnCancel and btnHelp
// ("ヘルプ(&H)"); Cancel rejects the dialog, OK is the caller's to connect.
QDialogButtonBox* MakeDialogButtons(QDialog* dialog, QDialogButtonBox::StandardButtons buttons);

// Brings every page that holds `widget` to the front (tab pages and stacked pages, nested ones
// included).
void BringToFront(QWidget* widget);

// Shows a failed check over `root`: the message box, the page (or the pages holding the
// field) in front, the field focused. Returns whether the parameter dialog is to open.
bool ShowCheckResult(QWidget& root, Ui& ui, const CheckResult& result);

class TEditorDialogFrame : public QDialog {
    Q_OBJECT
public:
    TEditorDialogFrame(Ui& ui, const char* objectName, const QString& caption, QWidget* parent = nullptr);
    ~TEditorDialogFrame() override;

    Ui& ui() const { return ui_; }
    // The area above the buttons.
    QVBoxLayout* body() const { return body_; }
    QDialogButtonBox* buttonBox() const { return buttons_; }
    QPushButton* okButton() const;
    QPushButton* cancelButton() const;
    QPushButton* helpButton() const;
    // The changed flag and the read-only state.
    DialogFrameModel& frame() { return frame_; }

    // The help topic of a dialog without pages (0: no help button).
    void SetHelpTopic(int topic);
    // The page control: Ctrl+PageUp / Ctrl+PageDown wrap around, help opens the topic of the
    // page shown. With `settings` and `lastTabKey` ("Dialog\Application") the dialog opens on
    // the page it was closed on while the last state is kept, and stores it however it closes.
    void UsePages(QTabWidget* pages, std::vector<int> helpTopics, EditorSettings* settings = nullptr,
                  std::string lastTabKey = {});
    PageSwitcher* pages() const { return switcher_.get(); }

    // Every later change of an edit, combo, check box, radio button, spin box or check-list
    // line of the dialog marks it changed. Call after the controls are filled.
    void TrackChanges();
    // A list of the dialog whose changes count as the dialog's (ItemList::changed()).
    void TrackList(const ItemList& list) { lists_.push_back(&list); }
    void MarkChanged() { frame_.MarkChanged(); }
    // Whether anything tracked was changed.
    bool Changed() const;

    // A read-only project: every edit, combo, check box, list and button disabled, OK and
    // `hidden` hidden, Cancel, Help and `keep` usable. The page controls still switch.
    void LockDown(const std::vector<QWidget*>& hidden = {}, const std::vector<QWidget*>& keep = {});

    // A failed check (nullopt: nothing): its message, its page in front, its field focused;
    // with `openParameterDialog` the "詳細" of the TParameterField that holds the field runs
    // (or onParameterDialog when set). Returns true when there was a failure to show.
    bool ShowCheck(const CheckOutcome& result);
    std::function<void(const std::string& field)> onParameterDialog;

    // What OK does when AcceptOk is not overridden: true closes the dialog with OK.
    std::function<bool()> onOk;

    void reject() override;
    void done(int result) override;

protected:
    // OK: true closes the dialog with OK.
    virtual bool AcceptOk() { return onOk ? onOk() : true; }

private:
    void Ok();
    void Help();
    void ShowPage(int page);

    Ui& ui_;
    QVBoxLayout* body_;
    QDialogButtonBox* buttons_;
    DialogFrameModel frame_;
    QTabWidget* pageControl_ = nullptr;
    std::unique_ptr<PageSwitcher> switcher_;
    EditorSettings* settings_ = nullptr;
    std::string lastTabKey_;
    int helpTopic_ = 0;
    std::vector<const ItemList*> lists_;
};

}  // namespace zeriru::gui
