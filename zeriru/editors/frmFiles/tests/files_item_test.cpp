// The files item record as the editor shows and changes it, the list's stores (the project, a
// component definition file), the folder scan, the tree walk and the graphical tree.
#include "files_fixture.h"
#include "zeriru/frmFiles/file_tree.h"
#include "zeriru/frmFiles/files_item.h"
#include "zeriru/frmFiles/files_lists.h"

#include <unistd.h>

using namespace zeriru;
using namespace zeriru::files_item;
using platform::sjis::S;

TEST_F(FilesTest, ColumnsShowTheDecodedFieldsAndTheRecordItself) {
    const std::string file = Record({{kKind, "0"}, {kDefine, "%InstallDir%"}, {kParameter, "a|b"},
                                     {kSource, "C:\\src\\read me.txt"}, {kComment, "c=d"}});
    EXPECT_EQ(FilesColumnText(file, kColumnDefine), "%InstallDir%");
    EXPECT_EQ(FilesColumnText(file, kColumnParameter), "a|b");
    EXPECT_EQ(FilesColumnText(file, kColumnFileName), "read me.txt");
    EXPECT_EQ(FilesColumnText(file, kColumnComment), "c=d");
    EXPECT_EQ(FilesColumnText(file, kColumnRecord), file) << "the stored record, escaped";
    // A folder item whose comment was cleared (by a conversion) still reads as what it does.
    EXPECT_EQ(FilesColumnText(Record({{kKind, "1"}, {kDefine, "%InstallDir%"}}), kColumnComment), S("フォルダの作成"));
    EXPECT_EQ(FilesColumnText(Record({{kKind, "3"}}), kColumnComment), "");
    // A Shift-JIS character whose trail byte is "\" does not split the file name.
    EXPECT_EQ(FileNamePart("C:\\\x83\x5C\\\x83\x5C.txt"), "\x83\x5C.txt");
}

TEST_F(FilesTest, RegistrationBitStaysOnlyForRegistrableFiles) {
    const RegistrableTest ocx = Env().registrable;
    struct Case {
        int options;
        const char* source;
        bool autoRegister;
        int stored;
    } cases[] = {
        {2 | 4, "C:\\a\\readme.txt", false, 4},   // bit 1 dropped, shared stays
        {2 | 4, "C:\\a\\grid.OCX", false, 2 | 4},  // kept
        {2 | 4, "C:\\a\\grid.ocx", false, 2 | 4},  // extension in any case
        {1, "C:\\a\\grid.tlb", true, 1 | 2 | 4},   // auto registration adds both
        {1, "C:\\a\\a.exe", true, 1},              // not registrable: nothing added
    };
    for (const Case& c : cases) {
        int options = c.options;
        if (c.autoRegister) options = AutoRegisterOptions(options, c.source, ocx);
        EXPECT_EQ(ApplyRegistrationRule(options, c.source, ocx), c.stored) << c.source;
    }
}

TEST_F(FilesTest, KindConversionAdjustsTheFieldsOfTheNewKind) {
    const std::string file = Record({{kEnabled, "1"}, {kKind, "0"}, {kDefine, "%InstallDir%"}, {kParameter, "bin"},
                                     {kSource, "C:\\src\\a.dll"}, {kComment, "lib"}, {kOptions, "8"}});
    struct Case {
        int kind;
        const char* source;
        const char* comment;
    } cases[] = {{0, "C:\\src\\a.dll", "lib"}, {1, "", ""}, {2, "a.dll", "lib"}, {3, "", ""}, {4, "", ""}};
    for (const Case& c : cases) {
        const std::optional<std::string> converted = ConvertFilesKind(file, c.kind);
        ASSERT_TRUE(converted);
        EXPECT_EQ(FilesItemCodec().Int(*converted, kKind), c.kind);
        EXPECT_EQ(FilesItemCodec().Text(*converted, kSource), c.source) << c.kind;
        EXPECT_EQ(FilesItemCodec().Text(*converted, kComment), c.comment) << c.kind;
        EXPECT_EQ(FilesItemCodec().Int(*converted, kOptions), 8) << "other fields stay";
    }
    EXPECT_FALSE(ConvertFilesKind(Record({{kKind, "5"}}), 0)) << "components are not converted";
    EXPECT_FALSE(ConvertFilesKind(Record({{kKind, "9"}}), 0)) << "nor kinds the editor does not know";

    // What a converted item lacks, first problem only.
    EXPECT_EQ(ConvertedItemProblem(Record({{kKind, "1"}})), S("フォルダ定数を指定してください。"));
    EXPECT_EQ(ConvertedItemProblem(Record({{kKind, "2"}, {kDefine, "%InstallDir%"}})), S("ファイル名を指定してください。"));
    EXPECT_EQ(ConvertedItemProblem(Record({{kKind, "4"}, {kDefine, "%InstallDir%"}})), S("フォルダを指定してください。"));
    EXPECT_FALSE(ConvertedItemProblem(Record({{kKind, "4"}, {kDefine, "%InstallDir%"}, {kParameter, "x"}})));
}

