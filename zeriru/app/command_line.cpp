#include "zeriru/command_line.h"

#include "platform/pathtext.h"
#include "platform/prefix.h"
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

#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
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

// The password of a protected project for unattended builds: the first line of
// --password-file, else $ZERIRU_PASSWORD. False (with a message) when the file cannot be read.
bool GivePassword(const CommandLine& line, ConsoleUi& ui, std::ostream& err) {
    if (!line.passwordFile.empty()) {
        std::ifstream in(line.passwordFile, std::ios::binary);
        char first[4096] = {};
        if (!in || (!in.getline(first, sizeof first) && !in.eof())) {
            err << sj::ToUtf8(sj::S("パスワードファイルを読み込めません: ")) << line.passwordFile << '\n';
            return false;
        }
        std::string text = first;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        ui.password = sj::FromUtf8(text);
    } else if (const char* given = std::getenv(kPasswordVariable)) {
        ui.password = sj::FromUtf8(given);
    }
    return true;
}

}  // namespace

std::string CommandLineDocumentsFolder() { return EditorEnvironment::DocumentsFolder(); }

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    std::size_t next = 0;
    for (; next < args.size(); ++next) {
        const std::string option = Trim(args[next]);
        if (option == "--help" || option == "-h" || option == "/?") {
            line.help = true;
            return line;
        }
        if (option == "--password-file" && next + 1 < args.size()) {
            line.passwordFile = args[++next];
        } else if (option.rfind("--password-file=", 0) == 0) {
            line.passwordFile = option.substr(std::string_view("--password-file=").size());
        } else if (option.rfind("--", 0) == 0) {
            return CommandLine{};  // unknown option: the usage text
        } else {
            break;
        }
    }
    if (next >= args.size()) return line;
    line.project = Trim(args[next]);
    if (args.size() >= next + 2) {
        const std::string sw = sj::ToUpper(Trim(args[next + 1]));
        line.build = sw == "/BUILD" || sw == "/SILENTBUILD";
    }
    if (line.build && args.size() >= next + 3) line.outputFolder = Trim(args[next + 2]);
    return line;
}

std::string UsageText() {
    return "使い方: zeriru [プロジェクトファイル]\n"
           "        zeriru [--password-file <ファイル>] <プロジェクトファイル> /BUILD [出力フォルダ]\n"
           "        zeriru [--password-file <ファイル>] <プロジェクトファイル> /SILENTBUILD [出力フォルダ]\n"
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
           "画面で尋ねる質問には、コマンドラインでは次のように答えます:\n"
           "  「フォルダにコピー」形式の確認には「はい」(既存の出力フォルダの中身は削除されます。\n"
           "  ただしプロジェクトや構成ファイル、システムのフォルダを含む出力フォルダは使用しません)。\n"
           "  プロジェクト内に保存された言語情報を使用するかの確認には「はい」\n"
           "  (プロジェクトの言語情報を保ちます)。\n"
           "\n"
           "パスワードで保護されたプロジェクトのパスワードは、次のいずれかで指定します:\n"
           "  --password-file <ファイル>  ファイルの最初の行\n"
           "  環境変数 ZERIRU_PASSWORD\n"
           "  どちらもなく標準入力が端末のときは、端末で入力します (表示されません)。\n"
           "パスワードは表示も記録もしません。\n"
           "\n"
           "終了コード:\n"
           "  0      成功\n"
           "  1-15   作成のエラーコード (メッセージ一覧の [エラー n])\n"
           "  64     引数の誤り、開けないプロジェクト、コマンドラインで作成できないプロジェクト\n"
           "  77     パスワードが指定されていないか、正しくない\n"
           "  255    同じ環境 (PLATFORM_ROOT) で Raredovo がすでに起動されている\n"
           "\n"
           "例:\n"
           "  zeriru /home/user/sample.PJ2 /BUILD\n"
           "  zeriru 'C:\\Projects\\sample.PJ2' /silentbuild 'C:\\Output'\n"
           "  zeriru ~/sample.PJ2 /BUILD /tmp/out\n"
           "  zeriru --password-file ~/.config/sample.pass ~/sample.PJ2 /BUILD /tmp/out\n";
}

Answer ConsoleUi::Message(std::string_view text, MessageButtons buttons, MessageIcon, std::string_view) {
    err_ << ConsoleLine(text) << '\n';
    err_.flush();
    if (answer) return answer(text, buttons);
    return buttons == MessageButtons::Ok ? Answer::Ok
           : buttons == MessageButtons::YesNo ? Answer::No
                                              : Answer::Cancel;
}

bool ConsoleUi::Input(std::string_view, std::string_view prompt, std::string& value, bool masked) {
    if (!masked) return false;
    passwordAsked_ = true;
    if (password) {
        value = *password;
        return true;
    }
    if (::isatty(STDIN_FILENO) == 0) return false;
    err_ << ConsoleLine(prompt) << ' ';
    err_.flush();
    termios old{};
    const bool terminal = ::tcgetattr(STDIN_FILENO, &old) == 0;
    if (terminal) {
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string typed;
    const bool got = static_cast<bool>(std::getline(std::cin, typed));
    if (terminal) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    err_ << '\n';
    if (!got) return false;
    if (!typed.empty() && typed.back() == '\r') typed.pop_back();
    value = sj::FromUtf8(typed);
    return true;
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

    if (!GivePassword(line, ui, err)) return kExitUsage;

    EditorEnvironment editor({environment.editorFolder, environment.rozivuProgram, {}});
    EditorSettings& settings = editor.settings();
    ProjectCommands commands(ProjectCommands::Services{
        ui, settings, editor.paths(), environment.editorFolder, editor.modules(), [](ProjectProperties&) { return false; },
        [](int) {},
        [](const TProjectInfo&) { return false; }, {}});
    if (!commands.OpenProject(projectPath, OpenOrigin::CommandLine)) {
        if (!ui.passwordAsked()) return kExitUsage;
        ui.ShowMessage(sj::S("プロジェクトはパスワードで保護されています。パスワードが指定されていないか、正しくありません。"
                             "(--password-file または環境変数 ZERIRU_PASSWORD で指定できます)"));
        return kExitPasswordRefused;
    }
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
    // Nobody is there to answer: the copy-to-folder question is answered Yes (the build refuses
    // folders it must not empty by itself), and the project's own language texts are kept.
    const std::string copyQuestion = CopyToFolderQuestion(request.outputFolder);
    const std::string languageQuestion = ProjectLanguageQuestion();
    ui.answer = [&](std::string_view text, MessageButtons buttons) {
        if (text == copyQuestion || text == languageQuestion) return Answer::Yes;
        return buttons == MessageButtons::Ok ? Answer::Ok : Answer::No;
    };
    TBuilder builder(env);
    builder.BuildInstaller(request);
    return builder.Code();
}

}  // namespace zeriru
