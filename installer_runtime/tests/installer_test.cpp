// The installer module against a fresh prefix: files and folders from data files of both
// staging layouts, the screens it shows and asks, and the requirements it checks first.
#include "installer_fixture.h"
#include "texts.h"

using namespace installer;

using namespace installer::testing;

namespace {

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
        {707, {"X"}, "セットアップ情報ファイル X を読み込めませんでした。"},  // the module's own text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
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
        const char* heading;  // UTF-8
        const char* problem;  // the line after it
    } cases[] = {
        {"staged file missing", {"1|0|%InstallDir%||missing.txt||||"}, "インストール ファイルが壊れているか、足りません。",
         "  C:\\展開\\missing.txt"},
        {"name leaves its folder", {"1|0|%InstallDir%||a.txt||..\\..\\evil.txt||"},
         "インストール情報ファイルの次の項目は、使ってよいフォルダの外を指しています。", "  a.txt -> ..\\..\\evil.txt"},
        {"define unknown here", {"1|0|%SystemWow64Directory%||a.txt||||"},
         "インストール ファイルが壊れているか、足りません。", "  %SystemWow64Directory%"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        console = {};
        items = c.items;
        WriteData();
        Put(runtime + "\\a.txt", "x");
        const InstallResult r = Run(true);
        EXPECT_EQ(r.exitCode, kExitBadData);
        EXPECT_TRUE(console.Has(c.heading)) << console.All();
        EXPECT_TRUE(console.Has(c.problem)) << console.All();
        EXPECT_FALSE(wp::FileExists(Dir("")));
    }
}

TEST_F(InstallerTest, QuestionsOnlyWithoutSilentMode) {
    extra = "[ScreenSetting]\r\nPanel04=0\r\n";  // no folder question here
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
    for (const char* n : {"b", "c"}) PutOld(Dir("\\") + n + ".txt", "old");
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
    PutOld(Dir("\\a.txt"), "old");
    ASSERT_TRUE(wp::SetFileAttributes(Dir("\\a.txt"), wp::kAttrReadOnly));
    const InstallResult r = Run(true);
    ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(Get(Dir("\\a.txt")), "new");
    EXPECT_TRUE(wp::GetFileAttributes(Dir("\\a.txt")) & wp::kAttrReadOnly);
    const zeriru::TIniDocument record = zeriru::TIniDocument::OpenWindowsPath(r.record);
    EXPECT_EQ(zeriru::GetItemField(record.ReadString("Files", "0"), 2), "1");  // it was there before
    EXPECT_TRUE(r.folders.empty());
}

