// The bundled sample project built as every create type against the real archiver libraries,
// the shipped installer module and ROZIVU; the results are read back with the independent
// lha and cabextract tools and installed into the test's prefix.
#include "zeriru/build_installer.h"

#include "dialog_confirmer.h"  // a private window and mutex folder for this test process
#include "platform/pathtext.h"
#include "platform/registry.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "prefix_fixture.h"
#include "sfx/sfx_file.h"
#include "test_util.h"
#include "zeriru/application_window.h"
#include "zeriru/archive_control.h"
#include "zeriru/command_line.h"
#include "zeriru/defines.h"
#include "zeriru/ini_document.h"
#include "zeriru/platform_machine.h"
#include "zeriru/project_file.h"
#include "zeriru/ui.h"
#include "platform/shell.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <thread>

namespace fs = std::filesystem;
namespace wp = platform::winpath;
namespace sj = platform::sjis;
using namespace zeriru;
using archivers::testing::Quote;
using archivers::testing::ReadFile;
using archivers::testing::RunTool;

namespace {

const fs::path kShare = SUITE_SHARE_DIR;
const fs::path kSources = kShare / "samples" / "見本アプリ" / "ファイル";

class LibHost : public ArchiveHost {
public:
    explicit LibHost(std::string editor) : editor_(std::move(editor)) {}
    std::string EditorFolder() const override { return editor_; }
    std::filesystem::path LibraryFolder() const override { return REAL_ARCHIVERS_DIR; }

private:
    std::string editor_;
};

std::tm FixedTime() {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 9;
    t.tm_hour = 10;
    t.tm_min = 20;
    t.tm_sec = 30;
    return t;
}
constexpr const char* kStamp = "20261209_102030";

std::string Field(const TIniDocument& doc, const std::string& key, int n) {
    return DecodeProjectText(GetItemField(doc.ReadString("Files", key), n));
}

// The files of a folder (no sub-folders) by upper-case Shift-JIS name: lha writes names in
// lower case when they were all upper case.
std::map<std::string, std::string> FolderFiles(const fs::path& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.is_regular_file()) out[sj::ToUpper(e.path().filename().string())] = ReadFile(e.path());
    return out;
}

struct SampleBuildTest : PrefixTest {
    std::string editor;
    std::string project;
    std::string out = sj::S("C:\\見本出力");
    ScriptedUi ui;
    platform::registry::Registry* registry = nullptr;
    std::unique_ptr<platform::registry::Registry> registryOwner;
    std::unique_ptr<TPlatformMachine> machine;
    std::unique_ptr<LibHost> host;
    EditorOptions options;
    std::function<bool(const std::string&, const std::string&)> startProgram = [](const std::string&,
                                                                                  const std::string&) { return true; };

    void SetUp() override {
        PrefixTest::SetUp();
        std::string error;
        editor = ProvisionEditorFolder(kShare, {}, &error);
        ASSERT_FALSE(editor.empty()) << error;
        project = editor + sj::S("samples\\見本アプリ\\見本アプリ.PJ2");
        ASSERT_TRUE(wp::FileExists(project));
        registryOwner = std::make_unique<platform::registry::Registry>();
        machine = std::make_unique<TPlatformMachine>(*registryOwner);
        host = std::make_unique<LibHost>(editor);
        options.compressProgress = false;
    }

