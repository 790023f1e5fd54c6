// The uninstall settings dialog: what a project opens with, the unique key and the information
// file, the checks of OK in their order, the limit of each list, and what OK writes.
#include "platform/sjis.h"
#include "zeriru/editors/uninstall_dialog_model.h"
#include "zeriru/system_services.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

using namespace zeriru;
using platform::sjis::S;

namespace {

TIniDocument Project(std::string_view text) {
    TIniDocument doc;
    doc.LoadFromText(text);
    return doc;
}

std::string MessageOf(const CheckOutcome& r) { return r ? r->message : std::string(); }

}  // namespace

TEST(UnInstallOptionDialog, AProjectWithoutKeysOpensWithTheDefaults) {
    UnInstallOptionDialogModel m;
    m.Fill(Project("[Project]\r\nProjectName=a\r\n"));
    EXPECT_TRUE(m.enableUninstall);
    EXPECT_FALSE(m.systemFileDelete);
    EXPECT_FALSE(m.SystemFileMessageEnabled());
    EXPECT_TRUE(m.systemFileDeleteMessage);
    EXPECT_EQ(m.infoFileMethod(), kInfoOverwrite);
    EXPECT_EQ(m.infoFileName, "install.dat");
    EXPECT_FALSE(m.InfoFileNameEnabled());
    EXPECT_FALSE(m.frame.changed());
}

TEST(UnInstallOptionDialog, TheUniqueKeyChoosesTheAutomaticNameAndOkDeletesTheFileName) {
    TIniDocument project = Project(
        "[UnInstallSetting]\r\nInfoFileMethod=2\r\nInfoFileName=%InstallDir%\\my.dat\r\n");
    UnInstallOptionDialogModel m;
    m.Fill(project);
    EXPECT_EQ(m.infoFileMethod(), kInfoNamed);
    EXPECT_EQ(m.infoFileName, "%InstallDir%\\my.dat") << "the section name's case does not matter";
    m.SetUseUniqueKey(true);
    EXPECT_EQ(m.infoFileMethod(), kInfoAutomatic);
    EXPECT_FALSE(m.MethodEnabled());
    m.SetInfoFileMethod(kInfoNamed);
    EXPECT_EQ(m.infoFileMethod(), kInfoAutomatic) << "the method cannot be chosen while the key is generated";
    EXPECT_TRUE(m.frame.changed());
    ASSERT_FALSE(m.Ok());
    m.Write(project);
    EXPECT_FALSE(project.ValueExists("UninstallSetting", "InfoFileName"));
    EXPECT_EQ(project.ReadInteger("UninstallSetting", "InfoFileMethod", -1), kInfoAutomatic);
    EXPECT_TRUE(project.ReadBool("Project", "UseUniqueKey", false));
    m.SetUseUniqueKey(false);
    EXPECT_TRUE(m.MethodEnabled());
}

TEST(UnInstallOptionDialog, TheInformationFileNameIsCheckedWithMethodTwoOnly) {
    struct Case {
        const char* name;
        std::string message;
    } cases[] = {
        {"%InstallDir%\\APP\\INSTALL.DAT", ""},
        {"INSTALL.DAT", ""},
        {"%SystemDirectory%\\INSTALL.DAT", ""},
        {"%InstallDir%\\", S("ファイルを指定してください。")},
        {"%InstallDir%", S("ファイルを指定してください。")},
        {"C:\\APP\\INSTALL.DAT", MsgInvalidFileName()},
        {"", S("アンインストール情報ファイル名を入力してください。")},
        {"%Date%\\INSTALL.DAT", S("サポートしていないフォルダ定数か、この項目では使用できないフォルダ定数です。")},
        {"%InstallDir%\\\\INSTALL.DAT", MsgInvalidSubFolder()},
        {"%InstallDir%\\a|b.dat", MsgInvalidSubFolder()},
    };
    for (const Case& c : cases) {
        UnInstallOptionDialogModel m;
        m.Fill(Project(""));
        m.SetInfoFileMethod(kInfoNamed);
        m.infoFileName = c.name;
        const CheckOutcome r = m.Ok();
        EXPECT_EQ(MessageOf(r), c.message) << c.name;
        if (r) {
            EXPECT_EQ(r->page, "tsInformation") << c.name;
        }
        m.SetInfoFileMethod(kInfoOverwrite);
        EXPECT_FALSE(m.Ok()) << "not checked with another method: " << c.name;
    }
}

