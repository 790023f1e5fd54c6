// The list dialog's commands: which are enabled when, what each does to the list and the
// selection, the addition with its position, limit and abort, conversion, the read-only view,
// the discard question and the stored menu toggles.
#include "files_fixture.h"
#include "zeriru/frmFiles/files_lists.h"

using namespace zeriru;
using namespace zeriru::files_item;
using platform::sjis::S;
using Records = std::vector<std::string>;

namespace {

struct FilesDialogTest : FilesTest {
    using Mode = FilesItemDialogModel::Mode;
    // What the item dialog script does with the dialog it is given; false cancels.
    std::function<bool(FilesItemDialogModel&)> itemScript;
    std::function<bool(AddPositionDialogModel&)> positionScript;
    std::function<bool(KindConversionDialogModel&)> conversionScript;
    std::function<bool(FileCheckDialogModel&)> checkScript;
    std::vector<Mode> itemDialogs;
    std::vector<std::string> opened;

    FilesDialogSeams Seams() {
        FilesDialogSeams seams;
        seams.itemDialog = [this](FilesItemDialogModel& m) {
            itemDialogs.push_back(m.mode());
            return itemScript && itemScript(m);
        };
        seams.addPositionDialog = [this](AddPositionDialogModel& m) { return positionScript && positionScript(m); };
        seams.kindConversionDialog = [this](KindConversionDialogModel& m) {
            return conversionScript && conversionScript(m);
        };
        seams.fileCheckDialog = [this](FileCheckDialogModel& m) { return checkScript && checkScript(m); };
        seams.hasOpenCommand = [](std::string_view ext) { return platform::sjis::EqualsNoCase(ext, ".txt"); };
        seams.openFile = [this](std::string_view path) {
            opened.emplace_back(path);
            return true;
        };
        seams.fileExists = [](std::string_view path) { return platform::winpath::FileExists(path); };
        seams.fileSize = [](std::string_view path) { return platform::winpath::GetFileSize(path).value_or(0); };
        seams.registrable = Env().registrable;
        return seams;
    }
    std::unique_ptr<FilesDialogModel> Dialog(Records records, bool readOnly = false) {
        auto model = std::make_unique<FilesDialogModel>(ui, *data, Seams(), readOnly, false);
        model->Load(std::move(records));
        return model;
    }
    // An item dialog script that adds files.
    static std::function<bool(FilesItemDialogModel&)> AddFiles(Records files) {
        return [files](FilesItemDialogModel& m) {
            m.files = files;
            while (!m.finished())
                if (m.Next()) return false;
            return true;
        };
    }
    static std::string File(const std::string& name, int kind = 0) {
        return Record({{kKind, std::to_string(kind)}, {kDefine, "%InstallDir%"}, {kParameter, "p"},
                       {kSource, "C:\\src\\" + name}});
    }
    static Records Names(const FilesDialogModel& m) {
        Records names;
        for (const std::string& r : m.records()) names.push_back(FilesColumnText(r, kColumnFileName));
        return names;
    }
};

}  // namespace

TEST_F(FilesDialogTest, CommandsAreEnabledByTheSelection) {
    auto m = Dialog({File("a.txt"), File("b.dll"), File("c", 1)});
    using C = FilesCommand;
    struct Case {
        std::vector<int> selection;
        std::vector<C> enabled, disabled;
    } cases[] = {
        {{}, {C::Add, C::Clear, C::SelectAll, C::InvertSelection, C::ItemCheck, C::TotalSize, C::Import, C::Export},
         {C::Open, C::Edit, C::Delete, C::Copy, C::Convert, C::MoveTop, C::MoveUp, C::MoveDown, C::MoveBottom}},
        {{0}, {C::Open, C::Edit, C::Delete, C::Copy, C::Convert, C::MoveDown, C::MoveBottom}, {C::MoveTop, C::MoveUp}},
        {{1}, {C::MoveTop, C::MoveUp, C::MoveDown, C::MoveBottom}, {C::Open}},
        {{2}, {C::Edit, C::MoveUp}, {C::MoveDown, C::MoveBottom}},
        {{0, 1}, {C::Edit, C::Delete}, {C::Open, C::Copy, C::Convert, C::MoveUp, C::MoveDown}},
        {{0, 2}, {C::Delete}, {C::Edit}},  // several: file items only
    };
    for (const Case& c : cases) {
        m->SetSelection(c.selection);
        for (C command : c.enabled) EXPECT_TRUE(m->Enabled(command)) << static_cast<int>(command);
        for (C command : c.disabled) EXPECT_FALSE(m->Enabled(command)) << static_cast<int>(command);
    }
    auto empty = Dialog({});
    EXPECT_FALSE(empty->Enabled(C::Clear));
    EXPECT_FALSE(empty->Enabled(C::SelectAll));
    EXPECT_TRUE(empty->Enabled(C::Add));
}

