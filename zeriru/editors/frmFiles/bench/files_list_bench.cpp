// Timing of the files list at its limits (not a test): a project of 32,768 items opened into
// the list dialog, scrolled to the end and back, all selected and inverted, and saved; and a
// folder of 10,000 files added through the folder choice, with the progress calls counted, and
// once more stopped with "中止" after 2,000 items.
//
//   files_list_bench [--items N] [--files M] [--keep]
//
// Works in a fresh prefix under a new folder in /tmp, runs the dialog on Qt's offscreen
// platform, prints wall-clock times and deletes everything unless --keep is given.
#include "platform/prefix.h"
#include "platform/sjis.h"
#include "platform/winpath.h"
#include "qtsupport/dialog_runner.h"
#include "zeriru/command_line.h"
#include "zeriru/editor_environment.h"
#include "zeriru/editors/widgets/editor_toolkit.h"
#include "zeriru/frmFiles/files_lists.h"
#include "zeriru/frmFiles/widgets/files_dialog.h"
#include "zeriru/frmFiles/widgets/files_editor.h"
#include "zeriru/ini_document.h"
#include "zeriru/ui.h"

#include <QApplication>
#include <QScrollBar>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace zeriru;
using namespace zeriru::gui;

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

void Line(const char* what, double ms) { std::printf("%-52s %9.1f ms\n", what, ms); }

std::string Record(int i) {
    return "1|0|%InstallDir%|bin\\sub" + std::to_string(i % 97) + "|C:\\src\\folder" + std::to_string(i % 100) +
           "\\file" + std::to_string(i) + ".dll|comment " + std::to_string(i) +
           "||0|0|65535|0,0,0,0,0,0|0,0,HKEY_CURRENT_USER,,,,0,,,0,";
}

// Counts the progress calls of an addition and stops it after `abortAfter` items (0: never).
class AddWatcher : public FilesListObserver {
public:
    AddWatcher(FilesDialogModel& model, int abortAfter) : model_(model), abortAfter_(abortAfter) {}
    void ListReset() override {}
    void RowsInserted(int, int) override {}
    void RowsRemoved(const std::vector<int>&) override {}
    void RowChanged(int) override {}
    void RowMoved(int, int) override {}
    void StateChanged() override {}
    void Adding(int made) override {
        ++calls;
        if (abortAfter_ > 0 && made >= abortAfter_) model_.Abort();
    }
    int calls = 0;

private:
    FilesDialogModel& model_;
    int abortAfter_;
};

// Adds the folder through the folder choice of the item dialog's model; returns the items
// made and the milliseconds taken.
std::pair<int, double> AddFolder(EditorToolkit& kit, const std::string& folder, int abortAfter, int* progressCalls) {
    FilesDialogSeams seams;
    seams.itemDialog = [&folder](FilesItemDialogModel& item) {
        item.choice = FilesItemDialogModel::kChoiceFolder;
        item.folderPage.folder = folder;
        while (!item.finished())
            if (item.Next()) return false;
        return true;
    };
    FilesDialogModel model(kit.ui(), kit.data(), seams, false, false);
    model.SetPositionSelect(false);
    AddWatcher watcher(model, abortAfter);
    model.SetObserver(&watcher);
    const auto start = Clock::now();
    model.Add();
    const double ms = Ms(start);
    *progressCalls = watcher.calls;
    return {model.size(), ms};
}

}  // namespace

