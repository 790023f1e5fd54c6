// The list tools: the item check and its corrections, the total size, and the exchange of the
// list with .qpe files and other projects.
#include "files_fixture.h"
#include "zeriru/frmFiles/files_list_tools.h"
#include "zeriru/frmFiles/files_lists.h"
#include "zeriru/system_services.h"

using namespace zeriru;
using namespace zeriru::files_item;
using platform::sjis::S;
using Records = std::vector<std::string>;

namespace {

struct ListToolsTest : FilesTest {
    FileCheckServices Services() {
        return {[this](std::string_view text) { return data->ExpandInstallPath(text); },
                [](std::string_view path) { return platform::winpath::FileExists(path); }};
    }
    static std::string Item(int kind, const std::string& parameter, const std::string& source, bool enabled = true) {
        return Record({{kEnabled, enabled ? "1" : "0"}, {kKind, std::to_string(kind)}, {kDefine, "%InstallDir%"},
                       {kParameter, parameter}, {kSource, source}});
    }
};

}  // namespace

TEST_F(ListToolsTest, ItemCheckReportsTheFirstProblemOfEachEnabledItem) {
    const std::string present = WriteFile("src/a.txt");
    const std::string longParameter(250, 'x');
    const Records records = {
        Item(0, "", present),                        // fine
        Item(0, longParameter, "C:\\src\\gone.txt"),  // missing and too long: missing first
        Item(0, longParameter, present),             // too long
        Item(0, "a<b", present),                     // a character a path cannot hold
        Item(1, longParameter, ""),                  // a folder too long
        Item(1, "short", ""),                        // fine
        Item(0, "", "C:\\src\\gone.txt", false),      // disabled: not checked
        Item(2, "", "gone.txt"),                     // other kinds: not checked
    };
    const std::vector<FileProblem> problems = FindFileProblems(records, Services());
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_EQ(problems[0].row, 1);
    EXPECT_EQ(problems[0].kind, FileProblemKind::FileMissing);
    EXPECT_EQ(problems[1].kind, FileProblemKind::PathTooLong);
    EXPECT_EQ(problems[2].kind, FileProblemKind::InvalidName);
    EXPECT_EQ(problems[3].row, 4);
    EXPECT_TRUE(problems[3].folder);
    FileCheckDialogModel dialog(problems);
    EXPECT_EQ(dialog.RowTexts(0), (Records{S("ファイルなし"), "%InstallDir%", longParameter, "C:\\src\\gone.txt",
                                           S("ファイルが存在しません。")}));
    EXPECT_EQ(dialog.RowTexts(2)[4], S("ファイル/フォルダに使用できない文字が含まれています。"));

    // The limit counts characters: 120 double-byte characters are a short path.
    std::string wide;
    for (int i = 0; i < 120; ++i) wide += S("字");
    EXPECT_TRUE(FindFileProblems({Item(0, wide, present)}, Services()).empty());
}

TEST_F(ListToolsTest, CorrectionsAndDeletionsApplyFromTheLastRowAndMarkTheList) {
    const std::string present = WriteFile("src/a.txt");
    ItemList list(ItemListTexts::Defaults(kFilesListLimit));
    list.Load({Item(0, "p", "C:\\gone1.txt"), Item(0, "q", present), Item(0, "r", "C:\\gone2.txt")});
    FileCheckDialogModel dialog(FindFileProblems(list.records(), Services()));
    ASSERT_EQ(dialog.rows().size(), 2u);
    CorrectionDialogModel correction = dialog.Correction(1);
    EXPECT_TRUE(correction.FileNameVisible());
    correction.fileName = "";
    EXPECT_EQ(correction.Ok()->message, S("ファイル名を入力してください。"));
    correction.fileName = "gone.txt";
    EXPECT_EQ(correction.Ok()->message, MsgInvalidFileName()) << "a full path is needed";
    correction.define = "%Nothing%";
    EXPECT_EQ(correction.Ok()->field, "cmbDefine");
    correction.define = "%SystemDirectory%";
    correction.parameter = "sub\\";
    correction.fileName = present;
    ASSERT_FALSE(correction.Ok());
    dialog.ApplyCorrection(1, correction);
    dialog.rows()[0].remove = true;
    dialog.Apply(list);
    ASSERT_EQ(list.size(), 2);
    EXPECT_TRUE(list.changed());
    EXPECT_EQ(FilesItemCodec().Text(list.record(0), kParameter), "q");
    EXPECT_EQ(FilesItemCodec().Text(list.record(1), kDefine), "%SystemDirectory%");
    EXPECT_EQ(FilesItemCodec().Text(list.record(1), kParameter), "sub") << "trailing \\ removed";
    EXPECT_EQ(FilesItemCodec().Text(list.record(1), kSource), present);
    // A folder row has no file name to give.
    FileProblem folder;
    folder.folder = true;
    folder.define = "%InstallDir%";
    EXPECT_FALSE(CorrectionDialogModel(folder).FileNameVisible());
    EXPECT_FALSE(CorrectionDialogModel(folder).Ok());
}

