#include "zeriru/defines.h"

#include "fake_machine.h"
#include "platform/sjis.h"
#include "test_util.h"
#include "zeriru/project_file.h"
#include "zeriru/system_services.h"

#include <gtest/gtest.h>

#include <set>

using namespace zeriru;
using platform::sjis::S;

namespace {

TEST(DefineTable, RowsIdsAndFlags) {
    const auto& table = DefineTable();
    ASSERT_EQ(table.size(), 59u);
    EXPECT_EQ(table[2].name, "%SystemWow64Directory%");
    EXPECT_EQ(table[2].id, 27);
    EXPECT_EQ(table[27].name, "%AbsoluteDir%");
    EXPECT_EQ(table[57].name, "%InputString%");
    EXPECT_EQ(table[58].flags, 0x1048);
    std::set<int> ids;
    std::set<std::string> names;
    for (const TDefineData& row : table) {
        EXPECT_TRUE(row.valid);
        ids.insert(row.id);
        names.insert(platform::sjis::ToUpper(row.name));
        // The classes the table says each family carries.
        if (row.id >= 1000 && row.id <= 1011) {
            EXPECT_TRUE(row.flags & kDefInstallerKnown) << row.name;
        }
        if ((row.id >= 101 && row.id <= 106) || (row.id >= 151 && row.id <= 156) || row.id == 52 || row.id == 54) {
            EXPECT_TRUE(row.flags & kDefSearchFamily) << row.name;
        }
        EXPECT_EQ((row.flags & kDefGeneral) == 0, row.id == 1003 || row.id == 1004 || row.id == 1005 || row.id == 56)
            << row.name;
    }
    EXPECT_EQ(ids.size(), 59u);
    EXPECT_EQ(names.size(), 59u);
    // %InputNumber% is the only number.
    int numbers = 0;
    for (const TDefineData& row : table) numbers += (row.flags & kMaskDWord) ? 1 : 0;
    EXPECT_EQ(numbers, 1);
}

struct FindCase {
    std::string text;
    int id;
};

void PrintTo(const FindCase& c, std::ostream* os) { *os << "'" << test::Printable(c.text) << "'"; }

class FindId : public ::testing::TestWithParam<FindCase> {};

TEST_P(FindId, FindDefineId) { EXPECT_EQ(FindDefineId(GetParam().text), GetParam().id); }

INSTANTIATE_TEST_SUITE_P(
    Texts, FindId,
    ::testing::Values(FindCase{"%SYSTEMDIRECTORY%\\sub", 2}, FindCase{"%SearchFileDirEx%", 54},
                      FindCase{"%SearchFileDir%\\a.exe", 52}, FindCase{"  %InstallDir%  ", 1000},
                      FindCase{"%installdir%\\bin", 1000}, FindCase{"x%Date%y", 1004},
                      FindCase{"%DateTime%", 1003}, FindCase{"%Time%", 1005},
                      // Only the part before the first "\" counts.
                      FindCase{"C:\\%InstallDir%", 0}, FindCase{"", 0}, FindCase{"%Unknown%", 0},
                      FindCase{"%RegistryDirEx%\\HKEY_LOCAL_MACHINE,a,b", 105},
                      FindCase{"%InputNumber%", 56}, FindCase{"%SystemWow64Directory%", 27}));

TEST(DefineTable, GetDefineDataAndFolderNames) {
    TDefineData d = GetDefineData(54);
    EXPECT_TRUE(d.valid);
    EXPECT_EQ(d.name, "%SearchFileDirEx%");
    EXPECT_EQ(d.flags, 0x2941);
    TDefineData none = GetDefineData(999);
    EXPECT_FALSE(none.valid);
    EXPECT_EQ(none.id, 0);
    EXPECT_EQ(none.name, "");
    EXPECT_EQ(none.flags, 0);
    EXPECT_EQ(DefineFolderName("%InstallDir%", "bin"), "bin");
    EXPECT_EQ(DefineFolderName("%InstallDir%", ""), "");
    EXPECT_EQ(DefineFolderName("%SystemDirectory%", ""), "SystemDirectory");
    EXPECT_EQ(DefineFolderName("%CommonAppDataDir%", S("会社\\表")), S("CommonAppDataDir\\会社\\表"));
}

class Expansion : public ::testing::Test {
protected:
    test::FakeMachine m;
    void SetUp() override {
        m.shell[{0, false}] = "C:\\Users\\taro\\Desktop";
        m.shell[{0, true}] = "C:\\Users\\Public\\Desktop";
        m.shell[{9, true}] = "C:\\ProgramData";
        m.env["APPROOT"] = "D:\\apps";
        m.registry[{"HKEY_LOCAL_MACHINE", "SOFTWARE\\VENDOR", "PATH"}] = {RegistryType::String, "C:\\Vendor\\bin\\tool.exe"};
        m.registry[{"HKEY_CURRENT_USER", "ENVIRONMENT", "PATH"}] = {RegistryType::ExpandString, "c:\\a;C:\\Tools;c:\\b;c:\\TOOLS"};
        m.registry[{"HKEY_CURRENT_USER", "X", "DWORD"}] = {RegistryType::DWord, "5"};
        m.ini[{"C:\\WINDOWS\\APP.INI", "PATHS", "HOME"}] = "E:\\home\\data\\";
    }
};

TEST_F(Expansion, EnvironmentReference) {
    EXPECT_EQ(ExpandEnvironmentReference("%AppRoot%\\x", m), "D:\\apps\\x");
    EXPECT_EQ(ExpandEnvironmentReference("%approot%\\%APPROOT%", m), "D:\\apps\\%APPROOT%");  // the first only
    EXPECT_EQ(ExpandEnvironmentReference("%Missing%\\%APPROOT%", m), "%Missing%\\%APPROOT%");  // one name tried
    EXPECT_EQ(ExpandEnvironmentReference("%%APPROOT%", m), "%D:\\apps");
    EXPECT_EQ(ExpandEnvironmentReference("no reference", m), "no reference");
    m.env["LONG"] = std::string(300, 'v');
    EXPECT_EQ(ExpandEnvironmentReference("%LONG%", m), std::string(255, 'v'));
    // A double-byte character is never cut in half.
    std::string kanji;
    for (int i = 0; i < 200; ++i) kanji += S("表");
    m.env["KANJI"] = kanji;
    EXPECT_EQ(ExpandEnvironmentReference("%KANJI%", m).size(), 254u);
}

TEST_F(Expansion, AbsoluteAndCdrom) {
    EXPECT_EQ(ExpandDefineValue("%AbsoluteDir%\\:\\Data\\x", m), "C:\\Data\\x");
    EXPECT_EQ(ExpandDefineValue("%AbsoluteDir%\\%AppRoot%\\y", m), "D:\\apps\\y");
    EXPECT_EQ(ExpandDefineValue("%AbsoluteDir%\\F:\\z", m), "F:\\z");
    m.drives = {'C', 'D', 'E', 'Q'};
    m.cdroms = {'D', 'E', 'Q'};
    m.files = {"E:\\SETUP\\DISK1.ID", "Q:\\SETUP\\DISK1.ID", "C:\\SETUP\\DISK1.ID"};
    EXPECT_EQ(ExpandDefineValue("%CdromDriveDir%\\setup\\disk1.id,data", m), "E:\\data");
    m.cdroms.clear();
    EXPECT_EQ(ExpandDefineValue("%CdromDriveDir%\\setup\\disk1.id,data", m), "");
}

struct VariantCase {
    std::string define;
    std::string expected;
};

TEST_F(Expansion, RegistryAndIniVariants) {
    const std::string reg = "\\HKEY_LOCAL_MACHINE,SOFTWARE\\Vendor,Path,%WindowsDirectory%,";
    // The key itself holds "\": parameters are split at "," only.
    for (const VariantCase& c : std::vector<VariantCase>{
             {"%Registry%", "C:\\Vendor\\bin\\tool.exe"},
             {"%RegistryDir%", "C:\\Vendor\\bin\\tool.exe"},
             {"%RegistryPath%", "C:\\Vendor\\bin\\tool.exe\\"},
             {"%RegistryFileName%", "tool.exe"},
             {"%RegistryDirEx%", "C:\\Vendor\\bin"},
             {"%RegistryPathEx%", "C:\\Vendor\\bin\\"}}) {
        EXPECT_EQ(ExpandDefineValue(c.define + reg, m), c.expected) << c.define;
    }
    // Missing value: the default, itself expanded; parameter 5 appended.
    EXPECT_EQ(ExpandDefineValue("%RegistryPath%\\HKEY_LOCAL_MACHINE,SOFTWARE\\Vendor,Nothing,%WindowsDirectory%,sub", m),
              "C:\\WINDOWS\\sub");
    // A value of another type than a string gives the default.
    EXPECT_EQ(ExpandDefineValue("%Registry%\\HKEY_CURRENT_USER,X,DWORD,none,", m), "none");
    // An unknown root name addresses HKEY_CURRENT_USER... in the machine; the text is passed on.
    const std::string ini = "\\%WindowsDirectory%\\app.ini,Paths,Home,,!";
    for (const VariantCase& c : std::vector<VariantCase>{
             {"%IniFile%", "E:\\home\\data\\!"},
             {"%IniFileDir%", "E:\\home\\data!"},
             {"%IniFilePath%", "E:\\home\\data\\!"},
             {"%IniFileDirEx%", "E:\\home\\data!"},
             {"%IniFilePathEx%", "E:\\home\\data\\!"},
             {"%IniFileFileName%", "!"}}) {
        EXPECT_EQ(ExpandDefineValue(c.define + ini, m), c.expected) << c.define;
    }
    EXPECT_EQ(ExpandDefineValue("%IniFile%\\%WindowsDirectory%\\app.ini,Paths,Missing,%TempDir%,", m), "C:\\TEMP");
}

TEST_F(Expansion, ValueChangeOperations) {
    const std::string base = "%REGISTRYVALUECHANGE%\\HKEY_CURRENT_USER,Environment,Path,,";
    // DELETE removes the operand everywhere, matching letters of any case.
    EXPECT_EQ(ExpandDefineValue(base + "DELETE,c:\\tools,", m), "c:\\a;;c:\\b;");
    EXPECT_EQ(ExpandDefineValue(base + "delete,C:\\TOOLS,;end", m), "c:\\a;;c:\\b;;end");
    EXPECT_EQ(ExpandDefineValue(base + "ADDTOP,x;,", m), "x;c:\\a;C:\\Tools;c:\\b;c:\\TOOLS");
    EXPECT_EQ(ExpandDefineValue(base + "APPEND,;%TempDir%,", m), "c:\\a;C:\\Tools;c:\\b;c:\\TOOLS;C:\\TEMP");
    // Not a string: the default, and no operation.
    EXPECT_EQ(ExpandDefineValue("%REGISTRYVALUECHANGE%\\HKEY_CURRENT_USER,X,DWORD,def,ADDTOP,x,!", m), "def!");
    // The INI variant always applies the operation, to the default as well.
    EXPECT_EQ(ExpandDefineValue("%INIFILEVALUECHANGE%\\C:\\WINDOWS\\app.ini,Paths,None,abcABC,DELETE,b,", m), "acAC");
}

TEST_F(Expansion, FixedFoldersNamesAndTimes) {
    EXPECT_EQ(ExpandDefineValue("%systemdirectory%\\drivers", m), "C:\\WINDOWS\\system32\\drivers");
    EXPECT_EQ(ExpandDefineValue("%SystemRootDir%\\x", m), "C:\\x");
    EXPECT_EQ(ExpandDefineValue("%DesktopDir%\\a;%CommonDesktopDir%;%CommonAppDataDir%", m),
              "C:\\Users\\taro\\Desktop\\a;C:\\Users\\Public\\Desktop;C:\\ProgramData");
    EXPECT_EQ(ExpandDefineValue("%Date% %Time% [%DateTime%]", m), "2026/12/09 06:30:00 [2026/12/09 06:30:00]");
    EXPECT_EQ(ExpandDefineValue("%USERNAME%/%LoginName%@%ComputerName%", m), "taro/taro@BUILDPC");
    // Defines that only the installer knows stay.
    EXPECT_EQ(ExpandDefineValue("%InstallDir%\\%SystemWow64Directory%", m), "%InstallDir%\\%SystemWow64Directory%");
    EXPECT_EQ(ExpandDefineValue("%ProgramFilesDir%\\" + S("表\\会社"), m), "C:\\Program Files\\" + S("表\\会社"));
}

TEST_F(Expansion, InstallPath) {
    TIniDocument project;
    project.WriteString("Software", "Folder", "%ProgramFilesDir%|" + EncodeProjectText("Vendor,App") + "|");
    EXPECT_EQ(ExpandInstallPath("%InstallDir%\\bin\\", project, m), "C:\\Program Files\\Vendor,App\\bin");
    EXPECT_EQ(ExpandInstallPath("%InstallDrive%\\", project, m), "C:");
    EXPECT_EQ(ExpandInstallPath("%TempDir%\\", project, m), "C:\\TEMP");
    // A searched folder uses SearchFileDir instead.
    project.WriteString("Software", "Folder", "%SearchFileDir%\\app.exe|");
    project.WriteString("Software", "SearchFileDir", "%AbsoluteDir%\\D:\\Fallback|x|");
    EXPECT_EQ(ExpandInstallPath("%SearchFileDirEx%", project, m), "D:\\Fallback\\x");
    // Both keys missing: the program files folder.
    EXPECT_EQ(ExpandInstallPath("%InstallDir%", TIniDocument(), m), "C:\\Program Files");
}

TEST(DefineData, CategoriesListsAndParameters) {
    TIniDocument dat;
    dat.LoadFromText(
        "[Define0]\r\nName=Folders\r\nCount=2\r\n0=%WindowsDirectory%|hint w|%WindowsDirectory%\r\n"
        "1=%InstallDir%|hint i|%InstallDir%\r\n"
        "[Define1]\r\nName=Numbers\r\nCount=1\r\n0=%InputNumber%|n|\r\n"
        "[Define3]\r\nName=Unreachable\r\nCount=0\r\n");
    std::vector<TDefineCategory> categories = ReadDefineCategories(dat);
    ASSERT_EQ(categories.size(), 2u);  // stops at the first section without Name
    EXPECT_EQ(categories[0].entries[1].hint, "hint i");
    EXPECT_EQ(FirstCategoryForMask(categories, kMaskDWord), 1);
    EXPECT_EQ(FirstCategoryForMask(categories, kMaskFolderOrFile), 0);
    EXPECT_EQ(FirstCategoryForMask(categories, 0x4000), -1);
    EXPECT_EQ(EntriesForMask(categories[0], kMaskSystemFolder).size(), 2u);
    EXPECT_EQ(EntriesForMask(categories[0], 0x0020).size(), 1u);

    TIniDocument zeriruDat;
    zeriruDat.LoadFromText("[DFNLIST_FILESITEM]\r\n0=%InstallDir%\r\n2=%TempDir%\r\n1=%WindowsDirectory%\r\n");
    std::vector<std::string> list = {"keep"};
    ReadDefineList(zeriruDat, "DFNLIST_FILESITEM", list);
    EXPECT_EQ(list, (std::vector<std::string>{"keep", "%InstallDir%", "%WindowsDirectory%", "%TempDir%"}));

    TIniDocument params;
    params.LoadFromText("[101]\r\nParamCount=2\r\n0=Root|2|1\r\n1=Mode|8|0|a,b,c,d,e,f,g,h,i,j,k,l\r\n[52]\r\nParamCount=0\r\n");
    std::vector<TDefineParam> p = ReadDefineParams(params, 101);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].caption, "Root");
    EXPECT_EQ(p[0].inputType, 2);
    EXPECT_TRUE(p[0].required);
    EXPECT_EQ(p[1].choices.size(), 10u);
    EXPECT_TRUE(ReadDefineParams(params, 52).empty());
    EXPECT_TRUE(ReadDefineParams(params, 999).empty());
}