TEST_F(FilesDialogTest, EmptyListCannotBeConfirmedAndChangesAreDiscardedOnlyAfterTheQuestion) {
    auto m = Dialog({});
    EXPECT_FALSE(m->Ok());
    EXPECT_EQ(ui.messages(), Records{S("項目が登録されていません。項目を最低限1つは登録してください。")});
    EXPECT_TRUE(m->Cancel()) << "nothing changed: no question";
    EXPECT_EQ(ui.messages().size(), 1u);
    itemScript = AddFiles({"C:\\src\\a.txt"});
    m->Add();
    EXPECT_TRUE(m->changed());
    EXPECT_FALSE(m->Cancel()) << "No keeps the dialog open";
    EXPECT_EQ(ui.messages().back(), S("変更内容を破棄してもよろしいですか？"));
    ui.QueueAnswer(Answer::Yes);
    EXPECT_TRUE(m->Cancel());
    EXPECT_TRUE(m->Ok());
}

TEST_F(FilesDialogTest, ListCommandsChangeTheListAndKeepTheMovedItemSelected) {
    auto m = Dialog({File("a"), File("b"), File("c"), File("d")});
    EXPECT_FALSE(m->changed()) << "loading is no change";
    m->SetSelection({2});
    m->Run(FilesCommand::MoveTop);
    EXPECT_EQ(Names(*m), (Records{"c", "a", "b", "d"}));
    EXPECT_EQ(m->selection(), std::vector<int>{0});
    EXPECT_TRUE(m->changed());
    m->Run(FilesCommand::MoveDown);
    m->Run(FilesCommand::MoveBottom);
    EXPECT_EQ(Names(*m), (Records{"a", "b", "d", "c"}));
    m->Run(FilesCommand::MoveUp);
    EXPECT_EQ(Names(*m), (Records{"a", "b", "c", "d"}));
    EXPECT_EQ(m->selection(), std::vector<int>{2});
    m->Run(FilesCommand::Copy);
    EXPECT_EQ(Names(*m), (Records{"a", "b", "c", "c", "d"}));
    EXPECT_EQ(m->selection(), std::vector<int>{3}) << "the duplicate";
    m->SetSelection({0, 1});
    m->Run(FilesCommand::InvertSelection);
    EXPECT_EQ(m->selection(), (std::vector<int>{2, 3, 4}));
    m->Run(FilesCommand::Delete);
    EXPECT_EQ(m->size(), 5) << "declined";
    ui.QueueAnswer(Answer::Yes);
    m->Run(FilesCommand::Delete);
    EXPECT_EQ(Names(*m), (Records{"a", "b"}));
    EXPECT_EQ(ui.messages().back(), S("選択項目を削除しますか。"));
    m->Run(FilesCommand::SelectAll);
    EXPECT_EQ(m->selection(), (std::vector<int>{0, 1}));
    ui.QueueAnswer(Answer::Yes);
    m->Run(FilesCommand::Clear);
    EXPECT_EQ(m->size(), 0);
    EXPECT_EQ(ui.messages().back(), S("すべての項目を削除しますか。"));
}

TEST_F(FilesDialogTest, AddRefusesAFullListAndStopsAtTheLimit) {
    Records full(32768, File("x"));
    auto m = Dialog(full);
    m->SetPositionSelect(false);
    itemScript = AddFiles({"C:\\src\\a.txt"});
    m->Add();
    EXPECT_EQ(ui.messages(), Records{S("最大登録可能数は 32768 までです。")});
    EXPECT_TRUE(itemDialogs.empty()) << "refused before the item dialog opens";

    ui.clear();
    full.resize(32765);
    m->Load(full);
    Records ten;
    for (int i = 0; i < 10; ++i) ten.push_back("C:\\src\\n" + std::to_string(i) + ".txt");
    itemScript = AddFiles(ten);
    m->Add();
    EXPECT_EQ(m->size(), 32768);
    EXPECT_EQ(ui.messages(), Records{S("リストの項目数が 32768 に達したため処理を中止しました。")});
    EXPECT_EQ(FilesColumnText(m->records().back(), kColumnFileName), "n2.txt");
}

