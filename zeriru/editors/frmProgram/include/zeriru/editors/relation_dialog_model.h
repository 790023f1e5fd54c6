// Model of the related-application dialog TfrmRelationApplicationDialog ("関連するアプリケーショ
// ンのチェックルール"): another application, named by its uninstall key, whose presence the
// installer checks, and what it does at install and at uninstall when it is or is not installed.
#pragma once

#include "zeriru/editors/check_result.h"
#include "zeriru/editors/os_target.h"

#include <string>
#include <string_view>

namespace zeriru {

inline constexpr int kRelationInstallActionCount = 5;
inline constexpr int kRelationUninstallActionCount = 4;

// The columns of the related-application list: "アプリケーション名" (field 2), "アンインストールキー"
// (field 3).
std::string RelationRowText(std::string_view record, int column);

class RelationDialogModel {
public:
    static std::string Caption();
    static std::string InstallActionText(int action);
    static std::string UninstallActionText(int action);
    static std::string StopOptionText();  // "条件に一致した場合、ルールの処理を中止する"

    // A new item: enabled, both actions "処理なし", the project-wide OS target.
    explicit RelationDialogModel(const OsTarget& projectOs);
    // An item of the list.
    explicit RelationDialogModel(std::string_view record);

    bool enabled = true;
    std::string name, key;
    int installAction = 0;
    int uninstallAction = 0;
    bool stopOnMatch = false;  // option bit 0
    OsTarget os;

    // The name, then the key, must be given; each failure brings "詳細" to the front.
    CheckOutcome Ok() const;
    std::string Record(std::string_view old = {}) const;
};

}  // namespace zeriru
