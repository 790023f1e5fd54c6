// Editing a language's texts from the project property dialog: the list dialog
// "言語データの編集", the choice between keeping the texts in the project and writing them into
// the module's language file, and the undo that drops the project's own copy. What the user
// decides is held by a LanguageTextsSession, one per property dialog, and reaches the project
// file only when that dialog is confirmed.
#pragma once

#include "zeriru/ini_document.h"
#include "zeriru/modules.h"

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace zeriru {

class Ui;

struct LanguageText {
    int id = 0;
    std::string text;
    bool operator==(const LanguageText&) const = default;
};

// The texts the dialog lists and where they came from.
struct LanguageTextList {
    bool fromProject = false;       // the project's own copy, else the module's language file
    std::vector<LanguageText> texts;  // non-empty texts 100..1200 in ID order
};

// Model of the dialog "言語データの編集".
class LanguageTextsDialogModel {
public:
    explicit LanguageTextsDialogModel(LanguageTextList list) : list_(std::move(list)) {}

    const LanguageTextList& list() const { return list_; }
    // The note the dialog shows about the placeholders of a text.
    static std::string Note();
    // "変更(&E)" or a double click on row `index`: asks for the new text in an input box; false
    // when cancelled or the row does not exist.
    bool Change(Ui& ui, std::size_t index);

private:
    LanguageTextList list_;
};

class LanguageTextsSession {
public:
    // `editorFolder`: host folder of the editor (holds Module\).
    explicit LanguageTextsSession(std::filesystem::path editorFolder) : editorFolder_(std::move(editorFolder)) {}

    // Step 1 of the editing: the project's own texts when it keeps the language (and no undo
    // of this dialog dropped them), else those of the module's language file.
    LanguageTextList ListTexts(const TIniDocument& project, const TModuleData& module, int languageCode) const;

    // "編集(&E)". Lists the texts, shows them through `showDialog` (false = cancelled) and
    // settles where the edited texts go. True when the property dialog is now to be confirmed
    // as by its OK button; false when cancelled or the language file could not be written.
    bool EditLanguageTexts(Ui& ui, const TIniDocument& project, const TModuleData& module, int languageCode,
                           const std::function<bool(LanguageTextsDialogModel&)>& showDialog);

    // "元に戻す(&U)". True (confirm the property dialog) when the user agreed.
    bool UndoLanguageTexts(Ui& ui, std::string_view moduleKey, int languageCode);

    // Whether "元に戻す(&U)" is enabled for that language: the project keeps its texts or this
    // dialog holds texts for it, and no undo of this dialog has marked them for erasing.
    bool UndoEnabled(const TIniDocument& project, std::string_view moduleKey, int languageCode) const;

    // On confirming the property dialog: erases the sections marked by undo and writes the held
    // texts, one entry per ID. The caller saves the file.
    void ApplyTo(TIniDocument& project) const;

    bool HasChanges() const { return !held_.empty() || !erase_.empty(); }
    const std::map<std::string, std::vector<LanguageText>>& held() const { return held_; }
    const std::set<std::string>& erased() const { return erase_; }

private:
    bool ProjectKeeps(const TIniDocument& project, const std::string& section) const;

    std::filesystem::path editorFolder_;
    // Project section name -> texts to write on confirmation.
    std::map<std::string, std::vector<LanguageText>> held_;
    // Project section names to erase on confirmation.
    std::set<std::string> erase_;
};

}  // namespace zeriru
