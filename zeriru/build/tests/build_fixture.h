// The build's test bench: a fresh prefix with an editor folder (C:\editor\, its module
// program and language file), three source files below C:\src, a project C:\proj\sample.PJ2
// written from the test's items and sections, and the real archiver libraries.
#pragma once

#include "platform/pathtext.h"
#include "platform/sjis.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "prefix_fixture.h"
#include "zeriru/archive_control.h"
#include "zeriru/build_installer.h"
#include "zeriru/build_machine.h"
#include "zeriru/ini_document.h"
#include "zeriru/project_file.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <string_view>
#include <string>
#include <vector>

namespace zeriru::test {

namespace wp = platform::winpath;
using platform::sjis::S;

// A machine for DeleteFolderTree's protected-folder rule: nothing in the test's folders is
// protected.
class PlainMachine : public TBuildMachine {
public:
    std::string WindowsFolder() override { return "C:\\windows"; }
    std::string SystemFolder() override { return "C:\\windows\\system32"; }
    std::string TempFolder() override { return "C:\\temp"; }
    std::string ProgramFilesFolder() override { return "C:\\Program Files"; }
    std::string DosCommandFolder() override { return "C:\\windows"; }
    std::string ShellFolder(int, bool) override { return {}; }
    std::string ComputerName() override { return "PC"; }
    std::string UserName() override { return "user"; }
    std::optional<std::string> Environment(std::string_view) override { return std::nullopt; }
    std::optional<RegistryValue> ReadRegistry(std::string_view, std::string_view, std::string_view) override {
        return std::nullopt;
    }
    std::optional<std::string> ReadIni(std::string_view, std::string_view, std::string_view) override {
        return std::nullopt;
    }
    bool DriveExists(char) override { return true; }
    bool IsCdromDrive(char) override { return false; }
    bool FileExists(std::string_view path) override { return wp::FileExists(path); }
    std::string CurrentDate() override { return "2026/12/09"; }
    std::string CurrentTime() override { return "07:00:00"; }
};

class LibHost : public ArchiveHost {
public:
    std::string EditorFolder() const override { return "C:\\editor\\"; }
    std::filesystem::path LibraryFolder() const override { return REAL_ARCHIVERS_DIR; }
};

// Standard output of a host shell command.
inline std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    ::pclose(pipe);
    return out;
}

inline std::tm FixedTime() {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 9;
    t.tm_hour = 7;
    t.tm_min = 5;
    t.tm_sec = 3;
    return t;
}

struct BuildTest : ::PrefixTest {
    ScriptedUi ui;
    PlainMachine machine;
    LibHost host;
    EditorOptions options;
    std::string project = "C:\\proj\\sample.PJ2";
    std::vector<std::string> fileItems;
    std::string extraSections;
    std::string software = "InstallerTitle=Title\r\nSoftName=App\r\nCopyright=(c)\r\nMajorVersion=3\r\n";

    void SetUp() override {
        PrefixTest::SetUp();
        Put("C:\\editor\\Module\\ZU_VAZUZA.DAT", "module-program");
        Put("C:\\editor\\Module\\ZU_VAZUZA.LNG", "[ResourceString_1041]\r\nCharset=128\r\n100=ja\r\n");
        Put("C:\\src\\a\\readme.txt", "first readme");
        Put("C:\\src\\b\\readme.txt", "second readme");
        Put("C:\\src\\app.exe", "program bytes");
    }
    static void Put(const std::string& path, const std::string& bytes) {
        ASSERT_TRUE(wp::CreateDirectoryTree(wp::FolderOf(path)));
        ASSERT_TRUE(wp::WriteWholeFile(path, bytes));
    }
    static std::string Get(const std::string& path) { return wp::ReadWholeFile(path).value_or("<missing>"); }
    static std::string FileItem(const std::string& define, const std::string& sub, const std::string& source) {
        return "1|0|" + define + "|" + sub + "|" + source + "|";
    }
    void WriteProject(int createType) {
        std::string text = "[Project]\r\nGenerator=DOZOZE 2.0\r\nProjectName=sample\r\nCreateFolder=C:\\out\r\n"
                           "CreateFileName=setup%VER_MAJOR%\r\nCreateFileType=" +
                           std::to_string(createType) +
                           "\r\nInstallSource=Files\r\nCreateDateTime=x\r\nProjectData=y\r\n"
                           "[Software]\r\n" +
                           software + "[ButtonStatus]\r\n1=x\r\n[Files]\r\n";
        for (std::size_t i = 0; i < fileItems.size(); ++i) text += std::to_string(i) + "=" + fileItems[i] + "\r\n";
        text += extraSections;
        Put(project, text);
    }
    TBuilder::Environment Env() {
        TBuilder::Environment env;
        env.ui = &ui;
        env.machine = &machine;
        env.options = options;
        env.editorFolder = "C:\\editor\\";
        env.archiveHost = &host;
        env.clock = FixedTime;
        env.startProgram = [this](const std::string& program, const std::string& parameters) {
            started.push_back(program + " " + parameters);
            return true;
        };
        return env;
    }
    BuildRequest Request(int type) {
        BuildRequest r;
        r.projectFile = project;
        r.projectName = "sample";
        r.outputFolder = "C:\\out";
        r.outputFileName = "setup%VER_MAJOR%";
        r.createType = type;
        return r;
    }
    static std::vector<std::string> Texts(const TBuilder& b) {
        std::vector<std::string> out;
        for (const auto& m : b.Messages()) out.push_back(m.text);
        return out;
    }
    static int Count(const TBuilder& b, BuildEntryKind kind) {
        int n = 0;
        for (const auto& m : b.Messages()) n += m.kind == kind;
        return n;
    }
    static std::vector<const BuildMessage*> Errors(const TBuilder& b) {
        std::vector<const BuildMessage*> out;
        for (const auto& m : b.Messages())
            if (m.kind == BuildEntryKind::Error) out.push_back(&m);
        return out;
    }
    static bool Listed(const TBuilder& b, const std::string& text) {
        for (const auto& m : b.Messages())
            if (m.text == text) return true;
        return false;
    }
    // What a build leaves for the installer holds no editor key and only staged items: every
    // file item names a file beside it (field 5 without a folder), never a source path.
    static void ExpectCleanDataFile(const std::string& path) {
        SCOPED_TRACE(path);
        const TIniDocument dat = TIniDocument::OpenWindowsPath(path);
        ASSERT_FALSE(dat.LoadFailed());
        for (const char* key : {"CreateDateTime", "UpdateDateTime", "CreateFolder", "CreateFileName", "ProjectData",
                                "InstallerModuleName", "CreateFileCompLevel"})
            EXPECT_FALSE(dat.ValueExists("Project", key)) << key;
        EXPECT_FALSE(dat.SectionExists("ButtonStatus"));
        for (const auto& [key, record] : dat.ReadSectionValues("Files")) {
            if (GetItemFieldInt(record, 2, -1) != 0) continue;
            EXPECT_EQ(platform::sjis::FindChar(GetItemField(record, 5), '\\'), platform::sjis::npos)
                << "not staged: " << record;
        }
    }
    std::vector<std::string> started;
};


}  // namespace zeriru::test
