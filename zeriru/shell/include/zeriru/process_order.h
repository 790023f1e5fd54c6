// Model of the dialog "処理順序の指定": the order of the installer's steps at installation and
// at uninstallation, each step on or off, with the rule that copying the files stays after
// the programs run before it and before the programs run after it.
#pragma once

#include "zeriru/ini_document.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace zeriru {

class Ui;

class ProcessOrderDialogModel {
public:
    enum List { kInstall = 0, kUninstall = 1 };
    static constexpr int kListCount = 2;
    static constexpr int kKindCount = 8;
    // Step kinds with a rule of their own.
    static constexpr int kCopyFiles = 0;
    static constexpr int kRunBefore = 6;
    static constexpr int kRunAfter = 7;

    // The step's caption in a list (Shift-JIS); empty for an unknown kind.
    static std::string StepCaption(List list, int kind);
    static std::string Caption();  // "処理順序の指定"
    static std::string SwitchCaption(List list);
    static std::string Note();
    // Items sections of the project (by UseSection, with the defaults).
    static std::string ItemsSection(const TIniDocument& project, List list);

    // Reads both lists from the project, or the default order of the editor data file for a
    // list the project does not hold. A read-only project is shown but not changed.
    ProcessOrderDialogModel(const TIniDocument& project, const TIniDocument& editorData, bool readOnly);

    bool readOnly() const { return readOnly_; }
    bool enabled(List list) const { return enabled_[list]; }
    void SetEnabled(List list, bool on);
    // The list, its default button and its move buttons follow its switch.
    bool ListEnabled(List list) const { return enabled_[list] && !readOnly_; }

    // The records as stored (field 1 ticked, field 2 kind).
    const std::vector<std::string>& items(List list) const { return items_[list]; }
    static int Kind(const std::string& record);
    static bool Ticked(const std::string& record);
    void SetTicked(List list, int row, bool ticked);

    bool CanMoveUp(List list, int row) const;
    bool CanMoveDown(List list, int row) const;
    // Exchanges the item with its neighbour; a move that would break the rule shows its
    // message and changes nothing. True when the item moved.
    bool MoveUp(List list, int row, Ui& ui);
    bool MoveDown(List list, int row, Ui& ui);
    // "デフォルト(&D)".
    void RestoreDefault(List list);

    // OK: each list needs one ticked item; otherwise its message is shown and the list to
    // show and focus is returned. nullopt when the dialog may close and write.
    std::optional<List> Check(Ui& ui) const;
    // Erases both items sections, writes the two switches and both lists from "0". The caller
    // saves the file. Nothing for a read-only project.
    void WriteTo(TIniDocument& project) const;

private:
    static std::vector<std::string> DefaultOrder(const TIniDocument& editorData, List list);
    int FindKind(List list, int kind, int from, int to) const;

    std::array<std::vector<std::string>, kListCount> items_;
    std::array<std::vector<std::string>, kListCount> defaults_;
    std::array<bool, kListCount> enabled_{};
    bool readOnly_ = false;
};

}  // namespace zeriru
