// The item dialog: the wizard's pages per choice, the checks with their messages and controls,
// the rules among the file options, the items each choice makes, and editing one item or several.
#include "files_fixture.h"
#include "zeriru/frmFiles/files_item_dialog_model.h"
#include "zeriru/frmFiles/files_lists.h"

using namespace zeriru;
using namespace zeriru::files_item;
using platform::sjis::S;
using Page = FilesItemDialogModel::Page;
using Mode = FilesItemDialogModel::Mode;

namespace {

std::vector<Page> P(std::initializer_list<Page> pages) { return pages; }

}  // namespace

TEST_F(FilesTest, WizardPagesFollowTheChoiceAndTheProjectOsCheck) {
    struct Case {
        int choice;
        bool checkOs;
        std::vector<Page> pages;
    } cases[] = {
        {0, false, P({Page::Select, Page::Files, Page::Extend})},
        {1, false, P({Page::Select, Page::Folder, Page::Extend})},
        {2, true, P({Page::Select, Page::Delete, Page::Extend})},
        {2, false, P({Page::Select, Page::Delete})},
        {3, false, P({Page::Select, Page::Create, Page::Extend})},
        {4, false, P({Page::Select, Page::Graphical})},
        {5, true, P({Page::Select, Page::Component, Page::Extend})},
        {5, false, P({Page::Select, Page::Component})},
    };
    for (const Case& c : cases) {
        project.WriteBool("OSSetting", "CheckOSVersion", c.checkOs);
        FilesItemDialogModel model = FilesItemDialogModel::ForNewItem(Env());
        model.choice = c.choice;
        EXPECT_EQ(model.Pages(), c.pages) << "choice " << c.choice;
        EXPECT_EQ(model.OsButtonEnabled(), c.checkOs);
    }
    FilesItemDialogModel model = FilesItemDialogModel::ForNewItem(Env());
    model.choice = 3;
    EXPECT_EQ(model.NextCaption(), S("次へ(&N)"));
    EXPECT_FALSE(model.CanGoBack());
    ASSERT_FALSE(model.Next());
    EXPECT_EQ(model.page(), Page::Create);
    ASSERT_FALSE(model.Next());
    EXPECT_EQ(model.NextCaption(), S("完了(&F)"));
    model.Back();
    EXPECT_EQ(model.page(), Page::Create);
    ASSERT_FALSE(model.Next());
    ASSERT_FALSE(model.Next());
    EXPECT_TRUE(model.finished());
}

TEST_F(FilesTest, ExtendedOptionsShowWhatTheChoiceUses) {
    using L = FilesItemDialogModel::ExtendLayout;
    auto layout = [&](int choice, bool keepAttributes) {
        FilesItemDialogModel model = FilesItemDialogModel::ForNewItem(Env());
        model.choice = choice;
        model.folderPage.keepAttributes = keepAttributes;
        const L l = model.Layout();
        return std::vector<bool>{l.destination, l.optionsTab, l.optionsEnabled, l.attributes, l.conditionTab};
    };
    EXPECT_EQ(layout(0, true), (std::vector<bool>{true, true, true, true, false})) << "condition: advanced only";
    EXPECT_EQ(layout(1, true), (std::vector<bool>{true, true, true, false, false}));
    EXPECT_EQ(layout(1, false), (std::vector<bool>{true, true, true, true, false}));
    EXPECT_EQ(layout(2, true), (std::vector<bool>{false, false, false, false, false}));
    EXPECT_EQ(layout(3, true), (std::vector<bool>{false, true, false, true, false}));
    EXPECT_EQ(layout(4, true), (std::vector<bool>{false, false, false, false, false}));
    SetAdvancedMode(true);
    EXPECT_EQ(layout(0, true).back(), true);
    EXPECT_EQ(layout(1, true).back(), true);
    SetAdvancedMode(false);
    // Editing one file item always shows the condition; several never.
    const std::string file = Record({{kKind, "0"}, {kDefine, "%InstallDir%"}, {kSource, "C:\\a.txt"}});
    EXPECT_TRUE(FilesItemDialogModel::ForItem(Env(), file).Layout().conditionTab);
    EXPECT_FALSE(FilesItemDialogModel::ForItems(Env(), {file, file}).Layout().conditionTab);
}