    BuildRequest Request(int type) const {
        BuildRequest r;
        r.projectFile = project;
        r.projectName = sj::S("見本アプリ");
        r.outputFolder = out;
        r.outputFileName = sj::S("見本アプリ_%VER_MAJOR%_%VER_MINOR%");
        r.createType = type;
        return r;
    }
    std::unique_ptr<TBuilder> Build(int type) {
        TBuilder::Environment env;
        env.ui = &ui;
        env.machine = machine.get();
        env.options = options;
        env.editorFolder = editor;
        env.archiveHost = host.get();
        env.clock = FixedTime;
        env.startProgram = startProgram;
        auto builder = std::make_unique<TBuilder>(env);
        if (type == kCreateFolder) ui.QueueAnswer(Answer::Yes);
        builder->BuildInstaller(Request(type));
        std::string lines;
        for (const auto& m : builder->Messages()) lines += sj::ToUtf8(m.text) + "\n";
        EXPECT_EQ(builder->Result().warnings, 0) << lines;
        return builder;
    }
    fs::path Host(const std::string& windows) const {
        const auto p = wp::ToHostPath(windows);
        return p ? *p : fs::path();
    }
    fs::path Output(const char* extension) const { return Host(out + sj::S("\\見本アプリ_1_0") + extension); }

    // What an archive build stages, flat, by upper-case name.
    std::map<std::string, std::string> StagedFlat() const {
        return {
            {"INSTALL.EXE", ReadFile(kShare / "Module" / "ZU_VAZUZA.DAT")},
            {sj::S("見本.EXE"), ReadFile(kSources / "見本.exe")},
            {sj::S("はじめにお読みください.TXT"), ReadFile(kSources / "はじめにお読みください.txt")},
            {sj::S("はじめにお読みください1.TXT"), ReadFile(kSources / "資料" / "はじめにお読みください.txt")},
            {sj::S("使い方.TXT"), ReadFile(kSources / "資料" / "使い方.txt")},
            {sj::S("設定.INI"), ReadFile(kSources / "設定.ini")},
        };
    }
    // Extracted files equal the staged ones; INSTALL.DAT is checked on its own.
    void ExpectStagedFlat(std::map<std::string, std::string> files) {
        ASSERT_TRUE(files.count("INSTALL.DAT"));
        TIniDocument dat;
        dat.LoadFromText(files["INSTALL.DAT"]);
        ExpectDataFile(dat, false);
        files.erase("INSTALL.DAT");
        const auto staged = StagedFlat();
        ASSERT_EQ(files.size(), staged.size());
        for (const auto& [name, bytes] : staged) {
            ASSERT_TRUE(files.count(name)) << sj::ToUtf8(name);
            EXPECT_TRUE(files[name] == bytes) << sj::ToUtf8(name);
        }
    }

