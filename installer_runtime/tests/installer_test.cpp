// The installer module against a fresh prefix: plans from data files of both staging layouts,
// installs the bytes into the define folders and records what it did.
#include "installer_runtime/installer.h"

#include "platform/pathtext.h"
#include "platform/registry.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "prefix_fixture.h"
#include "zeriru/platform_machine.h"
#include "zeriru/project_file.h"

#include <gtest/gtest.h>

#include <deque>

namespace wp = platform::winpath;
namespace sj = platform::sjis;
using namespace installer;

namespace {

class ScriptedConsole : public Console {
public:
    void Line(std::string_view text) override { lines.push_back(sj::ToUtf8(text)); }
    bool Ask(std::string_view text, bool fallback) override {
        questions.push_back(sj::ToUtf8(text));
        if (answers.empty()) return fallback;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    bool Has(const std::string& utf8) const {
        for (const auto& l : lines)
            if (l == utf8) return true;
        return false;
    }
    std::string All() const {
        std::string out;
        for (const auto& l : lines) out += l + "\n";
        return out;
    }
    std::vector<std::string> lines, questions;
    std::deque<bool> answers;
};

const char* kLanguage =
    "[Control_Info]\r\nLocalID=1041\r\nDefaultLocalID=1041\r\n"
    "[ResourceString_1041]\r\n0=%s セットアップ\r\n5=はい(&Y)\r\n6=いいえ(&N)\r\n100=%s のセットアップへようこそ\r\n"
    "451=%s をインストールする準備ができました。\r\n453=インストール先: %s\r\n501=%s をインストールしています。\r\n"
    "502=ファイルをコピーしています: %s\r\n503=フォルダを作成しています: %s\r\n508=アンインストール情報を作成しています。\r\n"
    "601=%s のインストールが完了しました。\r\n701=インストールは中止されました。%s はインストールされていません。\r\n"
    "702=ファイル %s をコピーできませんでした。\r\n707=セットアップ情報ファイル %s を読み込めませんでした。\r\n"
    "709=上書きしますか？#13%s\r\n715=インストール ファイルが壊れているか、足りません。\r\n1200=セットアップ ログ: %s\r\n";

struct InstallerTest : PrefixTest {
    std::string runtime = S("C:\\展開");
    std::string software = S("[Software]\r\nInstallerTitle=見本\r\nSoftName=見本アプリ\r\nFolder=%ProgramFilesDir%|見本|\r\n");
    std::string project;  // [Project] lines
    std::vector<std::string> items;
    std::string extra;
    ScriptedConsole console;

