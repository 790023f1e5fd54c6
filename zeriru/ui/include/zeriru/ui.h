// The editor's user-interface seam. Every procedure that shows a message, asks a question,
// asks for a text or a file, or shows progress does so through Ui, so the same procedure runs
// behind the Qt windows, on the command line and in tests. All texts are Shift-JIS.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

// What a file dialog shows; the chosen files come back in `paths` and `filterIndex`.
struct FileDialogRequest {
    enum class Mode { Open, OpenMany, Save };
    Mode mode = Mode::Open;
    std::string title;             // empty: the dialog's own caption
    std::string filter;            // "description|pattern|description|pattern..."
    int filterIndex = 1;           // 1-based; receives the filter chosen
    std::string defaultExtension;  // added to a typed name without extension ("PJ2")
    std::string folder;            // initial folder (Windows path)
    std::string fileName;          // preset file name
    bool overwritePrompt = false;  // Save: asks before an existing file is replaced
    std::vector<std::string> paths;  // the chosen Windows paths (several with OpenMany)
};

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
    // Any file dialog; false when cancelled. Default: cancelled.
    virtual bool ChooseFiles(FileDialogRequest& request) { return false; }
    // The folder browser with its caption; `folder` holds the initial folder and receives the
    // chosen one. False when cancelled. Default: cancelled.
    virtual bool ChooseFolder(std::string_view caption, std::string& folder) { return false; }
    // Opens a topic of the help file.
    virtual void ShowHelp(int topic) {}
    // The hourglass over the windows while `busy`; calls nest.
    virtual void SetBusy(bool busy) {}
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
    // Yes/No with a help button: help opens `helpTopic` and leaves the box open.
    Answer AskYesNoHelp(std::string_view text, int helpTopic) {
        return MessageWithHelp(text, MessageButtons::YesNo, MessageIcon::Question, {}, helpTopic);
    }

protected:
    virtual Answer Message(std::string_view text, MessageButtons buttons, MessageIcon icon,
                           std::string_view caption) = 0;
    virtual bool Input(std::string_view caption, std::string_view prompt, std::string& value, bool masked) = 0;
    // A message box that also carries a help button for `helpTopic`; without one of its own a
    // Ui shows the plain box.
    virtual Answer MessageWithHelp(std::string_view text, MessageButtons buttons, MessageIcon icon,
                                   std::string_view caption, int helpTopic) {
        return Message(text, buttons, icon, caption);
    }
};

// The busy cursor for the lifetime of the object.
class BusyCursor {
public:
    explicit BusyCursor(Ui& ui) : ui_(ui) { ui_.SetBusy(true); }
    ~BusyCursor() { ui_.SetBusy(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    Ui& ui_;
};

// A Ui for tests and automation: every request is recorded, answers come from queues filled
// in advance. An empty queue answers the safe way: No/Cancel for questions, OK for plain
// messages, cancel for input and file dialogs. Thread-safe.
class ScriptedUi : public Ui {
public:
    struct Shown {
        std::string kind;  // "message", "input", "open", "save", "files", "folder", "help"
        std::string text;  // message text, the prompt, the filter, or the help topic number
        MessageButtons buttons = MessageButtons::Ok;
        MessageIcon icon = MessageIcon::None;
        std::string caption;
        int helpTopic = 0;  // a message box's help button
    };

    // Runs at every ProcessMessages, as a window's event loop would (tests of windows let the
    // widgets' events run there).
    std::function<void()> onProcessMessages;

    void QueueAnswer(Answer answer);
    // Queues the reply of the next input or file dialog; nullopt-like cancel with `ok` false.
    void QueueText(std::string text, bool ok = true);
    // Queues the answer of the next ChooseFiles; `ok` false cancels it.
    void QueueFiles(std::vector<std::string> paths, int filterIndex = 1, bool ok = true);

    bool ChooseOpenFile(std::string_view filter, std::string_view folder, std::string& path) override;
    bool ChooseSaveFile(std::string_view filter, std::string_view defaultExtension, std::string_view folder,
                        std::string& path) override;
    void ShowProgress(uint64_t position, uint64_t total, std::string_view text) override;
    void ProcessMessages() override;
    bool ChooseFiles(FileDialogRequest& request) override;
    // Takes the next queued text (QueueText) as the folder.
    bool ChooseFolder(std::string_view caption, std::string& folder) override;
    void ShowHelp(int topic) override;
    void SetBusy(bool busy) override;

    std::vector<Shown> shown() const;
    // The requests of ChooseFiles, as they were asked.
    std::vector<FileDialogRequest> fileRequests() const;
    // Help topics opened, by the box's help button or directly.
    std::vector<int> helpTopics() const;
    // Nesting depth of the busy cursor now, and how often it was switched on.
    int busyDepth() const;
    int busyCount() const;
    // The texts of the message boxes shown, in order.
    std::vector<std::string> messages() const;
    std::vector<std::string> progressTexts() const;
    int processMessagesCalls() const;
    void clear();

protected:
    Answer Message(std::string_view text, MessageButtons buttons, MessageIcon icon,
                   std::string_view caption) override;
    bool Input(std::string_view caption, std::string_view prompt, std::string& value, bool masked) override;
    Answer MessageWithHelp(std::string_view text, MessageButtons buttons, MessageIcon icon, std::string_view caption,
                           int helpTopic) override;

private:
    Answer NextAnswer(MessageButtons buttons);
    struct FilesAnswer {
        std::vector<std::string> paths;
        int filterIndex = 1;
        bool ok = true;
    };
    std::deque<FilesAnswer> files_;
    std::vector<FileDialogRequest> fileRequests_;
    std::vector<int> help_;
    int busyDepth_ = 0;
    int busyCount_ = 0;
    bool NextText(std::string& value);
    mutable std::mutex mutex_;
    std::deque<Answer> answers_;
    std::deque<std::pair<std::string, bool>> texts_;
    std::vector<Shown> shown_;
    std::vector<std::string> progress_;
    int processed_ = 0;
};

}  // namespace zeriru
