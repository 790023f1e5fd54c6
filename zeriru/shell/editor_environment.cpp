#include "zeriru/editor_environment.h"

#include "platform/prefix.h"
#include "platform/shell.h"
#include "platform/winpath.h"

namespace zeriru {

namespace fs = std::filesystem;

namespace {

class EditorArchiveHost : public ArchiveHost {
public:
    EditorArchiveHost(std::string editorFolder, fs::path libraryFolder)
        : editorFolder_(std::move(editorFolder)), libraryFolder_(std::move(libraryFolder)) {}
    std::string EditorFolder() const override { return editorFolder_; }
    fs::path LibraryFolder() const override {
        return libraryFolder_.empty() ? ArchiveHost::LibraryFolder() : libraryFolder_;
    }

private:
    std::string editorFolder_;
    fs::path libraryFolder_;
};

}  // namespace

std::string EditorEnvironment::DocumentsFolder() {
    return platform::PrefixFolderPath(platform::PrefixFolder::UserDocuments);
}

EditorEnvironment::EditorEnvironment(Paths paths)
    : paths_(std::move(paths)),
      hostEditorFolder_(platform::winpath::ToHostPath(paths_.editorFolder).value_or(fs::path())),
      store_(registry_),
      settings_(store_, paths_.editorFolder, DocumentsFolder()),
      modules_(hostEditorFolder_.empty() ? ModuleTable{} : LoadModules(hostEditorFolder_)),
      machine_(registry_),
      archiveHost_(std::make_unique<EditorArchiveHost>(paths_.editorFolder, paths_.libraryFolder)) {}

fs::path EditorEnvironment::EditorDataFile() const {
    return hostEditorFolder_.empty() ? fs::path() : ResolveNoCase(hostEditorFolder_, "ZERIRU.DAT");
}

TBuilder::Environment EditorEnvironment::BuildEnvironment(Ui& ui) {
    TBuilder::Environment env;
    env.ui = &ui;
    env.machine = &machine_;
    env.options = settings_.ReadOptions();
    env.editorFolder = paths_.editorFolder;
    env.archiveHost = archiveHost_.get();
    if (!paths_.rozivuProgram.empty()) {
        const fs::path rozivu = paths_.rozivuProgram;
        env.startProgram = [rozivu](const std::string&, const std::string& stamp) {
            return platform::shell::RunProgram(platform::winpath::ToWindowsPath(rozivu), stamp, {}, false).started;
        };
    }
    return env;
}

}  // namespace zeriru