TEST(DefineData, DefineTextAndCaret) {
    DefineText t = SplitDefineText(" %Registry%\\HKEY_USERS,a\\b,c ");
    EXPECT_EQ(t.define, "%Registry%");
    EXPECT_EQ(t.rest, "HKEY_USERS,a\\b,c");
    EXPECT_EQ(DefineParameters(t.rest), (std::vector<std::string>{"HKEY_USERS", "a\\b", "c"}));
    EXPECT_EQ(JoinDefineText("%Registry%", {"HKEY_USERS", "a\\b", "c"}), "%Registry%\\HKEY_USERS,a\\b,c");
    // The dialog shows decoded values and writes back encoded text.
    const std::string field = EncodeProjectText("%IniFile%\\C:\\a=b.ini,Sec,Key");
    EXPECT_EQ(ParameterValuesForDialog(field, 5), (std::vector<std::string>{"C:\\a=b.ini", "Sec", "Key", "", ""}));
    EXPECT_EQ(ParameterValuesForDialog("%IniFile%", 2), (std::vector<std::string>{"", ""}));
    EXPECT_EQ(ParameterDialogResult("%IniFile%", {"C:\\a=b.ini", "Sec", "Key"}), field);
    // Pasting while the caret stands after the first character keeps that character.
    EXPECT_EQ(InsertAtCaret("ab", 1, 0, "%TempDir%"), "a%TempDir%b");
    EXPECT_EQ(InsertAtCaret("abcd", 1, 2, "X"), "aXd");
    EXPECT_EQ(InsertAtCaret("ab", 10, 5, "X"), "abX");
}