TEST_F(ListToolsTest, TotalSizeAddsTheFilesWithThousandsSeparators) {
    for (auto [value, text] : std::vector<std::pair<std::uint64_t, const char*>>{
             {0, "0"}, {999, "999"}, {1000, "1,000"}, {1234567, "1,234,567"}, {18446744073709551615ull,
                                                                                "18,446,744,073,709,551,615"}})
        EXPECT_EQ(FormatThousands(value), text);
    auto size = [](std::string_view path) { return platform::winpath::GetFileSize(path).value_or(0); };
    ShowTotalSize(ui, {}, size);
    EXPECT_EQ(ui.messages().back(), S("対象の項目がありません。"));
    ShowTotalSize(ui, {Item(0, "", "C:\\gone.txt")}, size);
    EXPECT_EQ(ui.messages().back(), S("ディスク容量を計算しますか。")) << "No: nothing computed";
    ui.QueueAnswer(Answer::Yes);
    ShowTotalSize(ui, {Item(0, "", "C:\\gone.txt")}, size);
    EXPECT_EQ(ui.messages().back(), S("全ファイル容量 0 byte"));
    const std::string a = WriteFile("s/a.bin", std::string(1500, 'a'));
    const std::string b = WriteFile("s/b.bin", std::string(10, 'b'));
    ui.QueueAnswer(Answer::Yes);
    ShowTotalSize(ui, {Item(0, "", a), Item(0, "", b), Item(1, "x", "")}, size);
    EXPECT_EQ(ui.messages().back(), S("全ファイル容量 1,510 byte"));
}

TEST_F(ListToolsTest, ExportReplacesOnlyTheDataOfAnExistingFile) {
    const std::string path = WriteFile("x/list.qpe",
                                       "[INFORMATION]\r\nFileType=old\r\nAuthor=me\r\n[DATA]\r\n0=a|\r\n1=b|\r\n2=c|\r\n"
                                       "[Notes]\r\nkeep=1\r\n");
    ui.QueueFiles({path});
    ASSERT_TRUE(ExportFilesList(ui, settings.editorFolder(), {"x|", "y|"}));
    const std::vector<FileDialogRequest> requests = ui.fileRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].filter, S("Raredovo外部ファイル(*.qpe)|*.qpe|すべてのファイル(*.*)|*.*"));
    EXPECT_EQ(requests[0].defaultExtension, "qpe");
    EXPECT_TRUE(requests[0].overwritePrompt);
    EXPECT_EQ(requests[0].folder, "C:\\Program Files\\Zuzoruve\\Raredovo\\ExtendData");
    const TIniDocument written = TIniDocument::OpenWindowsPath(path);
    EXPECT_EQ(written.ReadString("INFORMATION", "FileType"), "ZA_DEREVEROVA");
    EXPECT_EQ(written.ReadString("INFORMATION", "Author"), "me");
    EXPECT_EQ(written.ReadString("Notes", "keep"), "1");
    EXPECT_EQ(ReadRecordsOf(written, "DATA"), (Records{"x|", "y|"}));
    EXPECT_EQ(ui.progressTexts().front(), S("エクスポート中"));
}