    static void Put(const std::string& path, const std::string& bytes) {
        ASSERT_TRUE(wp::CreateDirectoryTree(wp::FolderOf(path)));
        ASSERT_TRUE(wp::WriteWholeFile(path, bytes));
    }
    static std::string Get(const std::string& path) { return wp::ReadWholeFile(path).value_or("<missing>"); }
    void WriteData() {
        std::string text = "[Project]\r\nProjectName=mihon\r\n" + project + software + S(kLanguage) + "[Files]\r\n";
        for (std::size_t i = 0; i < items.size(); ++i) text += std::to_string(i) + "=" + items[i] + "\r\n";
        Put(wp::JoinPath(runtime, "INSTALL.DAT"), text + extra);
    }
    InstallResult Run(bool silent) {
        platform::registry::Registry registry;
        zeriru::TPlatformMachine machine(registry);
        return Install(runtime, silent, console, machine);
    }
    std::string Dir(const char* utf8) const { return S("C:\\Program Files\\見本") + S(utf8); }
};

TEST(LanguageTexts, PlaceholdersLineBreaksAndMissingTexts) {
    zeriru::TIniDocument data;
    data.LoadFromText(sj::S("[Control_Info]\r\nLocalID=1033\r\n[ResourceString_1041]\r\n7=ja\r\n"
                            "[ResourceString_1033]\r\n1=a %s b %s c\r\n2=x#13y\r\n3=&Yes\r\n4=100%s\r\n"
                            "5=表示 %s\r\n"));
    const LanguageTexts texts(data);
    struct Case {
        int id;
        std::vector<std::string> args;
        const char* out;
    } cases[] = {
        {1, {"1", "2"}, "a 1 b 2 c"},
        {1, {"1"}, "a 1 b %s c"},       // a missing argument leaves the mark
        {2, {}, "x\ny"},
        {4, {"%s"}, "100%s"},           // an argument is not expanded again
        {5, {"C:\\a"}, "表示 C:\\a"},  // the trail byte 0x5C of 表 is no separator
        {7, {"p", "q"}, "p q"},         // not in the chosen language: the arguments alone
    };
    for (const auto& c : cases) {
        std::vector<std::string> sjis;
        for (const auto& a : c.args) sjis.push_back(sj::S(a));
        std::string got = c.args.size() == 2   ? texts.Text(c.id, {sjis[0], sjis[1]})
                          : c.args.size() == 1 ? texts.Text(c.id, {sjis[0]})
                                               : texts.Text(c.id);
        EXPECT_EQ(sj::ToUtf8(got), c.out) << c.id;
    }
    EXPECT_EQ(texts.Caption(3), "Yes");
}

TEST_F(InstallerTest, FolderBuildLayoutInstallsEveryEnabledItem) {
    project = "InstallSource=Files\r\n";
    items = {
        S("1|0|%InstallDir%||読んでね.txt|||0|0|"),
        S("1|0|%InstallDir%|資料|読んでね.txt|||0|0|"),
        S("1|0|%SystemDirectory%||lib.dll|||0|0|"),
        S("0|0|%InstallDir%||off.txt|||0|0|"),  // disabled
        S("1|1|%InstallDir%|空のフォルダ||||0|0|"),
        S("1|2|%InstallDir%||gone.txt|||0|0|"),  // a delete item: not an install step
    };
    WriteData();
    Put(runtime + S("\\Files\\読んでね.txt"), "top");
    Put(runtime + S("\\Files\\資料\\読んでね.txt"), "doc");
    Put(runtime + "\\Files\\SystemDirectory\\lib.dll", "dll");
    Put(runtime + "\\Files\\off.txt", "off");

    const InstallResult r = Run(true);
    ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
    EXPECT_TRUE(console.questions.empty());
    EXPECT_EQ(Get(Dir("\\読んでね.txt")), "top");
    EXPECT_EQ(Get(Dir("\\資料\\読んでね.txt")), "doc");
    EXPECT_EQ(Get("C:\\windows\\system32\\lib.dll"), "dll");
    EXPECT_FALSE(wp::FileExists(Dir("\\off.txt")));
    EXPECT_TRUE(wp::DirectoryExists(Dir("\\空のフォルダ")));

    EXPECT_EQ(console.lines.front(), "見本");
    EXPECT_TRUE(console.Has("インストール先: C:\\Program Files\\見本")) << console.All();
    EXPECT_TRUE(console.Has("ファイルをコピーしています: C:\\Program Files\\見本\\資料\\読んでね.txt"));
    EXPECT_TRUE(console.Has("フォルダを作成しています: C:\\Program Files\\見本\\空のフォルダ"));
    EXPECT_EQ(console.lines.back(), "見本アプリ のインストールが完了しました。");

    // The record names every file and the folders this run made, parents first.
    ASSERT_EQ(r.record, Dir("\\Install.dat"));
    const zeriru::TIniDocument record = zeriru::TIniDocument::OpenWindowsPath(r.record);
    EXPECT_EQ(record.EntryCount("Files"), 3u);
    EXPECT_EQ(zeriru::DecodeProjectText(zeriru::GetItemField(record.ReadString("Files", "1"), 1)),
              Dir("\\資料\\読んでね.txt"));
    EXPECT_EQ(zeriru::GetItemField(record.ReadString("Files", "2"), 2), "0");
    ASSERT_EQ(r.folders.size(), 3u);
    EXPECT_EQ(r.folders[0], Dir(""));
    EXPECT_EQ(zeriru::DecodeProjectText(record.ReadString("Folders", "2")), r.folders[2]);
    EXPECT_TRUE(console.Has("セットアップ ログ: " + sj::ToUtf8(r.record)));
}

TEST_F(InstallerTest, FlatLayoutUsesTheNameOfField7AndSelectedComponents) {
    items = {
        S("1|0|%InstallDir%||a.txt||||"),
        S("1|0|%InstallDir%|sub|a1.txt||a.txt||"),  // staged under a numbered name
        "1|5|parts.qinc|||||1|",                   // selected by default
        "1|5|other.qinc|||||0|",                   // not selected
    };
    extra = "[parts.qinc]\r\n0=1|0|%InstallDir%|parts|p.bin||||\r\n1=1|1|%InstallDir%|parts\\empty||||\r\n"
            "[other.qinc]\r\n0=1|0|%InstallDir%|other|o.bin||||\r\n";
    WriteData();
    Put(runtime + "\\a.txt", "first");
    Put(runtime + "\\a1.txt", "second");
    Put(runtime + "\\p.bin", "part");
    Put(runtime + "\\o.bin", "other");

    const InstallResult r = Run(true);
    ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(Get(Dir("\\a.txt")), "first");
    EXPECT_EQ(Get(Dir("\\sub\\a.txt")), "second");
    EXPECT_FALSE(wp::FileExists(Dir("\\sub\\a1.txt")));
    EXPECT_EQ(Get(Dir("\\parts\\p.bin")), "part");
    EXPECT_TRUE(wp::DirectoryExists(Dir("\\parts\\empty")));
    EXPECT_FALSE(wp::FileExists(Dir("\\other")));
}

TEST_F(InstallerTest, BadDataInstallsNothing) {
    struct Case {
        const char* name;
        std::vector<std::string> items;
        const char* problem;  // UTF-8 line after the damaged-files text
    } cases[] = {
        {"staged file missing", {"1|0|%InstallDir%||missing.txt||||"}, "  C:\\展開\\missing.txt"},
        {"name leaves its folder", {"1|0|%InstallDir%||a.txt||..\\..\\evil.txt||"}, "  a.txt -> ..\\..\\evil.txt"},
        {"define unknown here", {"1|0|%SystemWow64Directory%||a.txt||||"}, "  %SystemWow64Directory%"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        console = {};
        items = c.items;
        WriteData();
        Put(runtime + "\\a.txt", "x");
        const InstallResult r = Run(true);
        EXPECT_EQ(r.exitCode, kExitBadData);
        EXPECT_TRUE(console.Has("インストール ファイルが壊れているか、足りません。")) << console.All();
        EXPECT_TRUE(console.Has(c.problem)) << console.All();
        EXPECT_FALSE(wp::FileExists(Dir("")));
    }
    ASSERT_TRUE(wp::DeleteFile(runtime + "\\INSTALL.DAT"));
    console = {};
    EXPECT_EQ(Run(true).exitCode, kExitBadData);
    EXPECT_EQ(console.lines, std::vector<std::string>{"C:\\展開\\INSTALL.DAT"}) << console.All();
}

TEST_F(InstallerTest, QuestionsOnlyWithoutSilentMode) {
    items = {"1|0|%InstallDir%||a.txt||||", "1|0|%InstallDir%||b.txt|||1|", "1|0|%InstallDir%||c.txt|||8|",
             "1|0|%InstallDir%||d.txt|||32|"};
    WriteData();
    for (const char* n : {"a", "b", "c", "d"}) Put(runtime + "\\" + n + ".txt", std::string("new ") + n);

    console.answers = {false};
    EXPECT_EQ(Run(false).exitCode, kExitCancelled);
    ASSERT_EQ(console.questions.size(), 1u);
    EXPECT_EQ(console.questions[0], "見本アプリ をインストールする準備ができました。 [はい(Y)/いいえ(N)]");
    EXPECT_FALSE(wp::FileExists(Dir("")));

    // Existing files: b asks (answered No: kept), c is skipped, d is never copied.
    for (const char* n : {"b", "c"}) Put(Dir("\\") + n + ".txt", "old");
    console = {};
    console.answers = {true, false};
    const InstallResult r = Run(false);
    EXPECT_EQ(r.exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(console.questions.size(), 2u);
    EXPECT_EQ(Get(Dir("\\a.txt")), "new a");
    EXPECT_EQ(Get(Dir("\\b.txt")), "old");
    EXPECT_EQ(Get(Dir("\\c.txt")), "old");
    EXPECT_FALSE(wp::FileExists(Dir("\\d.txt")));
    EXPECT_EQ(r.files.size(), 1u);

    // Silent: no question, and the overwrite question takes its default (overwrite).
    console = {};
    EXPECT_EQ(Run(true).exitCode, kExitInstalled);
    EXPECT_TRUE(console.questions.empty());
    EXPECT_EQ(Get(Dir("\\b.txt")), "new b");
    EXPECT_EQ(Get(Dir("\\c.txt")), "old");
}

TEST_F(InstallerTest, ReadOnlyTargetIsReplacedAndAttributesApplied) {
    items = {"1|0|%InstallDir%||a.txt||||2|"};  // attribute bit 2: read-only
    WriteData();
    Put(runtime + "\\a.txt", "new");
    Put(Dir("\\a.txt"), "old");
    ASSERT_TRUE(wp::SetFileAttributes(Dir("\\a.txt"), wp::kAttrReadOnly));
    const InstallResult r = Run(true);
    ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(Get(Dir("\\a.txt")), "new");
    EXPECT_TRUE(wp::GetFileAttributes(Dir("\\a.txt")) & wp::kAttrReadOnly);
    const zeriru::TIniDocument record = zeriru::TIniDocument::OpenWindowsPath(r.record);
    EXPECT_EQ(zeriru::GetItemField(record.ReadString("Files", "0"), 2), "1");  // it was there before
    EXPECT_TRUE(r.folders.empty());
}

}  // namespace