TEST(UnInstallOptionDialog, EveryUsedListNeedsAnItemInThePagesOrder) {
    UnInstallOptionDialogModel m;
    m.Fill(Project(""));
    m.SetListEnabled(UninstallListKind::DeleteRegistry, true);
    m.SetListEnabled(UninstallListKind::UnDeleteRegistry, true);
    CheckOutcome r = m.Ok();
    EXPECT_EQ(MessageOf(r), S("「レジストリ」の「削除する項目」が登録されていません。"));
    EXPECT_EQ(r->page, "tsDeleteRegistry");
    EXPECT_EQ(r->field, "lvDeleteRegistry");
    m.list(UninstallListKind::DeleteRegistry).Append("0|HKEY_CURRENT_USER|Software\\A||0||65535||");
    EXPECT_EQ(MessageOf(m.Ok()), S("「レジストリ」の「削除しない項目」が登録されていません。"));
    m.SetListEnabled(UninstallListKind::DeleteFile, true);
    EXPECT_EQ(MessageOf(m.Ok()), S("「ファイル/フォルダ」の「削除する項目」が登録されていません。"));
    m.SetInfoFileMethod(kInfoNamed);
    m.infoFileName = "";
    EXPECT_EQ(MessageOf(m.Ok()), S("アンインストール情報ファイル名を入力してください。")) << "the file name comes first";
}

TEST(UnInstallOptionDialog, EachListHasItsOwnLimit) {
    ScriptedUi ui;
    UnInstallOptionDialogModel m;
    m.Fill(Project(""));
    m.list(UninstallListKind::DeleteRegistry).Load(std::vector<std::string>(5000, "0|HKEY_CURRENT_USER|A|"));
    EXPECT_FALSE(m.list(UninstallListKind::DeleteRegistry).CanAdd(ui));
    EXPECT_EQ(ui.messages(), std::vector<std::string>{S("最大登録可能数は 5000 までです。")});
    EXPECT_TRUE(m.list(UninstallListKind::UnDeleteRegistry).CanAdd(ui));
}

TEST(UnInstallOptionDialog, OkWritesEveryKeyAndRewritesTheFourLists) {
    TIniDocument project = Project(
        "[Project]\r\nProjectName=a\r\n"
        "[DeleteFileSetting]\r\nUseSection=MyDeletes\r\n"
        "[MyDeletes]\r\n0=0|%InstallDir%||a.txt||0|\r\n1=0|%InstallDir%||b.txt||0|\r\n"
        "[UnDeleteFileSetting]\r\nUseSection=Project\r\n");
    UnInstallOptionDialogModel m;
    m.Fill(project);
    ASSERT_EQ(m.list(UninstallListKind::DeleteFile).size(), 2);
    m.list(UninstallListKind::DeleteFile).Remove({0});
    m.list(UninstallListKind::UnDeleteFile).Load({"0|%InstallDir%||keep.txt|||65535||"});
    m.systemFileDelete = true;
    m.SetInfoFileMethod(kInfoNamed);
    m.infoFileName = "%InstallDir%\\APP\\INSTALL.DAT";
    m.Write(project);
    EXPECT_EQ(project.ReadString("MyDeletes", "0"), "0|%InstallDir%||b.txt||0|");
    EXPECT_FALSE(project.ValueExists("MyDeletes", "1"));
    EXPECT_EQ(project.ReadString("Project", "ProjectName"), "a")
        << "a list that names the frame section is written to its own section";
    EXPECT_EQ(project.ReadString("UnDeleteFileSetting", "UseSection"), "UnDeleteFileItems");
    EXPECT_EQ(project.ReadString("UnDeleteFileItems", "0"), "0|%InstallDir%||keep.txt|||65535||");
    EXPECT_EQ(project.ReadString("DeleteRegistrySetting", "UseSection"), "DeleteRegistryItems");
    EXPECT_FALSE(project.SectionExists("DeleteRegistryItems")) << "an empty list leaves no section";
    EXPECT_EQ(project.ReadString("UninstallSetting", "InfoFileName"), "%InstallDir%\\APP\\INSTALL.DAT");
    for (const char* key : {"EnableUninstallSetting", "EnableDeleteFileSetting", "EnableUnDeleteFileSetting",
                            "EnableDeleteRegistrySetting", "EnableUnDeleteRegistrySetting"})
        EXPECT_TRUE(project.ValueExists("Installer", key)) << key;
    for (const char* key : {"SystemFileDelete", "SystemFileDeleteMessage", "PersonalSettingDeleteConfirm"})
        EXPECT_TRUE(project.ValueExists("UninstallSetting", key)) << key;
    EXPECT_TRUE(project.ReadBool("UninstallSetting", "SystemFileDelete", false));
}
