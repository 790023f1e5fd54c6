// The shortcut editor without widgets: the item record, the item dialog's checks and modes,
// the list dialog's options and their rules, and the target and icon wizards.
#include "editor_fixture.h"
#include "zeriru/editors/shortcut_dialog_model.h"
#include "zeriru/editors/shortcut_file_wizard_model.h"
#include "zeriru/editors/shortcut_item_dialog_model.h"
#include "zeriru/project_file.h"

using namespace zeriru;
using Source = ShortCutFileWizardModel::Source;
using Kind = ShortCutFileWizardModel::Kind;

namespace {

using Records = std::vector<std::string>;
constexpr const char* kTenEmpty = "||||||||||";

struct ShortCutTest : EditorFixture {
    // An item dialog that accepts what `fill` put in, as a user pressing OK would.
    static ShortCutDialogModel::ItemDialogRunner Fill(std::function<void(ShortCutItemDialogModel&)> fill) {
        return [fill](ShortCutItemDialogModel& dialog) {
            fill(dialog);
            CheckOutcome failed;
            return dialog.Ok(&failed);
        };
    }
    static std::string Record(const std::string& name, int targets) {
        return ShortCutItem{name, "%InstallDir%\\a.exe", "", "", "", 0, "", 0, targets, 0}.Write();
    }
};

}  // namespace

TEST_F(ShortCutTest, TheRecordKeepsFieldsItDoesNotKnowAndReadsItsDefaults) {
    const ShortCutItem item = ShortCutItem::Read("Tools\\Read=me|%InstallDir%\\a.exe|/x|||||||\x01|keep|");
    EXPECT_EQ(item.name, "Tools\\Read=me");
    EXPECT_EQ(item.targets, shortcut_target::kPrograms) << "an empty field 9 is the program group alone";
    EXPECT_EQ(item.iconIndex, 0);
    ShortCutItem changed = item;
    changed.comment = S("説明, a|b");
    changed.targets = shortcut_target::kDesktop | shortcut_target::kQuickLaunch;
    EXPECT_EQ(changed.Write("Tools\\Read\x01me|%InstallDir%\\a.exe|/x||||||||keep|"),
              "Tools\\Read\x01me|%InstallDir%\\a.exe|/x|||0|" + S("説明\x03 a\x02") + "b|0|33|0|keep|" + "|||||||||")
        << "texts escaped, field 11 kept, twenty fields";
    EXPECT_EQ(ShortCutItem::Read(changed.Write()), changed);
    EXPECT_EQ(ShortCutColumnText(changed.Write(), 5), "0");
}