TEST_F(FilesDialogTest, AddPositionPlacesTheNewItemsInTheirOrder) {
    struct Case {
        AddPosition position;
        int selected;
        Records names;
    } cases[] = {
        {AddPosition::AfterSelected, 0, {"a", "n1", "n2", "b"}},
        {AddPosition::BeforeSelected, 1, {"a", "n1", "n2", "b"}},
        {AddPosition::Top, 1, {"n1", "n2", "a", "b"}},
        {AddPosition::End, 0, {"a", "b", "n1", "n2"}},
    };
    for (const Case& c : cases) {
        auto m = Dialog({File("a"), File("b")});
        m->SetSelection({c.selected});
        itemScript = AddFiles({"C:\\n1", "C:\\n2"});
        positionScript = [&](AddPositionDialogModel& d) {
            EXPECT_EQ(d.position, AddPosition::End) << "the default";
            d.position = c.position;
            return true;
        };
        m->Add();
        EXPECT_EQ(Names(*m), c.names) << static_cast<int>(c.position);
    }
    // Without a selection the two choices that name it are off; "今後表示しない" turns the menu off.
    auto m = Dialog({File("a")});
    positionScript = [](AddPositionDialogModel& d) {
        EXPECT_FALSE(d.Enabled(AddPosition::AfterSelected));
        EXPECT_TRUE(d.Enabled(AddPosition::Top));
        d.dontShowAgain = true;
        return true;
    };
    m->Add();
    EXPECT_FALSE(m->positionSelect());
    EXPECT_EQ(ui.messages().back(), AddPositionDialogModel::DontShowMessage());
    // Cancel adds nothing.
    m->SetPositionSelect(true);
    positionScript = [](AddPositionDialogModel&) { return false; };
    m->Add();
    EXPECT_EQ(m->size(), 3);
    // An empty list asks nothing.
    auto fresh = Dialog({});
    positionScript = nullptr;
    fresh->Add();
    EXPECT_EQ(fresh->size(), 2);
}

TEST_F(FilesDialogTest, AbortDuringAnAdditionKeepsWhatWasMadeAndDisablesTheList) {
    for (int i = 0; i < 50; ++i) WriteFile("big/f" + std::to_string(i) + ".txt");
    auto m = Dialog({});
    std::vector<bool> okDuring, abortDuring;
    int calls = 0;
    ui.onProcessMessages = [&] {
        okDuring.push_back(m->Enabled(FilesCommand::Ok) || m->Enabled(FilesCommand::Cancel));
        abortDuring.push_back(m->Visible(FilesCommand::Abort) && m->Enabled(FilesCommand::Abort));
        if (++calls == 70) m->Run(FilesCommand::Abort);
    };
    itemScript = [&](FilesItemDialogModel& d) {
        d.choice = FilesItemDialogModel::kChoiceFolder;
        d.folderPage.folder = Win("big");
        while (!d.finished())
            if (d.Next()) return false;
        return true;
    };
    m->Add();
    EXPECT_EQ(m->size(), 20) << "50 entries scanned, then items until the abort";
    EXPECT_TRUE(m->changed());
    EXPECT_FALSE(m->adding());
    EXPECT_FALSE(m->Visible(FilesCommand::Abort));
    EXPECT_EQ(std::count(okDuring.begin(), okDuring.end(), true), 0) << "OK and Cancel are off while adding";
    EXPECT_EQ(std::count(abortDuring.begin(), abortDuring.end(), false), 0);
    EXPECT_GT(ui.busyCount(), 0);
    EXPECT_EQ(ui.busyDepth(), 0);
}

TEST_F(FilesDialogTest, EditOpensTheItemOfItsKindAndRefusesUnknownKinds) {
    const std::string unknown = "1|9|%InstallDir%|x|C:\\y|future|a|b|c|";
    auto m = Dialog({File("a"), unknown, File("b")});
    m->SetSelection({1});
    m->Run(FilesCommand::Edit);
    EXPECT_EQ(ui.messages().back(), MsgUnsupportedItem());
    EXPECT_TRUE(itemDialogs.empty());
    EXPECT_EQ(m->records()[1], unknown) << "kept verbatim";

    itemScript = [](FilesItemDialogModel& d) {
        d.comment = "edited";
        return !d.Ok();
    };
    m->SetSelection({0});
    m->Run(FilesCommand::Edit);
    EXPECT_EQ(FilesItemCodec().Text(m->records()[0], kComment), "edited");
    m->SetSelection({0, 2});
    itemScript = [](FilesItemDialogModel& d) {
        d.SetOption(6, Tri::Checked);
        return !d.Ok();
    };
    m->Run(FilesCommand::Edit);
    EXPECT_EQ(itemDialogs, (std::vector<Mode>{Mode::EditOne, Mode::EditSeveral}));
    EXPECT_EQ(FilesItemCodec().Int(m->records()[2], kOptions), 64);
    EXPECT_EQ(FilesItemCodec().Text(m->records()[2], kComment), "");
    TIniDocument saved;
    WriteFilesList(saved, m->records());
    EXPECT_EQ(ReadFilesList(saved)[1], unknown) << "written back as it was read";
}

