// Where the items of INSTALL.DAT go on this machine, and the rule that keeps them there: a
// target is a define's folder (the install folder, a system or shell folder, a folder a
// define's parameters name) with a sub-folder and a name below it. Refused: defines that are
// unknown or name no folder, sub-folders with "..", a drive, or a leading "\", names that are
// not plain names, and any result that is not a full path on a drive of the prefix - above
// all not on the drive that maps the host's root, nor a network path.
#pragma once

#include "zeriru/build_machine.h"
#include "zeriru/ini_document.h"

#include <optional>
#include <string>
#include <string_view>

namespace installer {

// Why a target was refused: the item's text and what is wrong with it.
struct Refusal {
    enum class Kind { Damaged, Unknown, Outside };
    Kind kind = Kind::Damaged;  // no folder define / a define this machine lacks / outside the rule
    std::string text;
};

class Targets {
public:
    Targets(const zeriru::TIniDocument& data, zeriru::TBuildMachine& machine, std::string runtimeFolder);

    // The install folder: [Software] Folder on this machine until the user chose another.
    const std::string& installFolder() const { return installFolder_; }
    void SetInstallFolder(std::string folder) { installFolder_ = std::move(folder); }
    // Names for the defines of files the installer makes itself.
    void SetOwnFiles(std::string uninstaller, std::string record) {
        uninstaller_ = std::move(uninstaller);
        record_ = std::move(record);
    }

    // The folder of a define and the sub-folder (or, for a define with parameters, the
    // parameters) below it; nullopt with *why otherwise.
    std::optional<std::string> Folder(std::string_view define, std::string_view sub, Refusal* why) const;
    // A file of a plain `name` in such a folder.
    std::optional<std::string> File(std::string_view define, std::string_view sub, std::string_view name,
                                    Refusal* why) const;
    // A define text "define\rest" taken apart and resolved as Folder(define, rest).
    std::optional<std::string> Path(std::string_view defineText, Refusal* why) const;

    // A value with defines (arguments, registry and INI values): the installer's own defines
    // replaced, then the others as the machine expands them. No rule applies: a value is not
    // written anywhere by itself.
    std::string ExpandValue(std::string_view text) const;
    // The same without environment references ("%SystemRoot%", "%PATH%"): they stay as they
    // are, for the reader of the value to expand (expandable registry strings).
    std::string ExpandValueKeepingEnvironment(std::string_view text) const;

    // Whether a Windows path is one the rule admits: full, on a drive of the prefix, no "..".
    static bool Admissible(std::string_view path);
    // Whether a sub-folder text passes: no "..", no drive or ":", no leading separator.
    static bool IsSafeSubPath(std::string_view sub);

private:
    std::string Expand(std::string_view text, zeriru::TBuildMachine& machine) const;

    const zeriru::TIniDocument& data_;
    zeriru::TBuildMachine& machine_;
    std::string runtimeFolder_;
    std::string installFolder_;
    std::string uninstaller_;
    std::string record_;
};

}  // namespace installer