TEST_F(ShortCutTest, ItemDialogChecksInOrderWithTheirMessagesAndFields) {
    struct Case {
        const char* what;
        std::function<void(ShortCutItemDialogModel&)> change;
        std::string message;  // empty: accepted
        const char* field;
    } cases[] = {
        {"a sub-group is accepted", [](auto& d) { d.name = "Tools\\Readme"; }, "", ""},
        {"no name", [](auto& d) { d.name = "  "; }, S("項目名が入力されていません。"), shortcut_control::kName},
        {"leading \\", [](auto& d) { d.name = "\\Readme"; },
         S("使用できない文字 * ? / ; \" < > | が含まれているか、ドライブ文字(A:など)やパス区切り文字(\\)が含まれています。\r"
           "また、先頭にパス区切り文字(\\)を指定することはできません。\rサブグループととして登録する場合は\r\r"
           "サブグループ\\項目名\r\rとして指定してください。"),
         shortcut_control::kName},
        {"a drive in the name", [](auto& d) { d.name = "C:x"; }, "", shortcut_control::kName},
        {"no target", [](auto& d) { d.target.clear(); }, S("ファイルを指定してください。"), shortcut_control::kTarget},
        {"working directory below a define", [](auto& d) { d.workingDirectory = "%InstallDir%\\bin"; }, "", ""},
        {"working directory with a drive", [](auto& d) { d.workingDirectory = "D:\\work"; }, "", ""},
        {"working directory on a share", [](auto& d) { d.workingDirectory = "\\\\srv\\w"; }, "", ""},
        {"relative working directory", [](auto& d) { d.workingDirectory = "bin"; },
         S("使用できない文字 * ? / ; \" < > | が含まれているか、フルパスではありません。"), shortcut_control::kWorkingDirectory},
        {"a wildcard in the working directory", [](auto& d) { d.workingDirectory = "C:\\a*"; },
         S("使用できない文字 * ? / ; \" < > | が含まれているか、フルパスではありません。"), shortcut_control::kWorkingDirectory},
        {"no place", [](auto& d) { d.targets = 0; }, S("ショートカットの作成先が指定されてません。"), shortcut_control::kTargets},
        {"icon index not a number", [](auto& d) { d.iconIndexText = "abc"; }, S("数値を入力してください。"),
         shortcut_control::kIconIndex},
        {"empty icon index", [](auto& d) { d.iconIndexText = ""; }, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ShortCutItemDialogModel dialog(*data);
        dialog.Load(ShortCutItem{});
        dialog.name = "App";
        dialog.target = "%InstallDir%\\a.exe";
        c.change(dialog);
        const CheckOutcome result = dialog.Check();
        if (std::string(c.field).empty()) {
            EXPECT_FALSE(result) << (result ? platform::sjis::ToUtf8(result->message) : "");
            continue;
        }
        ASSERT_TRUE(result);
        if (!c.message.empty()) {
            EXPECT_EQ(result->message, c.message);
        }
        EXPECT_EQ(result->field, c.field);
        EXPECT_EQ(result->page, c.field == std::string(shortcut_control::kIconIndex) ? "tsOther" : "tsDetail");
        EXPECT_EQ(ShortCutItemDialogModel::OpensTargetDialog(*result), c.field == std::string(shortcut_control::kTarget));
    }
}

TEST_F(ShortCutTest, OkStoresAnEmptyIconIndexAsZeroAndTheInternetLinkSwitchesTheLabels) {
    ShortCutItemDialogModel dialog(*data);
    dialog.Load(ShortCutItem{});
    EXPECT_EQ(dialog.targets, shortcut_target::kPrograms) << "a new item goes to the program group";
    EXPECT_EQ(dialog.TargetLabel(), S("ファイル名/フォルダ(&F)"));
    EXPECT_FALSE(dialog.PathsTyped());
    dialog.SetInternetLink(true);
    EXPECT_EQ(dialog.TargetLabel(), S("URL(&U)"));
    EXPECT_EQ(dialog.IconLabel(), S("ファイル/URL(&U)"));
    EXPECT_TRUE(dialog.PathsTyped());
    EXPECT_FALSE(dialog.FileControlsEnabled());
    dialog.name = "Site";
    dialog.target = "http://www.example.com/";
    dialog.iconIndexText = "";
    dialog.noExistCheck = true;
    CheckOutcome failed;
    ASSERT_TRUE(dialog.Ok(&failed));
    EXPECT_EQ(dialog.iconIndexText, "0");
    const ShortCutItem item = dialog.Item();
    EXPECT_EQ(item.flags, shortcut_flag::kInternetLink | shortcut_flag::kNoExistCheck);
    EXPECT_EQ(item.iconIndex, 0);
    dialog.iconIndexText = "99999";
    EXPECT_EQ(dialog.Item().iconIndex, kMaxIconIndex) << "the up-down's range";
}

TEST_F(ShortCutTest, DefineMenuInsertsAtTheCaretAndTheBuilderOffersFolderAndFileDefines) {
    EXPECT_EQ(ShortCutItemDialogModel::DefineMenu().size(), 5u);
    EXPECT_TRUE(ShortCutItemDialogModel::MenuEntryOpensBuilder(4));
    EXPECT_EQ(ShortCutItemDialogModel::InsertDefine("/a /b", 3, 0, "%InstallDir%"), "/a %InstallDir%/b");
    EXPECT_EQ(ShortCutItemDialogModel::InsertDefine("/a XX", 3, 2, "%WindowsDirectory%"), "/a %WindowsDirectory%");
    ShortCutItemDialogModel dialog(*data);
    const DefineBuilderDialogModel builder = dialog.Builder("x");
    EXPECT_EQ(builder.mask(), kMaskFolderOrFile);
    EXPECT_EQ(builder.text(), "x");
}

TEST_F(ShortCutTest, ListDialogReadsAndWritesEveryKeyAndTheUserOptionsFollowTheirSwitch) {
    LoadProject("[Installer]\nEnableShortCutSetting=1\n[ShortCutSetting]\nUseSection=Links\nGroupName=" +
                S("見本\x01アプリ") + "\nShowCheckBox=0\nDefaultCheckBox=15\nVisibleSelectUser=1\nCheckSelectUser=1\n"
                "EnableSelectUser=0\n[Links]\n0=" + Record("Desk", shortcut_target::kDesktop) + "\n");
    ShortCutDialogModel model(*data);
    model.Load(project, false);
    EXPECT_EQ(model.groupName(), S("見本=アプリ"));
    EXPECT_FALSE(model.showCheckBox());
    EXPECT_TRUE(model.InitialTargetEnabled(0));
    EXPECT_FALSE(model.InitialTargetEnabled(1)) << "no item goes to the startup folder";
    EXPECT_EQ(model.defaultCheckBox(), 1) << "the places no item goes to are cleared on opening";
    EXPECT_TRUE(model.lockSelectUser());
    EXPECT_FALSE(model.changed());

    model.SetVisibleSelectUser(false);
    EXPECT_FALSE(model.checkSelectUser());
    EXPECT_FALSE(model.lockSelectUser());
    EXPECT_FALSE(model.SelectUserOptionsEnabled());
    model.SetCheckSelectUser(true);
    EXPECT_FALSE(model.checkSelectUser()) << "disabled while the users cannot be chosen";
    EXPECT_TRUE(model.changed());
    model.SetGroupName(S(" ツール\\ソ\\\\ "));
    model.Write(project);
    EXPECT_EQ(project.ReadString("ShortCutSetting", "GroupName"), S("ツール\\ソ"))
        << "blanks and trailing separators go, the trail byte of ソ stays";
    EXPECT_EQ(project.ReadString("ShortCutSetting", "UseSection"), "Links");
    EXPECT_EQ(project.ReadString("ShortCutSetting", "CheckSelectUser"), "0");
    EXPECT_EQ(project.ReadString("ShortCutSetting", "EnableSelectUser"), "1");
    EXPECT_EQ(project.ReadString("ShortCutSetting", "VisibleSelectUser"), "0");
    EXPECT_EQ(project.ReadString("ShortCutSetting", "DefaultCheckBox"), "1");
    EXPECT_EQ(project.ReadString("ShortCutSetting", "ShowCheckBox"), "0");
    EXPECT_EQ(project.ReadString("Installer", "EnableShortCutSetting"), "1");
    EXPECT_EQ(Items("Links"), Records{Record("Desk", shortcut_target::kDesktop)});
}

TEST_F(ShortCutTest, InitialPlacesFollowEveryAddEditAndDelete) {
    LoadProject("[ShortCutItems]\n0=" + Record("Prog", shortcut_target::kPrograms) + "\n");
    ShortCutDialogModel model(*data);
    model.Load(project, false);
    for (int i = 0; i < kInitialTargetCount; ++i) EXPECT_FALSE(model.InitialTargetEnabled(i)) << i;
    const int row = model.Add(ui, Fill([](ShortCutItemDialogModel& d) {
        d.name = "Desk";
        d.target = "%InstallDir%\\a.exe";
        d.targets = shortcut_target::kDesktop | shortcut_target::kSendTo;
    }));
    ASSERT_EQ(row, 1);
    EXPECT_TRUE(model.items().enabled()) << "adding turns the switch on";
    EXPECT_TRUE(model.InitialTargetEnabled(0));
    EXPECT_TRUE(model.InitialTargetEnabled(2));
    model.SetInitialTarget(0, true);
    model.SetInitialTarget(2, true);
    model.SetInitialTarget(1, true);
    EXPECT_EQ(model.defaultCheckBox(), 5) << "a disabled place cannot be checked";
    ASSERT_TRUE(model.Edit(1, Fill([](ShortCutItemDialogModel& d) { d.SetTarget(4, false); })));
    EXPECT_FALSE(model.InitialTargetEnabled(2));
    EXPECT_EQ(model.defaultCheckBox(), 1) << "send-to cleared with its last item";
    ui.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(model.Delete(ui, 1));
    EXPECT_EQ(model.defaultCheckBox(), 0) << "desktop cleared with its last item";
    EXPECT_TRUE(model.items().enabled());
    ui.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(model.Delete(ui, 0));
    EXPECT_FALSE(model.items().enabled()) << "the emptied list turns the switch off";
    model.Write(project);
    EXPECT_EQ(project.ReadString("ShortCutSetting", "DefaultCheckBox"), "0");
    EXPECT_EQ(project.EntryCount("ShortCutItems"), 0u);
}

TEST_F(ShortCutTest, TheLimitHasItsOwnText) {
    Records many(5000, Record("x", 2));
    ShortCutDialogModel model(*data);
    project.Clear();
    for (std::size_t i = 0; i < many.size(); ++i) project.WriteString("ShortCutItems", std::to_string(i), many[i]);
    model.Load(project, false);
    bool shown = false;
    EXPECT_EQ(model.Add(ui, [&](ShortCutItemDialogModel&) { return shown = true; }), -1);
    EXPECT_FALSE(shown) << "the item dialog does not open";
    EXPECT_EQ(ui.messages(), Records{S("登録可能数は 5000 までです。")});
}

TEST_F(ShortCutTest, OkChecksTheGroupNameThenAsksAboutAnEmptyList) {
    ShortCutDialogModel model(*data);
    model.Load(project, false);
    model.SetGroupName("C:\\Group");
    const CheckOutcome bad = model.CheckOk();
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->message, S("使用できない文字 * ? / ; \" < > | が含まれているか、ドライブ文字(A:など)が含まれています。\r"
                              "また、先頭にパス区切り文字(\\)を指定することはできません。"));
    EXPECT_EQ(bad->page, "tsOption");
    model.SetGroupName(" \\Group");
    EXPECT_TRUE(model.CheckOk()) << "blanks do not hide a leading separator";
    model.SetGroupName("Group\\Sub\\");
    EXPECT_FALSE(model.CheckOk());

    EXPECT_TRUE(model.ConfirmOk(ui)) << "switch off: no question";
    model.items().SetEnabled(true);
    EXPECT_FALSE(model.ConfirmOk(ui)) << "No keeps the dialog open";
    EXPECT_FALSE(model.items().enabled()) << "and turns the switch off";
    EXPECT_EQ(ui.messages().back(), S("項目が登録されていませんがよろしいですか。"));
    model.items().SetEnabled(true);
    ui.QueueAnswer(Answer::Yes);
    EXPECT_TRUE(model.ConfirmOk(ui));
    EXPECT_TRUE(model.items().enabled());
}