TEST_F(FilesDialogTest, ConversionChangesTheKindAndSurvivesSavingAndReopening) {
    auto m = Dialog({File("a.dll")});
    m->SetSelection({0});
    conversionScript = [](KindConversionDialogModel& d) {
        EXPECT_EQ(d.kind, 0) << "preset to the item's kind";
        d.kind = 4;
        return true;
    };
    m->Run(FilesCommand::Convert);
    EXPECT_TRUE(itemDialogs.empty()) << "complete: no item dialog";
    project.LoadFromText("[FilesSetting]\r\nUseSection=Files\r\n");
    WriteFilesList(project, m->records());
    TIniDocument reopened;
    reopened.LoadFromText(project.SaveToText());
    const std::string record = ReadFilesList(reopened).at(0);
    EXPECT_EQ(FilesItemCodec().Int(record, kKind), 4);
    EXPECT_EQ(FilesItemCodec().Stored(record, kSource), "");
    EXPECT_EQ(FilesItemCodec().Stored(record, kComment), "");
    auto again = Dialog({record});
    again->SetSelection({0});
    itemScript = [](FilesItemDialogModel& d) {
        EXPECT_EQ(d.deletePage.target, FilesItemDialogModel::kDeleteTargetTree);
        return false;
    };
    again->Run(FilesCommand::Edit);
    ASSERT_EQ(itemDialogs.size(), 1u);

    // A conversion that leaves something missing says so and opens the item.
    itemScript = nullptr;
    conversionScript = [](KindConversionDialogModel& d) {
        d.kind = 0;
        return true;
    };
    again->Run(FilesCommand::Convert);
    EXPECT_EQ(ui.messages().back(), S("ファイル名を指定してください。"));
    EXPECT_EQ(itemDialogs.size(), 2u);
    // A component is not converted.
    auto comp = Dialog({Record({{kKind, "5"}, {kDefine, "(#Include File#)"}})});
    comp->SetSelection({0});
    comp->Run(FilesCommand::Convert);
    EXPECT_EQ(ui.messages().back(), S("サポートしていない種類です。"));
}

TEST_F(FilesDialogTest, ReadOnlyListIsForViewingOnly) {
    auto m = Dialog({File("a.txt"), File("b")}, true);
    m->SetSelection({0});
    for (FilesCommand c : {FilesCommand::Add, FilesCommand::Delete, FilesCommand::Clear, FilesCommand::SelectAll,
                           FilesCommand::InvertSelection, FilesCommand::ItemCheck, FilesCommand::Import,
                           FilesCommand::Export, FilesCommand::Copy, FilesCommand::Convert, FilesCommand::MoveDown,
                           FilesCommand::Ok})
        EXPECT_FALSE(m->Enabled(c)) << static_cast<int>(c);
    EXPECT_FALSE(m->Visible(FilesCommand::Ok));
    EXPECT_TRUE(m->Enabled(FilesCommand::Cancel));
    bool viewedReadOnly = false;
    itemScript = [&](FilesItemDialogModel& d) {
        viewedReadOnly = d.readOnly();
        d.comment = "not stored";
        return true;
    };
    m->Run(FilesCommand::Edit);
    EXPECT_TRUE(viewedReadOnly);
    EXPECT_EQ(FilesItemCodec().Text(m->records()[0], kComment), "");
    EXPECT_TRUE(m->Cancel());
    EXPECT_TRUE(ui.messages().empty());
}

TEST_F(FilesDialogTest, OpenStartsTheSourceOfAnAssociatedExtensionWhenItExists) {
    const std::string present = WriteFile("src/a.txt");
    auto m = Dialog({File("a.txt"), File("gone.txt"), File("b.dll")});
    m->SetSelection({2});
    EXPECT_FALSE(m->Enabled(FilesCommand::Open)) << "no open command for .dll";
    m->SetSelection({1});
    m->Run(FilesCommand::Open);
    EXPECT_TRUE(opened.empty()) << "a missing file is not opened";
    m->SetSelection({0});
    m->Run(FilesCommand::Open);
    EXPECT_EQ(opened, Records{present});
}

TEST_F(FilesDialogTest, MenuTogglesAreReadAndStored) {
    auto m = Dialog({});
    EXPECT_FALSE(m->autoRegister());
    EXPECT_TRUE(m->positionSelect());
    m->Run(FilesCommand::AutoRegister);
    m->Run(FilesCommand::PositionSelect);
    m->StoreToggles();
    EXPECT_EQ(store.GetDword("Dialog\\Files", "AutoRegistOcx"), 1u);
    EXPECT_EQ(store.GetDword("Dialog\\Files", "EnablePositionSelect"), 0u);
    auto next = Dialog({});
    EXPECT_TRUE(next->autoRegister());
    EXPECT_FALSE(next->positionSelect());
}
