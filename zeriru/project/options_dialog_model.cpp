#include "zeriru/options_dialog_model.h"

#include "platform/sjis.h"
#include "zeriru/ui.h"

#include <algorithm>

namespace zeriru {

namespace sjis = platform::sjis;

OptionsDialogModel::OptionsDialogModel(EditorSettings& settings)
    : settings_(settings), options_(settings.ReadOptions()) {
    if (options_.saveLastState && options_.lastTab >= 0 && options_.lastTab < kPageCount) page_ = options_.lastTab;
}

std::string OptionsDialogModel::Caption() { return sjis::S("オプション"); }

std::string OptionsDialogModel::PageCaption(int page) {
    static const char* const kPages[kPageCount] = {"基本", "インストールファイル作成", "システム", "自動更新"};
    return page >= 0 && page < kPageCount ? sjis::S(kPages[page]) : std::string();
}

std::string OptionsDialogModel::EditorFileFilter() {
    return sjis::S("プログラムファイル|*.EXE|すべてのファイル|*.*");
}

void OptionsDialogModel::SetPage(int page) {
    if (page >= 0 && page < kPageCount) page_ = page;
}

void OptionsDialogModel::NextPage() { page_ = (page_ + 1) % kPageCount; }

void OptionsDialogModel::PreviousPage() { page_ = (page_ + kPageCount - 1) % kPageCount; }

void OptionsDialogModel::SetCheckFileList(bool on) {
    options_.checkFileList = on;
    if (!on) options_.skipMessage = false;
}

void OptionsDialogModel::SetSkipMessage(bool on) {
    if (SkipMessageEnabled()) options_.skipMessage = on;
}

void OptionsDialogModel::SetMode(int mode) { options_.mode = mode == 1 ? 1 : 0; }

void OptionsDialogModel::SetProxyPort(int port) { options_.proxyPort = std::clamp(port, 0, kMaxProxyPort); }

bool OptionsDialogModel::BrowseEditor(Ui& ui) {
    if (!ExternalEditorEnabled()) return false;
    std::string path;
    if (!ui.ChooseOpenFile(EditorFileFilter(), {}, path)) return false;
    options_.extendEditorFileName = path;
    return true;
}

bool OptionsDialogModel::ShowAllHints(Ui& ui) {
    if (!ui.AskYesNo(sjis::S("すべてのヒントを表示しますか。"))) return false;
    settings_.ResetHints();
    return true;
}

bool OptionsDialogModel::Ok(Ui& ui) {
    focusUrl_ = false;
    if (options_.checkUpdate && options_.updateUrl.empty()) {
        ui.ShowMessage(sjis::S("更新情報を取得するためのURLを指定してください。"));
        page_ = kAutoUpdate;
        focusUrl_ = true;
        return false;
    }
    settings_.SetDialogLastTab(settings_key::kApplication, 0);
    settings_.SetDialogLastTab(settings_key::kShortCut, 0);
    settings_.SetDialogLastTab(settings_key::kInstallOption, 0);
    options_.lastTab = page_;
    settings_.WriteOptions(options_);
    return true;
}

void OptionsDialogModel::Cancel() {
    // Only the page is remembered; every other value stays as stored.
    settings_.SetOptionsLastTab(page_);
}

}  // namespace zeriru
