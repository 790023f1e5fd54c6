// The application information dialog TfrmAppInfoDialog ("アプリケーション情報の設定") on its
// model, with the logo preview, and the setting editor that the main window runs for it.
#pragma once

#include "zeriru/editors/app_info_dialog_model.h"
#include "zeriru/editors/widgets/dialog_frame.h"
#include "zeriru/setting_editor.h"

#include <QPixmap>
#include <QWidget>

#include <array>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QStackedWidget;
class QTabWidget;

namespace qtsupport {
class DialogRunner;
}

namespace zeriru::gui {

class EditorToolkit;
class TDefineCombo;
class TParameterField;

// The preview frame of the logo (556 x 78 pixels) with its three sample lines.
class TLogoPreview : public QWidget {
    Q_OBJECT
public:
    explicit TLogoPreview(QWidget* parent = nullptr);
    // What to draw: the placement of the model and the picture (null: none).
    void Show(const LogoPreview& preview, const QPixmap& picture);
    const LogoPreview& preview() const { return preview_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LogoPreview preview_;
    QPixmap picture_;
};

class TfrmAppInfoDialog : public TEditorDialogFrame {
    Q_OBJECT
public:
    TfrmAppInfoDialog(EditorToolkit& kit, AppInfoDialogModel& model);

    TLogoPreview* logoPreview() const { return preview_; }

protected:
    bool AcceptOk() override;

private:
    // The controls of one folder group, bound to the model's group.
    struct GroupControls {
        FolderGroup* group = nullptr;
        TDefineCombo* define = nullptr;
        TParameterField* parameter = nullptr;
    };

    void BuildBasicPage(QTabWidget* pages);
    void BuildFolderPage(QTabWidget* pages);
    QWidget* BuildPerVersionPage(QTabWidget* tabs, const char* name, const char* caption, FolderGroup& common,
                                 std::array<FolderGroup, kWindowsVersionCount>& groups);
    QGroupBox* BuildGroup(QWidget* parent, FolderGroup& group, const char* defineCaption, const char* parameterCaption,
                          const QString& buttonCaption);
    void BuildVersionPage(QTabWidget* pages);
    void BuildLogoPage(QTabWidget* pages);
    void Load();
    void Store();
    void UpdateView();
    void UpdateStatus();
    void UpdatePreview();
    void ChooseMainFile();
    void TakeVersion();
    void ChooseLogo();
    void OpenParameterDialog(const std::string& field);

    EditorToolkit& kit_;
    AppInfoDialogModel& model_;
    bool loading_ = false;
    QLineEdit *title_ = nullptr, *softName_ = nullptr, *copyright_ = nullptr, *mainFileName_ = nullptr;
    QCheckBox* sameFolder_ = nullptr;
    QStackedWidget* folderModes_ = nullptr;
    std::vector<GroupControls> groups_;
    QGroupBox* fallbackGroup_ = nullptr;
    QLabel* status_ = nullptr;
    QListWidget* folderOptions_ = nullptr;
    std::array<QSpinBox*, AppInfoDialogModel::kVersionCount> versions_{};
    QWidget* takeVersion_ = nullptr;
    QCheckBox *logoEnabled_ = nullptr, *logoNoResize_ = nullptr, *logoNoCenter_ = nullptr, *logoTransparent_ = nullptr,
              *logoNoHeaderMes_ = nullptr;
    QLineEdit* logoFile_ = nullptr;
    QWidget* logoBrowse_ = nullptr;
    QTabWidget* logoPages_ = nullptr;
    QComboBox *logoPosition_ = nullptr, *logoSize_ = nullptr;
    QSpinBox *logoTop_ = nullptr, *logoLeft_ = nullptr, *logoWidth_ = nullptr, *logoHeight_ = nullptr;
    TLogoPreview* preview_ = nullptr;
};

// The setting editor of the main window's application information command.
std::unique_ptr<SettingEditor> MakeAppInfoEditor(SettingEditorContext& context, qtsupport::DialogRunner& runner,
                                                 QWidget* parent);

}  // namespace zeriru::gui