struct ParamCase {
    int type;
    bool required;
    int defineId;
    std::string value;
    std::string message;  // UTF-8; empty = passes
};

void PrintTo(const ParamCase& c, std::ostream* os) {
    *os << "type " << c.type << (c.required ? " required" : "") << " define " << c.defineId << " '" << c.value << "'";
}

class ParamChecks : public ::testing::TestWithParam<ParamCase> {};

TEST_P(ParamChecks, CheckDefineParameter) {
    const ParamCase& c = GetParam();
    TDefineParam p;
    p.caption = S("キー名");
    p.inputType = c.type;
    p.required = c.required;
    auto message = CheckDefineParameter(p, S(c.value), c.defineId);
    if (c.message.empty()) {
        EXPECT_FALSE(message) << platform::sjis::ToUtf8(*message);
    } else {
        ASSERT_TRUE(message);
        EXPECT_EQ(*message, S(c.message));
    }
}

const std::string kNotFull = "使用できない文字 * ? / ; \" < > | が含まれているか、フルパスではありません。";
const std::string kBadName =
    "使用できない文字 * ? / ; : \" < > | \\ が含まれているか、ドライブ文字(A:など)やパス区切り文字(\\)が含まれています。\r"
    "フォルダを指定している場合はファイル名のみを指定して下さい。";