TEST_F(FilesTest, PageChecksNameTheirMessageAndControl) {
    const std::string component = WriteFile("c/parts.qinc", "[Information]\r\nFileType=ZU_RUZUDUROZAR\r\n");
    const std::string notComponent = WriteFile("c/plain.qinc", "[Information]\r\nFileType=x\r\n");
    struct Case {
        const char* what;
        std::function<void(FilesItemDialogModel&)> set;
        Page page;
        const char* message;  // UTF-8; nullptr: passes
        const char* field;
    } cases[] = {
        {"no file", [](auto&) {}, Page::Files, "ファイルを指定してください。", "lbFiles"},
        {"a file", [](auto& m) { m.files = {"C:\\a.txt"}; }, Page::Files, nullptr, ""},
        {"no folder", [](auto&) {}, Page::Folder, "フォルダを入力してください。", "edtFolder"},
        {"relative folder", [](auto& m) { m.folderPage.folder = "src"; }, Page::Folder,
         "使用できない文字 * ? / ; \" < > | が含まれているか、フルパスではありません。", "edtFolder"},
        {"unknown define", [](auto& m) { m.deletePage.define = "%Nothing%"; }, Page::Delete,
         "サポートしていないフォルダ定数か、この項目では使用できないフォルダ定数です。", "cmbDeleteDefine"},
        {"define without its parameter", [](auto& m) { m.deletePage.define = "%AbsoluteDir%"; }, Page::Delete,
         "パラメータが入力されていません。パラメータを入力してください。", "edtDeleteParameter"},
        {"no file name", [](auto&) {}, Page::Delete, "ファイル名を入力してください。", "edtDeleteFileName"},
        {"file name with a folder", [](auto& m) { m.deletePage.fileName = "a\\b.txt"; }, Page::Delete,
         "使用できない文字 * ? / ; : \" < > | \\ が含まれているか、ドライブ文字(A:など)やパス区切り文字(\\)が含まれています。\rフォルダを指定している場合はファイル名のみを指定して下さい。",
         "edtDeleteFileName"},
        {"a folder needs no file name", [](auto& m) { m.deletePage.target = 1; }, Page::Delete, nullptr, ""},
        {"create: unknown define", [](auto& m) { m.createPage.define = ""; }, Page::Create,
         "サポートしていないフォルダ定数か、この項目では使用できないフォルダ定数です。", "cmbCreateDefine"},
        {"empty tree", [](auto&) {}, Page::Graphical, "ファイル/フォルダを指定してください。", "tvGraph"},
        {"no component file", [](auto&) {}, Page::Component, "ファイル名を入力してください。", "edtComponentFile"},
        {"relative component file", [](auto& m) { m.componentPage.fileName = "parts.qinc"; }, Page::Component,
         "使用できない文字 * ? / ; \" < > | が含まれているか、フルパスではありません。", "edtComponentFile"},
        {"not a component file", [&](auto& m) { m.componentPage.fileName = notComponent; }, Page::Component,
         "コンポーネント定義ファイルではありません。", "edtComponentFile"},
        {"no component name", [&](auto& m) { m.componentPage.fileName = component; }, Page::Component,
         "コンポーネント名を入力してください。", "edtComponentName"},
        {"destination define", [](auto& m) { m.SetStandardFolder(Tri::Unchecked); m.define = "%Date%"; }, Page::Extend,
         "サポートしていないフォルダ定数か、この項目では使用できないフォルダ定数です。", "cmbDefine"},
        {"standard folder", [](auto& m) { m.define = "%Date%"; }, Page::Extend, nullptr, ""},
    };
    for (const Case& c : cases) {
        FilesItemDialogModel model = FilesItemDialogModel::ForNewItem(Env());
        c.set(model);
        const CheckOutcome result = model.CheckPage(c.page);
        if (!c.message) {
            EXPECT_FALSE(result) << c.what << ": " << (result ? result->message : "");
            continue;
        }
        ASSERT_TRUE(result) << c.what;
        EXPECT_EQ(result->message, S(c.message)) << c.what;
        EXPECT_EQ(result->field, c.field) << c.what;
        EXPECT_FALSE(result->page.empty()) << c.what;
    }
}

