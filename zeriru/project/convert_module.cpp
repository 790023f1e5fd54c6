#include "zeriru/convert_module.h"

#include "zeriru/editor_files.h"
#include "zeriru/modules.h"
#include "zeriru/project_file.h"

#include <system_error>

namespace zeriru {

namespace fs = std::filesystem;

namespace {

ConvertModuleResult Fail(ConvertModuleResult result, std::string* error, std::string text) {
    if (error) *error = std::move(text);
    return result;
}

}  // namespace

ConvertModuleResult ConvertModule(Ui& ui, const fs::path& projectFile, const fs::path& runtimeFolder,
                                  const fs::path& editorFolder, std::string* error) {
    const TIniDocument project(projectFile);
    if (project.LoadFailed()) {
        return Fail(ConvertModuleResult::CopyFailed, error, "cannot read " + projectFile.string());
    }
    const std::string moduleName = project.ReadString(key::kProjectSection, key::kInstallerModuleName,
                                                      project_default::kInstallerModuleName);
    const std::string moduleKey = project.ReadString(key::kProjectSection, key::kInstallerModuleKey);
    const int languageCode = project.ReadInteger(key::kProjectSection, key::kInstallerModuleLanguage,
                                                 project_default::kInstallerModuleLanguage);

    // The name comes from the project file: only a plain name may choose a file of Module\.
    if (!IsPlainModuleName(moduleName)) {
        return Fail(ConvertModuleResult::ModuleMissing, error, "not a module name: " + moduleName);
    }
    const fs::path program = ModuleFilePath(editorFolder, moduleName, ".DAT");
    const fs::path languageFile = ModuleFilePath(editorFolder, moduleName, ".LNG");
    std::error_code ec;
    if (!fs::is_regular_file(program, ec) || !fs::is_regular_file(languageFile, ec)) {
        return Fail(ConvertModuleResult::ModuleMissing, error, "missing module files of " + moduleName);
    }

    // The module program: any old INSTALL.EXE goes first, read-only or not.
    const fs::path installExe = runtimeFolder / kInstallerProgramName;
    if (fs::exists(installExe, ec)) {
        SetReadOnlyFile(installExe, false);
        fs::remove(installExe, ec);
        if (ec) return Fail(ConvertModuleResult::CopyFailed, error, "remove " + installExe.string() + ": " + ec.message());
    }
    fs::copy_file(program, installExe, fs::copy_options::overwrite_existing, ec);
    if (ec) return Fail(ConvertModuleResult::CopyFailed, error, "copy " + program.string() + ": " + ec.message());
    SetReadOnlyFile(installExe, false);

    const fs::path installDatPath = runtimeFolder / kInstallerDataName;
    std::string copyError;
    if (!CopyFileReplacing(projectFile, installDatPath, true, &copyError)) {
        return Fail(ConvertModuleResult::CopyFailed, error, copyError);
    }

    TIniDocument installDat(installDatPath);
    if (installDat.LoadFailed()) {
        return Fail(ConvertModuleResult::CopyFailed, error, "cannot read " + installDatPath.string());
    }
    installDat.WriteInteger("Control_Info", "LocalID", languageCode);
    installDat.WriteInteger("Control_Info", "DefaultLocalID", languageCode);
    const TIniDocument lng(languageFile);
    MergeLanguage(installDat, lng, moduleKey, languageCode, ui);
    if (!installDat.UpdateFile()) {
        return Fail(ConvertModuleResult::SaveFailed, error, installDat.LastError());
    }
    return ConvertModuleResult::Ok;
}

}  // namespace zeriru
