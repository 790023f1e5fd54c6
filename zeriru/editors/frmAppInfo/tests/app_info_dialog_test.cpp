// The application information dialog: what a project opens with, the folder rule with its
// question on every group in order, the per-version keys, the version from the main file, the
// reduced project and the logo preview.
#include "pe_builder.h"
#include "platform/sjis.h"
#include "prefix_fixture.h"
#include "zeriru/editors/app_info_dialog_model.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace zeriru;

namespace {

const std::vector<std::string> kMain = {"%ProgramFilesDir%", "%AbsoluteDir%", "%SearchFileDir%", "%RegistryDir%"};
const std::vector<std::string> kSub = {"%ProgramFilesDir%", "%AbsoluteDir%"};

TIniDocument Project(std::string_view text) {
    TIniDocument doc;
    doc.LoadFromText(text);
    return doc;
}

AppInfoDialogModel Filled(const TIniDocument& project, int projectType = 0) {
    AppInfoDialogModel m(false, projectType, kMain, kSub);
    m.Fill(project);
    m.title = "T";
    m.softName = "N";
    m.copyright = "C";
    return m;
}

std::string S(const char* utf8) { return platform::sjis::S(utf8); }
std::string MessageOf(const CheckOutcome& r) { return r ? r->message : std::string(); }

}  // namespace

TEST(AppInfoDialog, ANewProjectAsksAboutTheSystemFolderAndStoresItOnNo) {
    TIniDocument project = Project("[Project]\r\nProjectName=a\r\n");
    AppInfoDialogModel m = Filled(project);
    EXPECT_TRUE(m.sameFolder);
    EXPECT_EQ(m.folder.define(), "%ProgramFilesDir%");
    EXPECT_EQ(m.fallback.define(), "%ProgramFilesDir%");
    EXPECT_FALSE(m.FallbackShown());
    ScriptedUi ui;
    ui.QueueAnswer(Answer::No);
    EXPECT_FALSE(m.Ok(ui));
    EXPECT_EQ(ui.messages(),
              std::vector<std::string>{S("項目:インストール先フォルダの指定\r\r指定フォルダはシステムフォルダのため、サブフォルダを設定しておくことをおすすめします。設定しますか。")});
    m.Write(project);
    EXPECT_EQ(project.ReadString("Software", "Folder"), "%ProgramFilesDir%|");
    EXPECT_EQ(project.ReadString("Software", "FolderTargetChange"), "0");

    ScriptedUi yes;
    yes.QueueAnswer(Answer::Yes);
    const CheckOutcome r = m.Ok(yes);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->message, "") << "the user asked for the parameter: nothing more to tell";
    EXPECT_TRUE(r->openParameterDialog);
    EXPECT_EQ(r->field, "edtFolderParameter");
    EXPECT_EQ(m.GroupOfControl(r->field), &m.folder);
}

TEST(AppInfoDialog, TheBasicTextsComeFirstAndAreAllAReducedProjectChecks) {
    struct Case {
        const char* title;
        const char* name;
        const char* copyright;
        std::string message;
        const char* field;
    } cases[] = {
        {"", "", "", S("インストーラタイトルが入力されていません。"), "edtTitle"},
        {"T", "", "", S("アプリケーション名が入力されていません。"), "edtSoftName"},
        {"T", "N", "", S("著作権表示を入力してください。"), "edtCopyright"},
    };
    for (const Case& c : cases) {
        AppInfoDialogModel m = Filled(Project(""));
        m.title = c.title;
        m.softName = c.name;
        m.copyright = c.copyright;
        ScriptedUi ui;
        const CheckOutcome r = m.Ok(ui);
        EXPECT_EQ(MessageOf(r), c.message);
        EXPECT_EQ(r->field, c.field);
        EXPECT_EQ(r->page, "tsBasic");
        EXPECT_TRUE(ui.messages().empty()) << "no folder question before the texts are there";
    }
    TIniDocument project = Project("[Software]\r\nFolder=%Date%|\r\nLogoEnabled=1\r\nLogoPosition=1|\r\n");
    const std::string before = project.SaveToText();
    AppInfoDialogModel reduced = Filled(project, 1);
    reduced.logoEnabled = true;
    ScriptedUi ui;
    EXPECT_FALSE(reduced.Ok(ui)) << "a reduced project has no folder or logo to check";
    reduced.SetVersion(0, 3);
    reduced.Write(project);
    EXPECT_EQ(project.ReadString("Software", "Folder"), "%Date%|");
    EXPECT_EQ(project.ReadString("Software", "LogoPosition"), "1|");
    EXPECT_FALSE(project.ValueExists("Software", "FolderTargetChange"));
    EXPECT_EQ(project.ReadString("Software", "InstallerTitle"), "T");
    EXPECT_EQ(project.ReadString("Software", "MajorVersion"), "3");
}