TEST_F(InstallerTest, RequirementsAreCheckedBeforeAnything) {
    items = {"1|0|%InstallDir%||a.txt||||"};
    Put(runtime + "\\a.txt", "a");
    options.machine.memoryMb = 1024;
    const std::string wrongSystem = "お使いのオペレーティング システムでは、このプログラムをインストールできません。";
    struct Case {
        const char* name;
        std::string sections;
        int exitCode;
        std::string told;  // UTF-8
    } cases[] = {
        {"Windows XP only", "[OSSetting]\r\nOSVersion=32\r\n", kExitRequirements, wrongSystem},
        {"Windows 7 with service pack 2", "[OSSetting]\r\nSPVersion=0,0,0,0,0,2\r\n", kExitRequirements, wrongSystem},
        {"servers only", "[OSSetting]\r\nProductType=2\r\n", kExitRequirements, wrongSystem},
        {"4096 MB of memory", "[InstallLimit]\r\nMemoryCheck=16\r\n", kExitRequirements,
         "このプログラムのインストールには 4096 MB 以上のメモリが必要です。"},
        {"no system check", "[OSSetting]\r\nCheckOSVersion=0\r\nOSVersion=32\r\n", kExitInstalled,
         "見本アプリ のインストールが完了しました。"},
        {"1024 MB is enough for 1024", "[InstallLimit]\r\nMemoryCheck=4\r\n", kExitInstalled,
         "見本アプリ のインストールが完了しました。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        console = {};
        extra = c.sections;
        WriteData();
        EXPECT_EQ(Run().exitCode, c.exitCode) << console.All();
        EXPECT_TRUE(console.Has(c.told)) << console.All();
        EXPECT_EQ(wp::FileExists(Dir("\\a.txt")), c.exitCode == kExitInstalled);
        if (c.exitCode == kExitInstalled) {
            ASSERT_EQ(RunUninstall(Dir("\\Install.dat")).exitCode, kExitInstalled);
        }
    }
}

TEST_F(InstallerTest, DocumentAndLicenceAreShownAndTheLicenceMustBeAccepted) {
    // The licence was staged under a numbered name; the item names it license.txt.
    items = {"1|0|%InstallDir%||readme.txt||||", "1|0|%InstallDir%|doc|license1.txt||license.txt||"};
    Put(runtime + "\\readme.txt", "read me\r\nsecond line\r\n");
    Put(runtime + "\\license1.txt", S("使用許諾の本文\r\n"));
    const std::string screens = "[ScreenSetting]\r\nPanel02=1\r\nPanel03=1\r\nPanel04=0\r\n";
    software = S("[Software]\r\nInstallerTitle=見本\r\nSoftName=見本アプリ\r\nFolder=%ProgramFilesDir%|見本|\r\n"
                 "DocumentFile=%InstallDir%\\readme.txt\r\nLicenseFile=%InstallDir%\\doc\\license.txt\r\n");
    extra = screens;
    WriteData();
    console.answers = {false};  // the licence declined
    EXPECT_EQ(Run(false).exitCode, kExitCancelled) << console.All();
    EXPECT_TRUE(console.Has("read me")) << console.All();
    EXPECT_TRUE(console.Has("second line")) << console.All();
    EXPECT_TRUE(console.Has("使用許諾の本文")) << console.All();
    ASSERT_EQ(console.questions.size(), 1u);
    EXPECT_EQ(console.questions[0], "契約のすべての条項に同意する場合は「同意する」を選んでください。同意しない場合、"
                                    "見本アプリ はインストールされません。 [同意する(A)/同意しない(D)]");
    EXPECT_FALSE(wp::FileExists(Dir("")));

    console = {};
    EXPECT_EQ(Run(true).exitCode, kExitInstalled) << console.All();  // silent mode accepts
    EXPECT_TRUE(console.questions.empty());

    // Accepting is not needed: shown, not asked.
    extra = screens + "[Installer]\r\nEnableUninstallSetting=0\r\n";
    software += "AlwaysAgree=1\r\n";
    WriteData();
    console = {};
    console.answers = {true};  // ready
    EXPECT_EQ(Run(false).exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(console.questions.size(), 1u) << "only the last question";

    // A licence that is not there stops the installation as damaged data.
    ASSERT_TRUE(wp::DeleteFile(runtime + "\\license1.txt"));
    console = {};
    EXPECT_EQ(Run(true).exitCode, kExitBadData) << console.All();
}

TEST_F(InstallerTest, TheInstallFolderTheUserTypes) {
    items = {"1|0|%InstallDir%||a.txt||||"};
    Put(runtime + "\\a.txt", "a");
    WriteData();
    // A folder on the host's root is refused; the next answer is taken.
    console.textAnswers = {"Z:\\tmp\\x", "C:\\別の場所\\見本"};
    console.answers = {true};
    const InstallResult r = Run(false);
    ASSERT_EQ(r.exitCode, kExitInstalled) << console.All();
    EXPECT_TRUE(console.Has("フォルダ名が正しくありません。")) << console.All();
    EXPECT_EQ(Get(S("C:\\別の場所\\見本\\a.txt")), "a");
    EXPECT_EQ(r.record, S("C:\\別の場所\\見本\\Install.dat"));
    EXPECT_FALSE(wp::FileExists(Dir("")));

    // [Installer] Options bit 2: the folder is fixed, nobody is asked.
    extra = "[Installer]\r\nOptions=4\r\n";
    WriteData();
    console = {};
    console.answers = {true};
    ASSERT_EQ(Run(false).exitCode, kExitInstalled) << console.All();
    EXPECT_EQ(console.questions.size(), 1u);
    EXPECT_EQ(Get(Dir("\\a.txt")), "a");
}

}  // namespace
