#include "zeriru/winpath_mapper.h"

#include "platform/hostfile.h"
#include "test_util.h"
#include "zeriru/project_commands.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace zeriru;

namespace {

// Z: is the host's root, so "Z:\tmp\..." names the test's folder.
std::string ZPath(const fs::path& host) {
    std::string text = "Z:" + host.string();
    for (char& c : text) {
        if (c == '/') c = '\\';
    }
    return text;
}

TEST(WinpathMapper, OpensAProjectByItsWindowsPathInAnyCase) {
    test::TempFolder temp;
    const fs::path host = temp.path / "Sub" / "Setup.PJ2";
    fs::create_directories(host.parent_path());
    ASSERT_TRUE(platform::WriteHostFileAtomic(host, "[Project]\r\nProjectName=s\r\nGenerator=DOZOZE 2.0\r\n"));
    WinpathMapper paths;
    EXPECT_EQ(paths.ToHost(ZPath(temp.path / "SUB" / "setup.pj2")), host);
    EXPECT_EQ(paths.ToHost("relative\\x"), std::nullopt);

    ScriptedUi ui;
    MemorySettingsStore store;
    EditorSettings settings(store, ZPath(temp.path) + "\\", ZPath(temp.path));
    ModuleTable modules;
    ProjectCommands commands({ui, settings, paths, ZPath(temp.path) + "\\", modules, {}, {}, {}, {}});
    const std::string path = ZPath(temp.path / "sub" / "SETUP.PJ2");
    ASSERT_TRUE(commands.OpenProject(path, OpenOrigin::OpenDialog));
    EXPECT_EQ(commands.project().projectFilePath, host);
    EXPECT_EQ(commands.project().projectName, "s");
    EXPECT_EQ(commands.Refresh().caption, "Raredovo - SETUP.PJ2");
}

}  // namespace