TEST(AppInfoDialog, TheFolderRuleTellsTheGroupAndItsPage) {
    struct Case {
        const char* define;
        const char* parameter;
        std::string message;
        const char* field;
        bool parameterDialog;
    } cases[] = {
        {"%Date%", "", S("項目:インストール先フォルダの指定\r\rサポートしていないフォルダ定数か、この項目では使用できないフォルダ定数です。"),
         "cmbFolderDefine", false},
        {"%RegistryDir%", "", S("項目:インストール先フォルダの指定\r\rパラメータが入力されていません。パラメータを入力してください。"),
         "edtFolderParameter", true},
        {"%ProgramFilesDir%", "Vendor\\App", "", "", false},
        {"C:\\Apps", "", "", "", false},  // no define: accepted as it is
        {"%InstallDir%", "", "", "", false},
    };
    for (const Case& c : cases) {
        AppInfoDialogModel m = Filled(Project(""));
        m.folder.SetDefine(c.define);
        m.folder.parameter = c.parameter;
        ScriptedUi ui;
        const CheckOutcome r = m.Ok(ui);
        EXPECT_EQ(MessageOf(r), c.message) << c.define;
        EXPECT_TRUE(ui.messages().empty()) << c.define;
        if (!r) continue;
        EXPECT_EQ(r->field, c.field);
        EXPECT_EQ(r->openParameterDialog, c.parameterDialog);
        EXPECT_EQ(r->page, "tsInstallFolder");
    }
}

TEST(AppInfoDialog, TheFallbackShowsForDefinesWithParametersAndIsCheckedForSearchingOnes) {
    AppInfoDialogModel m = Filled(Project(""));
    m.folder.SetDefine("%RegistryDir%");
    m.folder.parameter = "HKEY_CURRENT_USER,Software\\A,Dir";
    EXPECT_TRUE(m.FallbackShown());
    m.fallback.SetDefine("%SearchFileDir%");
    ScriptedUi ui;
    CheckOutcome r = m.Ok(ui);
    EXPECT_EQ(MessageOf(r), S("項目:旧バージョンが検索できなかった場合のインストール先の指定\r\rパラメータが入力されていません。パラメータを入力してください。"));
    m.fallback.SetDefine("%Date%");
    EXPECT_FALSE(m.Ok(ui)) << "a fallback that does not search is not checked";
    m.folder.SetDefine("%AbsoluteDir%");
    EXPECT_FALSE(m.FallbackShown());
    m.folder.parameter = "%WINDIR%\\App";
    const auto line = m.StatusLine([](std::string_view t) { return "install:" + std::string(t); },
                                   [](std::string_view t) { return "env:" + std::string(t); });
    EXPECT_EQ(line, "env:%WINDIR%\\App");
    m.folder.SetDefine("%SearchFileDir%");
    m.fallback.SetDefine("%ProgramFilesDir%");
    m.fallback.parameter = "App";
    EXPECT_EQ(m.StatusLine([](std::string_view t) { return std::string(t); }, {}), "%ProgramFilesDir%\\App");
}

