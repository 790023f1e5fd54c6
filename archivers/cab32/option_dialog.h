// The option dialog a CAB self-extractor is made with: where it extracts, what it runs,
// whether it asks for the folder and whether it deletes the files afterwards. The dialog is a
// registered window that another program (or a person, through a GUI) fills in and confirms.
#pragma once

#include "sfx/cab_options.h"

#include <chrono>
#include <string>

namespace archivers::cab32 {

// Positions of the controls in the dialog's child list, and their captions.
inline constexpr std::size_t kFolderEditIndex = 6;
inline constexpr std::size_t kCommandEditIndex = 10;
std::string OptionDialogTitle();  // "自己解凍形式書庫の作成"

// How long the dialog waits to be confirmed: $CAB32_DIALOG_TIMEOUT_MS, else 60 s.
std::chrono::milliseconds OptionDialogTimeout();

// Shows the dialog with `options` filled in and waits until OK or Cancel is clicked or the
// time-out passes. On OK, `options` receives what the dialog holds and true is returned;
// otherwise false with the reason in *error.
bool AskSfxOptions(const std::string& cabinetName, const std::string& exeName, sfx::CabSfxOptions& options,
                   std::chrono::milliseconds timeout, std::string* error);

}  // namespace archivers::cab32