    // INSTALL.DAT field by field.
    void ExpectDataFile(const TIniDocument& dat, bool folderBuild) {
        const std::string readme = sj::S("はじめにお読みください.txt");
        struct Item {
            const char* key;
            const char* define;
            const char* sub;
            std::string field5, field7;
        } items[] = {
            {"0", "%InstallDir%", "", sj::S("見本.exe"), ""},
            {"1", "%InstallDir%", "", readme, ""},
            {"2", "%InstallDir%", "資料", folderBuild ? readme : sj::S("はじめにお読みください1.txt"),
             folderBuild ? "" : readme},
            {"3", "%InstallDir%", "資料", sj::S("使い方.txt"), ""},
            {"4", "%AppDataDir%", "見本アプリ", sj::S("設定.ini"), ""},
        };
        for (const auto& item : items) {
            SCOPED_TRACE(item.key);
            EXPECT_EQ(Field(dat, item.key, 2), "0");
            EXPECT_EQ(Field(dat, item.key, 3), item.define);
            EXPECT_EQ(Field(dat, item.key, 4), sj::S(item.sub));
            EXPECT_EQ(Field(dat, item.key, 5), item.field5);
            EXPECT_EQ(Field(dat, item.key, 7), item.field7);
            EXPECT_EQ(GetItemField(dat.ReadString("Files", item.key), 20), "");  // rewritten: twenty fields
        }
        EXPECT_EQ(Field(dat, "5", 2), "1");
        EXPECT_EQ(Field(dat, "5", 4), sj::S("データ"));
        EXPECT_FALSE(dat.ValueExists("Files", "6"));

        for (const char* key : {"CreateDateTime", "UpdateDateTime", "CreateFolder", "CreateFileName",
                                "CreateFileAddVersionInfo", "CreateFileNameOption", "CreateFileCompLevel",
                                "InstallerModuleName", "InstallerModuleLanguage"})
            EXPECT_FALSE(dat.ValueExists("Project", key)) << key;
        EXPECT_EQ(dat.ValueExists("Project", "InstallSource"), folderBuild);
        EXPECT_EQ(dat.ReadString("Project", "ProjectName"), sj::S("見本アプリ"));
        EXPECT_FALSE(dat.SectionExists("ButtonStatus"));
        EXPECT_FALSE(dat.ValueExists("Software", "FolderWinXP"));
        EXPECT_FALSE(dat.ValueExists("ProgramSetting", "CheckBoxCaption"));
        EXPECT_FALSE(dat.ValueExists("ProgramSetting", "DefaultCheckBoxState"));
        EXPECT_TRUE(dat.ValueExists("Software", "LogoFileName"));
        EXPECT_EQ(dat.ReadString("Software", "LogoFileName"), "");
        EXPECT_EQ(dat.ReadString("Software", "SoftName"), sj::S("見本アプリ"));

        EXPECT_EQ(dat.ReadString("Control_Info", "LocalID"), "1041");
        EXPECT_EQ(dat.ReadString("Control_Info", "DefaultLocalID"), "1041");
        const TIniDocument lng(kShare / "Module" / "ZU_VAZUZA.LNG");
        for (const char* key : {"Charset", "FontSize", "FontName", "FontNameF", "0", "100", "502", "1200"})
            EXPECT_EQ(dat.ReadString("ResourceString_1041", key), lng.ReadString("ResourceString_1041", key)) << key;
        EXPECT_FALSE(dat.ValueExists("ResourceString_1041", "LanguageName"));
    }

