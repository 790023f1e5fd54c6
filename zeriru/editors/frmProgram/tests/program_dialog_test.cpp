// The program wizard and its edit form: the way through the pages in each mode, the timing's
// rules for the option lines, the checks with their messages and pages, and the record.
#include "platform/sjis.h"
#include "zeriru/editors/program_dialog_model.h"
#include "zeriru/editors/record_kinds.h"

#include <gtest/gtest.h>

using namespace zeriru;
using platform::sjis::S;
using Page = ProgramDialogModel::Page;

namespace {

ProgramDialogModel::Setting Standard(bool checksOs = false, bool group = true) {
    ProgramDialogModel::Setting s;
    s.advancedMode = false;
    s.projectChecksOs = checksOs;
    s.groupExecution = group;
    s.projectOs = OsTarget{288, {}};
    return s;
}

std::vector<InstalledFile> Files() {
    return {{"%InstallDir%", "", "C:\\src\\setup.exe", "setup.exe", ""},
            {"%SystemDirectory%", "tools\\", "C:\\src\\tool.exe", "tool.exe", ""},
            {"", "", "C:\\src\\plain.exe", "plain.exe", ""}};
}

std::string Field(const std::string& record, int n) { return ProgramItemCodec().Stored(record, n); }
std::string MessageOf(const CheckOutcome& r) { return r ? r->message : std::string(); }

}  // namespace

TEST(ProgramDialog, StandardModeWithGroupExecutionFinishesOnTheFilePage) {
    ProgramDialogModel m(Standard());
    EXPECT_EQ(m.page(), Page::Target);
    EXPECT_FALSE(m.BackVisible());
    EXPECT_EQ(m.NextCaption(), S("次へ(&N)"));
    EXPECT_FALSE(m.Next());
    EXPECT_EQ(m.page(), Page::SelectFile);
    EXPECT_TRUE(m.BackVisible());
    EXPECT_EQ(m.NextCaption(), S("完了(&F)"));
    m.SetProjectFiles(Files());
    const CheckOutcome r = m.Next();
    EXPECT_EQ(MessageOf(r), S("リストよりファイルを選択してください。"));
    EXPECT_FALSE(m.finished());
    m.selectedFile = 1;
    EXPECT_FALSE(m.Next());
    EXPECT_TRUE(m.finished());
    const std::string record = m.Record();
    EXPECT_EQ(Field(record, 2), "%SystemDirectory%\\tools") << "the folder of the file's line without its last \\";
    EXPECT_EQ(Field(record, 3), "tool.exe");
    EXPECT_EQ(Field(record, 9), "288") << "a new item starts with the project-wide target";
    EXPECT_EQ(Field(record, 11), S("1,1,実行する,"));
}

TEST(ProgramDialog, AFileWithoutDefineOrParameterIsInTheInstallFolder) {
    ProgramDialogModel m(Standard());
    m.Next();
    m.SetProjectFiles(Files());
    m.selectedFile = 2;
    m.Next();
    EXPECT_EQ(Field(m.Record(), 2), "%InstallDir%");
}

TEST(ProgramDialog, AnOutsideFileKeepsTheBackslashAfterTheDefine) {
    ProgramDialogModel m(Standard());
    m.projectFileTarget = false;
    m.Next();
    EXPECT_EQ(m.page(), Page::SpecifyFile);
    m.fileName = "setup.exe";
    m.Next();
    ASSERT_TRUE(m.finished());
    EXPECT_EQ(Field(m.Record(), 2), "%InstallDir%\\");
    ProgramDialogModel p(Standard());
    p.projectFileTarget = false;
    p.Next();
    p.parameter = "bin\\";
    p.fileName = "a.exe";
    p.Next();
    EXPECT_EQ(Field(p.Record(), 2), "%InstallDir%\\bin") << "the parameter loses its trailing \\";
}

