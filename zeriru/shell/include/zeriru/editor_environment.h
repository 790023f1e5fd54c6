// Everything the editor works with, made once at start and shared by the main window and the
// command line: the editor's folder in the prefix, the registry with the editor settings, the
// installer modules, the build's view of the machine, the archiver libraries and ROZIVU.
#pragma once

#include "platform/registry.h"
#include "zeriru/archive_control.h"
#include "zeriru/build_installer.h"
#include "zeriru/editor_settings.h"
#include "zeriru/modules.h"
#include "zeriru/platform_machine.h"
#include "zeriru/registry_settings_store.h"
#include "zeriru/winpath_mapper.h"

#include <filesystem>
#include <memory>
#include <string>

namespace zeriru {

class EditorEnvironment {
public:
    struct Paths {
        // Windows path of the editor's folder, ending with "\" (MODULE.DAT, Module\, ZERIRU.DAT).
        std::string editorFolder;
        // Host path of the rozivu program; empty: <editor folder>ROZIVU.EXE through the shell.
        std::filesystem::path rozivuProgram;
        // Host folder of libunlha32.so and libcab32.so; empty: the program's lib folder.
        std::filesystem::path libraryFolder;
    };

    // Opens the registry of the prefix and loads the module list.
    explicit EditorEnvironment(Paths paths);
    EditorEnvironment(const EditorEnvironment&) = delete;
    EditorEnvironment& operator=(const EditorEnvironment&) = delete;

    const std::string& editorFolder() const { return paths_.editorFolder; }
    // Host path of the editor's folder; empty when it cannot be mapped.
    const std::filesystem::path& hostEditorFolder() const { return hostEditorFolder_; }
    platform::registry::Registry& registry() { return registry_; }
    SettingsStore& store() { return store_; }
    EditorSettings& settings() { return settings_; }
    const PathMapper& paths() const { return mapper_; }
    const ModuleTable& modules() const { return modules_; }
    TPlatformMachine& machine() { return machine_; }
    const ArchiveHost& archiveHost() const { return *archiveHost_; }
    // The user's documents folder of the prefix, where the file dialogs start by default.
    static std::string DocumentsFolder();
    // The editor data file ZERIRU.DAT (host path).
    std::filesystem::path EditorDataFile() const;

    // A build's environment: the Ui, the machine, the current editor options, the editor's
    // folder, the archivers and the start of ROZIVU.
    TBuilder::Environment BuildEnvironment(Ui& ui);

private:
    Paths paths_;
    std::filesystem::path hostEditorFolder_;
    platform::registry::Registry registry_;
    RegistrySettingsStore store_;
    EditorSettings settings_;
    WinpathMapper mapper_;
    ModuleTable modules_;
    TPlatformMachine machine_;
    std::unique_ptr<ArchiveHost> archiveHost_;
};

}  // namespace zeriru