    // The private folder a self-extractor made for "%WORK%\DOZOZE\<stamp>": that name, "." and a
    // unique part.
    fs::path ExtractionFolder() const {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(root_ / "tmp" / "DOZOZE", ec))
            if (e.path().filename().string().rfind(std::string(kStamp) + ".", 0) == 0) return e.path();
        return {};
    }
    // Runs a program with the test's prefix and temporary folder; returns its exit code.
    int RunInstallerProgram(const fs::path& program, const std::string& arguments, std::string* output) {
        fs::create_directories(root_ / "tmp");
        return RunTool("TMPDIR=" + Quote(root_ / "tmp") + " " + Quote(program) + " " + arguments + " </dev/null",
                       output);
    }

    // The sample's files arrived in the prefix, the two readme files each in its folder, and
    // the record names them.
    void ExpectInstalled() {
        const std::string app = sj::S("C:\\Program Files\\見本アプリ");
        const std::string appData = ExpandDefineValue("%AppDataDir%", *machine);
        ASSERT_FALSE(appData.empty());
        struct Installed {
            std::string path;
            fs::path source;
        } installed[] = {
            {app + sj::S("\\見本.exe"), kSources / "見本.exe"},
            {app + sj::S("\\はじめにお読みください.txt"), kSources / "はじめにお読みください.txt"},
            {app + sj::S("\\資料\\はじめにお読みください.txt"), kSources / "資料" / "はじめにお読みください.txt"},
            {app + sj::S("\\資料\\使い方.txt"), kSources / "資料" / "使い方.txt"},
            {appData + sj::S("\\見本アプリ\\設定.ini"), kSources / "設定.ini"},
        };
        const TIniDocument record = TIniDocument::OpenWindowsPath(app + "\\Install.dat");
        // The five files first; the shortcuts (kind S) follow them.
        ASSERT_GE(record.EntryCount("Files"), 5u);
        EXPECT_EQ(GetItemField(record.ReadString("Files", "5"), 4), "S");
        for (std::size_t i = 0; i < 5; ++i) {
            SCOPED_TRACE(sj::ToUtf8(installed[i].path));
            EXPECT_TRUE(wp::ReadWholeFile(installed[i].path) == ReadFile(installed[i].source));
            EXPECT_EQ(DecodeProjectText(GetItemField(record.ReadString("Files", std::to_string(i)), 1)),
                      installed[i].path);
        }
        EXPECT_TRUE(wp::DirectoryExists(app + sj::S("\\データ")));
    }

    // The sample's shortcut (read by lnkinfo), registry value and INI entry.
    void ExpectShortcutRegistryAndIni() {
        const std::string app = sj::S("C:\\Program Files\\見本アプリ");
        const std::string link = machine->ShellFolder(1, false) + sj::S("\\見本アプリ\\見本アプリ.lnk");
        std::string info;
        ASSERT_EQ(RunTool("lnkinfo " + Quote(Host(link)), &info), 0) << info;
        EXPECT_NE(info.find("Local path\t\t\t: " + sj::ToUtf8(app) + "\\見本.exe\n"), std::string::npos) << info;
        EXPECT_NE(info.find("Description\t\t\t: 見本アプリを起動します\n"), std::string::npos) << info;
        EXPECT_TRUE(wp::FileExists(machine->ShellFolder(0, false) + sj::S("\\見本アプリ.lnk")));
        EXPECT_EQ(registryOwner->GetString(platform::registry::Root::CurrentUser, sj::S("Software\\見本工房\\見本アプリ"),
                                           "InstallDir"),
                  app);
        EXPECT_EQ(machine->ReadIni(app + sj::S("\\見本.ini"), sj::S("設定"), sj::S("言語")), sj::S("日本語"));
    }

    // Every folder and file of the prefix with its bytes; the host's temporary folder and the
    // editor's log aside.
    std::map<std::string, std::string> PrefixState() const {
        std::map<std::string, std::string> out;
        for (auto it = fs::recursive_directory_iterator(root_); it != fs::recursive_directory_iterator(); ++it) {
            const std::string rel = it->path().lexically_relative(root_).string();
            if (rel == "tmp" || rel == "drive_c/Program Files/Zuzoruve/log") {
                it.disable_recursion_pending();
                continue;
            }
            out[rel] = it->is_directory() ? "<dir>" : ReadFile(it->path());
        }
        return out;
    }

    // Installs with the program, checks every record kind arrived, uninstalls with the command
    // the uninstall key names and compares the prefix with its state before.
    void InstallCheckAndUninstall(const fs::path& program) {
        std::string error;
        ASSERT_TRUE(platform::shell::ProvisionPrefix(&error)) << error;  // as the module finds it
        const auto before = PrefixState();
        std::string output;
        ASSERT_EQ(RunInstallerProgram(program, "/S", &output), 0) << output;
        EXPECT_NE(output.find("見本アプリ のインストールが完了しました。"), std::string::npos) << output;
        ExpectInstalled();
        ExpectShortcutRegistryAndIni();
        const std::string command = registryOwner->GetString(
            platform::registry::Root::LocalMachine,
            sj::S("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\見本アプリ"), "UninstallString");
        const auto args = platform::shell::SplitCommandLine(command);
        ASSERT_EQ(args.size(), 3u) << sj::ToUtf8(command);
        ASSERT_EQ(RunTool(Quote(Host(args[0])) + " /U " + Quote(sj::ToUtf8(args[2])) + " /S </dev/null", &output), 0)
            << output;
        const auto after = PrefixState();
        std::string differences;
        for (const auto& [path, bytes] : after)
            if (!before.count(path) || before.at(path) != bytes) differences += "added or changed: " + path + "\n";
        for (const auto& [path, bytes] : before)
            if (!after.count(path)) differences += "removed: " + path + "\n";
        EXPECT_EQ(differences, "") << output;
    }
};

