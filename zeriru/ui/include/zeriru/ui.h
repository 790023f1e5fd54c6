// The editor's user-interface seam. Every procedure that shows a message, asks a question,
// asks for a text or a file, or shows progress does so through Ui, so the same procedure runs
// behind the Qt windows, on the command line and in tests. All texts are Shift-JIS.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

class Ui {
public:
    virtual ~Ui() = default;

    // A message box; returns the button the user chose. `caption` empty: the application's
    // title.
    Answer ShowMessage(std::string_view text, MessageButtons buttons = MessageButtons::Ok,
                       MessageIcon icon = MessageIcon::None, std::string_view caption = {}) {
        return Message(text, buttons, icon, caption);
    }
    // An input box; false when cancelled. `value` holds the initial text and receives the
    // typed one. `masked` shows '*' for each character (passwords).
    bool InputText(std::string_view caption, std::string_view prompt, std::string& value, bool masked = false) {
        return Input(caption, prompt, value, masked);
    }
    // File dialogs. `filter` is "description|pattern|..."; `folder` the initial folder
    // (Windows path). False when cancelled; `path` receives the chosen Windows path.
    virtual bool ChooseOpenFile(std::string_view filter, std::string_view folder, std::string& path) = 0;
    virtual bool ChooseSaveFile(std::string_view filter, std::string_view defaultExtension,
                                std::string_view folder, std::string& path) = 0;
    // Progress of long work: `position` of `total` (total 0 hides the bar), and a line of text.
    virtual void ShowProgress(uint64_t position, uint64_t total, std::string_view text) = 0;
    // Lets the interface handle its pending events (repaint, an abort button) between the
    // items of long work.
    virtual void ProcessMessages() = 0;

    // Shorthands.
    void Inform(std::string_view text) { ShowMessage(text, MessageButtons::Ok, MessageIcon::Information); }
    void Error(std::string_view text) { ShowMessage(text, MessageButtons::Ok, MessageIcon::Error); }
    bool AskYesNo(std::string_view text) {
        return ShowMessage(text, MessageButtons::YesNo, MessageIcon::Question) == Answer::Yes;
    }

protected:
    virtual Answer Message(std::string_view text, MessageButtons buttons, MessageIcon icon,
                           std::string_view caption) = 0;
    virtual bool Input(std::string_view caption, std::string_view prompt, std::string& value, bool masked) = 0;
};

// A Ui for tests and automation: every request is recorded, answers come from queues filled
// in advance. An empty queue answers the safe way: No/Cancel for questions, OK for plain
// messages, cancel for input and file dialogs. Thread-safe.
class ScriptedUi : public Ui {
public:
    struct Shown {
        std::string kind;  // "message", "input", "open", "save"
        std::string text;  // message text, or the prompt
        MessageButtons buttons = MessageButtons::Ok;
        MessageIcon icon = MessageIcon::None;
        std::string caption;
    };

    void QueueAnswer(Answer answer);
    // Queues the reply of the next input or file dialog; nullopt-like cancel with `ok` false.
    void QueueText(std::string text, bool ok = true);

    bool ChooseOpenFile(std::string_view filter, std::string_view folder, std::string& path) override;
    bool ChooseSaveFile(std::string_view filter, std::string_view defaultExtension, std::string_view folder,
                        std::string& path) override;
    void ShowProgress(uint64_t position, uint64_t total, std::string_view text) override;
    void ProcessMessages() override;

    std::vector<Shown> shown() const;
    // The texts of the message boxes shown, in order.
    std::vector<std::string> messages() const;
    std::vector<std::string> progressTexts() const;
    int processMessagesCalls() const;
    void clear();

protected:
    Answer Message(std::string_view text, MessageButtons buttons, MessageIcon icon,
                   std::string_view caption) override;
    bool Input(std::string_view caption, std::string_view prompt, std::string& value, bool masked) override;

private:
    bool NextText(std::string& value);
    mutable std::mutex mutex_;
    std::deque<Answer> answers_;
    std::deque<std::pair<std::string, bool>> texts_;
    std::vector<Shown> shown_;
    std::vector<std::string> progress_;
    int processed_ = 0;
};

}  // namespace zeriru