TEST_F(ListToolsTest, ImportChecksTheTypeAndSkipsItemsWhoseFilesAreGone) {
    const std::string a = WriteFile("src/a.txt");
    const std::string b = WriteFile("src/b.txt");
    const std::string c = WriteFile("src/c.txt");
    const std::string wrong = WriteFile("x/wrong.qpe", "[INFORMATION]\r\n[DATA]\r\n0=" + Item(0, "", a) + "\r\n");
    ItemList list(ItemListTexts::Defaults(kFilesListLimit));
    list.Load({Item(0, "", a)});
    auto exists = [](std::string_view path) { return platform::winpath::FileExists(path); };
    ui.QueueFiles({wrong}, 1);
    EXPECT_FALSE(ImportFilesList(ui, settings.editorFolder(), list, exists));
    EXPECT_EQ(ui.messages().back(), S("Raredovo外部ファイルではありません。"));
    EXPECT_EQ(list.size(), 1);

    const Records five = {Item(0, "1", a), Item(0, "2", "C:\\src\\gone1.txt"), Item(0, "3", b),
                          Item(0, "4", "C:\\src\\gone2.txt"), Item(0, "5", c)};
    const std::string good = WriteFile("x/good.qpe", "");
    ASSERT_TRUE(WriteExchangeFile(good, five));
    ui.QueueFiles({good}, 1);
    ui.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(ImportFilesList(ui, settings.editorFolder(), list, exists));
    ASSERT_EQ(list.size(), 4);
    EXPECT_EQ(list.records()[1], five[0]);
    EXPECT_EQ(list.records()[3], five[4]);
    EXPECT_TRUE(list.changed());
    const Records messages = ui.messages();
    EXPECT_EQ(messages[messages.size() - 2],
              S("外部ファイルをインポートしてもよろしいですか。\rインポート後必要に応じて不要な項目を削除してください。"));
    EXPECT_EQ(messages.back(), S("5中、2 個の項目はファイルが存在しないためスキップしました。"));

    // Another project's list, with its own items section; folder items come along.
    const std::string other = WriteFile("p/other.PJ2", "[FilesSetting]\r\nUseSection=Items\r\n[Items]\r\n0=" +
                                                           Item(1, "data", "") + "\r\n1=" + Item(0, "", a) + "\r\n");
    ui.clear();
    ui.QueueFiles({other}, 2);
    ui.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(ImportFilesList(ui, settings.editorFolder(), list, exists));
    EXPECT_EQ(list.size(), 6);
    EXPECT_EQ(ui.messages(), Records{S("Raredovoプロジェクトファイルをインポートしてもよろしいですか。\rインポート後必要に応じて不要な項目を削除してください。")});
    // "すべてのファイル" imports nothing.
    ui.QueueFiles({good}, 3);
    EXPECT_FALSE(ImportFilesList(ui, settings.editorFolder(), list, exists));
    EXPECT_EQ(list.size(), 6);
}

TEST_F(ListToolsTest, ImportStopsAtTheLimitOfTheList) {
    const std::string a = WriteFile("src/a.txt");
    const std::string path = WriteFile("x/three.qpe", "");
    ASSERT_TRUE(WriteExchangeFile(path, {Item(0, "1", a), Item(0, "2", a), Item(0, "3", a)}));
    ItemList list(ItemListTexts::Defaults(kFilesListLimit));
    list.Load(Records(kFilesListLimit - 1, Item(0, "", a)));
    ui.QueueFiles({path}, 1);
    ui.QueueAnswer(Answer::Yes);
    ASSERT_TRUE(ImportFilesList(ui, settings.editorFolder(), list,
                                [](std::string_view p) { return platform::winpath::FileExists(p); }));
    EXPECT_EQ(list.size(), kFilesListLimit);
    EXPECT_EQ(ui.messages().back(), MsgListFull());
}