TEST_F(ShortCutTest, TheApplicationNameStandsForTheGroupWhenTheOptionSaysSo) {
    SetOption("UseAppName", 1);
    Reopen();
    LoadProject("[Software]\nSoftName=" + S("見本\x03アプリ ") + "\n[ShortCutSetting]\nGroupName=Old\n");
    ShortCutDialogModel model(*data);
    model.Load(project, false);
    EXPECT_EQ(model.groupName(), S("見本,アプリ "));
    EXPECT_FALSE(model.GroupNameEditable());
    model.SetGroupName("typed");
    EXPECT_EQ(model.groupName(), S("見本,アプリ "));
    model.Write(project);
    EXPECT_EQ(project.ReadString("ShortCutSetting", "GroupName"), S("見本\x03アプリ"));
}

TEST_F(ShortCutTest, ViewAndPageAreRememberedThePageOnlyWhileTheLastStateIsKept) {
    ShortCutDialogModel model(*data);
    model.Load(project, false);
    EXPECT_TRUE(model.detailsView());
    model.SetDetailsView(false);
    model.pages().SetPage(ShortCutDialogModel::kOptionsPage);
    model.StoreLayout();
    ShortCutDialogModel again(*data);
    again.Load(project, false);
    EXPECT_FALSE(again.detailsView());
    EXPECT_EQ(again.pages().page(), ShortCutDialogModel::kOptionsPage);
    SetOption("SaveLastState", 0);
    ShortCutDialogModel fresh(*data);
    fresh.Load(project, false);
    EXPECT_EQ(fresh.pages().page(), ShortCutDialogModel::kItemsPage);
}