TEST_F(FilesTest, NextStaysOnTheFailingPageAndTheComponentChoiceIsRefusedInsideAComponentFile) {
    FilesItemDialogModel model = FilesItemDialogModel::ForNewItem(Env());
    ASSERT_FALSE(model.Next());
    const CheckOutcome failed = model.Next();
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->page, "tsFiles");
    EXPECT_EQ(model.page(), Page::Files);

    FilesItemDialogModel inside = FilesItemDialogModel::ForNewItem(Env(true));
    inside.choice = FilesItemDialogModel::kChoiceComponent;
    const CheckOutcome refused = inside.Next();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->message,
              S("コンポーネント定義ファイル作成時には、コンポーネント定義ファイルを指定することはできません。"));
    EXPECT_EQ(inside.page(), Page::Select);
    inside.choice = FilesItemDialogModel::kChoiceFiles;
    EXPECT_FALSE(inside.Next()) << "other choices are fine";
}

TEST_F(FilesTest, ConditionIsCheckedOnlyInAdvancedMode) {
    const std::string file = Record({{kKind, "0"}, {kDefine, "%InstallDir%"}, {kSource, "C:\\a.txt"},
                                     {kCondition, "1,0,HKEY_CURRENT_USER,,,,0,,,0,"}});
    FilesItemDialogModel standard = FilesItemDialogModel::ForItem(Env(), file);
    EXPECT_FALSE(standard.Ok()) << "an empty sub-key passes in standard mode";
    SetAdvancedMode(true);
    FilesItemDialogModel advanced = FilesItemDialogModel::ForItem(Env(), file);
    const CheckOutcome failed = advanced.Ok();
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->message, S("サブキーを入力してください。"));
    EXPECT_EQ(failed->page, "tsCondition");
    EXPECT_EQ(advanced.page(), Page::Extend);
}

TEST_F(FilesTest, FileOptionRules) {
    FilesItemDialogModel model = FilesItemDialogModel::ForNewItem(Env());
    // The three lines about an existing file exclude one another.
    model.SetOption(0, Tri::Checked);
    EXPECT_FALSE(model.OptionEnabled(3));
    EXPECT_FALSE(model.OptionEnabled(4));
    EXPECT_TRUE(model.OptionEnabled(0));
    model.SetOption(0, Tri::Unchecked);
    EXPECT_TRUE(model.OptionEnabled(3));
    // Registration brings the shared file and locks it.
    model.SetOption(1, Tri::Checked);
    EXPECT_EQ(model.OptionState(2), Tri::Checked);
    EXPECT_FALSE(model.OptionEnabled(2));
    // "ファイルをコピーしない" clears and locks the others and hides the destination.
    model.SetOption(8, Tri::Checked);
    model.SetOption(5, Tri::Checked);
    EXPECT_EQ(model.OptionBits(), 32);
    for (int line : {0, 1, 2, 3, 4, 6, 7, 8, 9}) EXPECT_FALSE(model.OptionEnabled(line)) << line;
    EXPECT_FALSE(model.DestinationVisible());
    model.SetOption(5, Tri::Unchecked);
    EXPECT_TRUE(model.DestinationVisible());
    EXPECT_TRUE(model.OptionEnabled(2)) << "the registration went with the others";
}

TEST_F(FilesTest, AddingFilesAppliesTheRegistrationRuleAndTheProjectOs) {
    project.WriteInteger("OSSetting", "OSVersion", 288);
    project.WriteString("OSSetting", "SPVersion", "0,0,2,0,0,1");
    FilesItemDialogModel model = FilesItemDialogModel::ForNewItem(Env());
    model.files = {"C:\\src\\readme.txt", "C:\\src\\grid.ocx"};
    model.SetOption(1, Tri::Checked);
    model.comment = " tools ";
    model.SetAttribute(1, Tri::Checked);
    VectorSink sink;
    EXPECT_EQ(model.MakeItems(sink, {}), 2);
    ASSERT_EQ(sink.records.size(), 2u);
    EXPECT_EQ(Dump(sink.records[0]),
              "files{enabled=1, kind=0, define=%InstallDir%, parameter=, source=C:\\src\\readme.txt, comment=tools, "
              "description=, options=4, attributes=2, os=288, sp=0,0,2,0,0,1, condition=0,0,HKEY_CURRENT_USER,,,,0,,,0,}");
    EXPECT_EQ(FilesItemCodec().Int(sink.records[1], kOptions), 6) << "an .OCX keeps registration and the shared bit";
    EXPECT_EQ(model.MakeOsDialog().LineEnabled(5), true);
    EXPECT_EQ(model.MakeOsDialog().LineEnabled(4), false) << "only what the project allows";

    // With the automatic registration a registrable file gets both bits unasked.
    FilesItemDialogModel plain = FilesItemDialogModel::ForNewItem(Env());
    plain.files = {"C:\\src\\grid.ocx", "C:\\src\\a.exe"};
    VectorSink autoSink;
    plain.MakeItems(autoSink, {true});
    EXPECT_EQ(FilesItemCodec().Int(autoSink.records[0], kOptions), 6);
    EXPECT_EQ(FilesItemCodec().Int(autoSink.records[1], kOptions), 0);
}

