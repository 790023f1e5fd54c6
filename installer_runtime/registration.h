// The uninstall registration: the installation's key under the uninstall key of
// HKEY_LOCAL_MACHINE (the project name, made unique when the project asks and another
// installation has it), the uninstall record's name, and the uninstaller - a copy of the
// module program that /U makes uninstall.
#pragma once

#include "context.h"
#include "record.h"
#include "transaction.h"

#include <optional>
#include <string>

namespace installer {

// The key that lists the installed applications.
inline constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// A value of an application's key that names its uninstall record.
inline constexpr const char* kRecordValue = "InstallInfoFile";
// A mark in the module program, so that an uninstaller file of another maker is never
// overwritten.
inline constexpr const char* kModuleMark = "ZU_VAZUZA-UNINSTALLER-1";

struct Registration {
    bool enabled = true;      // [Installer] EnableUninstallSetting
    std::string key;          // below kUninstallKey
    std::string recordPath;
    std::string uninstaller;
    bool keepUninstaller = true;       // at uninstall
    bool overwriteUninstaller = false;
    std::optional<InstallRecord> earlier;  // an earlier installation of this key
    std::string earlierRecordPath;
};

// Names and paths for this installation; what cannot be used is a problem.
Registration PlanRegistration(const Context& context, Problems& problems);

// Writes the uninstaller, the uninstall key's values and the record (merged with an earlier
// one of the same key) through the transaction.
bool Register(const Registration& registration, InstallRecord& record, const Context& context, Transaction& changes);

// Whether a file is an uninstaller of this module.
bool IsModuleProgram(const std::string& path);

}  // namespace installer