TEST(AppInfoDialog, PerVersionGroupsAreCheckedInOrderUnlessShared) {
    TIniDocument project = Project(
        "[Software]\r\nFolderTargetChange=1\r\nFolder=%ProgramFilesDir%|App\r\nSearchFileDir=%ProgramFilesDir%|App\r\n"
        "FolderWinXP=%ProgramFilesDir%|XP\r\nSearchFileDirWin2000=%Date%|\r\nSearchFileDirWin7=%Time%|\r\n");
    AppInfoDialogModel m = Filled(project);
    EXPECT_FALSE(m.sameFolder);
    EXPECT_TRUE(m.versionFallbacks[0].shared()) << "a missing key shows the shared entry";
    EXPECT_EQ(m.versionFolders[5].parameter, "XP");
    ScriptedUi ui;
    CheckOutcome r = m.Ok(ui);
    EXPECT_EQ(MessageOf(r),
              S("項目:検索できなかった場合のインストール先フォルダの指定(Windows 2000)\r\rサポートしていないフォルダ定数か、この項目では使用できないフォルダ定数です。"));
    EXPECT_EQ(r->page, "tsFallbackPerVersion");
    EXPECT_EQ(r->field, "cmbSearchDefineWin2000");
    m.versionFallbacks[4].SetDefine(FolderGroup::SharedEntry());
    r = m.Ok(ui);
    EXPECT_EQ(r->field, "cmbSearchDefineWin7") << "Windows 7 is checked like the others";
    m.versionFallbacks[8].SetShared();
    m.versionFolders[5].SetDefine(FolderGroup::SharedEntry());
    EXPECT_FALSE(m.Ok(ui));
    m.Write(project);
    EXPECT_FALSE(project.ValueExists("Software", "FolderWinXP"));
    EXPECT_FALSE(project.ValueExists("Software", "SearchFileDirWin2000"));
    EXPECT_EQ(project.ReadString("Software", "FolderTargetChange"), "1");
    EXPECT_EQ(project.ReadString("Software", "Folder"), "%ProgramFilesDir%|App");
}

TEST(AppInfoDialog, SameFolderModeKeepsThePerVersionKeys) {
    TIniDocument project = Project("[Software]\r\nFolderTargetChange=1\r\nFolderWin98=%ProgramFilesDir%|98\r\n");
    AppInfoDialogModel m = Filled(project);
    m.sameFolder = true;
    m.folder.parameter = "App";
    ScriptedUi ui;
    ASSERT_FALSE(m.Ok(ui));
    m.Write(project);
    EXPECT_EQ(project.ReadString("Software", "FolderTargetChange"), "0");
    EXPECT_EQ(project.ReadString("Software", "FolderWin98"), "%ProgramFilesDir%|98");
}

TEST(AppInfoDialog, AStoredDefineSelectsItsEntryOrGoesFirst) {
    AppInfoDialogModel m = Filled(Project("[Software]\r\nFolder=%absolutedir%|C:\\A\r\nSearchFileDir=%MyDocumentsDir%|x\x01y\r\n"));
    EXPECT_EQ(m.folder.define(), "%AbsoluteDir%") << "the combo's own entry, whatever the case";
    EXPECT_EQ(m.folder.entries().size(), kMain.size());
    EXPECT_EQ(m.fallback.define(), "%MyDocumentsDir%");
    EXPECT_EQ(m.fallback.entries().front(), "%MyDocumentsDir%");
    EXPECT_EQ(m.fallback.parameter, "x=y") << "the parameter is decoded";
    EXPECT_EQ(m.versionFolders[0].entries().front(), FolderGroup::SharedEntry());
    EXPECT_EQ((FolderRecord{"%ProgramFilesDir%", "a|b\\"}).Format(), "%ProgramFilesDir%|a\x02" "b");
}