INSTANTIATE_TEST_SUITE_P(
    Types, ParamChecks,
    ::testing::Values(
        ParamCase{0, true, 101, "", "キー名 を入力してください。"}, ParamCase{1, true, 101, "x", ""},
        ParamCase{0, false, 101, "", ""},
        ParamCase{2, true, 101, "", "ルートキーが選択されていません。リストよりルートキーを選択してください。"},
        ParamCase{2, true, 101, "HKEY_DYN_DATA", "項目内容が不正です。リストよりルートキーを選択してください。"},
        ParamCase{2, true, 101, "HKEY_USERS", ""},
        ParamCase{3, true, 101, "", "フォルダ定数が選択されていません。リストよりフォルダ定数を選択してください。"},
        ParamCase{3, true, 101, "%CookiesDir%", "項目内容が不正です。リストよりフォルダ定数を選択してください。"},
        ParamCase{3, true, 101, "%TempDir%", ""},
        ParamCase{4, false, 101, "sub\\dir", ""},
        ParamCase{4, false, 101, "C:\\x",
                  "使用できない文字 * ? / ; \" < > | が含まれているか、ドライブ文字(A:など)が含まれています。\r"
                  "また、先頭にパス区切り文字(\\)を指定することはできません。"},
        ParamCase{5, true, 53, "", "フォルダを入力してください。"}, ParamCase{5, true, 53, "C:\\x", ""},
        ParamCase{5, true, 53, "C:x", kNotFull}, ParamCase{5, true, 53, "\\\\srv\\share", ""},
        ParamCase{5, true, 51, ":\\Data", ""}, ParamCase{5, true, 51, "%ProgramFiles%\\x", ""},
        ParamCase{5, true, 51, "sub\\x", kNotFull}, ParamCase{5, true, 51, "name", ""},
        ParamCase{5, true, 51, "na:me", kBadName},
        ParamCase{6, true, 52, "", "ファイル名を入力してください。"}, ParamCase{6, true, 52, "a.exe:b.dll", ""},
        ParamCase{6, true, 52, "a\\b.exe",
                  "使用できない文字 * ? / ; \" < > | \\ が含まれています。複数のファイル名を指定する場合は:を使用してください。"},
        ParamCase{6, true, 53, "a.exe:b.dll", kBadName}, ParamCase{6, true, 53, "表.txt", ""},
        ParamCase{7, true, 151, "", "ファイル名を入力してください。"},
        ParamCase{7, true, 151, "%WindowsDirectory%\\win.ini", ""}, ParamCase{7, true, 151, "win.ini", kNotFull},
        ParamCase{8, true, 201, "", ""},
        ParamCase{9, true, 56, "", "何も入力されていないか数値以外が入力されています。数値を入力してください。"},
        ParamCase{9, true, 56, "12", ""}, ParamCase{9, true, 56, "1;2;-3", ""},
        ParamCase{9, true, 56, "1;x;3", "数値以外が入力されています。数値を入力してください。\r\r2 番目"},
        ParamCase{9, false, 56, "", ""}));

TEST(DefineData, CheckParametersReportsTheFirstFailingRow) {
    std::vector<TDefineParam> params(3);
    params[0] = {"a", 0, true, {}};
    params[1] = {"b", 2, true, {}};
    params[2] = {"c", 0, true, {}};
    auto problem = CheckDefineParameters(params, {"x", "HKEY_BAD"}, 101);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->row, 1u);
    EXPECT_EQ(problem->title, "b");
    EXPECT_FALSE(CheckDefineParameters(params, {"x", "HKEY_USERS", "y"}, 101));
    problem = CheckDefineParameters(params, {"x", "HKEY_USERS"}, 101);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->row, 2u);
    EXPECT_EQ(problem->message, S("c を入力してください。"));
}

}  // namespace