TEST_F(ShortCutTest, SortingByAColumnIsTheOrderOkWrites) {
    LoadProject("[ShortCutItems]\n0=" + Record("b", 2) + "\n1=" + Record("C", 2) + "\n2=" + Record("a", 2) + "\n");
    ShortCutDialogModel model(*data);
    model.Load(project, false);
    model.SortByColumn(0);
    model.Write(project);
    EXPECT_EQ(Items("ShortCutItems"), (Records{Record("a", 2), Record("b", 2), Record("C", 2)}));
    model.SortByColumn(0);
    model.Write(project);
    EXPECT_EQ(Items("ShortCutItems"), (Records{Record("C", 2), Record("b", 2), Record("a", 2)}));
}

TEST_F(ShortCutTest, ReadOnlyProjectsShowItemsButChangeNothing) {
    LoadProject("[ShortCutItems]\n0=" + Record("a", 2) + "\n");
    ShortCutDialogModel model(*data);
    model.Load(project, true);
    bool shown = false;
    EXPECT_FALSE(model.Edit(0, [&](ShortCutItemDialogModel& d) {
        shown = d.readOnly();
        d.name = "changed";
        return true;
    }));
    EXPECT_TRUE(shown) << "the item is shown for viewing";
    EXPECT_EQ(model.Add(ui, [](ShortCutItemDialogModel&) { return true; }), -1);
    EXPECT_EQ(model.Copy(0), -1);
    model.SetGroupName("x");
    EXPECT_FALSE(model.changed());
}

