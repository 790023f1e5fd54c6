// The INI file editor without widgets: the item dialog's processing, checks, status line and
// record, the import of INI files, and the list dialog's closing rules.
#include "editor_fixture.h"
#include "zeriru/editors/ini_dialog_model.h"
#include "zeriru/project_file.h"

using namespace zeriru;

namespace {

using Records = std::vector<std::string>;

struct IniTest : EditorFixture {
    std::vector<int> hints;
    std::function<void(int, bool)> showHint = [this](int index, bool) { hints.push_back(index); };

    IniItemDialogModel NewDialog() {
        IniItemDialogModel dialog(*data, false, showHint);
        dialog.Load(dialog.NewItem());
        return dialog;
    }
    static IniDialogModel::ItemDialogRunner Fill(std::function<void(IniItemDialogModel&)> fill) {
        return [fill](IniItemDialogModel& dialog) {
            fill(dialog);
            return dialog.Ok(nullptr);
        };
    }
};

}  // namespace

TEST_F(IniTest, ProcessingDecidesWhatTheDialogShows) {
    IniItemDialogModel dialog = NewDialog();
    EXPECT_EQ(dialog.define, "%InstallDir%");
    EXPECT_EQ(dialog.condition.registry.rootKey, "HKEY_CURRENT_USER");
    struct Case {
        int processing;
        bool name, value, option;
    } cases[] = {{0, true, true, true}, {1, true, false, false}, {2, false, false, false}};
    for (const Case& c : cases) {
        dialog.SetProcessing(c.processing);
        EXPECT_EQ(dialog.ValueNameVisible(), c.name) << c.processing;
        EXPECT_EQ(dialog.ValueVisible(), c.value) << c.processing;
        EXPECT_EQ(dialog.OptionEnabled(), c.option) << c.processing;
    }
    EXPECT_EQ(IniProcessingText(2), S("セクションを削除する"));
    EXPECT_EQ(dialog.DefineChoices()[7], "%InstallerDir%") << "the editor data's list after the usual folders";
}

