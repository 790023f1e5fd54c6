// The project property dialog's model and the properties command: what the create type shows,
// the OK check with its page and field, what OK stores, the GUID, the modules, and what the
// command writes (or does not write) into the project file.
#include "zeriru/main_window_model.h"
#include "zeriru/project_properties.h"

#include "shell_fixture.h"
#include "zeriru/file_services.h"
#include "zeriru/system_services.h"

#include <fstream>

using namespace zeriru;
namespace pc = project_dialog_control;

namespace {

struct PropertiesTest : ShellTest {
    std::vector<int> hints;
    std::optional<std::string> guid = "{0123ABCD-0000-4000-8000-00000000000F}";

    ProjectPropertiesDialogModel::Services Services() {
        return {ui,
                env->settings(),
                env->machine(),
                env->modules(),
                env->hostEditorFolder(),
                [this](int index) { hints.push_back(index); },
                [this] { return guid; }};
    }
    ProjectPropertiesDialogModel New(int type) {
        ProjectProperties p;
        p.projectName = "App";
        p.createFileType = type;
        p.createFolder = "C:\\Out";
        p.createFileName = "setup";
        p.publisher = "Me";
        p.moduleName = "ZU_VAZUZA";
        p.languageCode = 1041;
        return ProjectPropertiesDialogModel(Services(), p);
    }
    std::string Project(const std::string& extra = {}) {
        const std::string path = "C:\\p\\a.PJ2";
        WriteProject(path, "[Project]\nGenerator=DOZOZE 2.0\nProjectName=A\x02" "B\nCreateFileType=2\n"
                           "CreateFolder=C:\\Out\nCreateFileName=setup\nInstallerModuleName=ZU_VAZUZA\n" + extra +
                           "[SupportInfo]\nPublisher=P\x03Q\n");
        return path;
    }
};

}  // namespace

TEST_F(PropertiesTest, CreateTypeDecidesWhichGroupsShow) {
    struct Row {
        int type;
        bool archive, copy, folder;
    } rows[] = {{0, false, false, false}, {1, false, true, true}, {2, true, false, true}, {5, true, false, true}};
    for (const Row& r : rows) {
        ProjectPropertiesDialogModel m = New(r.type);
        EXPECT_EQ(m.ArchiveGroupVisible(), r.archive) << r.type;
        EXPECT_EQ(m.CompressionVisible(), r.archive) << r.type;
        EXPECT_EQ(m.CopyGroupVisible(), r.copy) << r.type;
        EXPECT_EQ(m.FolderVisible(), r.folder) << r.type;
    }
}

TEST_F(PropertiesTest, OkCheckNamesItsPageAndFieldInTheOrderOfEachType) {
    struct Case {
        int type;
        std::string folder, name, source, publisher;
        std::string message;
        const char* field;
    } cases[] = {
        // "C:" is a drive root and not a full path: the two checks run in opposite orders.
        {1, "C:", "", "Files", "P", MsgProtectedOutputFolder(), pc::kFolder},
        {3, "C:", "setup", "", "P", MsgNotFullFolderPath(), pc::kFolder},
        {3, "C:\\", "setup", "", "P", MsgProtectedOutputFolder(), pc::kFolder},
        {1, "", "", "", "P", S("インストールファイル作成先のフォルダが入力されていません。"), pc::kFolder},
        {1, "C:\\Out", "", "", "P", S("インストールソースが入力されていません。"), pc::kInstallSource},
        {1, "C:\\Out", "", "a\\b", "P", MsgInvalidFileName(), pc::kInstallSource},
        {2, "", "", "", "P", S("作成するインストールファイル名が入力されていません。"), pc::kFileName},
        {2, "", "a:b", "", "P", MsgInvalidFileName(), pc::kFileName},
        {4, "", "s", "", "P", S("作成先のフォルダが入力されていません。"), pc::kFolder},
        {2, "C:\\Out", "s", "", "", S("著作権者名が入力されていません。"), pc::kPublisher},
        // Type 0 checks only the name and the publisher; the hidden fields go as they are.
        {0, "C:", "a:b", "", "P", "", ""},
        {1, "C:\\Out", "", "Files", "P", "", ""},
    };
    for (const Case& c : cases) {
        ProjectPropertiesDialogModel m = New(c.type);
        m.values().createFolder = c.folder;
        m.values().createFileName = c.name;
        m.values().installSource = c.source;
        m.values().publisher = c.publisher;
        const CheckOutcome r = m.Ok();
        SCOPED_TRACE(std::to_string(c.type) + " " + c.folder + " " + c.name);
        if (c.message.empty()) {
            EXPECT_FALSE(r) << r->message;
            continue;
        }
        ASSERT_TRUE(r);
        EXPECT_EQ(r->message, c.message);
        EXPECT_EQ(r->field, std::string(c.field));
        const bool publisherPage = std::string(c.field) == pc::kPublisher;
        EXPECT_EQ(r->page, publisherPage ? pc::kPagePublisher : pc::kPageInstallFile) << "the page shown";
    }
}

