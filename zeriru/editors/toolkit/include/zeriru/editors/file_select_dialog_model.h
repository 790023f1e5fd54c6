// Model of the file select dialog TfrmFileSelectDialog ("ファイルの選択"): the editors pick one
// of the files the project installs, optionally only those of some extensions.
#pragma once

#include "zeriru/editors/check_result.h"
#include "zeriru/editors/installed_files.h"

#include <string>
#include <vector>

namespace zeriru {

class FileSelectDialogModel {
public:
    // `message`: the top line; `label`: the extension group ("実行ファイル"); `extensions`: up to
    // five joined by ";" (".EXE;.COM"), compared with the file names' extensions in upper case.
    FileSelectDialogModel(std::vector<InstalledFile> files, std::string message, std::string label,
                          std::string_view extensions);

    static std::string Caption();  // "ファイルの選択"
    const std::string& message() const { return message_; }
    // label + "のみ表示する(&E)"
    std::string FilterCaption() const;

    bool filter() const { return filter_; }
    void SetFilter(bool on) { filter_ = on; }
    // The lines shown now (define\parameter\file name).
    std::vector<std::string> Lines() const;
    // Whether the dialog would open with nothing to choose (the filter on, as it opens); the
    // caller shows its own message instead of the dialog.
    bool WouldListNothing() const;

    // OK with the line `index` of Lines() selected (-1: none): "リストよりファイルを選択してください。"
    // when nothing is selected.
    CheckOutcome Ok(int index);
    // The chosen line after a successful Ok.
    const std::string& result() const { return result_; }

private:
    bool Matches(const InstalledFile& file) const;

    std::vector<InstalledFile> files_;
    std::string message_, label_;
    std::vector<std::string> extensions_;
    bool filter_ = true;
    std::string result_;
};

}  // namespace zeriru