TEST(AppInfoDialog, LogoNeedsAFileAndThePreviewPlacesIt) {
    AppInfoDialogModel m = Filled(Project(""));
    m.folder.parameter = "App";
    m.logoEnabled = true;
    ScriptedUi ui;
    const CheckOutcome r = m.Ok(ui);
    EXPECT_EQ(MessageOf(r), S("ロゴファイルが指定されていません。ロゴファイルを指定してください。"));
    EXPECT_EQ(r->page, "tsLogo");
    struct Case {
        int position, size, top, left, width, height;
        int wantLeft, wantTop, wantWidth, wantHeight;
    } cases[] = {
        {0, 0, 5, 5, 10, 10, 0, 0, 556, 78},
        {1, 1, 5, 5, 100, 40, 228, 0, 100, 40},
        {2, 1, 5, 5, 100, 40, 456, 0, 100, 40},
        {3, 0, 7, 9, 100, 40, 9, 7, 556, 78},
    };
    for (const Case& c : cases) {
        m.logoPosition = c.position;
        m.logoSize = c.size;
        m.logoTop = c.top;
        m.logoLeft = c.left;
        m.logoWidth = c.width;
        m.logoHeight = c.height;
        const LogoPreview p = m.Preview(true);
        EXPECT_TRUE(p.picture);
        EXPECT_EQ(p.left, c.wantLeft) << c.position;
        EXPECT_EQ(p.top, c.wantTop) << c.position;
        EXPECT_EQ(p.width, c.wantWidth) << c.position;
        EXPECT_EQ(p.height, c.wantHeight) << c.position;
    }
    m.logoNoHeaderMes = true;
    m.logoNoResize = true;
    EXPECT_FALSE(m.Preview(true).sampleLines);
    EXPECT_FALSE(m.Preview(true).stretch);
    EXPECT_TRUE(m.Preview(true).center);
    EXPECT_FALSE(m.Preview(false).picture) << "no file: the sample lines without a picture";
    EXPECT_TRUE(m.Preview(false).sampleLines);
    m.logoFile = "C:\\logo.bmp";
    EXPECT_FALSE(m.Ok(ui));
    TIniDocument project;
    m.Write(project);
    EXPECT_EQ(project.ReadString("Software", "LogoPosition"), "3|7|9||||||||||||||||||");
    EXPECT_EQ(project.ReadString("Software", "LogoSize"), "0|100|40||||||||||||||||||");
}

struct AppInfoVersion : PrefixTest {};

TEST_F(AppInfoVersion, TheVersionComesFromTheMainFileIgnoringCaseAndKeepsTheOtherNumber) {
    test::PeImage image;
    image.major = 2, image.minor = 5, image.release = 0, image.build = 13;
    std::filesystem::create_directories(C("src"));
    std::ofstream(C("src/App.exe"), std::ios::binary) << test::BuildPe(image);
    const std::vector<std::string> items = {"1|0|%InstallDir%|bin|C:\\src\\App.exe|"};
    AppInfoDialogModel m = Filled(Project(""));
    m.versions = {1, 1, 1, 1, 7};
    EXPECT_FALSE(m.VersionFromFileEnabled());
    m.ChooseMainFile("  %INSTALLDIR%\\BIN\\app.exe ");
    EXPECT_EQ(m.mainFileName, "%INSTALLDIR%\\BIN\\app.exe");
    EXPECT_TRUE(m.VersionFromFileEnabled());
    EXPECT_EQ(m.TakeVersionFromMainFile(items), "");
    EXPECT_EQ(m.versions, (std::array<int, 5>{2, 5, 0, 13, 7}));
    m.mainFileName = "%InstallDir%\\other.exe";
    EXPECT_EQ(m.TakeVersionFromMainFile(items), S("メインファイル名が指定されていません。"));
    m.mainFileName = "%InstallDir%\\gone.exe";
    EXPECT_EQ(m.TakeVersionFromMainFile({"1|0|%InstallDir%||C:\\src\\gone.exe|"}), S("ファイルが存在しません。"));
}
