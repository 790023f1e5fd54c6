// TMainForm, the editor's main window: menus and toolbar made of one QAction per command, the
// settings page with the seven setting buttons, the message page bound to the build, the
// status bar, and the 500 ms refresh. Everything it shows comes from MainWindowModel; every
// dialog opens through the dialog runner and every message through the Ui, so tests drive the
// whole window offscreen.
#pragma once

#include "qtsupport/dialog_runner.h"
#include "zeriru/gui/editor_windows.h"
#include "zeriru/main_window_model.h"

#include <QMainWindow>

#include <array>
#include <map>
#include <thread>

class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableView;
class QTimer;
class QToolBar;

namespace zeriru::gui {

class BuildMessageListModel;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    struct Seams {
        Ui* ui = nullptr;
        qtsupport::DialogRunner* runner = nullptr;
        EditorEnvironment* environment = nullptr;
        // The windows of other units; DefaultEditorWindows when empty.
        std::optional<EditorWindows> windows;
        // Opens an address in the browser; the shell when empty.
        std::function<bool(const std::string&)> openUrl;
        // Fetches the update information; over HTTP into the editor's folder when empty.
        std::function<std::optional<UpdateInformation>(const HttpGetRequest&)> fetchUpdate;
    };

    explicit TMainForm(Seams seams);
    ~TMainForm() override;

    MainWindowModel& model() { return *model_; }
    QAction* action(Action a) const { return actions_.at(a); }
    BuildMessageListModel& messages() { return *messages_; }

    // Start-up after the window exists: opens the project of the command line or the last one,
    // restores the window size and starts the update check when it is on.
    void StartUp(const std::vector<std::string>& args);
    // The 500 ms refresh: state from the model, then every control.
    void RefreshFromModel();
    // Waits for a start-up update check still running (tests).
    void WaitForUpdateCheck();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildActions();
    void BuildMenus();
    void BuildToolBar();
    void BuildPages();
    void BuildStatusBar();
    void UpdateView();
    void FillHistoryMenu(QMenu* menu);
    int RunDialog(QDialog& dialog);

    // Command handlers.
    void OnBuild();
    void OnProcessOrder();
    void OnOptions();
    void OnProtect();
    void OnInitialize();
    void OnAbout();
    void OnCheckUpdate();
    void OnShowHint(HintDialogModel& hint);

    Seams s_;
    EditorWindows windows_;
    std::unique_ptr<MainWindowModel> model_;
    std::map<Action, QAction*> actions_;
    QMenu* historyMenu_ = nullptr;
    QMenu* toolbarHistory_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QTabWidget* pages_ = nullptr;
    QWidget* optionPage_ = nullptr;
    QWidget* messagePage_ = nullptr;
    std::array<QPushButton*, kSettingEditorCount> marks_{};
    std::array<QPushButton*, kSettingEditorCount> labels_{};
    BuildMessageListModel* messages_ = nullptr;
    QTableView* messageView_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* progressLabel_ = nullptr;
    QPushButton* abort_ = nullptr;
    std::array<QLabel*, 4> panels_{};
    QTimer* timer_ = nullptr;
    std::thread updateCheck_;
    bool closeAfterBuild_ = false;
};

// A second copy of the editor: brings the first copy's window to the front and says so.
void HandOverToFirstCopy(Ui& ui);

// The whole window program: single instance, environment, window, start-up, event loop,
// shut-down. Returns the process exit code.
int RunWindowProgram(int& argc, char** argv, const std::vector<std::string>& args, EditorEnvironment::Paths paths);

}  // namespace zeriru::gui
