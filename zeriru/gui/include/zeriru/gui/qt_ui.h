// The editor's Ui on Qt widgets: message boxes with the exact texts and Japanese buttons, the
// input box, file dialogs and the folder browser over Windows paths of the prefix, the help
// pages, the busy cursor and the progress of long work.
#pragma once

#include "zeriru/ui.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace zeriru::gui {

class QtUi : public Ui {
public:
    explicit QtUi(QWidget* parent = nullptr) : parent_(parent) {}
    // The window the boxes belong to.
    void SetParent(QWidget* parent) { parent_ = parent; }
    // Where ShowProgress goes (the main window's progress bar).
    std::function<void(uint64_t position, uint64_t total, std::string_view text)> onProgress;

    bool ChooseOpenFile(std::string_view filter, std::string_view folder, std::string& path) override;
    bool ChooseSaveFile(std::string_view filter, std::string_view defaultExtension, std::string_view folder,
                        std::string& path) override;
    bool ChooseFiles(FileDialogRequest& request) override;
    bool ChooseFolder(std::string_view caption, std::string& folder) override;
    void ShowHelp(int topic) override;
    void SetBusy(bool busy) override;
    void ShowProgress(uint64_t position, uint64_t total, std::string_view text) override;
    // Runs pending events at most every few milliseconds, so a loop over 32,768 items stays
    // fast while the abort button and repainting still work.
    void ProcessMessages() override;

protected:
    Answer Message(std::string_view text, MessageButtons buttons, MessageIcon icon, std::string_view caption) override;
    Answer MessageWithHelp(std::string_view text, MessageButtons buttons, MessageIcon icon, std::string_view caption,
                           int helpTopic) override;
    bool Input(std::string_view caption, std::string_view prompt, std::string& value, bool masked) override;

private:
    QPointer<QWidget> parent_;
    QElapsedTimer sinceEvents_;
};

// "description|pattern|..." as Qt name filters; each pattern is offered in its own and in
// upper and lower case ("*.pj2" also finds "A.PJ2" on a file system that minds case).
QStringList NameFilters(std::string_view filter);

}  // namespace zeriru::gui