TEST(ProgramDialog, TheSpecifiedFileIsCheckedInOrder) {
    struct Case {
        const char* define;
        const char* parameter;
        const char* fileName;
        std::string message;
        const char* field;
    } cases[] = {
        {"%InstallDir%", "", "a.exe", "", ""},
        {"MyDir", "", "a.exe", S("サポートしていないフォルダ定数か、この項目では使用できないフォルダ定数です。"), "cmbDefine"},
        {"%Registry%", "", "a.exe", S("パラメータが入力されていません。パラメータを入力してください。"), "edtParameter"},
        {"%InstallDir%", "", "", S("ファイル名を入力してください。"), "edtFileName"},
        {"%InstallDir%", "", "bin\\a.exe", S("使用できない文字 * ? / ; : \" < > | \\ が含まれているか、ドライブ文字(A:など)やパス区切り文字(\\)が含まれています。\rフォルダを指定している場合はファイル名のみを指定して下さい。"),
         "edtFileName"},
    };
    for (const Case& c : cases) {
        ProgramDialogModel m(Standard());
        m.projectFileTarget = false;
        m.Next();
        m.define = c.define;
        m.parameter = c.parameter;
        m.fileName = c.fileName;
        const CheckOutcome r = m.Next();
        EXPECT_EQ(MessageOf(r), c.message) << c.define << " " << c.fileName;
        if (r) {
            EXPECT_EQ(r->field, c.field);
            EXPECT_EQ(r->page, "tsSpecifyFile");
        }
    }
}

TEST(ProgramDialog, TheTimingRulesTheOptionLines) {
    struct Case {
        int timing;
        int optionsBefore;
        int optionsAfter;
        bool waitEnabled, confirmEnabled, displayOptions;
    } cases[] = {
        {kTimingUserChoice, 7, 6, false, false, true},
        {kTimingAfterInstall, 0, 0, true, true, false},
        {kTimingBeforeUninstall, 0, 1, false, true, false},
        {kTimingBeforeCopy, 5, 5, true, true, false},
        {kTimingAfterCopy, 2, 2, true, true, false},
    };
    for (const Case& c : cases) {
        ProgramDialogModel m(Standard());
        m.specifyLaunch.options = c.optionsBefore;
        m.SetTiming(Page::SpecifyFile, c.timing);
        EXPECT_EQ(m.specifyLaunch.options, c.optionsAfter) << c.timing;
        EXPECT_EQ(m.OptionEnabled(Page::SpecifyFile, kOptionWait), c.waitEnabled) << c.timing;
        EXPECT_EQ(m.OptionEnabled(Page::SpecifyFile, kOptionConfirm), c.confirmEnabled) << c.timing;
        EXPECT_TRUE(m.OptionEnabled(Page::SpecifyFile, kOptionCreateProcess)) << c.timing;
        m.projectFileTarget = false;
        EXPECT_EQ(m.DisplayOptionsShown(), c.displayOptions) << c.timing;
        m.SetOption(Page::SpecifyFile, kOptionWait, false);
        if (c.timing == kTimingBeforeUninstall) {
            EXPECT_EQ(m.specifyLaunch.options & 1, 1) << "locked on";
        }
    }
    ProgramDialogModel m(Standard());
    m.SetTiming(Page::SpecifyFile, kTimingAfterInstall);
    EXPECT_EQ(m.selectLaunch.timing, kTimingUserChoice) << "each file page keeps its own timing";
}

TEST(ProgramDialog, TheOtherPageAsksForTheConfirmationMessageOfATimedProgram) {
    ProgramDialogModel m(Standard(true));
    m.projectFileTarget = false;
    m.Next();
    m.fileName = "a.exe";
    m.SetTiming(Page::SpecifyFile, kTimingAfterInstall);
    m.SetOption(Page::SpecifyFile, kOptionConfirm, true);
    EXPECT_EQ(m.NextCaption(), S("次へ(&N)")) << "the OS check shows the other page";
    EXPECT_FALSE(m.Next());
    EXPECT_EQ(m.page(), Page::Other);
    EXPECT_EQ(m.NextCaption(), S("完了(&F)"));
    EXPECT_TRUE(m.ItemTextShown());
    EXPECT_EQ(m.ItemTextLabel(), S("確認メッセージ(&M)"));
    m.itemText.clear();
    const CheckOutcome r = m.Next();
    EXPECT_EQ(MessageOf(r), S("確認メッセージを入力してください。"));
    EXPECT_EQ(r->page, "tsDetail");
    m.SetOption(Page::SpecifyFile, kOptionConfirm, false);
    EXPECT_FALSE(m.ItemTextShown());
    EXPECT_FALSE(m.Next());
    EXPECT_TRUE(m.finished());
    m.Back();
    EXPECT_TRUE(m.finished()) << "a finished wizard stays finished";
}

