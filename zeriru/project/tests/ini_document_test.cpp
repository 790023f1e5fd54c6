#include "zeriru/ini_document.h"

#include "platform/hostfile.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "platform/sjis.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace fs = std::filesystem;
using zeriru::TIniDocument;
using platform::sjis::S;

namespace {

struct LoadCase {
    const char* what;
    std::string text;
    std::string saved;  // SaveToText() after loading
};

void PrintTo(const LoadCase& c, std::ostream* os) { *os << c.what; }

class IniLoad : public ::testing::TestWithParam<LoadCase> {};

TEST_P(IniLoad, SavesAsExpected) {
    TIniDocument doc;
    doc.LoadFromText(GetParam().text);
    EXPECT_EQ(doc.SaveToText(), GetParam().saved) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniLoad,
    ::testing::Values(
        LoadCase{"empty", "", ""},
        LoadCase{"comments and blank lines are dropped, one empty line after each section",
                 "; head\r\n[A]\r\n\r\nx=1\r\n; c\r\n\r\n\r\n[B]\r\ny=2\r\n",
                 "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n\r\n"},
        LoadCase{"lines before the first section are dropped", "x=1\r\n[A]\r\n", "[A]\r\n\r\n"},
        LoadCase{"LF and lone CR line ends", "[A]\nx=1\ry=2\n", "[A]\r\nx=1\r\ny=2\r\n\r\n"},
        LoadCase{"nothing is trimmed", "[ A ]\r\n k = v \r\n", "[ A ]\r\n k = v \r\n\r\n"},
        LoadCase{"a line without = is kept unchanged", "[A]\r\njust text\r\n", "[A]\r\njust text\r\n\r\n"},
        LoadCase{"a header needs the closing bracket", "[A]\r\n[B\r\n", "[A]\r\n[B\r\n\r\n"},
        LoadCase{"a repeated header continues the section", "[A]\r\nx=1\r\n[B]\r\n[a]\r\ny=2\r\n",
                 "[A]\r\nx=1\r\ny=2\r\n\r\n[B]\r\n\r\n"},
        // 0x83 0x5D is one double-byte character whose trail byte is "]".
        LoadCase{"a trail byte equal to ] does not close a header", "[A]\r\n[\x83\x5D\r\n",
                 "[A]\r\n[\x83\x5D\r\n\r\n"},
        LoadCase{"a header may hold double-byte characters", "[\x83\x5D]\r\nx=1",
                 "[\x83\x5D]\r\nx=1\r\n\r\n"}));

TEST(IniDocument, ValueIsEverythingAfterTheFirstEquals) {
    TIniDocument doc;
    doc.LoadFromText("[S]\r\nKey=a=b==c\r\n");
    EXPECT_EQ(doc.ReadString("S", "Key"), "a=b==c");
    EXPECT_EQ(doc.ReadString("s", "KEY"), "a=b==c");
    EXPECT_TRUE(doc.ValueExists("s", "kEy"));
    EXPECT_FALSE(doc.ValueExists("S", "Key=a"));
}

TEST(IniDocument, NamesIgnoreCaseOfSingleByteLettersOnly) {
    TIniDocument doc;
    doc.WriteString("UninstallSetting", "UseSection", "X");
    EXPECT_TRUE(doc.SectionExists("UnInstallSetting"));
    doc.WriteString("UNINSTALLSETTING", "usesection", "Y");
    EXPECT_EQ(doc.SaveToText(), "[UninstallSetting]\r\nUseSection=Y\r\n\r\n");
    // 0x83 0x61 and 0x83 0x41 are two different characters whose trail bytes look like a and A.
    doc.WriteString("S", "\x83\x61", "1");
    EXPECT_FALSE(doc.ValueExists("S", "\x83\x41"));
}

TEST(IniDocument, WriteReplacesInPlaceAppendsEntryAndSection) {
    TIniDocument doc;
    doc.LoadFromText("[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");
    doc.WriteString("A", "X", "10");
    doc.WriteString("A", "w", "4");
    doc.WriteString("C", "v", "5");
    EXPECT_EQ(doc.SaveToText(), "[A]\r\nx=10\r\ny=2\r\nw=4\r\n\r\n[B]\r\nz=3\r\n\r\n[C]\r\nv=5\r\n\r\n");
    EXPECT_EQ(doc.ReadSections(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(doc.ReadSection("a"), (std::vector<std::string>{"x", "y", "w"}));
}

TEST(IniDocument, EraseSectionAndDeleteKeyKeepLookupsRight) {
    TIniDocument doc;
    doc.LoadFromText("[A]\r\nx=1\r\ny=2\r\nz=3\r\n[B]\r\nq=1\r\n[C]\r\nr=1\r\n");
    EXPECT_EQ(doc.ReadString("A", "z"), "3");  // builds the entry index
    doc.DeleteKey("A", "X");
    EXPECT_EQ(doc.ReadString("A", "y"), "2");
    EXPECT_EQ(doc.ReadString("A", "z"), "3");
    EXPECT_FALSE(doc.ValueExists("A", "x"));
    doc.EraseSection("b");
    EXPECT_FALSE(doc.SectionExists("B"));
    EXPECT_EQ(doc.ReadString("C", "r"), "1");
    doc.WriteString("B", "q", "2");  // comes back at the end
    EXPECT_EQ(doc.SaveToText(), "[A]\r\ny=2\r\nz=3\r\n\r\n[C]\r\nr=1\r\n\r\n[B]\r\nq=2\r\n\r\n");
    EXPECT_EQ(doc.EntryCount("A"), 2u);
    EXPECT_EQ(doc.EntryCount("missing"), 0u);
}

TEST(IniDocument, IndexStaysRightWhileTheSectionGrows) {
    TIniDocument doc;
    doc.WriteString("Big", "first", "0");
    EXPECT_TRUE(doc.ValueExists("Big", "FIRST"));  // index built while the section is small
    for (int i = 0; i < 5000; ++i) doc.WriteString("Big", "Key" + std::to_string(i) + S("表"), std::to_string(i));
    for (int i = 0; i < 5000; i += 7) {
        EXPECT_EQ(doc.ReadString("Big", "kEY" + std::to_string(i) + S("表")), std::to_string(i));
    }
    EXPECT_FALSE(doc.ValueExists("Big", "Key5000" + S("表")));
    doc.WriteString("big", "KEY42" + S("表"), "changed");
    EXPECT_EQ(doc.EntryCount("Big"), 5001u);
    EXPECT_EQ(doc.ReadString("Big", "key42" + S("表")), "changed");
    EXPECT_TRUE(zeriru::NamesEqual("abc" + S("表"), "ABC" + S("表")));
    EXPECT_FALSE(zeriru::NamesEqual("\x83\x61", "\x83\x41"));
    EXPECT_EQ(zeriru::HashName("UseSection"), zeriru::HashName("USESECTION"));
}

TEST(IniDocument, DuplicateEntryNamesFindTheFirst) {
    TIniDocument doc;
    doc.LoadFromText("[A]\r\nx=1\r\nX=2\r\n");
    EXPECT_EQ(doc.ReadString("A", "x"), "1");
    doc.DeleteKey("A", "x");
    EXPECT_EQ(doc.ReadString("A", "x"), "2");
}

struct IntCase {
    std::string value;
    int expected;  // with default -7
};

void PrintTo(const IntCase& c, std::ostream* os) { *os << "'" << zeriru::test::Printable(c.value) << "'"; }

class IniInteger : public ::testing::TestWithParam<IntCase> {};

TEST_P(IniInteger, ParsesOrGivesDefault) {
    TIniDocument doc;
    doc.WriteString("S", "k", GetParam().value);
    EXPECT_EQ(doc.ReadInteger("S", "k", -7), GetParam().expected) << "value '" << GetParam().value << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Typed, IniInteger,
    ::testing::Values(IntCase{"42", 42}, IntCase{"-3", -3}, IntCase{"+5", 5}, IntCase{"0x1F", 31},
                      IntCase{"0XfF", 255}, IntCase{"0xFFFFFFFF", -1}, IntCase{"0x", -7},
                      IntCase{"0x123456789", -7}, IntCase{"", -7}, IntCase{" 5", -7}, IntCase{"5 ", -7},
                      IntCase{"abc", -7}, IntCase{"12abc", -7}, IntCase{"99999999999", -7},
                      IntCase{"+-1", -7}, IntCase{"65535", 65535}));

TEST(IniDocument, BooleansAndMissingValues) {
    TIniDocument doc;
    doc.WriteBool("S", "t", true);
    doc.WriteBool("S", "f", false);
    doc.WriteInteger("S", "n", -12);
    doc.WriteString("S", "two", "2");
    doc.WriteString("S", "bad", "yes");
    EXPECT_EQ(doc.ReadString("S", "t"), "1");
    EXPECT_EQ(doc.ReadString("S", "f"), "0");
    EXPECT_EQ(doc.ReadString("S", "n"), "-12");
    EXPECT_TRUE(doc.ReadBool("S", "t", false));
    EXPECT_FALSE(doc.ReadBool("S", "f", true));
    EXPECT_TRUE(doc.ReadBool("S", "two", false));
    EXPECT_TRUE(doc.ReadBool("S", "bad", true));
    EXPECT_FALSE(doc.ReadBool("S", "bad", false));
    EXPECT_TRUE(doc.ReadBool("S", "missing", true));
    EXPECT_EQ(doc.ReadString("Missing", "x", "def"), "def");
    EXPECT_EQ(doc.ReadInteger("Missing", "x", 9), 9);
}

TEST(IniFile, MissingFileIsEmptyAndSaveCreatesIt) {
    zeriru::test::TempFolder dir;
    fs::path file = dir.path / "new.PJ2";
    TIniDocument doc(file);
    EXPECT_FALSE(doc.LoadFailed());
    EXPECT_TRUE(doc.ReadSections().empty());
    doc.WriteString(S("プロジェクト"), "k", S("値=表"));
    ASSERT_TRUE(doc.UpdateFile()) << doc.LastError();
    TIniDocument again(file);
    EXPECT_EQ(again.ReadString(S("プロジェクト"), "K"), S("値=表"));
    EXPECT_EQ(platform::ReadHostFile(file).value(), doc.SaveToText());
}

TEST(IniFile, FailedSaveLeavesTheOldFileAndReportsFailure) {
    zeriru::test::TempFolder dir;
    fs::path file = dir.path / "p.PJ2";
    const std::string original = "[Project]\r\nProjectName=old\r\n\r\n";
    ASSERT_TRUE(platform::WriteHostFileAtomic(file, original));
    ::chmod(file.c_str(), 0640);
    TIniDocument doc(file);
    for (int i = 0; i < 1000; ++i) doc.WriteString("Files", std::to_string(i), "some item record|1|");
    platform::SetWriteFailureAfterBytesForTesting(100);
    bool saved = doc.UpdateFile();
    platform::SetWriteFailureAfterBytesForTesting(-1);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(doc.LastError().empty());
    EXPECT_EQ(platform::ReadHostFile(file).value(), original);
    // Nothing but the project itself is left in the folder.
    int files = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir.path)) ++files;
    EXPECT_EQ(files, 1);
    // The next save works and keeps the permission bits.
    ASSERT_TRUE(doc.UpdateFile()) << doc.LastError();
    EXPECT_EQ(TIniDocument(file).EntryCount("Files"), 1000u);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(IniFile, SaveKeepsWindowsAttributesAndRefusesReadOnlyFiles) {
    namespace wp = platform::winpath;
    zeriru::test::TempFolder dir;
    fs::path file = dir.path / "attr.PJ2";
    ASSERT_TRUE(platform::WriteHostFileAtomic(file, "[Project]\r\nProjectName=a\r\n"));
    const std::string windows = wp::ToWindowsPath(file);
    ASSERT_FALSE(windows.empty());
    ASSERT_TRUE(wp::SetFileAttributes(windows, wp::kAttrHidden | wp::kAttrSystem));

    TIniDocument doc(file);
    doc.WriteString("Project", "ProjectName", "b");
    ASSERT_TRUE(doc.UpdateFile()) << doc.LastError();
    EXPECT_EQ(wp::GetFileAttributes(windows), wp::kAttrHidden | wp::kAttrSystem | wp::kAttrArchive);

    // Opened by its Windows path, the same file.
    TIniDocument byName = TIniDocument::OpenWindowsPath(windows);
    EXPECT_EQ(byName.ReadString("project", "projectname"), "b");
    EXPECT_EQ(byName.WindowsPath(), windows);

    // A read-only project is never written.
    ASSERT_TRUE(wp::SetFileAttributes(windows, wp::kAttrReadOnly));
    byName.WriteString("Project", "ProjectName", "c");
    EXPECT_FALSE(byName.UpdateFile());
    EXPECT_EQ(TIniDocument(file).ReadString("Project", "ProjectName"), "b");
    ASSERT_TRUE(wp::SetFileAttributes(windows, wp::kAttrNormal));

    EXPECT_TRUE(TIniDocument::OpenWindowsPath("Q:\\unmapped\\x.PJ2").LoadFailed());
}

TEST(IniFile, UnreadableFileIsNeverOverwritten) {
    // Before: a file that could not be read loaded as an empty document, and the next save
    // replaced the whole project with the few entries written since.
    zeriru::test::TempFolder dir;
    fs::path folder = dir.path / "looks_like_a_file.PJ2";
    fs::create_directory(folder);
    TIniDocument doc(folder);
    EXPECT_TRUE(doc.LoadFailed());
    doc.WriteString("Project", "ProjectName", "x");
    EXPECT_FALSE(doc.UpdateFile());
    EXPECT_TRUE(fs::is_directory(folder));
}

TEST(IniFile, SaveAsWritesAnotherFileAndCopiesAreIndependent) {
    zeriru::test::TempFolder dir;
    TIniDocument doc;
    doc.LoadFromText("[A]\r\nx=1\r\n");
    TIniDocument copy = doc;
    copy.WriteString("A", "x", "2");
    EXPECT_EQ(doc.ReadString("A", "x"), "1");
    ASSERT_TRUE(copy.SaveAs(dir.path / "c.ini"));
    EXPECT_EQ(TIniDocument(dir.path / "c.ini").ReadString("a", "X"), "2");
    EXPECT_FALSE(TIniDocument().UpdateFile());  // no file name
}

}  // namespace