TEST_F(FilesTest, AddingFilesStopsAtTheLimitWithItsMessage) {
    FilesItemDialogModel model = FilesItemDialogModel::ForNewItem(Env());
    for (int i = 0; i < 10; ++i) model.files.push_back("C:\\src\\f" + std::to_string(i) + ".txt");
    VectorSink sink;
    sink.before = 32765;
    EXPECT_EQ(model.MakeItems(sink, {}), 3);
    EXPECT_EQ(ui.messages(), std::vector<std::string>{S("リストの項目数が 32768 に達したため処理を中止しました。")});
}

TEST_F(FilesTest, FolderChoiceMakesTheItemsOfTheTreeWalk) {
    const std::string a = WriteFile("src/a.txt");
    const std::string b = WriteFile("src/sub/b.txt");
    MakeFolder("src/empty");
    struct Case {
        bool keepStructure;
        std::vector<std::string> items;  // kind, parameter, file name
    } cases[] = {
        {true, {"0 App a.txt", "1 App\\empty ", "0 App\\sub b.txt"}},
        {false, {"0 App a.txt", "0 App b.txt"}},
    };
    for (const Case& c : cases) {
        FilesItemDialogModel model = FilesItemDialogModel::ForNewItem(Env());
        model.choice = FilesItemDialogModel::kChoiceFolder;
        model.folderPage.folder = Win("src");
        model.folderPage.keepStructure = c.keepStructure;
        model.folderPage.emptyFolders = true;
        model.SetStandardFolder(Tri::Unchecked);
        model.parameter = "App\\";
        VectorSink sink;
        model.MakeItems(sink, {});
        std::vector<std::string> items;
        for (const std::string& r : sink.records)
            items.push_back(std::to_string(FilesItemCodec().Int(r, kKind)) + " " + FilesItemCodec().Text(r, kParameter) +
                            " " + FileNamePart(FilesItemCodec().Text(r, kSource)));
        EXPECT_EQ(items, c.items) << c.keepStructure;
        EXPECT_EQ(FilesItemCodec().Text(sink.records[1], kComment), c.keepStructure ? S("フォルダの作成") : "");
    }
    // A stop after the first item keeps what was made.
    FilesItemDialogModel model = FilesItemDialogModel::ForNewItem(Env());
    model.choice = FilesItemDialogModel::kChoiceFolder;
    model.folderPage.folder = Win("src");
    VectorSink sink;
    sink.stopAfter = 1;
    EXPECT_EQ(model.MakeItems(sink, {}), 1);
}