int main(int argc, char** argv) {
    int items = 32768, files = 10000;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--items") && i + 1 < argc) items = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--files") && i + 1 < argc) files = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--keep")) keep = true;
        else {
            std::fprintf(stderr, "usage: files_list_bench [--items N] [--files M] [--keep]\n");
            return 2;
        }
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const fs::path root = fs::temp_directory_path() / ("files_list_bench_" + std::to_string(::getpid()));
    fs::create_directories(root / "runtime");
    fs::permissions(root / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    ::setenv("PLATFORM_ROOT", (root / "prefix").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (root / "runtime").c_str(), 1);
    std::string error;
    if (!platform::EnsurePrefix(&error)) {
        std::fprintf(stderr, "EnsurePrefix: %s\n", error.c_str());
        return 1;
    }
    const std::string editor = ProvisionEditorFolder(BENCH_SHARE_DIR, {}, &error);
    if (editor.empty()) {
        std::fprintf(stderr, "ProvisionEditorFolder: %s\n", error.c_str());
        return 1;
    }
    QApplication app(argc, argv);
    EditorEnvironment env({editor, {}, {}});
    ScriptedUi ui;
    qtsupport::ScriptedDialogRunner runner;
    QWidget window;
    EditorData data(env.settings(), env.machine(), env.hostEditorFolder());
    EditorToolkit kit(ui, runner, &window, data);
    std::printf("files list: %d items, folder of %d files\n", items, files);

    // The project: written once so that the open reads a real file.
    const std::string project = "C:\\bench\\big.PJ2";
    fs::create_directories(platform::winpath::ToHostPath("C:\\bench").value());
    {
        std::ofstream(platform::winpath::ToHostPath(project).value(), std::ios::binary)
            << "[Project]\r\nGenerator=DOZOZE 2.0\r\nProjectName=big\r\n";
        TIniDocument doc = TIniDocument::OpenWindowsPath(project);
        std::vector<std::string> records;
        for (int i = 0; i < items; ++i) records.push_back(Record(i));
        WriteFilesList(doc, records);
        doc.UpdateFile();
    }

    auto start = Clock::now();
    TIniDocument doc = TIniDocument::OpenWindowsPath(project);
    std::vector<std::string> records = ReadFilesList(doc);
    Line("read the project file and its files list", Ms(start));
    const auto openStart = Clock::now();
    FilesDialogModel model(ui, data, MakeFilesSeams(kit), false, false);
    model.Load(std::move(records));
    auto dialog = std::make_unique<TfrmFilesDialog>(model, kit, &window);
    dialog->show();
    QApplication::processEvents();
    Line("open: list loaded, dialog built and shown", Ms(openStart));
    Line("  open including the file read", Ms(start));

    start = Clock::now();
    QScrollBar* bar = dialog->view()->verticalScrollBar();
    for (int step = 0; step <= 100; ++step) {
        bar->setValue(bar->maximum() * step / 100);
        dialog->view()->viewport()->repaint();
    }
    bar->setValue(0);
    dialog->view()->viewport()->repaint();
    Line("scroll: 100 pages to the end and back, painted", Ms(start));

    start = Clock::now();
    model.Run(FilesCommand::SelectAll);
    model.Run(FilesCommand::InvertSelection);
    model.SetSelection({items / 2});
    model.Run(FilesCommand::MoveTop);
    QApplication::processEvents();
    Line("select all, invert, move one item to the top", Ms(start));

    start = Clock::now();
    WriteFilesList(doc, model.records());
    const bool saved = doc.UpdateFile();
    Line(saved ? "save: list written and project file saved" : "save FAILED", Ms(start));
    dialog.reset();

    // The folder of the addition: 100 folders of files/100 files each.
    const fs::path source = platform::winpath::ToHostPath("C:\\addsrc").value();
    for (int i = 0; i < files; ++i) {
        const fs::path folder = source / ("d" + std::to_string(i % 100));
        if (i < 100) fs::create_directories(folder);
        std::ofstream(folder / ("f" + std::to_string(i) + ".txt")) << i;
    }
    int calls = 0;
    auto [made, ms] = AddFolder(kit, "C:\\addsrc", 0, &calls);
    std::printf("%-52s %9.1f ms  (%d items, %d progress calls)\n", "add a folder of files", ms, made, calls);
    std::tie(made, ms) = AddFolder(kit, "C:\\addsrc", 2000, &calls);
    std::printf("%-52s %9.1f ms  (%d items kept)\n", "the same, 中止 after 2,000 items", ms, made);

    if (!keep) fs::remove_all(root);
    else std::printf("kept %s\n", root.c_str());
    return 0;
}
