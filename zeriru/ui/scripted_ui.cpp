#include "zeriru/ui.h"

namespace zeriru {

void ScriptedUi::QueueAnswer(Answer answer) {
    std::lock_guard lock(mutex_);
    answers_.push_back(answer);
}

void ScriptedUi::QueueText(std::string text, bool ok) {
    std::lock_guard lock(mutex_);
    texts_.emplace_back(std::move(text), ok);
}

void ScriptedUi::QueueFiles(std::vector<std::string> paths, int filterIndex, bool ok) {
    std::lock_guard lock(mutex_);
    files_.push_back({std::move(paths), filterIndex, ok});
}

Answer ScriptedUi::Message(std::string_view text, MessageButtons buttons, MessageIcon icon,
                               std::string_view caption) {
    std::lock_guard lock(mutex_);
    shown_.push_back({"message", std::string(text), buttons, icon, std::string(caption)});
    return NextAnswer(buttons);
}

Answer ScriptedUi::MessageWithHelp(std::string_view text, MessageButtons buttons, MessageIcon icon,
                                   std::string_view caption, int helpTopic) {
    std::lock_guard lock(mutex_);
    shown_.push_back({"message", std::string(text), buttons, icon, std::string(caption), helpTopic});
    return NextAnswer(buttons);
}

Answer ScriptedUi::NextAnswer(MessageButtons buttons) {
    if (!answers_.empty()) {
        Answer a = answers_.front();
        answers_.pop_front();
        return a;
    }
    switch (buttons) {
    case MessageButtons::Ok:
        return Answer::Ok;
    case MessageButtons::OkCancel:
        return Answer::Cancel;
    case MessageButtons::YesNo:
        return Answer::No;
    case MessageButtons::YesNoCancel:
        return Answer::Cancel;
    }
    return Answer::Cancel;
}

bool ScriptedUi::NextText(std::string& value) {
    if (texts_.empty()) return false;
    auto [text, ok] = texts_.front();
    texts_.pop_front();
    if (ok) value = text;
    return ok;
}

bool ScriptedUi::Input(std::string_view caption, std::string_view prompt, std::string& value, bool masked) {
    std::lock_guard lock(mutex_);
    shown_.push_back({"input", std::string(prompt), MessageButtons::OkCancel, MessageIcon::None, std::string(caption)});
    return NextText(value);
}

bool ScriptedUi::ChooseOpenFile(std::string_view filter, std::string_view folder, std::string& path) {
    std::lock_guard lock(mutex_);
    shown_.push_back({"open", std::string(filter), MessageButtons::OkCancel, MessageIcon::None, std::string(folder)});
    return NextText(path);
}

bool ScriptedUi::ChooseSaveFile(std::string_view filter, std::string_view defaultExtension, std::string_view folder,
                                std::string& path) {
    std::lock_guard lock(mutex_);
    shown_.push_back({"save", std::string(filter), MessageButtons::OkCancel, MessageIcon::None, std::string(folder)});
    return NextText(path);
}

bool ScriptedUi::ChooseFiles(FileDialogRequest& request) {
    std::lock_guard lock(mutex_);
    shown_.push_back({"files", request.filter, MessageButtons::OkCancel, MessageIcon::None, request.folder});
    fileRequests_.push_back(request);
    if (files_.empty()) return false;
    FilesAnswer answer = std::move(files_.front());
    files_.pop_front();
    if (!answer.ok) return false;
    request.paths = std::move(answer.paths);
    request.filterIndex = answer.filterIndex;
    return true;
}

bool ScriptedUi::ChooseFolder(std::string_view caption, std::string& folder) {
    std::lock_guard lock(mutex_);
    shown_.push_back({"folder", std::string(caption), MessageButtons::OkCancel, MessageIcon::None, folder});
    return NextText(folder);
}

void ScriptedUi::ShowHelp(int topic) {
    std::lock_guard lock(mutex_);
    help_.push_back(topic);
}

void ScriptedUi::SetBusy(bool busy) {
    std::lock_guard lock(mutex_);
    busyDepth_ += busy ? 1 : -1;
    if (busy) ++busyCount_;
}

std::vector<FileDialogRequest> ScriptedUi::fileRequests() const {
    std::lock_guard lock(mutex_);
    return fileRequests_;
}

std::vector<int> ScriptedUi::helpTopics() const {
    std::lock_guard lock(mutex_);
    return help_;
}

int ScriptedUi::busyDepth() const {
    std::lock_guard lock(mutex_);
    return busyDepth_;
}

int ScriptedUi::busyCount() const {
    std::lock_guard lock(mutex_);
    return busyCount_;
}

void ScriptedUi::ShowProgress(uint64_t, uint64_t, std::string_view text) {
    std::lock_guard lock(mutex_);
    if (progress_.empty() || progress_.back() != text) progress_.emplace_back(text);
}

void ScriptedUi::ProcessMessages() {
    {
        std::lock_guard lock(mutex_);
        ++processed_;
    }
    if (onProcessMessages) onProcessMessages();
}

std::vector<ScriptedUi::Shown> ScriptedUi::shown() const {
    std::lock_guard lock(mutex_);
    return shown_;
}

std::vector<std::string> ScriptedUi::messages() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const Shown& s : shown_) {
        if (s.kind == "message") out.push_back(s.text);
    }
    return out;
}

std::vector<std::string> ScriptedUi::progressTexts() const {
    std::lock_guard lock(mutex_);
    return progress_;
}

int ScriptedUi::processMessagesCalls() const {
    std::lock_guard lock(mutex_);
    return processed_;
}

void ScriptedUi::clear() {
    std::lock_guard lock(mutex_);
    answers_.clear();
    texts_.clear();
    shown_.clear();
    progress_.clear();
    processed_ = 0;
    files_.clear();
    fileRequests_.clear();
    help_.clear();
    busyDepth_ = 0;
    busyCount_ = 0;
}

}  // namespace zeriru