TEST_F(FilesTest, DeleteCreateGraphicalAndComponentChoicesMakeTheirItems) {
    FilesItemDialogModel del = FilesItemDialogModel::ForNewItem(Env());
    del.choice = FilesItemDialogModel::kChoiceDelete;
    del.deletePage.parameter = "old\\";
    del.SetDeleteFileFromBrowse("C:\\somewhere\\gone.dll");
    VectorSink deleted;
    del.MakeItems(deleted, {});
    EXPECT_EQ(Dump(deleted.records.at(0)),
              "files{enabled=1, kind=2, define=%InstallDir%, parameter=old, source=gone.dll, comment=, description=, "
              "options=0, attributes=0, os=65535, sp=0,0,0,0,0,0, condition=0,0,HKEY_CURRENT_USER,,,,0,,,0,}");
    del.deletePage.target = FilesItemDialogModel::kDeleteTargetTree;
    VectorSink tree;
    del.MakeItems(tree, {});
    EXPECT_EQ(FilesItemCodec().Int(tree.records.at(0), kKind), 4);
    EXPECT_EQ(FilesItemCodec().Text(tree.records.at(0), kSource), "") << "no file name for a folder";

    FilesItemDialogModel create = FilesItemDialogModel::ForNewItem(Env());
    create.choice = FilesItemDialogModel::kChoiceCreate;
    create.createPage.parameter = "data\\";
    create.SetAttribute(2, Tri::Checked);
    VectorSink created;
    create.MakeItems(created, {});
    EXPECT_EQ(FilesColumnText(created.records.at(0), kColumnComment), S("フォルダの作成"));
    EXPECT_EQ(FilesItemCodec().Text(created.records.at(0), kParameter), "data");
    EXPECT_EQ(FilesItemCodec().Int(created.records.at(0), kAttributes), 4);

    const std::string hidden = WriteFile("g/hidden.txt");
    platform::winpath::SetFileAttributes(hidden, platform::winpath::kAttrHidden | platform::winpath::kAttrReadOnly);
    FilesItemDialogModel graph = FilesItemDialogModel::ForNewItem(Env());
    graph.choice = FilesItemDialogModel::kChoiceGraphical;
    graph.graphicalPage.define = "%SystemDirectory%";
    FileTreeNode* bin = graph.graphicalPage.tree.NewFolder(nullptr);
    graph.graphicalPage.tree.AddFiles(bin, {hidden});
    graph.graphicalPage.tree.NewFolder(nullptr);
    VectorSink drawn;
    graph.MakeItems(drawn, {});
    ASSERT_EQ(drawn.records.size(), 2u);
    EXPECT_EQ(FilesItemCodec().Text(drawn.records[0], kDefine), "%SystemDirectory%");
    EXPECT_EQ(FilesItemCodec().Text(drawn.records[0], kParameter), S("新しいフォルダ"));
    EXPECT_EQ(FilesItemCodec().Int(drawn.records[0], kAttributes), 2 | 4) << "read from the file";
    EXPECT_EQ(FilesItemCodec().Text(drawn.records[1], kParameter), S("新しいフォルダ1"));
    graph.graphicalPage.createEmpty = false;
    VectorSink noEmpty;
    graph.MakeItems(noEmpty, {});
    EXPECT_EQ(noEmpty.records.size(), 1u);

    const std::string parts = WriteFile("c/parts.qinc", "[Information]\r\nFileType=ZU_RUZUDUROZAR\r\n");
    FilesItemDialogModel comp = FilesItemDialogModel::ForNewItem(Env());
    comp.choice = FilesItemDialogModel::kChoiceComponent;
    comp.componentPage = {parts, "Parts", "the parts", false};
    VectorSink included;
    comp.MakeItems(included, {});
    EXPECT_EQ(FilesItemCodec().Text(included.records.at(0), kDefine), "(#Include File#)");
    EXPECT_EQ(FilesItemCodec().Text(included.records.at(0), kDescription), "the parts");
    EXPECT_EQ(FilesItemCodec().Int(included.records.at(0), kOptions), 0);
}

TEST_F(FilesTest, EditingOneItemUpdatesOnlyTheFieldsOfItsKind) {
    // Field 7 and fields past 12 belong to no editor field of a file item and stay.
    const std::string file = Record({{kEnabled, "1"}, {kKind, "0"}, {kDefine, "%SystemDirectory%"}, {kParameter, "x"},
                                     {kSource, "C:\\src\\a.ocx"}, {kDescription, "keep"}, {kOptions, "6"},
                                     {15, "later"}});
    FilesItemDialogModel model = FilesItemDialogModel::ForItem(Env(), file);
    EXPECT_EQ(model.mode(), Mode::EditOne);
    EXPECT_EQ(model.Pages(), P({Page::Files, Page::Extend}));
    EXPECT_EQ(model.standardFolder, Tri::Unchecked);
    EXPECT_TRUE(model.ChangesFile());
    model.files = {"C:\\src\\b.txt"};
    model.enabled = Tri::Unchecked;
    const std::string applied = model.Apply(file);
    EXPECT_EQ(FilesItemCodec().Text(applied, kSource), "C:\\src\\b.txt");
    EXPECT_EQ(FilesItemCodec().Int(applied, kOptions), 4) << "a text file loses the registration";
    EXPECT_FALSE(FilesItemCodec().Bool(applied, kEnabled));
    EXPECT_EQ(FilesItemCodec().Text(applied, kDescription), "keep");
    EXPECT_EQ(FilesItemCodec().Stored(applied, 15), "later");

    // The sub-path rule applies when editing, to a define that takes no parameters.
    model.parameter = "\\x";
    const CheckOutcome failed = model.Ok();
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->field, "edtParameter");
    model.define = "%AbsoluteDir%";
    model.parameter = "D:\\Tools";
    EXPECT_FALSE(model.Ok()) << "the parameters of a define are no sub-folder";

    // A folder item keeps its comment; delete items keep their target.
    const std::string folder = Record({{kKind, "1"}, {kDefine, "%InstallDir%"}, {kParameter, "d"}, {kComment, "own"}});
    FilesItemDialogModel create = FilesItemDialogModel::ForItem(Env(), folder);
    EXPECT_EQ(create.Pages(), P({Page::Create, Page::Extend}));
    create.createPage.parameter = "e\\";
    create.SetAttribute(0, Tri::Checked);
    const std::string created = create.Apply(folder);
    EXPECT_EQ(FilesItemCodec().Text(created, kComment), "own");
    EXPECT_EQ(FilesItemCodec().Text(created, kParameter), "e");
    EXPECT_EQ(FilesItemCodec().Int(created, kAttributes), 1);

    const std::string tree = Record({{kKind, "4"}, {kDefine, "%InstallDir%"}, {kParameter, "d"}});
    FilesItemDialogModel del = FilesItemDialogModel::ForItem(Env(), tree);
    EXPECT_EQ(del.deletePage.target, FilesItemDialogModel::kDeleteTargetTree);
    EXPECT_FALSE(del.DeleteTargetEnabled());
    EXPECT_EQ(FilesItemCodec().Int(del.Apply(tree), kKind), 4);
}

