// The define builder and the define parameter dialog over the shipped DEFINE.DAT and
// DEFINEPARAM.DAT, as the editor reads them.
#include "platform/sjis.h"
#include "zeriru/editors/define_dialogs.h"
#include "zeriru/project_file.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

using namespace zeriru;
using platform::sjis::S;
using Origin = DefineParamDialogModel::Origin;

namespace {

struct DefineDialogsTest : ::testing::Test {
    TIniDocument defineDat{std::filesystem::path(ZERIRU_DATA_DIR) / "DEFINE.DAT"};
    TIniDocument paramDat{std::filesystem::path(ZERIRU_DATA_DIR) / "DEFINEPARAM.DAT"};
    ScriptedUi ui;
    DefineBuilderDialogModel Builder(int mask, std::string text) {
        return DefineBuilderDialogModel(ReadDefineCategories(defineDat), &paramDat, mask, std::move(text));
    }
    int EntryOf(const DefineBuilderDialogModel& b, std::string_view define) {
        for (std::size_t i = 0; i < b.entries().size(); ++i)
            if (b.entries()[i].define == define) return static_cast<int>(i);
        return -1;
    }
};

}  // namespace

TEST_F(DefineDialogsTest, BuilderOpensOnTheFirstCategoryTheMaskAdmitsAndListsOnlyAdmittedDefines) {
    DefineBuilderDialogModel any = Builder(kMaskAny, "");
    EXPECT_EQ(any.category(), 0);
    EXPECT_EQ(any.categories().size(), 11u);
    DefineBuilderDialogModel dword = Builder(kMaskDWord, "");
    EXPECT_EQ(dword.category(), 10) << "only %InputNumber% is a number";
    ASSERT_EQ(dword.entries().size(), 1u);
    EXPECT_EQ(dword.entries()[0].define, "%InputNumber%");
    dword.SelectCategory(0);
    EXPECT_TRUE(dword.entries().empty());
    EXPECT_FALSE(dword.PasteEnabled());
    any.SelectEntry(1);
    EXPECT_EQ(any.Hint(), S("Windowsのシステムフォルダです。(例: C:\\WINDOWS\\system32)"));
}

TEST_F(DefineDialogsTest, PastingAtTheCaretKeepsTheTextAroundItAndAsksFirst) {
    DefineBuilderDialogModel b = Builder(kMaskAny, "ab");
    b.SelectEntry(EntryOf(b, "%WindowsDirectory%"));
    b.SetSelection(1, 0);
    EXPECT_FALSE(b.Paste(ui, {})) << "No keeps the text";
    EXPECT_EQ(ui.messages(), std::vector<std::string>{S("項目に既に入力されていますが貼り付けてもよろしいですか。")});
    EXPECT_EQ(b.text(), "ab");
    ui.QueueAnswer(Answer::Yes);
    EXPECT_TRUE(b.Paste(ui, {}));
    EXPECT_EQ(b.text(), "a%WindowsDirectory%b");
    b.SetSelection(0, 1);  // a selection is replaced
    b.InsertCharacter('\\');
    EXPECT_EQ(b.text(), "\\%WindowsDirectory%b");
    b.Clear();
    ui.clear();
    b.SelectEntry(0);
    EXPECT_TRUE(b.Paste(ui, {}));
    EXPECT_TRUE(ui.messages().empty()) << "an empty text is pasted into without asking";
}

TEST_F(DefineDialogsTest, PastingADefineWithParametersInsertsWhatTheParameterDialogGives) {
    DefineBuilderDialogModel b = Builder(kMaskAny, "");
    b.SelectCategory(5);  // the registry values
    b.SelectEntry(EntryOf(b, "%Registry%"));
    ASSERT_TRUE(b.PasteEnabled());
    bool shown = false;
    EXPECT_TRUE(b.Paste(ui, [&](DefineParamDialogModel& p) {
        shown = true;
        EXPECT_EQ(p.origin(), Origin::Builder);
        EXPECT_EQ(p.rows().size(), 5u);
        p.SetValue(0, "HKEY_LOCAL_MACHINE");
        p.SetValue(1, "Software\\A");
        p.SetValue(2, "Path");
        return !p.Ok();
    }));
    EXPECT_TRUE(shown);
    EXPECT_EQ(b.text(), "%Registry%\\HKEY_LOCAL_MACHINE,Software\\A,Path,,");

    // "パラメータ入力" reads the values back from the text.
    EXPECT_TRUE(b.EnterParameters(ui, [](DefineParamDialogModel& p) {
        EXPECT_EQ(p.rows()[1].value, "Software\\A");
        p.SetValue(4, "\\bin");
        return true;
    }));
    EXPECT_EQ(b.text(), "%Registry%\\HKEY_LOCAL_MACHINE,Software\\A,Path,,\\bin");
    b.SetText("%InstallDir%\\x", 0, 0);
    EXPECT_FALSE(b.EnterParameters(ui, [](DefineParamDialogModel&) { return true; }));
    EXPECT_EQ(ui.messages().back(), S("パラメータが存在しないか、フォルダ定数を含んでいません。"));
}

TEST_F(DefineDialogsTest, ParameterDialogChecksRowsInOrderAndSelectsTheFailingOne) {
    std::optional<DefineParamDialogModel> p =
        OpenDefineParameters(ui, &paramDat, "%Registry%", "HKEY_NOWHERE,,x", Origin::SettingEditor);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->rows()[2].value, "x");
    EXPECT_EQ(p->Choices(0).size(), 5u) << "the root keys";
    EXPECT_TRUE(p->HasBrowse(3)) << "define text, from a setting editor";
    CheckOutcome r = p->Ok();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->message, S("項目内容が不正です。リストよりルートキーを選択してください。"));
    EXPECT_EQ(r->caption, p->rows()[0].param.caption);
    EXPECT_EQ(r->field, "edtParam0");
    p->SetValue(0, "HKEY_CURRENT_USER");
    p->SetCurrent(0);
    r = p->Ok();
    ASSERT_TRUE(r);
    EXPECT_EQ(p->current(), 1) << "the key is required";
    p->SetValue(1, "Software\\B");
    EXPECT_FALSE(p->Ok());
    EXPECT_EQ(p->ParameterPart(), "HKEY_CURRENT_USER,Software\\B,x,,");
    p->Clear();
    EXPECT_EQ(p->ParameterPart(), ",,,,");
    p->SetCurrent(4);
    p->MoveDown();
    EXPECT_EQ(p->current(), 4) << "the last row stays the last";
    p->MoveUp();
    EXPECT_EQ(p->current(), 3);
}

TEST_F(DefineDialogsTest, ParameterDialogSaysWhyItDoesNotOpen) {
    EXPECT_FALSE(OpenDefineParameters(ui, &paramDat, "%InstallDir%", "", Origin::SettingEditor));
    EXPECT_EQ(ui.messages().back(), S("パラメータはありません。"));
    EXPECT_FALSE(OpenDefineParameters(ui, nullptr, "%Registry%", "", Origin::SettingEditor));
    EXPECT_EQ(ui.messages().back(), MsgParameterFileMissing());
    // A nested define text keeps its own "," escaped, so it stays one value of the outer list.
    std::optional<DefineParamDialogModel> inner =
        OpenDefineParameters(ui, &paramDat, "%IniFile%", "a.ini,Sec,Key", Origin::Builder);
    ASSERT_TRUE(inner);
    EXPECT_FALSE(inner->HasBrowse(3)) << "no nested browse from the builder";
    EXPECT_EQ(inner->EncodedDefineText(), "%IniFile%\\a.ini\x03Sec\x03Key\x03\x03");
}