TEST_F(SampleBuildTest, CopyToFolderStagesByDefineFolderAndTheModuleInstallsIt) {
    Build(kCreateFolder);
    const fs::path dir = Host(out);
    EXPECT_TRUE(ReadFile(dir / "INSTALL.EXE") == ReadFile(kShare / "Module" / "ZU_VAZUZA.DAT"));
    struct Staged {
        fs::path at, source;
    } staged[] = {
        {"Files/見本.exe", kSources / "見本.exe"},
        {"Files/はじめにお読みください.txt", kSources / "はじめにお読みください.txt"},
        {"Files/資料/はじめにお読みください.txt", kSources / "資料" / "はじめにお読みください.txt"},
        {"Files/資料/使い方.txt", kSources / "資料" / "使い方.txt"},
        {"Files/AppDataDir/見本アプリ/設定.ini", kSources / "設定.ini"},
    };
    for (const auto& s : staged) EXPECT_TRUE(ReadFile(dir / s.at) == ReadFile(s.source)) << s.at;
    ExpectDataFile(TIniDocument(dir / "INSTALL.DAT"), true);

    InstallCheckAndUninstall(dir / "INSTALL.EXE");
}

TEST_F(SampleBuildTest, ArchivesHoldTheStagedFilesForLhaAndCabextract) {
    Build(kCreateLha);
    Build(kCreateCab);
    ASSERT_TRUE(fs::exists(Output(".lzh")));
    ASSERT_TRUE(fs::exists(Output(".cab")));
    const fs::path lha = root_ / "x_lha", cab = root_ / "x_cab";
    fs::create_directories(lha);
    fs::create_directories(cab);
    std::string output;
    ASSERT_EQ(RunTool("cd " + Quote(lha) + " && lha xq " + Quote(Output(".lzh")), &output), 0) << output;
    ASSERT_EQ(RunTool("cabextract -q -d " + Quote(cab) + " " + Quote(Output(".cab")), &output), 0) << output;
    {
        SCOPED_TRACE("lha");
        ExpectStagedFlat(FolderFiles(lha));
    }
    {
        SCOPED_TRACE("cabextract");
        ExpectStagedFlat(FolderFiles(cab));
    }
    // The module installs from what the archiver libraries extract (the stand-in of the tool
    // a user extracts with; lha and cabextract keep the Shift-JIS names as host names).
    struct Extraction {
        const char* library;
        const char* entry;
        std::string command;
        fs::path folder;
    } extractions[] = {
        {"libunlha32.so", "Unlha", "x \"" + Output(".lzh").string() + "\" \"" + (root_ / "i_lha").string() + "\\\"",
         root_ / "i_lha"},
        {"libcab32.so", "Cab", "-x \"" + Output(".cab").string() + "\" \"" + (root_ / "i_cab").string() + "\\\"",
         root_ / "i_cab"},
    };
    for (const Extraction& x : extractions) {
        SCOPED_TRACE(x.library);
        fs::create_directories(x.folder);
        void* library = ::dlopen((fs::path(REAL_ARCHIVERS_DIR) / x.library).c_str(), RTLD_NOW);
        ASSERT_NE(library, nullptr) << ::dlerror();
        using Entry = int (*)(void*, const char*, char*, std::uint32_t);
        const auto entry = reinterpret_cast<Entry>(::dlsym(library, x.entry));
        ASSERT_NE(entry, nullptr);
        char answer[512] = {};
        ASSERT_EQ(entry(nullptr, sj::FromUtf8(x.command).c_str(), answer, sizeof answer), 0) << sj::ToUtf8(answer);
        fs::permissions(x.folder / "INSTALL.EXE", fs::perms::owner_exec, fs::perm_options::add);
        InstallCheckAndUninstall(x.folder / "INSTALL.EXE");
    }
    EXPECT_FALSE(wp::FileExists(editor + "Temporary"));
}