TEST_F(FilesTest, SavingWritesTheItemsInOrderAndExcludeCommonComponentFromTheirKinds) {
    project.LoadFromText("[FilesSetting]\r\nUseSection=MyFiles\r\n[MyFiles]\r\n0=old|\r\n1=older|\r\n2=oldest|\r\n");
    const std::string create = Record({{kKind, "1"}, {kDefine, "%InstallDir%"}, {kParameter, "data"}});
    const std::string remove = Record({{kKind, "3"}, {kDefine, "%InstallDir%"}, {kParameter, "old"}});
    WriteFilesList(project, {create, remove});
    EXPECT_EQ(project.ReadString("FilesSetting", "ExcludeCommonComponent"), "1") << "no file copy";
    EXPECT_EQ(ReadFilesList(project), (std::vector<std::string>{create, remove})) << "the section rewritten";
    EXPECT_FALSE(project.ValueExists("MyFiles", "2"));

    // A comment with "|", "," and "=" survives a save and a reload unchanged.
    const std::string file = Record({{kKind, "0"}, {kDefine, "%InstallDir%"}, {kSource, "C:\\a.txt"},
                                     {kComment, "a|b,c=d"}});
    WriteFilesList(project, {create, file});
    EXPECT_EQ(project.ReadString("FilesSetting", "ExcludeCommonComponent"), "0");
    TIniDocument reread;
    reread.LoadFromText(project.SaveToText());
    EXPECT_EQ(FilesItemCodec().Text(ReadFilesList(reread)[1], kComment), "a|b,c=d");
    // A record written by an older editor with only six fields reads with the defaults.
    reread.LoadFromText("[Files]\r\n0=1|0|%InstallDir%|bin|C:\\a.txt|note\r\n");
    const std::string shortRecord = ReadFilesList(reread).front();
    EXPECT_EQ(Dump(shortRecord),
              "files{enabled=1, kind=0, define=%InstallDir%, parameter=bin, source=C:\\a.txt, comment=note, "
              "description=, options=0, attributes=0, os=65535, sp=, condition=}");
}

TEST_F(FilesTest, ComponentFilesAreRecognisedByTheirTypeAndKeepTheirOtherSections) {
    const std::string path = WriteFile("comp/parts.qinc",
                                       "[information]\r\nFileType=ZU_RUZUDUROZAR\r\nNote=mine\r\n[DATA]\r\n0=a|\r\n1=b|\r\n");
    const std::string other = WriteFile("comp/other.qinc", "[Information]\r\nFileType=ZA_DEREVEROVA\r\n[DATA]\r\n0=a|\r\n");
    EXPECT_EQ(ReadComponentList(path), (std::vector<std::string>{"a|", "b|"}));
    EXPECT_FALSE(ReadComponentList(other)) << "an exchange file is no component file";
    EXPECT_FALSE(ReadComponentList(Win("comp/missing.qinc")));
    EXPECT_FALSE(ReadComponentList(Win("comp"))) << "a folder";
    ASSERT_TRUE(WriteComponentList(path, {"c|"}));
    EXPECT_EQ(ReadComponentList(path), (std::vector<std::string>{"c|"})) << "DATA replaced";
    const TIniDocument written = TIniDocument::OpenWindowsPath(path);
    EXPECT_EQ(written.ReadString("Information", "Note"), "mine");
    // A new file is made with its type.
    ASSERT_TRUE(WriteComponentList(Win("comp/new.qinc"), {}));
    EXPECT_TRUE(IsComponentFileAt(Win("comp/new.qinc")));
}

// ---- the folder scan and the walk ----

namespace {

struct Walked {
    bool folder;
    std::string parameter, source;
    bool operator==(const Walked&) const = default;
};

std::vector<Walked> Walk(const FileTreeNode& root, std::string_view base, bool emptyFolders) {
    std::vector<Walked> out;
    WalkTree(root, base, emptyFolders, [&](const TreeItem& item) {
        out.push_back({item.folder, item.parameter, item.folder ? std::string() : item.node->source});
        return true;
    });
    return out;
}

}  // namespace

