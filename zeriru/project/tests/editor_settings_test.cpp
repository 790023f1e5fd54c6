#include "zeriru/editor_settings.h"
#include "zeriru/options_dialog_model.h"

#include "platform/sjis.h"
#include "zeriru/project_file.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace zeriru;
using platform::sjis::S;

namespace {

struct SettingsFixture : ::testing::Test {
    MemorySettingsStore store;
    EditorSettings settings{store, "C:\\Zuzoruve\\", "C:\\users\\me\\Documents"};
    ScriptedUi ui;
};

TEST_F(SettingsFixture, EmptyStoreGivesEveryDefault) {
    const EditorOptions o = settings.ReadOptions();
    EXPECT_EQ(o, EditorOptions{});
    EXPECT_EQ(o.mode, 0);
    EXPECT_TRUE(o.saveLastState);
    EXPECT_TRUE(o.skipMessage);
    EXPECT_TRUE(o.compressProgress);
    EXPECT_EQ(o.extendEditorFileName, "NOTEPAD.EXE");
    EXPECT_EQ(o.proxyPort, 80);
    EXPECT_EQ(settings.UpdateCheckProxyPort(), 0);
    EXPECT_TRUE(o.updateUrl.ends_with("dozoze/2/update.inf"));

    const NewProjectDefaults d = settings.ReadNewProjectDefaults();
    EXPECT_EQ(d.folder, "C:\\Zuzoruve\\Project\\ExeFile");
    EXPECT_EQ(d.fileType, 2);
    EXPECT_EQ(d.fileCompLevel, 1);
    EXPECT_EQ(d.lowerFileName, 0);

    EXPECT_EQ(settings.OpenDialogFolder(), "C:\\users\\me\\Documents");
    EXPECT_EQ(settings.SaveDialogFolder(), "C:\\users\\me\\Documents");
    EXPECT_EQ(settings.LastProject(), "");
    EXPECT_TRUE(settings.History().empty());
    EXPECT_EQ(settings.ColumnWidth(settings_key::kFiles, 3), 150);
    EXPECT_FALSE(settings.HintSuppressed(7));
    EXPECT_EQ(settings.DialogLastTab(settings_key::kShortCut), 0);
}

TEST_F(SettingsFixture, ValuesOfAnotherTypeReadAsDefaults) {
    store.SetString("Option", "SaveLastState", "0");
    store.SetDword("Option", "ExtendEditorFileName", 5);
    store.SetDword("Option", "ProxyPort", 70000);
    const EditorOptions o = settings.ReadOptions();
    EXPECT_TRUE(o.saveLastState);
    EXPECT_EQ(o.extendEditorFileName, "NOTEPAD.EXE");
    EXPECT_EQ(o.proxyPort, 32767);  // clamped to the accepted range
}

TEST_F(SettingsFixture, OptionsRoundTripWithScrambledCredentials) {
    EditorOptions o;
    o.mode = 1;
    o.useAppName = true;
    o.saveLastState = false;
    o.updateUrl = "http://x/u.inf";
    o.proxyServer = "proxy";
    o.proxyPort = 8080;
    o.proxyUserId = "user";
    o.proxyPassword = S("秘密|pw");
    o.windowSizeWidth = 640;
    settings.WriteOptions(o);
    EXPECT_EQ(settings.ReadOptions(), o);
    // Stored after three forward passes, never in plain text.
    EXPECT_EQ(store.GetString("option", "PROXYUSERID"), ScrambleText("user", 3));
    EXPECT_EQ(store.GetString("Option", "ProxyPassword"), ScrambleText(S("秘密|pw"), 3));
    EXPECT_EQ(UnscrambleText(*store.GetString("Option", "ProxyPassword"), 3), S("秘密|pw"));
    EXPECT_EQ(store.GetDword("Option", "DOzoze_Mode"), 1u);
    EXPECT_EQ(settings.Mode(), 1);
}

struct RememberCase {
    std::vector<std::string> before;
    std::string text;
    bool ignoreCase;
    std::size_t max;
    std::vector<std::string> after;
};

TEST_F(SettingsFixture, RememberFirst) {
    const std::vector<RememberCase> cases = {
        {{}, "a", false, 5, {"a"}},
        {{"b", "a", "c"}, "a", false, 5, {"a", "b", "c"}},
        {{"b", "A", "c"}, "a", false, 5, {"a", "b", "A", "c"}},   // history: exact
        {{"b", "A", "c", "a"}, "a", true, 25, {"a", "b", "c"}},   // folders: ignoring case
        {{"1", "2", "3", "4", "5"}, "6", false, 5, {"6", "1", "2", "3", "4", "5"}},
        {{"1", "2", "3", "4", "5", "6"}, "7", false, 5, {"7", "1", "2", "3", "4", "5"}},
    };
    for (const RememberCase& c : cases) {
        store.DeleteKey("History");
        for (std::size_t i = 0; i < c.before.size(); ++i) store.SetString("History", std::to_string(i), c.before[i]);
        EXPECT_EQ(RememberFirst(store, "History", c.text, c.ignoreCase, c.max), c.after) << c.text;
        EXPECT_EQ(ReadRememberedList(store, "History", 100), c.after);
        EXPECT_EQ(store.ValueCount("History"), c.after.size());  // no stale entries left
    }
}

TEST_F(SettingsFixture, OutputFoldersKeepTwentyFiveIgnoringCase) {
    for (int i = 0; i < 30; ++i) settings.RememberOutputFolder("C:\\F" + std::to_string(i));
    std::vector<std::string> folders = settings.OutputFolders();
    ASSERT_EQ(folders.size(), 25u);
    EXPECT_EQ(folders.front(), "C:\\F29");
    settings.RememberOutputFolder("c:\\f20");
    folders = settings.OutputFolders();
    EXPECT_EQ(folders.front(), "c:\\f20");
    EXPECT_EQ(std::count_if(folders.begin(), folders.end(),
                            [](const std::string& f) { return platform::sjis::EqualsNoCase(f, "C:\\F20"); }),
              1);
}

TEST_F(SettingsFixture, HistoryStopsAtTheFirstGap) {
    store.SetString("History", "0", "a");
    store.SetString("History", "2", "c");
    EXPECT_EQ(settings.History(), std::vector<std::string>{"a"});
}

TEST_F(SettingsFixture, DeletingAKeyTakesItsSubKeysOnly) {
    settings.SetHintSuppressed(3, true);
    settings.SetDialogLastTab(settings_key::kApplication, 2);
    store.SetString("Dialog\\HintDialogX", "v", "keep");
    EXPECT_EQ(EditorSettings::HintValueName(3), "00003");
    EXPECT_TRUE(store.GetDword("Dialog\\HintDialog", "00003").has_value());
    settings.ResetHints();
    EXPECT_FALSE(settings.HintSuppressed(3));
    EXPECT_FALSE(store.KeyExists("Dialog\\HintDialog"));
    EXPECT_EQ(settings.DialogLastTab(settings_key::kApplication), 2);
    EXPECT_EQ(store.GetString("Dialog\\HintDialogX", "v"), "keep");
    store.DeleteKey("Dialog");
    EXPECT_EQ(settings.DialogLastTab(settings_key::kApplication), 0);
}

// ---- options dialog ----

TEST_F(SettingsFixture, OptionsDialogRules) {
    OptionsDialogModel dialog(settings);
    EXPECT_EQ(OptionsDialogModel::Caption(), S("オプション"));
    dialog.SetCheckFileList(true);
    dialog.SetSkipMessage(true);
    EXPECT_TRUE(dialog.SkipMessageEnabled());
    dialog.SetCheckFileList(false);  // unticks and disables the duplicate hint
    EXPECT_FALSE(dialog.options().skipMessage);
    EXPECT_FALSE(dialog.SkipMessageEnabled());
    dialog.SetSkipMessage(true);
    EXPECT_FALSE(dialog.options().skipMessage);

    EXPECT_FALSE(dialog.InformationGroupVisible());
    dialog.SetMode(1);
    EXPECT_TRUE(dialog.InformationGroupVisible());
    EXPECT_FALSE(dialog.ExternalEditorEnabled());
    EXPECT_FALSE(dialog.BrowseEditor(ui));
    dialog.edit().editInformation = true;
    ui.QueueText("C:\\tools\\ed.exe");
    EXPECT_TRUE(dialog.BrowseEditor(ui));
    EXPECT_EQ(dialog.options().extendEditorFileName, "C:\\tools\\ed.exe");
    EXPECT_EQ(ui.shown().back().text, S("プログラムファイル|*.EXE|すべてのファイル|*.*"));

    dialog.SetProxyPort(-1);
    EXPECT_EQ(dialog.options().proxyPort, 0);
    dialog.SetProxyPort(40000);
    EXPECT_EQ(dialog.options().proxyPort, 32767);

    dialog.SetPage(0);
    dialog.PreviousPage();
    EXPECT_EQ(dialog.page(), OptionsDialogModel::kAutoUpdate);
    dialog.NextPage();
    EXPECT_EQ(dialog.page(), OptionsDialogModel::kBasic);
}

TEST_F(SettingsFixture, OptionsOkRefusesUpdateCheckWithoutUrl) {
    settings.SetDialogLastTab(settings_key::kShortCut, 3);
    OptionsDialogModel dialog(settings);
    dialog.edit().checkUpdate = true;
    dialog.edit().updateUrl.clear();
    dialog.SetPage(OptionsDialogModel::kSystem);
    EXPECT_FALSE(dialog.Ok(ui));
    EXPECT_EQ(ui.messages(), std::vector<std::string>{S("更新情報を取得するためのURLを指定してください。")});
    EXPECT_EQ(dialog.page(), OptionsDialogModel::kAutoUpdate);
    EXPECT_TRUE(dialog.focusUrl());
    EXPECT_FALSE(store.KeyExists("Option"));  // nothing written
    EXPECT_EQ(settings.DialogLastTab(settings_key::kShortCut), 3);

    dialog.edit().updateUrl = "http://u";
    dialog.edit().proxyPassword = "pw";
    EXPECT_TRUE(dialog.Ok(ui));
    EXPECT_EQ(settings.DialogLastTab(settings_key::kShortCut), 0);
    EXPECT_EQ(store.GetDword("Dialog\\Application", "LastTab"), 0u);
    EXPECT_EQ(store.GetDword("Dialog\\InstallOption", "LastTab"), 0u);
    const EditorOptions stored = settings.ReadOptions();
    EXPECT_TRUE(stored.checkUpdate);
    EXPECT_EQ(stored.proxyPassword, "pw");
    EXPECT_EQ(stored.lastTab, OptionsDialogModel::kAutoUpdate);
}

TEST_F(SettingsFixture, OptionsCancelKeepsEverythingButThePage) {
    EditorOptions before;
    before.lastTab = 2;
    settings.WriteOptions(before);
    OptionsDialogModel dialog(settings);
    EXPECT_EQ(dialog.page(), 2);  // the remembered page
    dialog.edit().mode = 1;
    dialog.SetCheckFileList(true);
    dialog.SetPage(1);
    dialog.Cancel();
    EditorOptions expected = before;
    expected.lastTab = 1;
    EXPECT_EQ(settings.ReadOptions(), expected);

    // Without the last state kept the dialog opens on the first page.
    before.saveLastState = false;
    settings.WriteOptions(before);
    EXPECT_EQ(OptionsDialogModel(settings).page(), 0);
}

TEST_F(SettingsFixture, ShowAllHintsDeletesTheKeyOnYes) {
    settings.SetHintSuppressed(0, true);
    OptionsDialogModel dialog(settings);
    EXPECT_FALSE(dialog.ShowAllHints(ui));
    EXPECT_TRUE(settings.HintSuppressed(0));
    ui.QueueAnswer(Answer::Yes);
    EXPECT_TRUE(dialog.ShowAllHints(ui));
    EXPECT_FALSE(settings.HintSuppressed(0));
    EXPECT_EQ(ui.messages().back(), S("すべてのヒントを表示しますか。"));
}

}  // namespace