// ---- the wizards ----

TEST_F(ShortCutTest, TargetFromTheProjectListsComponentFilesAndIconsOnlyIconFiles) {
    WriteFile("comp/tools.qinc", "[Information]\r\nFileType=ZU_RUZUDUROZAR\r\n[DATA]\r\n"
                                 "0=1|0|%SystemDirectory%|Tools|C:\\src\\tool.dll|\r\n");
    LoadProject("[Software]\nFolder=%ProgramFilesDir%|App|\n[Files]\n"
                "0=1|0|%InstallDir%||C:\\src\\app.exe|\n"
                "1=1|0|%InstallDir%|doc|C:\\src\\read.txt|\n"
                "2=1|5|(#Include File#)||C:\\comp\\tools.qinc|\n");
    data->SetProject(&project);
    std::vector<std::string> progress;
    const auto files =
        ShortCutFileWizardModel::ReadProjectFiles(*data, [&](std::string_view f) { progress.emplace_back(f); });
    EXPECT_EQ(progress.size(), 2u) << "the project and its component file";

    ShortCutFileWizardModel target(Kind::Target, *data, files);
    EXPECT_EQ(target.Caption(), S("ファイルの指定"));
    EXPECT_EQ(target.NextCaption(), S("次へ(&N)"));
    CheckOutcome failed;
    EXPECT_FALSE(target.Next(&failed));
    EXPECT_EQ(target.step(), 1);
    EXPECT_EQ(target.NextCaption(), S("完了(&F)"));
    ASSERT_EQ(target.rows().size(), 3u);
    EXPECT_FALSE(target.Next(&failed));
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->message, S("リストよりファイルを選択してください。"));
    target.SelectRow(2);
    EXPECT_EQ(target.SamplePath(), "C:\\WINDOWS\\system32\\Tools\\tool.dll");
    ASSERT_TRUE(target.Next(&failed));
    EXPECT_EQ(target.result(), "%SystemDirectory%\\Tools\\tool.dll");

    ShortCutFileWizardModel icon(Kind::Icon, *data, files);
    EXPECT_EQ(icon.rows().size(), 2u) << "the text file is no icon";
    icon.Next(&failed);
    EXPECT_FALSE(icon.Next(&failed));
    EXPECT_EQ(failed->message, S("ファイルを指定してください。"));
    icon.SelectRow(0);
    EXPECT_EQ(icon.SamplePath(), "C:\\Program Files\\App\\app.exe");
    ASSERT_TRUE(icon.Next(&failed));
    EXPECT_EQ(icon.result(), "%InstallDir%\\app.exe");
}

TEST_F(ShortCutTest, NoIconFinishesAtOnceWithAnEmptyResult) {
    ShortCutFileWizardModel icon(Kind::Icon, *data, {});
    EXPECT_EQ(icon.sources().back(), Source::None);
    icon.SetSource(Source::Folder);
    EXPECT_EQ(icon.source(), Source::ProjectFile) << "the icon offers no folder";
    icon.SetSource(Source::None);
    CheckOutcome failed;
    EXPECT_TRUE(icon.Next(&failed));
    EXPECT_EQ(icon.result(), "");
}