TEST_F(FilesTest, FolderScanKeepsOrFlattensTheStructure) {
    const std::string a = WriteFile("src/a.txt");
    const std::string b = WriteFile("src/sub/b.txt");
    MakeFolder("src/empty");
    FileTreeNode kept;
    ASSERT_TRUE(ScanFolder(Win("src"), {true, true}, kept));
    EXPECT_EQ(Walk(kept, "App", true), (std::vector<Walked>{{false, "App", a}, {true, "App\\empty", ""},
                                                           {false, "App\\sub", b}}));
    EXPECT_EQ(Walk(kept, "", false), (std::vector<Walked>{{false, "", a}, {false, "sub", b}}))
        << "no empty folder item without the switch; no leading \\ without a base";

    FileTreeNode flat;
    ASSERT_TRUE(ScanFolder(Win("src\\"), {false, true}, flat));
    EXPECT_EQ(Walk(flat, "App", true), (std::vector<Walked>{{false, "App", a}, {false, "App", b}}))
        << "every file under the root, no folder item";

    FileTreeNode top;
    ASSERT_TRUE(ScanFolder(Win("src"), {true, false}, top));
    EXPECT_EQ(Walk(top, "App", true), (std::vector<Walked>{{false, "App", a}}))
        << "keeping the structure needs the sub-folders";
}

TEST_F(FilesTest, FolderScanDoesNotFollowALinkedFolderAndStopsWhenAsked) {
    WriteFile("src/a.txt");
    WriteFile("src/b.txt");
    WriteFile("src/c.txt");
    ASSERT_EQ(::symlink(C("src").c_str(), C("src/loop").c_str()), 0);
    FileTreeNode root;
    ASSERT_TRUE(ScanFolder(Win("src"), {true, true}, root));
    EXPECT_EQ(root.Count(), 3u) << "the link back to the folder is left out";

    int calls = 0;
    FileTreeNode stopped;
    EXPECT_FALSE(ScanFolder(Win("src"), {true, true}, stopped, [&] { return ++calls < 3; }));
    EXPECT_EQ(stopped.Count(), 2u) << "what was found before the stop stays";
}

TEST_F(FilesTest, GraphicalTreeCommandsAndDragAndDrop) {
    GraphicalTreeModel tree("C:\\Program Files\\App");
    FileTreeNode& root = tree.root();
    EXPECT_FALSE(tree.HoldsItems());
    FileTreeNode* first = tree.NewFolder(nullptr);
    FileTreeNode* second = tree.NewFolder(first);
    FileTreeNode* third = tree.NewFolder(nullptr);
    EXPECT_EQ(first->text, S("新しいフォルダ"));
    EXPECT_EQ(second->text, S("新しいフォルダ1"));
    EXPECT_EQ(third->text, S("新しいフォルダ2"));
    EXPECT_EQ(second->parent, first) << "under the selected folder";
    FileTreeNode* file = tree.AddFiles(first, {"C:\\src\\a.txt", "C:\\src\\b.txt"});
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->text, "a.txt");
    EXPECT_EQ(file->source, "C:\\src\\a.txt");
    EXPECT_FALSE(tree.CanAddTo(file)) << "nothing is added under a file";
    EXPECT_EQ(tree.NewFolder(file), nullptr);

    // The root is never renamed, deleted or moved; names are file names.
    EXPECT_FALSE(tree.Rename(&root, "x"));
    EXPECT_FALSE(tree.Delete(&root));
    EXPECT_FALSE(tree.Drop(&root, first));
    EXPECT_FALSE(tree.Rename(file, "x")) << "only folders are renamed";
    EXPECT_FALSE(tree.Rename(first, "a\\b"));
    EXPECT_FALSE(tree.Rename(first, ""));
    EXPECT_TRUE(tree.Rename(first, "bin"));

    // A node dropped onto a folder becomes its first child; files and the node's own subtree
    // accept nothing.
    EXPECT_FALSE(tree.CanDrop(third, file));
    EXPECT_FALSE(tree.CanDrop(first, second)) << "a folder cannot go below itself";
    EXPECT_FALSE(tree.CanDrop(first, first));
    ASSERT_TRUE(tree.Drop(third, first));
    EXPECT_EQ(first->children.front().get(), third);
    EXPECT_EQ(third->parent, first);
    EXPECT_EQ(root.children.size(), 1u);
    EXPECT_EQ(Walk(root, "", true),
              (std::vector<Walked>{{true, S("bin\\新しいフォルダ2"), ""}, {true, S("bin\\新しいフォルダ1"), ""},
                                   {false, "bin", "C:\\src\\a.txt"}, {false, "bin", "C:\\src\\b.txt"}}));

    EXPECT_TRUE(tree.Delete(second));
    EXPECT_EQ(root.Count(), 4u);
    tree.Clear();
    EXPECT_FALSE(tree.HoldsItems());
    EXPECT_EQ(tree.NewFolder(nullptr)->text, S("新しいフォルダ")) << "the counter restarts";
}
