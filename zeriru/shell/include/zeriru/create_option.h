// Model of the create-option dialog "インストーラファイル作成オプション"
// (TfrmCreateOptionDialog), which a build of a project of create type 0 shows to choose the
// type, folder, file name and install source of this build.
#pragma once

#include "zeriru/build_installer.h"
#include "zeriru/editor_settings.h"
#include "zeriru/editors/check_result.h"

#include <string>
#include <vector>

namespace zeriru {

class TBuildMachine;

// The create types' texts: the property dialog's list and the create-option dialog's list.
std::string PropertyCreateTypeText(int type);
std::string CreateOptionTypeText(int type);
inline constexpr int kCreateTypeCount = 6;
// Types 2-5 pack the installer into an archive.
inline bool IsArchiveCreateType(int type) { return type >= kCreateLhaSfx && type <= kCreateCab; }

class CreateOptionDialogModel {
public:
    // `initial`: folder, file name, install source and type (0) of the project; the remembered
    // output folders are read here and the chosen folder put first on OK.
    CreateOptionDialogModel(const CreateOptionChoice& initial, bool readOnly, EditorSettings& settings,
                            TBuildMachine& machine);

    static std::string Caption();  // "インストーラファイル作成オプション"
    const std::vector<std::string>& folders() const { return folders_; }

    CreateOptionChoice& choice() { return choice_; }
    const CreateOptionChoice& choice() const { return choice_; }
    void SetCreateType(int type) { choice_.createType = type; }
    // The file name, its label and "詳細(&D)" for the archive types; the install source for type 1;
    // the folder always.
    bool FileNameEnabled() const { return IsArchiveCreateType(choice_.createType); }
    bool InstallSourceEnabled() const { return choice_.createType == kCreateFolder; }
    // "次回からこの設定を使用する(&D)" is hidden for a read-only project.
    bool UseNextTimeVisible() const { return !readOnly_; }
    bool readOnly() const { return readOnly_; }

    // The OK check: the first failure, naming its control; nullopt when accepted.
    CheckOutcome Check() const;
    // OK: the check, then the folder first in the remembered output folders.
    CheckOutcome Ok();

private:
    CreateOptionChoice choice_;
    bool readOnly_;
    EditorSettings& settings_;
    TBuildMachine& machine_;
    std::vector<std::string> folders_;
};

}  // namespace zeriru
