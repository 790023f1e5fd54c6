// Self-extractors made by the libraries: run in a temporary folder, they check the archive,
// extract where their directives or options say and run the command.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "archivers/cab32.h"
#include "archivers/unlha32.h"
#include "cab/cabinet.h"
#include "lha/archive.h"
#include "lha/crc16.h"
#include "lha/header.h"
#include "platform/sjis.h"
#include "sfx/cab_options.h"
#include "sfx/sfx_file.h"
#include "dialog_confirmer.h"
#include "test_util.h"

namespace archivers {
namespace {

namespace fs = std::filesystem;
namespace sj = platform::sjis;
using namespace archivers::testing;

std::string Q(const fs::path& p) { return "\"" + p.string() + "\""; }
std::string QF(const fs::path& p) { return "\"" + p.string() + "\\\""; }

// The installer the build stages: a program that leaves a mark in its working folder, notes
// the arguments it was given and ends with a known code.
constexpr const char* kInstaller = "#!/bin/sh\npwd > ran_in.txt\necho \"$@\" > args.txt\nexit 7\n";

// The directive file exactly as the build writes it for time stamp T.
std::string DirectiveFile(const std::string& t) {
    const std::string d = "%WORK%\\DOZOZE\\" + t;
    return "$Command=" + d + "\\install.exe\r\n$WindowTitle=Preparing...\r\n$InstallTitle=Extract Directory\r\n"
           "$InstallDir=" + d + "\r\n$ECommand=" + d + "\\install.exe\r\n$EWindowTitle=Preparing...\r\n"
           "$EInstallTitle=Extract Directory\r\n$EInstallDir=" + d + "\r\n$Flag=31\r\n";
}

// The one folder the stub made for `wanted` (its name, "." and a unique part); empty when there
// is none or more than one.
fs::path MadeFor(const fs::path& wanted) {
    fs::path found;
    int count = 0;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(wanted.parent_path(), ec)) {
        if (e.path().filename().string().rfind(wanted.filename().string() + ".", 0) == 0) {
            found = e.path();
            ++count;
        }
    }
    return count == 1 ? found : fs::path();
}

std::string Env(const fs::path& tmp, const char* lang) {
    return "env TMPDIR=" + Quote(tmp) + " LANG=" + lang + " LC_ALL= LC_MESSAGES= ";
}

TEST(LhaSfx, ExtractsIntoTheDirectiveFolderAndRunsTheCommand) {
    TempDir dir;
    WriteFile(dir / "stage/$", DirectiveFile("20240102_030405"));
    WriteFile(dir / "stage/INSTALL.EXE", kInstaller);  // upper case: found without regard to case
    WriteFile(dir / "stage/INSTALL.DAT", TextLike(20000, 1));
    WriteFile(dir / "stage/日本語.txt", "ja");
    fs::create_directories(dir / "out");
    const fs::path lzh = dir / "out/setup.lzh";
    char text[256];
    ASSERT_EQ(Unlha(nullptr, ("u -jm2 -c1 -a1 -n -gp0 " + Q(lzh) + " " + QF(dir / "stage") + " \"*.*\" ").c_str(), text,
                    sizeof text),
              0)
        << text;
    ASSERT_EQ(Unlha(nullptr, ("s -+ -x1 -gw4 -n -gp0 " + Q(lzh) + " " + QF(dir / "out") + " ").c_str(), text,
                    sizeof text),
              0)
        << text;
    const fs::path exe = dir / "out/setup.exe";
    ASSERT_TRUE(fs::exists(exe));

    const fs::path tmp = dir / "usertmp";
    fs::create_directories(tmp);
    std::string out;
    EXPECT_EQ(RunTool(Env(tmp, "ja_JP.UTF-8") + Quote(exe) + " /S", &out), 7) << out;
    const fs::path where = MadeFor(tmp / "DOZOZE/20240102_030405");
    ASSERT_FALSE(where.empty()) << out;
    EXPECT_EQ(ReadFile(where / "INSTALL.DAT"), ReadFile(dir / "stage/INSTALL.DAT"));
    EXPECT_EQ(ReadFile(where / "日本語.txt"), "ja");
    EXPECT_FALSE(fs::exists(where / "$"));  // the directives are not installed
    EXPECT_EQ(ReadFile(where / "ran_in.txt"), fs::canonical(where).string() + "\n");
    EXPECT_EQ(ReadFile(where / "args.txt"), "/S\n");  // the self-extractor's own arguments go on
    EXPECT_NE(out.find("Preparing..."), std::string::npos);
}

TEST(LhaSfx, NonJapaneseUsersGetTheEDirectives) {
    TempDir dir;
    WriteFile(dir / "stage/$",
              "$Command=%WORK%\\JA\\install.exe\r\n$InstallDir=%WORK%\\JA\r\n"
              "$ECommand=%WORK%\\EN\\install.exe\r\n$EInstallDir=%WORK%\\EN\r\n$Flag=31\r\n");
    WriteFile(dir / "stage/install.exe", kInstaller);
    char text[256];
    ASSERT_EQ(Unlha(nullptr, ("u -jm2 " + Q(dir / "a.lzh") + " " + QF(dir / "stage") + " *.*").c_str(), text, 256), 0);
    ASSERT_EQ(Unlha(nullptr, ("s " + Q(dir / "a.lzh") + " " + QF(dir.path())).c_str(), text, 256), 0) << text;
    fs::create_directories(dir / "t1");
    fs::create_directories(dir / "t2");
    EXPECT_EQ(RunTool(Env(dir / "t1", "C") + Quote(dir / "a.exe")), 7);
    EXPECT_TRUE(fs::exists(MadeFor(dir / "t1/EN") / "ran_in.txt"));
    EXPECT_EQ(RunTool(Env(dir / "t2", "ja_JP.eucJP") + Quote(dir / "a.exe")), 7);
    EXPECT_TRUE(fs::exists(MadeFor(dir / "t2/JA") / "ran_in.txt"));
}

TEST(LhaSfx, DamagedArchiveIsRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    WriteFile(dir / "stage/$", DirectiveFile("T"));
    WriteFile(dir / "stage/install.exe", kInstaller);
    WriteFile(dir / "stage/big.txt", TextLike(100000, 2));
    char text[256];
    ASSERT_EQ(Unlha(nullptr, ("u -jm2 " + Q(dir / "a.lzh") + " " + QF(dir / "stage") + " *.*").c_str(), text, 256), 0);
    ASSERT_EQ(Unlha(nullptr, ("s " + Q(dir / "a.lzh") + " " + QF(dir.path())).c_str(), text, 256), 0) << text;
    std::string exe = ReadFile(dir / "a.exe");
    sfx::Layout layout;
    std::string error;
    {
        FILE* f = std::fopen((dir / "a.exe").c_str(), "rb");
        ASSERT_TRUE(sfx::ReadLayout(f, &layout, &error)) << error;
        std::fclose(f);
    }
    // A byte in the middle of the archive.
    const std::size_t at = static_cast<std::size_t>(layout.archiveOffset + layout.archiveSize / 2);
    exe[at] = static_cast<char>(exe[at] ^ 0x01);
    WriteFile(dir / "bad.exe", exe);
    fs::permissions(dir / "bad.exe", fs::perms::owner_all);
    fs::create_directories(dir / "tmp");
    std::string out;
    EXPECT_EQ(RunTool(Env(dir / "tmp", "ja_JP.UTF-8") + Quote(dir / "bad.exe"), &out), 2) << out;
    EXPECT_NE(out.find("damaged"), std::string::npos) << out;
    EXPECT_TRUE(fs::is_empty(dir / "tmp"));
}

TEST(LhaSfx, MemberLeavingTheFolderIsRefused) {
    TempDir dir;
    // Hand-made archive: a directive file, then a member named "..\..\escape.txt".
    std::string archive;
    for (const auto& [name, data] : std::vector<std::pair<std::string, std::string>>{
             {"$", "$InstallDir=%WORK%\\X\r\n"}, {"ok.txt", "ok"}, {"..\\..\\escape.txt", "evil"}}) {
        lha::Member m;
        m.method = "-lh0-";
        m.path = name;
        m.originalSize = m.compressedSize = data.size();
        m.crc = lha::ComputeCrc16(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
        archive += lha::EncodeHeader(m) + data;
    }
    archive.push_back('\0');
    WriteFile(dir / "a.lzh", archive);
    std::string error;
    ASSERT_TRUE(sfx::MakeSfx(sfx::FindStub("lha_sfx"), dir / "a.lzh", sfx::Kind::Lha, "", dir / "a.exe", &error))
        << error;
    fs::create_directories(dir / "tmp/inner");
    std::string out;
    EXPECT_EQ(RunTool("env TMPDIR=" + Quote(dir / "tmp/inner") + " " + Quote(dir / "a.exe"), &out), 2) << out;
    EXPECT_TRUE(fs::is_empty(dir / "tmp/inner"));
    EXPECT_FALSE(fs::exists(dir / "tmp/escape.txt"));
    EXPECT_FALSE(fs::exists(dir / "escape.txt"));
}

TEST(CabSfx, MissingOutputFolderFails) {
    TempDir dir;
    WriteFile(dir / "stage/install.exe", kInstaller);
    WriteFile(dir / "stage/sub/data.bin", RandomBytes(70000, 3));
    char text[256];
    ASSERT_EQ(Cab(nullptr, ("-a -ml:21 -i " + Q(dir / "setup.cab") + " " + QF(dir / "stage") + " \"*.*\" ").c_str(),
                  text, 256),
              0)
        << text;
    EXPECT_NE(Cab(nullptr, ("-f -i " + Q(dir / "setup.cab") + " " + QF(dir / "out") + " ").c_str(), text, 256), 0);
    EXPECT_NE(std::string(text).find("not found"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST(CabSfx, RunsTheCommandAndDeletesTheFilesWhenAsked) {
    TempDir dir;
    WriteFile(dir / "stage/install.exe", kInstaller);
    WriteFile(dir / "stage/sub/data.bin", RandomBytes(70000, 3));
    char text[256];
    ASSERT_EQ(Cab(nullptr, ("-a -ml:15 " + Q(dir / "setup.cab") + " " + QF(dir / "stage") + " *.*").c_str(), text, 256),
              0)
        << text;
    // The dialog confirmed as it opens: extract into %temp%\<name>\, run nothing.
    {
        DialogConfirmer confirm;
        ASSERT_EQ(Cab(nullptr, ("-f -i " + Q(dir / "setup.cab") + " " + QF(dir.path())).c_str(), text, 256), 0) << text;
        EXPECT_EQ(confirm.confirmed(), 1);
    }
    fs::create_directories(dir / "t1");
    EXPECT_EQ(RunTool(Env(dir / "t1", "C") + Quote(dir / "setup.exe")), 0);
    EXPECT_EQ(ReadFile(MadeFor(dir / "t1/setup") / "sub/data.bin"), ReadFile(dir / "stage/sub/data.bin"));

    // The options the dialog will set: a dated folder, install.exe, delete afterwards.
    sfx::CabSfxOptions o;
    o.extractDir = "%temp%\\DOZOZE\\20240102_030405\\";
    o.command = "install.exe";
    o.deleteAfterRun = true;
    std::string error;
    ASSERT_TRUE(sfx::MakeSfx(sfx::FindStub("cab_sfx"), dir / "setup.cab", sfx::Kind::Cab,
                             sfx::EncodeCabSfxOptions(o), dir / "run.exe", &error))
        << error;
    fs::create_directories(dir / "t2");
    std::string out;
    EXPECT_EQ(RunTool(Env(dir / "t2", "C") + Quote(dir / "run.exe"), &out), 7) << out;
    const fs::path t2 = MadeFor(dir / "t2/DOZOZE/20240102_030405");
    ASSERT_FALSE(t2.empty());
    EXPECT_FALSE(fs::exists(t2 / "sub/data.bin"));
    EXPECT_FALSE(fs::exists(t2 / "install.exe"));
    // The mark the command left is not ours to delete.
    EXPECT_TRUE(fs::exists(t2 / "ran_in.txt"));

    o.deleteAfterRun = false;
    ASSERT_TRUE(sfx::MakeSfx(sfx::FindStub("cab_sfx"), dir / "setup.cab", sfx::Kind::Cab,
                             sfx::EncodeCabSfxOptions(o), dir / "keep.exe", &error));
    fs::create_directories(dir / "t3");
    EXPECT_EQ(RunTool(Env(dir / "t3", "C") + Quote(dir / "keep.exe") + " /S \"two words\""), 7);
    const fs::path t3 = MadeFor(dir / "t3/DOZOZE/20240102_030405");
    EXPECT_TRUE(fs::exists(t3 / "sub/data.bin"));
    EXPECT_EQ(ReadFile(t3 / "args.txt"), "/S two words\n");
}

TEST(CabSfx, DamagedCabinetIsRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    WriteFile(dir / "stage/install.exe", kInstaller);
    WriteFile(dir / "stage/data.txt", TextLike(200000, 4));
    char text[256];
    ASSERT_EQ(Cab(nullptr, ("-a " + Q(dir / "a.cab") + " " + QF(dir / "stage") + " *.*").c_str(), text, 256), 0);
    {
        DialogConfirmer confirm;
        ASSERT_EQ(Cab(nullptr, ("-f " + Q(dir / "a.cab") + " " + QF(dir.path())).c_str(), text, 256), 0) << text;
    }
    std::string exe = ReadFile(dir / "a.exe");
    const std::size_t at = exe.size() - 200;  // inside the last data block
    exe[at] = static_cast<char>(exe[at] ^ 0x01);
    WriteFile(dir / "bad.exe", exe);
    fs::permissions(dir / "bad.exe", fs::perms::owner_all);
    fs::create_directories(dir / "tmp");
    std::string out;
    EXPECT_EQ(RunTool(Env(dir / "tmp", "C") + Quote(dir / "bad.exe"), &out), 2) << out;
    EXPECT_TRUE(fs::is_empty(dir / "tmp"));
}

TEST(SfxLayout, ProgramWithoutAnArchiveIsRecognised) {
    TempDir dir;
    WriteFile(dir / "plain", std::string(100, 'x'));
    FILE* f = std::fopen((dir / "plain").c_str(), "rb");
    sfx::Layout layout;
    std::string error;
    EXPECT_FALSE(sfx::ReadLayout(f, &layout, &error));
    std::fclose(f);
    // The stub itself carries no archive.
    std::string out;
    EXPECT_EQ(RunTool(Quote(sfx::FindStub("lha_sfx")), &out), 2) << out;
}

}  // namespace
}  // namespace archivers

namespace archivers {
namespace {

namespace fs = std::filesystem;
using namespace archivers::testing;
namespace w = platform::winmsg;

void MakeStagedCabinet(const fs::path& dir) {
    WriteFile(dir / "stage/install.exe", kInstaller);
    WriteFile(dir / "stage/sub/data.bin", RandomBytes(5000, 9));
    char text[256];
    ASSERT_EQ(Cab(nullptr, ("-a -ml:15 -i " + Q(dir / "setup.cab") + " " + QF(dir / "stage") + " \"*.*\"").c_str(),
                  text, 256),
              0)
        << text;
}

}  // namespace

TEST(CabOptionDialog, ChoicesMadeInTheDialogGoIntoTheSelfExtractor) {
    TempDir dir;
    MakeStagedCabinet(dir.path());
    char text[256];
    {
        DialogConfirmer confirm("%temp%\\DOZOZE\\T1\\", "install.exe");
        ASSERT_EQ(Cab(nullptr, ("-f -i " + Q(dir / "setup.cab") + " " + QF(dir.path())).c_str(), text, 256), 0) << text;
    }
    fs::create_directories(dir / "t");
    std::string out;
    EXPECT_EQ(RunTool(Env(dir / "t", "C") + Quote(dir / "setup.exe"), &out), 7) << out;
    EXPECT_EQ(ReadFile(MadeFor(dir / "t/DOZOZE/T1") / "sub/data.bin"), ReadFile(dir / "stage/sub/data.bin"));
    EXPECT_TRUE(fs::exists(MadeFor(dir / "t/DOZOZE/T1") / "ran_in.txt")) << "the command ran in the extraction folder";
}

TEST(CabOptionDialog, LaidOutForTheHelperAndCancelFails) {
    TempDir dir;
    MakeStagedCabinet(dir.path());
    char text[256] = {};
    std::atomic<int> result{-1};  // set once the build returned, after its text
    // std::jthread: a failed assertion below ends the test with its message instead of ending
    // the process on a thread never joined (the dialog gives up on its own after 60 s).
    std::jthread maker([&] { result = Cab(nullptr, ("-f " + Q(dir / "setup.cab") + " " + QF(dir.path())).c_str(), text, 256); });
    // The dialog is visible while it still adds its controls: wait until the last of them, the
    // cancel button, is there. A loaded machine may take long to show it; the dialog itself gives
    // up after 60 s, so waiting up to 50 s never outlives it.
    w::Hwnd dialog = 0;
    std::vector<w::Hwnd> children;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(50);
    while (std::chrono::steady_clock::now() < giveUp) {
        dialog = w::FindWindow(platform::sjis::S("自己解凍形式書庫の作成"));
        children = w::EnumChildWindows(dialog);
        if (children.size() > 10 && w::FindChildByCaption(dialog, platform::sjis::S("キャンセル")) != 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_NE(dialog, 0u) << "no dialog after 50 s; the build " << (result != -1 ? std::string("said: ") + text : "runs");
    ASSERT_GE(children.size(), 12u) << "controls of the dialog";
    w::WindowInfo folder, command, noAsk, remove;
    ASSERT_TRUE(w::GetWindowInfo(children[6], folder));
    ASSERT_TRUE(w::GetWindowInfo(children[10], command));
    EXPECT_EQ(folder.kind, w::ControlKind::Edit);
    EXPECT_EQ(folder.text, "%temp%\\setup\\");
    EXPECT_EQ(command.kind, w::ControlKind::Edit);
    EXPECT_EQ(command.text, "");
    ASSERT_TRUE(w::GetWindowInfo(w::FindChildByCaption(dialog, platform::sjis::S("解凍時に解凍先フォルダを問い合わせない")), noAsk));
    ASSERT_TRUE(w::GetWindowInfo(w::FindChildByCaption(dialog, platform::sjis::S("プログラム終了後、解凍されたファイルを削除する")), remove));
    EXPECT_EQ(noAsk.kind, w::ControlKind::CheckBox);
    EXPECT_EQ(noAsk.check, 1);
    EXPECT_EQ(remove.check, 0);
    EXPECT_NE(w::FindChildByCaption(dialog, "OK"), 0u);

    w::Hwnd cancel = w::FindChildByCaption(dialog, platform::sjis::S("キャンセル"));
    w::SendMessage(cancel, w::WM_LBUTTONDOWN, 0);
    w::SendMessage(cancel, w::WM_LBUTTONUP, 0);
    maker.join();
    EXPECT_NE(result, 0);
    EXPECT_NE(std::string(text).find("cancelled"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(dir / "setup.exe"));
    EXPECT_EQ(w::FindWindow(platform::sjis::S("自己解凍形式書庫の作成")), 0u) << "the dialog is gone";
}

TEST(CabOptionDialog, UnconfirmedDialogFailsAfterTheTimeOut) {
    TempDir dir;
    MakeStagedCabinet(dir.path());
    ::setenv("CAB32_DIALOG_TIMEOUT_MS", "200", 1);
    char text[256] = {};
    int result = Cab(nullptr, ("-f -i " + Q(dir / "setup.cab") + " " + QF(dir.path())).c_str(), text, 256);
    ::unsetenv("CAB32_DIALOG_TIMEOUT_MS");
    EXPECT_NE(result, 0);
    EXPECT_NE(std::string(text).find("not confirmed"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(dir / "setup.exe"));
}

TEST(CabOptionDialog, HelperProgramFillsItDuringTheBuild) {
    TempDir dir;
    MakeStagedCabinet(dir.path());
    auto editor = w::Window::Register("Raredovo");
    ASSERT_TRUE(editor);
    pid_t helper = ::fork();
    if (helper == 0) {
        ::execl(ROZIVU_EXE, "rozivu", "20261209_073000", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    char text[256];
    int result = Cab(nullptr, ("-f -i " + Q(dir / "setup.cab") + " " + QF(dir.path())).c_str(), text, 256);
    editor.reset();  // the helper ends with the editor's window
    int status = 0;
    for (int i = 0; i < 1000 && ::waitpid(helper, &status, WNOHANG) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(helper, SIGKILL);
    ::waitpid(helper, nullptr, WNOHANG);
    ASSERT_EQ(result, 0) << text;

    fs::create_directories(dir / "t");
    std::string out;
    EXPECT_EQ(RunTool(Env(dir / "t", "C") + Quote(dir / "setup.exe"), &out), 7) << out;
    EXPECT_TRUE(fs::exists(MadeFor(dir / "t/DOZOZE/20261209_073000") / "sub/data.bin"));
    EXPECT_TRUE(fs::exists(MadeFor(dir / "t/DOZOZE/20261209_073000") / "ran_in.txt")) << "install.exe ran there";
}

}  // namespace archivers
