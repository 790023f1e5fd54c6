#include "zeriru/command_line.h"

#include "platform/pathtext.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/sjis.h"
#include "platform/sync.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "zeriru/application_window.h"
#include "zeriru/editor_environment.h"
#include "zeriru/archive_control.h"
#include "zeriru/build_installer.h"
#include "zeriru/editor_settings.h"
#include "zeriru/modules.h"
#include "zeriru/platform_machine.h"
#include "zeriru/project_commands.h"
#include "zeriru/registry_settings_store.h"
#include "zeriru/winpath_mapper.h"

#include <ostream>
#include <system_error>

namespace zeriru {

namespace fs = std::filesystem;
namespace sj = platform::sjis;
namespace wp = platform::winpath;

namespace {

std::string Trim(std::string_view text) {
    std::size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ') ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ') --e;
    return std::string(text.substr(b, e - b));
}

// One line of the message list for a console: line breaks inside a message become blanks.
std::string ConsoleLine(std::string_view sjisText) {
    std::string text = sj::ToUtf8(sjisText);
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    if (args.empty()) return line;
    const std::string first = Trim(args[0]);
    if (first == "--help" || first == "-h" || first == "/?") {
        line.help = true;
        return line;
    }
    line.project = first;
    if (args.size() >= 2) {
        const std::string sw = sj::ToUpper(Trim(args[1]));
        line.build = sw == "/BUILD" || sw == "/SILENTBUILD";
    }
    if (line.build && args.size() >= 3) line.outputFolder = Trim(args[2]);
    return line;
}

std::string UsageText() {
    return "使い方: zeriru [プロジェクトファイル]\n"
           "        zeriru <プロジェクトファイル> /BUILD [出力フォルダ]\n"
           "        zeriru <プロジェクトファイル> /SILENTBUILD [出力フォルダ]\n"
           "        zeriru --help\n"
           "\n"
           "プロジェクトファイルだけを指定すると (または何も指定しないと) メイン画面を開きます。\n"
           "/BUILD を付けるとプロジェクトを開き、画面を表示せずにインストーラを作成して終了します。\n"
           "/BUILD と /SILENTBUILD は同じ動作で、大文字小文字は区別しません。\n"
           "出力フォルダを省略するとプロジェクトの CreateFolder に作成します。\n"
           "パスは Windows 形式 (C:\\...) でもホストのパス (/tmp/...) でも指定できます。\n"
           "\n"
           "メッセージ一覧の各行を標準出力に書き、エラーとヒントにはコードを付けます。\n"
           "メッセージボックスはエディタのオプションに従い、標準エラー出力に書きます。\n"
           "「フォルダにコピー」形式の確認には、コマンドラインでは常に「はい」と答えます\n"
           "(既存の出力フォルダの中身は削除されます)。\n"
           "終了コードは作成のエラーコードです (0 は成功)。\n"
           "\n"
           "例:\n"
           "  zeriru /home/user/sample.PJ2 /BUILD\n"
           "  zeriru 'C:\\Projects\\sample.PJ2' /silentbuild 'C:\\Output'\n"
           "  zeriru ~/sample.PJ2 /BUILD /tmp/out\n";
}

Answer ConsoleUi::Message(std::string_view text, MessageButtons buttons, MessageIcon, std::string_view) {
    err_ << ConsoleLine(text) << '\n';
    err_.flush();
    if (answer) return answer(text, buttons);
    return buttons == MessageButtons::Ok ? Answer::Ok
           : buttons == MessageButtons::YesNo ? Answer::No
                                              : Answer::Cancel;
}

std::string ProvisionEditorFolder(const fs::path& share, const fs::path& rozivu, std::string* error) {
    const std::string windows = platform::shell::ProgramFilesFolder() + "\\Zuzoruve\\Raredovo\\";
    const auto host = wp::ToHostPath(windows);
    std::error_code ec;
    if (!host || (fs::create_directories(*host, ec), ec)) {
        if (error) *error = "cannot create the editor folder " + sj::ToUtf8(windows);
        return {};
    }
    // The shipped data files, the installer modules and the sample projects, refreshed on
    // every start so that an updated suite brings its data along.
    for (const auto& entry : fs::directory_iterator(share, ec)) {
        const fs::path target = *host / entry.path().filename();
        if (entry.is_regular_file()) {
            fs::copy_file(entry.path(), target, fs::copy_options::update_existing, ec);
        } else if (entry.is_directory() &&
                   (entry.path().filename() == "Module" || entry.path().filename() == "samples")) {
            fs::copy(entry.path(), target, fs::copy_options::recursive | fs::copy_options::update_existing, ec);
        }
        if (ec) {
            if (error) *error = "cannot copy " + entry.path().string() + ": " + ec.message();
            return {};
        }
    }
    if (!rozivu.empty() && fs::exists(rozivu)) {
        const fs::path link = *host / "ROZIVU.EXE";
        fs::remove(link, ec);
        fs::create_symlink(fs::absolute(rozivu), link, ec);
    }
    return windows;
}

int RunCommandLine(const CommandLine& line, const CommandLineEnvironment& environment, std::ostream& out,
                   std::ostream& err) {
    ConsoleUi ui(err);
    bool existed = false;
    std::string error;
    auto mutex = platform::sync::NamedMutex::Create("VE_ZOVAVA2", true, &existed, &error);
    if (!mutex) {
        err << error << '\n';
        return kExitUsage;
    }
    if (existed) {
        ui.ShowMessage(sj::S("Raredovoはすでに起動されています。"));
        return kExitAlreadyRunning;
    }
    ApplicationWindow window;
    if (!window.ok()) err << window.error() << '\n';

    const std::string projectPath = sj::FromUtf8(wp::FromCommandLine(line.project));
    if (projectPath.empty() || !wp::FileExists(projectPath) || wp::DirectoryExists(projectPath)) {
        ui.ShowMessage(sj::S("指定のファイルは存在しません。\r\rファイル名:\r") + sj::FromUtf8(line.project));
        return kExitUsage;
    }

    EditorEnvironment editor({environment.editorFolder, environment.rozivuProgram, {}});
    EditorSettings& settings = editor.settings();
    ProjectCommands commands(ProjectCommands::Services{
        ui, settings, editor.paths(), environment.editorFolder, editor.modules(), [](ProjectProperties&) { return false; },
        [](int) {},
        [](const TProjectInfo&) { return false; }, {}});
    if (!commands.OpenProject(projectPath, OpenOrigin::CommandLine)) return kExitUsage;
    if (!line.build) {
        err << sj::ToUtf8(sj::S("画面のない起動では /BUILD または /SILENTBUILD が必要です。")) << '\n';
        return kExitUsage;
    }

    const TProjectInfo& info = commands.project();
    BuildRequest request;
    request.projectFile = commands.projectPath();
    request.projectName = info.projectName;
    request.outputFolder =
        line.outputFolder.empty() ? info.createFolder : sj::FromUtf8(wp::FromCommandLine(line.outputFolder));
    request.outputFileName = info.createFileName;
    request.createType = info.createFileType;
    request.backup = info.createFolderBeforeBackup;
    request.installSource = info.installSource;
    if (request.createType < kCreateFolder || request.createType > kCreateCab) {
        // The create-option dialog of type 0 needs a display.
        ui.ShowMessage(sj::S("作成形式を選択する画面はコマンドラインでは表示できません。"
                             "プロジェクトのプロパティで作成形式を指定してください。"));
        return kExitUsage;
    }

    TBuilder::Environment env = editor.BuildEnvironment(ui);
    env.onMessage = [&out](const BuildMessage& m) {
        if (m.kind == BuildEntryKind::Error)
            out << "[" << sj::ToUtf8(sj::S("エラー")) << " " << m.code << "] ";
        else if (m.kind == BuildEntryKind::Hint)
            out << "[" << sj::ToUtf8(sj::S("ヒント")) << " 0] ";
        out << ConsoleLine(m.text) << '\n';
        out.flush();
    };
    // The copy-to-folder question is answered Yes: nobody is there to answer it.
    const std::string copyQuestion = CopyToFolderQuestion(request.outputFolder);
    ui.answer = [&copyQuestion](std::string_view text, MessageButtons buttons) {
        if (text == copyQuestion) return Answer::Yes;
        return buttons == MessageButtons::Ok ? Answer::Ok : Answer::No;
    };
    TBuilder builder(env);
    builder.BuildInstaller(request);
    return builder.Code();
}

}  // namespace zeriru
