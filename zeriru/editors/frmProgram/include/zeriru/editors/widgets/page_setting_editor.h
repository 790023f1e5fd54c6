// The setting editor of a page dialog over its model, as the main window runs it: Fill copies
// the project for the dialogs to read and makes the model from it, ShowModal runs the dialog,
// Write lets the model store its keys.
//   return std::make_unique<PageSettingEditor<UnInstallOptionDialogModel, TfrmUnInstallOptionDialog>>(
//       context, runner, parent, [](EditorToolkit&, bool readOnly) { return std::make_unique<...>(readOnly); },
//       [](UnInstallOptionDialogModel& m, TIniDocument& project, EditorToolkit&) { m.Write(project); });
#pragma once

#include "zeriru/editors/widgets/editor_toolkit.h"
#include "zeriru/ini_document.h"
#include "zeriru/setting_editor.h"

#include <QDialog>

#include <functional>
#include <memory>

namespace zeriru::gui {

template <typename Model, typename Dialog>
class PageSettingEditor : public SettingEditor {
public:
    using MakeModel = std::function<std::unique_ptr<Model>(EditorToolkit& kit, bool readOnly)>;
    using WriteModel = std::function<void(Model& model, TIniDocument& project, EditorToolkit& kit)>;

    PageSettingEditor(SettingEditorContext& context, qtsupport::DialogRunner& runner, QWidget* parent, MakeModel make,
                      WriteModel write)
        : kit_(EditorToolkit::ForSettingEditor(context, runner, parent)), make_(std::move(make)),
          write_(std::move(write)) {}

    void Fill(const TIniDocument& project, bool readOnly) override {
        project_ = project;
        kit_->data().SetProject(&project_);
        model_ = make_(*kit_, readOnly);
        model_->Fill(project_);
    }
    bool ShowModal() override {
        Dialog dialog(*kit_, *model_);
        return kit_->Run(dialog) == QDialog::Accepted;
    }
    void Write(TIniDocument& project) override { write_(*model_, project, *kit_); }

private:
    std::unique_ptr<EditorToolkit> kit_;
    MakeModel make_;
    WriteModel write_;
    TIniDocument project_;
    std::unique_ptr<Model> model_;
};

}  // namespace zeriru::gui