TEST(ProgramDialog, TheItemTextIsRequiredOnlyWhenProgramsAreChosenOneByOne) {
    for (bool group : {true, false}) {
        ProgramDialogModel m(Standard(true, group));
        m.projectFileTarget = false;
        m.Next();
        m.fileName = "a.exe";
        m.Next();
        ASSERT_EQ(m.page(), Page::Other);
        EXPECT_EQ(m.ItemTextLabel(), S("項目内容(&I)"));
        m.itemText.clear();
        EXPECT_EQ(MessageOf(m.Next()), group ? std::string() : S("項目内容を入力してください。")) << group;
    }
}

TEST(ProgramDialog, BackReturnsThroughThePagesAndTheButtonReadsNextAgain) {
    ProgramDialogModel m(Standard(true));
    m.projectFileTarget = false;
    m.Next();
    m.fileName = "a.exe";
    m.Next();
    ASSERT_EQ(m.page(), Page::Other);
    m.Back();
    EXPECT_EQ(m.page(), Page::SpecifyFile);
    EXPECT_EQ(m.NextCaption(), S("次へ(&N)"));
    m.Back();
    EXPECT_EQ(m.page(), Page::Target);
    EXPECT_FALSE(m.BackVisible());
}

TEST(ProgramDialog, TheRunConditionIsCheckedInAdvancedModeOnly) {
    ProgramDialogModel::Setting advanced = Standard();
    advanced.advancedMode = true;
    for (bool isAdvanced : {false, true}) {
        ProgramDialogModel m(isAdvanced ? advanced : Standard(true));
        m.projectFileTarget = false;
        m.Next();
        m.fileName = "a.exe";
        m.Next();
        m.conditionOn = true;
        m.condition.type = kConditionKeyExists;
        const CheckOutcome r = m.Next();
        EXPECT_EQ(MessageOf(r), isAdvanced ? S("サブキーを入力してください。") : std::string());
        if (r) {
            EXPECT_EQ(r->page, "tsCondition");
        }
        EXPECT_EQ(m.ConditionPageShown(), isAdvanced);
    }
}

TEST(ProgramDialog, EditingOpensTheSpecifiedFileAndRoundTripsTheRecord) {
    ProgramDialogModel add(Standard(true, false));
    add.projectFileTarget = false;
    add.Next();
    add.define = "%SystemDirectory%";
    add.parameter = "sub,dir";
    add.fileName = "a.exe";
    add.specifyLaunch.arguments = "/x %InstallDir%";
    add.SetTiming(Page::SpecifyFile, kTimingAfterCopy);
    add.SetOption(Page::SpecifyFile, kOptionConfirm, true);
    add.Next();
    add.itemText = "a, b = c";
    add.conditionOn = true;
    add.reverse = true;
    add.condition.type = kConditionFileExists;
    add.condition.folder.fileName = "x.dll";
    add.Next();
    ASSERT_TRUE(add.finished());
    const std::string record = add.Record();
    EXPECT_EQ(Field(record, 8).substr(0, 4), "1,3,") << "field 1 of the condition says it is used";

    ProgramDialogModel edit(Standard(false, false), record);
    EXPECT_EQ(edit.mode(), ProgramDialogModel::Mode::Edit);
    EXPECT_EQ(edit.page(), Page::SpecifyFile);
    EXPECT_EQ(edit.NextCaption(), "OK");
    EXPECT_FALSE(edit.BackVisible());
    EXPECT_EQ(edit.define, "%SystemDirectory%");
    EXPECT_EQ(edit.parameter, "sub,dir");
    EXPECT_EQ(edit.itemText, "a, b = c") << "an item text with \",\" reads back unchanged";
    EXPECT_TRUE(edit.conditionOn);
    EXPECT_TRUE(edit.reverse);
    EXPECT_EQ(edit.condition.folder.fileName, "x.dll");
    EXPECT_FALSE(edit.OtherPageShown()) << "standard mode without the OS check";
    EXPECT_FALSE(edit.Next());
    EXPECT_EQ(edit.Record(record), record);

    ProgramDialogModel empty(Standard(false, false), record);
    empty.itemText.clear();
    const CheckOutcome r = empty.Next();
    EXPECT_EQ(MessageOf(r), S("確認メッセージを入力してください。"));
    EXPECT_TRUE(empty.OtherPageShown()) << "a failed item text shows the page that holds it";
    EXPECT_FALSE(empty.finished());
}