TEST_F(IniTest, ItemDialogChecksInOrder) {
    struct Case {
        const char* what;
        std::function<void(IniItemDialogModel&)> change;
        std::string message;  // empty: accepted
        const char* field;
    } cases[] = {
        {"delete a section without name and value",
         [](auto& d) {
             d.SetProcessing(2);
             d.valueName = d.value = "";
         },
         "", ""},
        {"delete a value without its name",
         [](auto& d) {
             d.SetProcessing(1);
             d.valueName = "";
         },
         S("値名を入力してください。"), ini_control::kValueName},
        {"write with an empty value", [](auto& d) { d.value = ""; }, "", ""},
        {"a plain folder typed as the define", [](auto& d) { d.define = "D:\\data"; }, "", ""},
        {"no define at all", [](auto& d) { d.define = " "; },
         S("サポートしていないフォルダ定数か、この項目では使用できないフォルダ定数です。"), ini_control::kDefine},
        {"a define that is no folder", [](auto& d) { d.define = "%Date%"; },
         S("サポートしていないフォルダ定数か、この項目では使用できないフォルダ定数です。"), ini_control::kDefine},
        {"a define without its parameters", [](auto& d) { d.define = "%IniFileDir%"; },
         S("パラメータが入力されていません。パラメータを入力してください。"), ini_control::kParameter},
        {"no file name", [](auto& d) { d.fileName = ""; }, S("ファイル名を入力してください。"), ini_control::kFileName},
        {"a folder in the file name", [](auto& d) { d.fileName = "sub\\a.ini"; },
         S("使用できない文字 * ? / ; : \" < > | \\ が含まれているか、ドライブ文字(A:など)やパス区切り文字(\\)が含まれています。\r"
           "フォルダを指定している場合はファイル名のみを指定して下さい。"),
         ini_control::kFileName},
        {"no section", [](auto& d) { d.section = ""; }, S("セクション名を入力してください。"), ini_control::kSection},
        {"a condition without its file in standard mode",
         [](auto& d) {
             d.condition.timing = kConditionInstall;
             d.condition.type = kConditionFileExists;
         },
         "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        IniItemDialogModel dialog = NewDialog();
        dialog.fileName = "a.ini";
        dialog.section = "S";
        dialog.valueName = "K";
        c.change(dialog);
        CheckOutcome result;
        const bool ok = dialog.Ok(&result);
        if (c.message.empty()) {
            EXPECT_TRUE(ok) << (result ? platform::sjis::ToUtf8(result->message) : "");
            continue;
        }
        ASSERT_TRUE(result);
        EXPECT_EQ(result->message, c.message);
        EXPECT_EQ(result->field, c.field);
        EXPECT_EQ(result->page, "tsDetail");
        EXPECT_EQ(result->openParameterDialog, c.field == std::string(ini_control::kParameter));
    }
}

TEST_F(IniTest, AdvancedModeChecksTheConditionOnItsTab) {
    SetOption("DOzoze_Mode", 1);
    Reopen();
    IniItemDialogModel dialog = NewDialog();
    dialog.fileName = "a.ini";
    dialog.section = "S";
    dialog.valueName = "K";
    dialog.condition.timing = kConditionUninstall;
    dialog.condition.type = kConditionFileExists;
    CheckOutcome result;
    ASSERT_FALSE(dialog.Ok(&result));
    EXPECT_EQ(result->message, S("ファイル名を入力してください。"));
    EXPECT_EQ(result->field, condition_control::kFileName);
    EXPECT_EQ(result->page, "tsCondition");
    dialog.condition.folder.fileName = "x.dll";
    EXPECT_TRUE(dialog.Ok(&result)) << "no check that the condition's timing fits the processing timing";
}

TEST_F(IniTest, TheRecordKeepsParametersWithCommasAndTheConditionOfItsType) {
    SetOption("DOzoze_Mode", 1);
    Reopen();
    IniDialogModel model(*data, showHint);
    model.Load(project, false);
    ASSERT_EQ(model.Add(ui, Fill([](IniItemDialogModel& d) {
        d.define = "%IniFileDir%";
        d.parameter = "%InstallDir%\\a.ini,Paths,Base,C:\\,\\";
        d.fileName = S("設定.ini");
        d.section = "S";
        d.valueName = "K";
        d.value = "v=1";
        d.skipExisting = true;
        d.SetTiming(process_timing::kBoth);
        d.condition.timing = kConditionInstall;
        d.condition.type = kConditionFileExists;
        d.condition.folder.define = "%SystemDirectory%";
        d.condition.folder.parameter = "sub";
        d.condition.folder.fileName = "x.dll";
    })), 0);
    EXPECT_EQ(hints, std::vector<int>{5});
    EXPECT_TRUE(model.items().enabled());
    const std::string record = model.items().records()[0];
    EXPECT_EQ(record, "0|%IniFileDir%|%InstallDir%\\a.ini\x03Paths\x03" "Base\x03" "C:\\\x03|" + S("設定.ini") +
                          "|S|K|v\x01" "1|65535|0,0,0,0,0,0|1,3,%SystemDirectory%,sub,x.dll,,1,,,2,|||||||||||")
        << "the parameter lost its trailing separator";
    model.Write(project);

    IniDialogModel reopened(*data, showHint);
    reopened.Load(project, false);
    bool seen = false;
    ASSERT_TRUE(reopened.Edit(0, Fill([&](IniItemDialogModel& d) {
        seen = true;
        EXPECT_TRUE(hints.size() == 1) << "loading shows no hint";
        EXPECT_EQ(d.parameter, "%InstallDir%\\a.ini,Paths,Base,C:\\,");
        EXPECT_EQ(d.condition.type, kConditionFileExists);
        EXPECT_EQ(d.condition.folder.fileName, "x.dll") << "the condition's file name in its group";
        EXPECT_EQ(d.fileName, S("設定.ini")) << "the INI file name unchanged";
        EXPECT_TRUE(d.skipExisting);
        EXPECT_EQ(d.timing(), process_timing::kBoth);
    })));
    EXPECT_TRUE(seen);
    EXPECT_EQ(reopened.items().records()[0], record) << "an edit without changes keeps the record";
}

TEST_F(IniTest, TheStatusLineShowsTheFilesPathOnThisMachine) {
    machine.env["APPDATA"] = "C:\\users\\me\\AppData";
    LoadProject("[Software]\nFolder=%ProgramFilesDir%|App|\n");
    data->SetProject(&project);
    IniItemDialogModel dialog = NewDialog();
    dialog.fileName = "a.ini";
    EXPECT_EQ(dialog.ResultPath(), "C:\\Program Files\\App\\a.ini");
    dialog.parameter = "conf";
    EXPECT_EQ(dialog.ResultPath(), "C:\\Program Files\\App\\conf\\a.ini");
    dialog.define = "%AbsoluteDir%";
    dialog.parameter = "%APPDATA%\\x.ini";
    EXPECT_EQ(dialog.ResultPath(), "C:\\users\\me\\AppData\\x.ini") << "the parameter alone";
}

TEST_F(IniTest, ImportAppendsEveryKeyOfEverySectionInFileOrder) {
    WriteFile("conf/app.ini", "; comment\r\n[Main]\r\na=1\r\nb = two \r\nc=\"q\"\r\n[Other]\r\nx=|\r\ny=\r\nz=3\r\n");
    WriteFile("conf/second.INI", "[S]\r\nk=v\r\n");
    LoadProject("[OSSetting]\nOSVersion=32\n[IniFileItems]\n0=0|%InstallDir%||own.ini|S|K|V|65535|||\n");
    IniDialogModel model(*data, showHint);
    model.Load(project, false);
    ui.QueueFiles({"C:\\conf\\app.ini", "C:\\conf\\missing.ini", "C:\\conf\\second.INI"});
    EXPECT_EQ(model.Import(ui), 7);
    EXPECT_EQ(ui.fileRequests().front().filter, IniDialogModel::ImportFilter());
    EXPECT_EQ(ui.fileRequests().front().mode, FileDialogRequest::Mode::OpenMany);
    EXPECT_EQ(ui.busyCount(), 1) << "the wait cursor";
    EXPECT_TRUE(model.items().enabled());
    model.Write(project);
    const std::string tail = "|32|0,0,0,0,0,0||||||||||||";
    EXPECT_EQ(Items("IniFileItems"), (Records{
                                         "0|%InstallDir%||own.ini|S|K|V|65535|||",
                                         "0|%InstallDir%||app.ini|Main|a|1" + tail,
                                         "0|%InstallDir%||app.ini|Main|b|two" + tail,
                                         "0|%InstallDir%||app.ini|Main|c|q" + tail,
                                         "0|%InstallDir%||app.ini|Other|x|\x02" + tail,
                                         "0|%InstallDir%||app.ini|Other|y|" + tail,
                                         "0|%InstallDir%||app.ini|Other|z|3" + tail,
                                         "0|%InstallDir%||second.INI|S|k|v" + tail,
                                     }));
    IniDialogModel reopened(*data, showHint);
    reopened.Load(project, false);
    EXPECT_EQ(reopened.items().records(), model.items().records());
    EXPECT_EQ(IniColumnText(reopened.items().records()[4], 5), "|");
    EXPECT_EQ(IniColumnText(reopened.items().records()[4], 6), "XP");
}

TEST_F(IniTest, ImportStopsSilentlyAtTheLimit) {
    WriteFile("conf/six.ini", "[A]\r\n1=a\r\n2=b\r\n3=c\r\n[B]\r\n4=d\r\n5=e\r\n6=f\r\n");
    for (int i = 0; i < 4998; ++i) project.WriteString("IniFileItems", std::to_string(i), "0|%InstallDir%||a.ini|S|K|V|");
    IniDialogModel model(*data, showHint);
    model.Load(project, false);
    ui.QueueFiles({"C:\\conf\\six.ini"});
    EXPECT_EQ(model.Import(ui), 2);
    EXPECT_EQ(model.items().size(), 5000);
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_EQ(IniItem::Read(model.items().records().back()).valueName, "2");
}

TEST_F(IniTest, ClosingAsksAsTheListAndTheSwitchSay) {
    LoadProject("[IniFileItems]\n0=0|%InstallDir%||a.ini|S|K|V|65535|||\n");
    IniDialogModel model(*data, showHint);
    model.Load(project, false);
    EXPECT_EQ(model.Copy(0), 1);
    EXPECT_FALSE(model.ConfirmCancel(ui)) << "the copy is a change";
    EXPECT_EQ(ui.messages(), Records{S("変更内容を破棄してもよろしいですか？")});
    ui.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(model.Clear(ui));
    EXPECT_FALSE(model.items().enabled());
    model.items().SetEnabled(true);
    ui.clear();
    EXPECT_FALSE(model.ConfirmOk(ui)) << "No keeps the dialog open";
    EXPECT_EQ(ui.messages(), Records{S("項目が登録されていませんがよろしいですか。")});
    EXPECT_TRUE(model.items().enabled());
    ui.QueueAnswer(Answer::Yes);
    EXPECT_TRUE(model.ConfirmOk(ui));
    model.Write(project);
    EXPECT_EQ(project.ReadString("Installer", "EnableIniFileSetting"), "0");
}

TEST_F(IniTest, BrowsingPutsTheFilesBareNameAndDefinesLandInTheirCombo) {
    IniItemDialogModel dialog = NewDialog();
    ui.QueueFiles({S("C:\\some\\where\\設定.ini")});
    ASSERT_TRUE(dialog.BrowseFile(ui));
    EXPECT_EQ(dialog.fileName, S("設定.ini"));
    EXPECT_EQ(ui.fileRequests().front().filter, S("すべてのファイル(*.*)|*.*"));
    EXPECT_EQ(dialog.ValueBuilder().mask(), kMaskAny);
}
