#include "zeriru/file_version.h"
#include "zeriru/system_services.h"

#include "platform/hostfile.h"
#include "platform/winpath.h"
#include "platform/sjis.h"
#include "pe_builder.h"
#include "test_util.h"
#include "zeriru/ini_document.h"

#include <gtest/gtest.h>

#include <set>

using namespace zeriru;
using platform::sjis::S;

namespace {

TEST(SystemTables, DrivesAndOsNames) {
    EXPECT_EQ(DriveTable().front(), "A:");
    EXPECT_EQ(DriveTable()[2], "C:");
    EXPECT_EQ(DriveTable().back(), "Z:");
    EXPECT_EQ(OsNames(kOsWindows95 | kOsWindowsXP), "95/XP");
    EXPECT_EQ(OsNames(0), "");
    EXPECT_EQ(OsNames(kOsAll), "95/98/ME/NT/2000/XP/2003/VISTA/Win7");
    EXPECT_EQ(OsNames(kOsWindows7), "Win7");
    EXPECT_EQ(OsNames(1 << 12), "");  // bits above 8 name no system
}

// What each test says of a text: true = rejected (for IsFullFolderPath: accepted).
struct PathCase {
    std::string text;
    bool fullPath;      // IsInvalidPath(text, true)
    bool relative;      // IsInvalidPath(text, false)
    bool name;          // IsInvalidFileName(text, false)
    bool filePath;      // IsInvalidFileName(text, true)
    bool search;        // IsInvalidSearchNames(text)
    bool fullFolder;    // IsFullFolderPath(text)
};

void PrintTo(const PathCase& c, std::ostream* os) { *os << "'" << test::Printable(c.text) << "'"; }

class PathTests : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathTests, AllTests) {
    const PathCase& c = GetParam();
    EXPECT_EQ(IsInvalidPath(c.text, true), c.fullPath) << "IsInvalidPath full";
    EXPECT_EQ(IsInvalidPath(c.text, false), c.relative) << "IsInvalidPath relative";
    EXPECT_EQ(IsInvalidFileName(c.text, false), c.name) << "IsInvalidFileName name";
    EXPECT_EQ(IsInvalidFileName(c.text, true), c.filePath) << "IsInvalidFileName path";
    EXPECT_EQ(IsInvalidSearchNames(c.text), c.search) << "IsInvalidSearchNames";
    EXPECT_EQ(IsFullFolderPath(c.text), c.fullFolder) << "IsFullFolderPath";
}

// 表 is 0x95 0x5C: its trail byte is a backslash. ソ is 0x83 0x5C as well.
INSTANTIATE_TEST_SUITE_P(
    Texts, PathTests,
    ::testing::Values(
        //        text                 full   rel    name   fpath  search folder
        PathCase{"C:\\App",            false, true,  true,  false, true,  true},
        PathCase{"c:\\",               false, true,  true,  true,  true,  true},
        PathCase{"C:App",              false, true,  true,  false, false, false},
        PathCase{"C:",                 false, true,  true,  true,  false, false},
        PathCase{"\\\\server\\share",  false, true,  true,  true,  true,  true},
        PathCase{"%InstallDir%\\bin",  false, false, true,  false, true,  false},
        PathCase{"sub\\dir",           true,  false, true,  true,  true,  false},
        PathCase{"\\sub",              true,  true,  true,  true,  true,  false},
        PathCase{"a.txt",              true,  false, false, true,  false, false},
        PathCase{"a.txt:b.txt",        true,  true,  true,  true,  false, false},
        PathCase{"a*.txt",             true,  true,  true,  true,  true,  false},
        PathCase{"C:\\a|b",            true,  true,  true,  true,  true,  false},
        PathCase{"C:\\a\"b",           true,  true,  true,  true,  true,  false},
        PathCase{"C:\\a;b",            true,  true,  true,  true,  true,  false},
        PathCase{"C:/a",               true,  true,  true,  true,  true,  false},
        PathCase{"",                   true,  false, false, true,  false, false},
        // Both bytes of a double-byte character pass, even a trail byte equal to "\" or "|".
        PathCase{"\x95\x5C",           true,  false, false, true,  false, false},
        PathCase{"\x88\x7C.txt",       true,  false, false, true,  false, false},
        PathCase{"C:\\\x95\x5C",       false, true,  true,  false, true,  true},
        // A double-byte first character is not a drive letter.
        PathCase{"\x95\x5C:\\x",       true,  true,  true,  true,  true,  false},
        // Bytes outside 0x20-0x7F pass.
        PathCase{"\xA0\x7F",           true,  false, false, true,  false, false}));