TEST_F(PropertiesTest, NameIsCheckedFirstAndAReducedProjectNothingElse) {
    ProjectPropertiesDialogModel m = New(3);
    m.values().projectName.clear();
    m.values().createFolder = "C:";
    ASSERT_TRUE(m.Check());
    EXPECT_EQ(m.Check()->field, pc::kProjectName);
    m.values().projectName = "x";
    m.values().projectType = 1;
    m.values().publisher.clear();
    EXPECT_FALSE(m.Check()) << "a project of another type is accepted after its name";
}

TEST_F(PropertiesTest, OkPutsTheFolderFirstIgnoringCaseAndStoresDefaultsWhenAsked) {
    for (const char* f : {"d:\\out", "C:\\b", "C:\\a"}) env->settings().RememberOutputFolder(f);
    ASSERT_EQ(env->settings().OutputFolders()[2], "d:\\out");
    ProjectPropertiesDialogModel m = New(1);
    m.values().createFolder = "D:\\Out";
    m.values().installSource = "Files";
    m.values().corporation = "Corp";
    EXPECT_FALSE(m.Ok());
    EXPECT_EQ(env->settings().OutputFolders(), (std::vector<std::string>{"D:\\Out", "C:\\a", "C:\\b"}));
    EXPECT_EQ(env->settings().ReadNewProjectDefaults().corporation, "") << "not without the box";
    m.storeDefaults = true;
    m.values().createFileNameOption = 2;
    EXPECT_FALSE(m.Ok());
    const NewProjectDefaults d = env->settings().ReadNewProjectDefaults();
    EXPECT_EQ(d.corporation, "Corp");
    EXPECT_EQ(d.folder, "D:\\Out");
    EXPECT_EQ(d.fileType, 1);
    EXPECT_EQ(d.lowerFileName, 2);
}

TEST_F(PropertiesTest, GuidShowsHintThreeOverANameAndKeepsTheNameWhenItFails) {
    ProjectPropertiesDialogModel m = New(2);
    EXPECT_TRUE(m.GenerateGuid());
    EXPECT_EQ(hints, std::vector<int>{3});
    EXPECT_EQ(m.values().projectName, *guid);
    guid.reset();
    EXPECT_FALSE(m.GenerateGuid());
    EXPECT_EQ(ui.messages(), std::vector<std::string>{S("GUIDの生成に失敗しました。")});
    EXPECT_EQ(m.values().projectName, "{0123ABCD-0000-4000-8000-00000000000F}");
    m.values().projectName.clear();
    hints.clear();
    guid = "{X}";
    m.GenerateGuid();
    EXPECT_TRUE(hints.empty()) << "no hint over an empty name";
    const std::optional<std::string> made = MakeGuidText();
    ASSERT_TRUE(made);
    EXPECT_EQ(made->size(), 38u);
    EXPECT_EQ((*made)[9], '-');
    EXPECT_EQ((*made)[15], '4');
    for (char c : *made) EXPECT_TRUE(std::string("{}-0123456789ABCDEF").find(c) != std::string::npos) << *made;
}

