// Module conversion, a step of the build: the installer module program and the runtime data
// file INSTALL.DAT (a copy of the project with the chosen language's texts) are put into the
// runtime folder.
#pragma once

#include <filesystem>
#include <string>

namespace zeriru {

class Ui;

inline constexpr std::string_view kInstallerProgramName = "INSTALL.EXE";
inline constexpr std::string_view kInstallerDataName = "INSTALL.DAT";

enum class ConvertModuleResult {
    Ok,
    ModuleMissing,  // Module\<module>.DAT or Module\<module>.LNG is missing
    CopyFailed,     // the module program or the project could not be copied
    SaveFailed,     // INSTALL.DAT could not be written
};

// `projectFile`, `runtimeFolder` and `editorFolder` are host paths. Reads the project's module,
// module key and language, copies Module\<module>.DAT as INSTALL.EXE and the project as
// INSTALL.DAT (normal attributes, the project's time), then writes [Control_Info] LocalID and
// DefaultLocalID and the language section into INSTALL.DAT. On failure *error names what
// failed.
ConvertModuleResult ConvertModule(Ui& ui, const std::filesystem::path& projectFile,
                                  const std::filesystem::path& runtimeFolder,
                                  const std::filesystem::path& editorFolder, std::string* error = nullptr);

}  // namespace zeriru