TEST(SystemTables, MessagesAreTheFixedTexts) {
    EXPECT_EQ(MsgNotFullFolderPath(),
              S("使用できない文字 * ? / ; \" < > | が含まれているか、フルパスではありません。"));
    // The file-name message names the backslash and breaks its line with a lone CR.
    const std::string name = MsgInvalidFileName();
    EXPECT_NE(name.find(S("| \\ が含まれているか、ドライブ文字(A:など)やパス区切り文字(\\)が含まれています。\rフォルダ")),
              std::string::npos);
    EXPECT_EQ(name.find('\n'), std::string::npos);
    EXPECT_NE(MsgInvalidSubFolder().find(S("\rまた、先頭に")), std::string::npos);
    EXPECT_NE(MsgInvalidSearchNames().find(S("複数のファイル名を指定する場合は:を使用してください。")), std::string::npos);
    EXPECT_NE(MsgProtectedOutputFolder().find(S("\r\r(1)各ドライブのルートディレクトリ\r(2)")), std::string::npos);
}

struct KeyCase {
    std::string root, key;
    bool isProtected;
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.root << "\\" << test::Printable(c.key); }

class ProtectedKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(ProtectedKeys, IsProtectedRegistryKey) {
    EXPECT_EQ(IsProtectedRegistryKey(GetParam().root, GetParam().key), GetParam().isProtected);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ProtectedKeys,
    ::testing::Values(KeyCase{"HKEY_LOCAL_MACHINE", "SAM\\Domains", true},          // mode 0: contains
                      KeyCase{"HKEY_LOCAL_MACHINE", "SOFTWARE\\Vendor", false},     // mode 1: equality
                      KeyCase{"HKEY_LOCAL_MACHINE", "software\\microsoft\\windows\\", true},
                      KeyCase{"hkey_local_machine", "Software", true},
                      KeyCase{"HKEY_LOCAL_MACHINE", "", true},
                      KeyCase{"HKEY_LOCAL_MACHINE", "X\\SECURITY\\Y", true},
                      KeyCase{"HKEY_CURRENT_USER", "", true},
                      KeyCase{"HKEY_CURRENT_USER", "Software\\Classes", true},
                      KeyCase{"HKEY_CURRENT_USER", "Software\\Classes\\.txt", false},
                      KeyCase{"HKEY_CURRENT_USER", "Valatile Environment", true},
                      KeyCase{"HKEY_CURRENT_USER", "SAM\\x", false},  // SAM is protected only on HKLM
                      KeyCase{"HKEY_CLASSES_ROOT", "", false},
                      KeyCase{"HKEY_USERS", "SOFTWARE", false}));

TEST(SystemTables, ProtectedKeyTableIsStoredAsThreeFields) {
    EXPECT_EQ(ProtectedRegistryKeys().size(), 20u);
    EXPECT_EQ(ProtectedRegistryKeys()[0], "HKEY_LOCAL_MACHINE|SOFTWARE\\MICROSOFT\\WINDOWS|1");
    for (std::string_view entry : ProtectedRegistryKeys()) {
        EXPECT_EQ(platform::sjis::SplitSjis(entry, '|').size(), 3u) << entry;
    }
}

TEST(SystemTables, RegistryRootNames) {
    EXPECT_EQ(RegistryRootFromName("HKEY_LOCAL_MACHINE"), RegistryRoot::LocalMachine);
    EXPECT_EQ(RegistryRootFromName("hkey_classes_root"), RegistryRoot::ClassesRoot);
    EXPECT_EQ(RegistryRootFromName("HKEY_CURRENT_CONFIG"), RegistryRoot::CurrentConfig);
    EXPECT_EQ(RegistryRootFromName("[HKEY_USERS]"), RegistryRoot::Users);
    EXPECT_EQ(RegistryRootFromName("HKEY_DYN_DATA"), RegistryRoot::DynData);
    // The first name of the list wins, not the first in the text.
    EXPECT_EQ(RegistryRootFromName("HKEY_USERS HKEY_CLASSES_ROOT"), RegistryRoot::ClassesRoot);
    EXPECT_EQ(RegistryRootFromName("HKLM"), RegistryRoot::CurrentUser);
    EXPECT_EQ(RegistryRootFromName(""), RegistryRoot::CurrentUser);
    EXPECT_EQ(RegistryRootName(RegistryRoot::LocalMachine), "HKEY_LOCAL_MACHINE");
}

TEST(UniqueNames, NumberGoesBeforeTheExtension) {
    std::set<std::string> files = {"a.txt", "a1.txt", "readme", "x.tar.gz"};
    auto exists = [&](std::string_view n) { return files.count(std::string(n)) > 0; };
    EXPECT_EQ(UniqueName("a.txt", exists), "a2.txt");
    EXPECT_EQ(UniqueName("b.txt", exists), "b.txt");
    EXPECT_EQ(UniqueName("readme", exists), "readme1");
    EXPECT_EQ(UniqueName("x.tar.gz", exists), "x.tar1.gz");
    // The point inside a double-byte character is not an extension separator (0x81 0x2E does
    // not exist, but a trail byte can never be "." anyway); the last real point is used.
    std::set<std::string> jp = {S("表.txt")};
    EXPECT_EQ(UniqueName(S("表.txt"), [&](std::string_view n) { return jp.count(std::string(n)) > 0; }),
              S("表1.txt"));
}

