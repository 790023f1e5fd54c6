#include "zeriru/language_texts.h"

#include "platform/sjis.h"
#include "zeriru/ui.h"

namespace zeriru {

namespace sjis = platform::sjis;

namespace {

std::vector<LanguageText> ReadEditableTexts(const TIniDocument& doc, const std::string& section) {
    std::vector<LanguageText> texts;
    for (int id = kFirstEditableLanguageText; id <= kLastLanguageText; ++id) {
        std::string text = doc.ReadString(section, std::to_string(id));
        if (!text.empty()) texts.push_back({id, std::move(text)});
    }
    return texts;
}

}  // namespace

std::string LanguageTextsDialogModel::Note() { return sjis::S("%s: 内部文字列\u3000#13: 改行文字列"); }

bool LanguageTextsDialogModel::Change(Ui& ui, std::size_t index) {
    if (index >= list_.texts.size()) return false;
    std::string value = list_.texts[index].text;
    if (!ui.InputText(sjis::S("言語データの変更"), sjis::S("新しい文字列を指定してください。"), value)) return false;
    list_.texts[index].text = std::move(value);
    return true;
}

bool LanguageTextsSession::ProjectKeeps(const TIniDocument& project, const std::string& section) const {
    if (erase_.count(section) != 0) return false;
    return held_.count(section) != 0 || project.SectionExists(section);
}

LanguageTextList LanguageTextsSession::ListTexts(const TIniDocument& project, const TModuleData& module,
                                                 int languageCode) const {
    LanguageTextList list;
    const std::string projectSection = ProjectLanguageSectionName(module.moduleKey, languageCode);
    if (ProjectKeeps(project, projectSection)) {
        list.fromProject = true;
        // Texts already edited in this dialog come before what the file holds.
        auto held = held_.find(projectSection);
        list.texts = held != held_.end() ? held->second : ReadEditableTexts(project, projectSection);
        return list;
    }
    const TIniDocument lng(ModuleFilePath(editorFolder_, module.moduleName, ".LNG"));
    list.texts = ReadEditableTexts(lng, LanguageSectionName(languageCode));
    return list;
}

bool LanguageTextsSession::EditLanguageTexts(Ui& ui, const TIniDocument& project, const TModuleData& module,
                                             int languageCode,
                                             const std::function<bool(LanguageTextsDialogModel&)>& showDialog) {
    LanguageTextsDialogModel dialog(ListTexts(project, module, languageCode));
    if (!showDialog(dialog)) return false;
    const LanguageTextList& edited = dialog.list();
    const std::string projectSection = ProjectLanguageSectionName(module.moduleKey, languageCode);

    bool keepInProject = edited.fromProject;
    if (!keepInProject) {
        keepInProject = ui.AskYesNo(
            sjis::S("プロジェクトファイル内に言語情報を保存しますか。\r"
                    "※「はい」を選択すると設定が確定されダイアログは閉じられます。"));
    }
    if (keepInProject) {
        held_[projectSection] = edited.texts;
        erase_.erase(projectSection);
        return true;
    }

    // Into the module's language file at once; the project keeps nothing.
    TIniDocument lng(ModuleFilePath(editorFolder_, module.moduleName, ".LNG"));
    const std::string section = LanguageSectionName(languageCode);
    for (const LanguageText& text : edited.texts) lng.WriteString(section, std::to_string(text.id), text.text);
    if (lng.LoadFailed() || !lng.UpdateFile()) {
        ui.Error(sjis::S("言語ファイルの保存に失敗しました。"));
        return false;
    }
    held_.erase(projectSection);
    return true;
}

bool LanguageTextsSession::UndoLanguageTexts(Ui& ui, std::string_view moduleKey, int languageCode) {
    if (!ui.AskYesNo(sjis::S("言語情報を元に戻しますか。\r"
                             "※「はい」を選択すると設定が確定されダイアログは閉じられます。"))) {
        return false;
    }
    const std::string projectSection = ProjectLanguageSectionName(moduleKey, languageCode);
    held_.erase(projectSection);
    erase_.insert(projectSection);
    return true;
}

bool LanguageTextsSession::UndoEnabled(const TIniDocument& project, std::string_view moduleKey,
                                       int languageCode) const {
    return ProjectKeeps(project, ProjectLanguageSectionName(moduleKey, languageCode));
}

void LanguageTextsSession::ApplyTo(TIniDocument& project) const {
    for (const std::string& section : erase_) project.EraseSection(section);
    for (const auto& [section, texts] : held_) {
        for (const LanguageText& text : texts) project.WriteString(section, std::to_string(text.id), text.text);
    }
}

}  // namespace zeriru