TEST_F(PropertiesTest, OpenFormReadsTheFileAndWritesEveryKeyBackInOrder) {
    const std::string path = Project("InstallerModuleLanguage=1033\nProjectType=1\n");
    TIniDocument doc = TIniDocument::OpenWindowsPath(path);
    ProjectCommands& commands = *new ProjectCommands({ui, env->settings(), env->paths(), kEditorFolder,
                                                      env->modules(), {}, {}, {}, {}});
    std::unique_ptr<ProjectCommands> owner(&commands);
    ASSERT_TRUE(commands.OpenProject(path, OpenOrigin::OpenDialog));
    ProjectPropertiesDialogModel m(Services(), doc, commands.project(), false);
    EXPECT_EQ(m.values().projectName, "A|B");
    EXPECT_EQ(m.values().publisher, "P,Q");
    EXPECT_EQ(m.values().createFileCompLevel, 1) << "the dialog's default";
    EXPECT_EQ(m.LanguageNames(), (std::vector<std::string>{S("日本語"), "English"}));
    EXPECT_EQ(m.language(), 1);
    EXPECT_FALSE(m.UndoEnabled());
    TIniDocument out;
    m.WriteTo(out);
    EXPECT_EQ(out.ReadSection("Project"),
              (std::vector<std::string>{"ProjectName", "CreateFolder", "CreateFileName", "InstallSource",
                                        "ProjectType", "CreateFileNameOption", "CreateFileType", "CreateFileCompLevel",
                                        "CreateFolderBeforeBackup", "InstallerModuleName", "InstallerModuleKey",
                                        "InstallerModuleLanguage"}));
    EXPECT_EQ(out.ReadSection("SupportInfo"), (std::vector<std::string>{"Publisher", "Corporation", "URLInfoAbout",
                                                                        "URLUpdateInfo", "HelpLink", "HelpTelephon"}));
    EXPECT_EQ(out.ReadString("Project", "ProjectName"), "A\x02" "B");
    EXPECT_EQ(out.ReadString("Project", "ProjectType"), "1") << "a reduced project keeps its type";
    EXPECT_EQ(out.ReadString("Project", "InstallerModuleLanguage"), "1033");
}

TEST_F(PropertiesTest, AModuleTheTableLacksIsShownAndKept) {
    const std::string path = Project();
    TIniDocument doc = TIniDocument::OpenWindowsPath(path);
    doc.WriteString("Project", "InstallerModuleName", "OLDSTYLE");
    doc.WriteString("Project", "InstallerModuleKey", "OLD_");
    doc.WriteInteger("Project", "InstallerModuleLanguage", 1031);
    TProjectInfo info = ReadProjectInfo(doc, false);
    ProjectPropertiesDialogModel m(Services(), doc, info, false);
    EXPECT_EQ(m.ModuleNames(), (std::vector<std::string>{S("モダンスタイル"), "OLDSTYLE"}));
    EXPECT_EQ(m.module(), 1);
    EXPECT_EQ(m.LanguageNames(), std::vector<std::string>{"1031"});
    EXPECT_FALSE(m.EditEnabled()) << "no language file to edit";
    TIniDocument out;
    m.WriteTo(out);
    EXPECT_EQ(out.ReadString("Project", "InstallerModuleName"), "OLDSTYLE");
    EXPECT_EQ(out.ReadString("Project", "InstallerModuleKey"), "OLD_");
    EXPECT_EQ(out.ReadInteger("Project", "InstallerModuleLanguage", 0), 1031);
    m.SelectModule(0);
    EXPECT_EQ(m.LanguageNames().size(), 2u);
    EXPECT_EQ(m.values().languageCode, 1041) << "choosing a module selects its first language";
}

TEST_F(PropertiesTest, PropertiesCommandWritesAfterOkAndNothingForAReadOnlyProject) {
    const std::string path = Project();
    MainWindowModel::Hooks hooks;
    std::function<bool(ProjectPropertiesDialogModel&)> dialog;
    hooks.propertiesDialog = [&](ProjectPropertiesDialogModel& m) { return dialog(m); };
    hooks.hintDialog = [&](HintDialogModel& h) { hints.push_back(h.index); };
    MainWindowModel main(ui, *env, hooks);
    ASSERT_TRUE(main.commands().OpenProject(path, OpenOrigin::OpenDialog));

    dialog = [](ProjectPropertiesDialogModel& m) {
        m.values().projectName = "Renamed";
        return !m.Ok();
    };
    EXPECT_TRUE(main.Properties());
    EXPECT_EQ(main.commands().project().projectName, "Renamed") << "TProjectInfo read again";
    EXPECT_EQ(hints, std::vector<int>{0}) << "an archive type";
    EXPECT_EQ(main.commands().projectPath(), path) << "the file keeps its name";

    const std::filesystem::path host = Host(path);
    ASSERT_TRUE(SetReadOnlyFile(host, true));
    std::ifstream before(host, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(before)), {});
    const auto time = std::filesystem::last_write_time(host);
    bool sawReadOnly = false;
    dialog = [&](ProjectPropertiesDialogModel& m) {
        sawReadOnly = m.readOnly();
        m.values().projectName = "Changed";
        return true;
    };
    EXPECT_FALSE(main.Properties());
    EXPECT_TRUE(sawReadOnly);
    std::ifstream after(host, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), {}), bytes);
    EXPECT_EQ(std::filesystem::last_write_time(host), time);
    SetReadOnlyFile(host, false);
}
