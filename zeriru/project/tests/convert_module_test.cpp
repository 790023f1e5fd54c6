#include "zeriru/convert_module.h"
#include "zeriru/editor_files.h"

#include "platform/hostfile.h"
#include "platform/sjis.h"
#include "test_util.h"
#include "zeriru/ini_document.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace zeriru;
using platform::sjis::S;

namespace {

void Write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    ASSERT_TRUE(platform::WriteHostFileAtomic(path, text));
}

std::string Read(const fs::path& path) { return platform::ReadHostFile(path).value_or("<missing>"); }

struct ConvertFixture : ::testing::Test {
    test::TempFolder temp;
    fs::path editor, runtime, project;
    ScriptedUi ui;

    void SetUp() override {
        editor = temp.path / "editor";
        runtime = temp.path / "runtime";
        project = temp.path / "p.PJ2";
        fs::create_directories(runtime);
        Write(editor / "Module" / "ZU_VAZUZA.DAT", "program-bytes");
        Write(editor / "Module" / "ZU_VAZUZA.LNG",
              "[ResourceString_1041]\r\nCharset=128\r\n100=ja100\r\n101=ja101\r\n"
              "[ResourceString_1033]\r\nCharset=0\r\n100=en100\r\n");
        Write(project, "[Project]\r\nProjectName=p\r\nGenerator=DOZOZE 2.0\r\n");
    }
};

TEST_F(ConvertFixture, CopiesProgramAndWritesDataFile) {
    Write(runtime / "INSTALL.EXE", "old");
    ASSERT_TRUE(SetReadOnlyFile(runtime / "INSTALL.EXE", true));
    const auto projectTime = fs::last_write_time(project);

    std::string error;
    ASSERT_EQ(ConvertModule(ui, project, runtime, editor, &error), ConvertModuleResult::Ok) << error;
    EXPECT_EQ(Read(runtime / "INSTALL.EXE"), "program-bytes");
    EXPECT_FALSE(IsReadOnlyFile(runtime / "INSTALL.EXE"));
    const TIniDocument dat(runtime / "INSTALL.DAT");
    EXPECT_EQ(dat.ReadString("Project", "ProjectName"), "p");
    EXPECT_EQ(dat.ReadString("Control_Info", "LocalID"), "1041");
    EXPECT_EQ(dat.ReadString("Control_Info", "DefaultLocalID"), "1041");
    EXPECT_EQ(dat.ReadString("ResourceString_1041", "100"), "ja100");
    EXPECT_FALSE(dat.SectionExists("ResourceString_1033"));
    EXPECT_TRUE(ui.shown().empty());
    // The project itself is not touched.
    EXPECT_EQ(fs::last_write_time(project), projectTime);
    EXPECT_EQ(TIniDocument(project).ReadSections().size(), 1u);
}

TEST_F(ConvertFixture, LanguageOfTheProjectAndItsOwnTexts) {
    Write(project,
          "[Project]\r\nProjectName=p\r\nInstallerModuleLanguage=1033\r\n"
          "[ResourceString_1033]\r\n100=own\r\n");
    ui.QueueAnswer(Answer::Yes);
    ASSERT_EQ(ConvertModule(ui, project, runtime, editor), ConvertModuleResult::Ok);
    const TIniDocument dat(runtime / "INSTALL.DAT");
    EXPECT_EQ(dat.ReadString("Control_Info", "LocalID"), "1033");
    EXPECT_EQ(dat.ReadString("ResourceString_1033", "100"), "own");
    EXPECT_EQ(dat.ReadString("ResourceString_1033", "Charset"), "0");
    EXPECT_EQ(ui.messages().size(), 1u);
}

TEST_F(ConvertFixture, MissingModuleFilesFail) {
    for (const char* missing : {"ZU_VAZUZA.DAT", "ZU_VAZUZA.LNG"}) {
        SetUp();
        fs::remove(editor / "Module" / missing);
        EXPECT_EQ(ConvertModule(ui, project, runtime, editor), ConvertModuleResult::ModuleMissing) << missing;
    }
    SetUp();
    Write(project, "[Project]\r\nInstallerModuleName=OTHER\r\n");
    EXPECT_EQ(ConvertModule(ui, project, runtime, editor), ConvertModuleResult::ModuleMissing);
}

TEST_F(ConvertFixture, ModuleNameFromTheProjectCannotLeaveTheModuleFolder) {
    // A file that a path in the module name would reach.
    Write(temp.path / "secret.DAT", "x");
    Write(temp.path / "secret.LNG", "[ResourceString_1041]\r\n");
    for (const char* name : {"..\\secret", "../secret", "C:secret", ".."}) {
        Write(project, std::string("[Project]\r\nInstallerModuleName=") + name + "\r\n");
        EXPECT_EQ(ConvertModule(ui, project, runtime, editor), ConvertModuleResult::ModuleMissing) << name;
    }
    EXPECT_FALSE(fs::exists(runtime / "INSTALL.EXE"));
}

TEST(EditorFiles, DriveMapperResolvesCaseAndRefusesEscapes) {
    test::TempFolder temp;
    Write(temp.path / "Program Files" / "Zuzoruve" / "a.PJ2", "x");
    DriveFolderMapper mapper;
    mapper.MapDrive('c', temp.path);
    EXPECT_EQ(mapper.ToHost("C:\\program files\\ZUZORUVE\\A.pj2"), temp.path / "Program Files" / "Zuzoruve" / "a.PJ2");
    EXPECT_EQ(mapper.ToHost("c:/Program Files/new.PJ2"), temp.path / "Program Files" / "new.PJ2");
    EXPECT_EQ(mapper.ToHost("D:\\x"), std::nullopt);
    EXPECT_EQ(mapper.ToHost("relative\\x"), std::nullopt);
    EXPECT_EQ(mapper.ToHost("C:\\..\\etc"), std::nullopt);
    // A trail byte 0x5C stays inside its name.
    EXPECT_EQ(mapper.ToHost("C:\\" + S("表") + "\\x"), temp.path / "表" / "x");
}

TEST(EditorFiles, ReadOnlyAttributeAndCopy) {
    test::TempFolder temp;
    const fs::path a = temp.path / "a", b = temp.path / "b";
    Write(a, "data");
    EXPECT_FALSE(IsReadOnlyFile(a));
    EXPECT_TRUE(SetReadOnlyFile(a, true));
    EXPECT_TRUE(IsReadOnlyFile(a));
    EXPECT_FALSE(SetReadOnlyFile(temp.path / "missing", true));
    EXPECT_FALSE(IsReadOnlyFile(temp.path / "missing"));
    Write(b, "old");
    ASSERT_TRUE(SetReadOnlyFile(b, true));
    ASSERT_TRUE(CopyFileReplacing(a, b, true));
    EXPECT_EQ(Read(b), "data");
    EXPECT_FALSE(IsReadOnlyFile(b));
    EXPECT_EQ(fs::last_write_time(a), fs::last_write_time(b));
    EXPECT_TRUE(CopyFileReplacing(a, a, true));
    EXPECT_EQ(Read(a), "data");
    EXPECT_FALSE(CopyFileReplacing(temp.path / "missing", b, true));
}

}  // namespace