TEST_F(FilesTest, EditingAComponentItemUsesTheEditorsMessages) {
    const std::string parts = WriteFile("c/parts.qinc", "[Information]\r\nFileType=ZU_RUZUDUROZAR\r\n");
    const std::string item = Record({{kKind, "5"}, {kDefine, "(#Include File#)"}, {kSource, parts}, {kComment, "P"},
                                     {kOptions, "1"}});
    FilesItemDialogModel model = FilesItemDialogModel::ForItem(Env(), item);
    EXPECT_TRUE(model.componentPage.selectedByDefault);
    model.componentPage.name.clear();
    ASSERT_TRUE(model.Ok());
    EXPECT_EQ(model.Ok()->message, S("コメントを入力してください。"));
    model.componentPage.fileName = WriteFile("c/plain.txt");
    EXPECT_EQ(model.Ok()->message, S("Raredovoコンポーネント定義ファイルではありません。"));
}

TEST_F(FilesTest, EditingSeveralItemsWithEverythingGrayedChangesNothing) {
    const std::string a = Record({{kEnabled, "1"}, {kKind, "0"}, {kDefine, "%InstallDir%"}, {kParameter, "a"},
                                  {kSource, "C:\\a.ocx"}, {kComment, "first"}, {kOptions, "7"}, {kAttributes, "1"},
                                  {kOsMask, "3"}, {kServicePacks, "1,0,0,0,0,0"}});
    const std::string b = "0|0|%SystemDirectory%||C:\\b.txt|second|";  // as an older editor wrote it
    FilesItemDialogModel model = FilesItemDialogModel::ForItems(Env(), {a, b});
    EXPECT_EQ(model.Pages(), P({Page::Extend}));
    EXPECT_EQ(model.enabled, Tri::Grayed);
    EXPECT_FALSE(model.DestinationEditable());
    EXPECT_FALSE(model.Ok());
    EXPECT_EQ(model.ApplySeveral({a, b}), (std::vector<std::string>{a, b})) << "byte for byte";

    // What is set explicitly applies to each item, nothing else.
    model.SetOption(9, Tri::Checked);
    model.SetAttribute(0, Tri::Unchecked);
    model.enabled = Tri::Checked;
    const std::vector<std::string> out = model.ApplySeveral({a, b});
    EXPECT_EQ(FilesItemCodec().Int(out[0], kOptions), 7 | 512);
    EXPECT_EQ(FilesItemCodec().Int(out[1], kOptions), 512);
    EXPECT_EQ(FilesItemCodec().Int(out[0], kAttributes), 0);
    EXPECT_TRUE(FilesItemCodec().Bool(out[1], kEnabled));
    EXPECT_EQ(FilesItemCodec().Text(out[0], kComment), "first") << "an empty comment changes none";
    EXPECT_EQ(FilesItemCodec().Text(out[1], kDefine), "%SystemDirectory%");
    EXPECT_EQ(FilesItemCodec().Int(out[0], kOsMask), 3);

    // The standard folder and an OS line changed in the dialog.
    model.SetStandardFolder(Tri::Checked);
    OsDialogModel os = model.MakeOsDialog();
    EXPECT_TRUE(os.severalItems());
    os.SetLineState(2, OsDialogModel::Check::Checked);
    model.ApplyOsDialog(os);
    const std::vector<std::string> moved = model.ApplySeveral({a, b});
    EXPECT_EQ(FilesItemCodec().Text(moved[1], kDefine), "%InstallDir%");
    EXPECT_EQ(FilesItemCodec().Text(moved[0], kParameter), "");
    EXPECT_EQ(FilesItemCodec().Int(moved[0], kOsMask), 3 | 4);
    EXPECT_EQ(FilesItemCodec().Stored(moved[0], kServicePacks), "1,0,0,0,0,0") << "no service pack chosen";
    EXPECT_EQ(FilesItemCodec().Int(moved[1], kOsMask), 65535);
}