TEST(UniqueNames, SectionNamesIgnoreCase) {
    test::TempFolder dir;
    TIniDocument doc(dir.path / "a.ini");
    doc.WriteString("Files", "0", "x");
    doc.WriteString("FILES1", "0", "x");
    ASSERT_TRUE(doc.UpdateFile());
    const std::string folder = platform::winpath::ToWindowsPath(dir.path);
    EXPECT_EQ(UniqueSectionName(folder + "\\A.INI", "files"), "files2");
    EXPECT_EQ(UniqueSectionName(folder + "\\a.ini", "Other"), "Other");
    EXPECT_EQ(UniqueSectionName(folder + "\\missing.ini", "Files"), "Files");
}

// ---- PE reader ----

TEST(FileVersion, ComparableNumber) {
    EXPECT_EQ(ComparableVersion(1, 2, 3, 4), 1000020000300004LL);
    EXPECT_EQ(ComparableVersion(9222, 65535, 65535, 65535), 9222655356553565535LL);
    EXPECT_EQ(ComparableVersion(9223, 0, 0, 0), -1);
    EXPECT_LT(ComparableVersion(1, 10, 0, 0), ComparableVersion(2, 0, 0, 0));
}

TEST(FileVersion, ReadsPe32AndPe32Plus) {
    for (bool plus : {false, true}) {
        test::PeImage image;
        image.pe32plus = plus;
        image.major = 9223;
        image.minor = 65535;
        image.release = 7;
        image.build = 300;
        TFileVersion v;
        ASSERT_TRUE(ReadFileVersionFromImage(test::BuildPe(image), v)) << plus;
        EXPECT_EQ(v.major, 9223);
        EXPECT_EQ(v.minor, 65535);
        EXPECT_EQ(v.release, 7);
        EXPECT_EQ(v.build, 300);
        EXPECT_EQ(v.comparable, -1);
    }
}

TEST(FileVersion, NoResourceOrDamagedImageGivesFalse) {
    test::PeImage image;
    image.withVersion = false;
    TFileVersion v;
    EXPECT_FALSE(ReadFileVersionFromImage(test::BuildPe(image), v));
    EXPECT_FALSE(ReadFileVersionFromImage("MZ not a program", v));
    EXPECT_FALSE(ReadFileVersionFromImage("", v));
    // Every truncation of a good image either still holds the whole resource or fails cleanly.
    const std::string good = test::BuildPe(test::PeImage{});
    for (std::size_t n = 0; n < good.size(); n += 7) {
        TFileVersion t;
        bool ok = ReadFileVersionFromImage(std::string_view(good).substr(0, n), t);
        if (ok) {
            EXPECT_EQ(t.comparable, 1000020000300004LL);
        }
    }
    // A resource directory pointing at itself must not loop.
    std::string loop = good;
    test::Put32(loop, 0x200 + 0x14, 0x80000000u);
    EXPECT_FALSE(ReadFileVersionFromImage(loop, v));
}

TEST(FileVersion, ExportsAndSelfRegistration) {
    test::TempFolder dir;
    test::PeImage image;
    image.exports = {"DllCanUnloadNow", "DllRegisterServer"};
    const std::string registering = test::BuildPe(image);
    image.exports = {"DllRegisterServerEx"};
    const std::string plain = test::BuildPe(image);
    EXPECT_TRUE(ImageExports(registering, "DllRegisterServer"));
    EXPECT_FALSE(ImageExports(plain, "DllRegisterServer"));

    const std::string folder = platform::winpath::ToWindowsPath(dir.path) + "\\";
    ASSERT_TRUE(platform::WriteHostFileAtomic(dir.path / "reg.DLL", registering));
    ASSERT_TRUE(platform::WriteHostFileAtomic(dir.path / "plain.dll", plain));
    ASSERT_TRUE(platform::WriteHostFileAtomic(dir.path / "reg.exe", registering));
    EXPECT_TRUE(IsSelfRegistering(folder + "reg.DLL"));
    EXPECT_FALSE(IsSelfRegistering(folder + "plain.dll"));
    EXPECT_FALSE(IsSelfRegistering(folder + "reg.exe"));
    EXPECT_FALSE(IsSelfRegistering(folder + "missing.dll"));
    EXPECT_TRUE(IsSelfRegistering(folder + "control.ocx"));
    EXPECT_TRUE(IsSelfRegistering(folder + "types.Tlb"));

    TFileVersion v;
    EXPECT_TRUE(GetFileVersion(folder + "reg.DLL", v));
    EXPECT_EQ(v.comparable, 1000020000300004LL);
    EXPECT_FALSE(GetFileVersion(folder + "missing.dll", v));
}

}  // namespace