TEST_F(SampleBuildTest, LhaSelfExtractorCarriesTheDirectivesAndRunsTheModule) {
    Build(kCreateLhaSfx);
    const fs::path exe = Output(".exe");
    ASSERT_TRUE(fs::exists(exe));
    EXPECT_FALSE(fs::exists(Output(".lzh")));

    // The archive inside the program, read by lha: the staged files and the directive file.
    std::FILE* f = std::fopen(exe.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    archivers::sfx::Layout layout;
    std::string error;
    const bool read = archivers::sfx::ReadLayout(f, &layout, &error);
    std::fclose(f);
    ASSERT_TRUE(read) << error;
    const std::string whole = ReadFile(exe);
    archivers::testing::WriteFile(root_ / "inner.lzh", whole.substr(layout.archiveOffset, layout.archiveSize));
    const fs::path x = root_ / "x";
    fs::create_directories(x);
    std::string output;
    ASSERT_EQ(RunTool("cd " + Quote(x) + " && lha xq " + Quote(root_ / "inner.lzh"), &output), 0) << output;
    auto files = FolderFiles(x);
    const std::string d = std::string("%WORK%\\DOZOZE\\") + kStamp;
    EXPECT_EQ(files["$"], "$Command=" + d + "\\install.exe\r\n$WindowTitle=Preparing...\r\n"
                              "$InstallTitle=Extract Directory\r\n$InstallDir=" + d + "\r\n"
                              "$ECommand=" + d + "\\install.exe\r\n$EWindowTitle=Preparing...\r\n"
                              "$EInstallTitle=Extract Directory\r\n$EInstallDir=" + d + "\r\n$Flag=31\r\n");
    files.erase("$");
    ExpectStagedFlat(files);

    InstallCheckAndUninstall(exe);
    EXPECT_TRUE(fs::exists(ExtractionFolder() / "INSTALL.DAT"));
}

TEST_F(SampleBuildTest, CabSelfExtractorFilledByRozivuRunsTheModule) {
    ApplicationWindow window;  // ROZIVU works while the editor's window exists
    ASSERT_TRUE(window.ok()) << window.error();
    pid_t helper = -1;
    std::string started;
    startProgram = [&](const std::string& program, const std::string& stamp) {
        started = program + " " + stamp;
        helper = ::fork();
        if (helper == 0) {
            ::execl(ROZIVU_EXE, "rozivu", stamp.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return helper > 0;
    };
    Build(kCreateCabSfx);
    if (helper > 0) {
        // Closed windows end the helper within a poll step; it is not left behind either way.
        int status = 0;
        ::kill(helper, SIGTERM);
        ::waitpid(helper, &status, 0);
    }
    EXPECT_EQ(started, editor + "ROZIVU.EXE " + kStamp);
    const fs::path exe = Output(".exe");
    ASSERT_TRUE(fs::exists(exe));
    EXPECT_FALSE(fs::exists(Output(".cab")));

    InstallCheckAndUninstall(exe);
    EXPECT_TRUE(fs::exists(ExtractionFolder() / "INSTALL.EXE"));
}

TEST_F(SampleBuildTest, VersionFromTheMainFileNamesTheOutput) {
    options.autoUpdateVersion = true;
    auto builder = Build(kCreateLha);
    EXPECT_EQ(sj::ToUtf8(builder->Messages().front().text), "メインファイルのバージョンを取得しています。");
    const TIniDocument doc = TIniDocument::OpenWindowsPath(project);
    EXPECT_EQ(doc.ReadString("Software", "MajorVersion"), "2");
    EXPECT_EQ(doc.ReadString("Software", "MinorVersion"), "1");
    EXPECT_EQ(doc.ReadString("Software", "ReleaseVersion"), "0");
    EXPECT_EQ(doc.ReadString("Software", "BuildVersion"), "5");
    EXPECT_TRUE(fs::exists(Host(out + sj::S("\\見本アプリ_2_1.lzh"))));
}

}  // namespace