TEST_F(FilesTest, ConditionTakesTheDestinationWhenConfirmed) {
    FilesItemDialogModel model = FilesItemDialogModel::ForNewItem(Env());
    model.files = {"C:\\src\\app.exe"};
    model.SetStandardFolder(Tri::Unchecked);
    model.define = "%SystemDirectory%";
    model.parameter = "tools";
    model.condition.timing = kConditionInstall;
    model.condition.type = kConditionFileExists;
    model.TakeConditionFromDestination();
    EXPECT_EQ(model.condition.folder.define, "%InstallDir%") << "declined";
    ui.QueueAnswer(Answer::Yes);
    model.TakeConditionFromDestination();
    EXPECT_EQ(model.condition.folder.define, "%SystemDirectory%");
    EXPECT_EQ(model.condition.folder.parameter, "tools");
    EXPECT_EQ(model.condition.folder.fileName, "app.exe");
    EXPECT_EQ(ui.messages().back(), S("[インストール先のフォルダ]および[ファイル名]を取得しますか？"));
    model.condition.type = kConditionFolderExists;
    ui.QueueAnswer(Answer::Yes);
    model.TakeConditionFromDestination();
    EXPECT_EQ(ui.messages().back(), S("[インストール先のフォルダ]から取得しますか？"));
}

TEST_F(FilesTest, ComponentFilesAreCreatedAndEditedThroughTheNestedList) {
    std::vector<std::vector<std::string>> shown;
    FilesItemDialogModel::Environment env = Env();
    env.editComponentList = [&](std::vector<std::string>& records) {
        shown.push_back(records);
        records.push_back("1|0|%InstallDir%||C:\\x.txt|");
        return true;
    };
    FilesItemDialogModel model = FilesItemDialogModel::ForNewItem(env);
    // A file that cannot be written says so and is not taken.
    ui.QueueFiles({Win("nowhere/new.qinc")});
    model.CreateComponent();
    EXPECT_EQ(ui.messages().back(), S("コンポーネント定義ファイルを保存できませんでした。\rC:\\nowhere\\new.qinc"));
    EXPECT_EQ(model.componentPage.fileName, "");
    shown.clear();
    // A new name: an empty list, written on OK, and the name taken.
    MakeFolder("c");
    ui.QueueFiles({Win("c/new.qinc")});
    model.CreateComponent();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].empty());
    EXPECT_EQ(model.componentPage.fileName, Win("c/new.qinc"));
    EXPECT_EQ(ReadComponentList(Win("c/new.qinc")), (std::vector<std::string>{"1|0|%InstallDir%||C:\\x.txt|"}));
    // Editing reads it back and writes the list again.
    model.EditComponent();
    EXPECT_EQ(shown.at(1).size(), 1u);
    EXPECT_EQ(ReadComponentList(Win("c/new.qinc"))->size(), 2u);
    // An existing file of another type is never overwritten.
    const std::string other = WriteFile("c/other.ini", "[x]\r\ny=1\r\n");
    ui.QueueFiles({other});
    model.CreateComponent();
    EXPECT_EQ(ui.messages().back(),
              S("コンポーネント定義ファイルが指定されていないか、コンポーネント定義ファイルではありません。"));
    EXPECT_EQ(shown.size(), 2u);
    // Browsing takes only a component file.
    ui.QueueFiles({other});
    model.BrowseComponent();
    EXPECT_EQ(ui.messages().back(), S("Raredovoコンポーネント定義ファイルではありません。"));
}