TEST_F(ShortCutTest, OutsideFilesAndFoldersComposeTheirResultAfterTheChecks) {
    struct Case {
        Kind kind;
        Source source;
        const char* define;
        std::string parameter, file;
        std::string result;   // empty: refused with `message`
        std::string message;
    } cases[] = {
        {Kind::Target, Source::OutsideFile, "%SystemDirectory%", "sub", "x.exe", "%SystemDirectory%\\sub\\x.exe", ""},
        {Kind::Target, Source::OutsideFile, "%SystemDirectory%", "", "x.exe", "%SystemDirectory%\\x.exe", ""},
        {Kind::Target, Source::OutsideFile, "%SystemDirectory%", "", "", "", S("ファイル名を入力してください。")},
        {Kind::Target, Source::OutsideFile, "%AbsoluteDir%", "C:\\tools", "ignored", "%AbsoluteDir%\\C:\\tools", ""},
        {Kind::Target, Source::OutsideFile, "%AbsoluteDir%", "", "x.exe", "",
         S("パラメータが入力されていません。パラメータを入力してください。")},
        {Kind::Target, Source::OutsideFile, "%Registry%", "HKEY_CURRENT_USER,Software\\A,Path", "",
         "%Registry%\\HKEY_CURRENT_USER,Software\\A,Path", ""},
        {Kind::Target, Source::OutsideFile, "%UnInstallerFileName%", "", "", "%UnInstallerFileName%", ""},
        {Kind::Target, Source::OutsideFile, "%RegistryFileName%", "", "", "",
         S("パラメータが入力されていません。パラメータを入力してください。")},
        {Kind::Target, Source::OutsideFile, "%Date%", "", "x.exe", "",
         S("サポートしていないフォルダ定数か、この項目では使用できないフォルダ定数です。")},
        {Kind::Target, Source::OutsideFile, "D:\\own", "", "", "D:\\own", ""},
        {Kind::Target, Source::OutsideFile, "", "", "x.exe", "",
         S("サポートしていないフォルダ定数か、この項目では使用できないフォルダ定数です。")},
        {Kind::Target, Source::Folder, "%AppDataDir%", "", "ignored", "%AppDataDir%", ""},
        {Kind::Target, Source::Folder, "%InstallDir%", "doc", "", "%InstallDir%\\doc", ""},
        {Kind::Target, Source::Folder, "%UnInstallerFileName%", "", "", "",
         S("サポートしていないフォルダ定数か、この項目では使用できないフォルダ定数です。")},
        {Kind::Icon, Source::OutsideFile, "%WindowsDirectory%", "", "a.ico", "%WindowsDirectory%\\a.ico", ""},
        {Kind::Icon, Source::OutsideFile, "%WindowsDirectory%", "", "", "", S("ファイル名を入力してください。")},
        {Kind::Icon, Source::OutsideFile, "D:\\icons", "", "", "", S("ファイル名を入力してください。")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.define) + " " + c.parameter + " " + c.file);
        ShortCutFileWizardModel wizard(c.kind, *data, {});
        wizard.SetSource(c.source);
        CheckOutcome failed;
        ASSERT_FALSE(wizard.Next(&failed));
        wizard.SetDefine(c.define);
        wizard.parameter = c.parameter;
        wizard.fileName = c.file;
        const bool done = wizard.Next(&failed);
        if (c.result.empty()) {
            EXPECT_FALSE(done);
            ASSERT_TRUE(failed);
            EXPECT_EQ(failed->message, c.message);
        } else {
            ASSERT_TRUE(done) << (failed ? platform::sjis::ToUtf8(failed->message) : "");
            EXPECT_EQ(wizard.result(), c.result);
        }
    }
}

TEST_F(ShortCutTest, SamplePathsShowWhatTheDefineGivesOnThisMachine) {
    LoadProject("[Software]\nFolder=%ProgramFilesDir%|App|\n");
    data->SetProject(&project);
    ShortCutFileWizardModel wizard(Kind::Target, *data, {});
    wizard.SetSource(Source::OutsideFile);
    wizard.SetDefine("%InstallDir%");
    wizard.parameter = "bin";
    wizard.fileName = "a.exe";
    EXPECT_EQ(wizard.SamplePath(), "C:\\Program Files\\App\\bin\\a.exe");
    wizard.SetDefine("%Registry%");
    EXPECT_EQ(wizard.SamplePath(), S("<自動取得>"));
    wizard.SetDefine("%UnInstallerFileName%");
    EXPECT_EQ(wizard.SamplePath(), "rodeve21.exe");
    EXPECT_FALSE(wizard.FileNameVisible());
    EXPECT_FALSE(wizard.DefineChoices().empty());
    wizard.SetSource(Source::Folder);
    EXPECT_EQ(wizard.DefineChoices()[8], "%MyDocumentsDir%");

    ui.QueueFiles({"C:\\some\\where\\tool.exe"});
    ASSERT_TRUE(wizard.BrowseFile(ui));
    EXPECT_EQ(wizard.fileName, "tool.exe") << "the name alone";
    EXPECT_EQ(ui.fileRequests().front().filter, ShortCutFileWizardModel::TargetFileFilter());
}
