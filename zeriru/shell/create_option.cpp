#include "zeriru/create_option.h"

#include "platform/sjis.h"

namespace zeriru {

namespace sjis = platform::sjis;

std::string PropertyCreateTypeText(int type) {
    static const char* const kTexts[kCreateTypeCount] = {
        "インストールファイル作成時に指定する", "圧縮しないで指定したフォルダにコピーする(フォルダ構成再現)",
        "LHA自己解凍形式ファイル",             "LHA圧縮ファイル",
        "CAB自己解凍形式ファイル",             "CAB圧縮ファイル",
    };
    return type >= 0 && type < kCreateTypeCount ? sjis::S(kTexts[type]) : std::string();
}

std::string CreateOptionTypeText(int type) {
    if (type == kCreateAsk) return sjis::S("(作成するファイルの種類を選択してください)");
    if (type == kCreateFolder) return sjis::S("圧縮しないで指定されたフォルダにコピーする(フォルダ構成再現)");
    return PropertyCreateTypeText(type);
}

CreateOptionDialogModel::CreateOptionDialogModel(const CreateOptionChoice& initial, bool readOnly,
                                                 EditorSettings& settings, TBuildMachine& machine)
    : choice_(initial), readOnly_(readOnly), settings_(settings), machine_(machine),
      folders_(settings.OutputFolders()) {
    choice_.createType = kCreateAsk;
    choice_.useNextTime = false;
}

std::string CreateOptionDialogModel::Caption() { return sjis::S("インストーラファイル作成オプション"); }

CheckOutcome CreateOptionDialogModel::Check() const {
    std::optional<CreateOptionProblem> problem = CheckCreateOptionChoice(choice_, machine_);
    if (!problem) return std::nullopt;
    return Fail(problem->message, problem->field);
}

CheckOutcome CreateOptionDialogModel::Ok() {
    if (CheckOutcome problem = Check()) return problem;
    if (readOnly_) choice_.useNextTime = false;
    settings_.RememberOutputFolder(choice_.outputFolder);
    return std::nullopt;
}

}  // namespace zeriru
