#include "zeriru/file_services.h"

#include "fake_machine.h"
#include "platform/hostfile.h"
#include "platform/sjis.h"
#include "platform/pathtext.h"
#include "platform/winfile.h"
#include "platform/winpath.h"
#include "test_util.h"
#include "zeriru/ui.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace fs = std::filesystem;
namespace wp = platform::winpath;
using namespace zeriru;
using platform::sjis::S;

namespace {

// A temporary folder addressed by its Windows path (Z:\tmp\...).
class FileServices : public ::testing::Test {
protected:
    test::TempFolder dir;
    std::string root;  // Windows path of dir
    void SetUp() override {
        root = wp::ToWindowsPath(dir.path);
        ASSERT_FALSE(root.empty());
    }
    std::string W(std::string_view name) const { return wp::JoinPath(root, name); }
    void Make(std::string_view name, std::string_view content) {
        ASSERT_TRUE(wp::WriteWholeFile(W(name), content)) << platform::sjis::ToUtf8(name);
    }
};

TEST_F(FileServices, UniqueFileNameCountsBeforeTheExtension) {
    Make("a.txt", "x");
    Make("A1.TXT", "x");  // names ignore case
    EXPECT_EQ(UniqueFileName(root, "a.txt"), "a2.txt");
    EXPECT_EQ(UniqueFileName(root, "b.txt"), "b.txt");
    Make(S("表.dat"), "x");
    EXPECT_EQ(UniqueFileName(root, S("表.dat")), S("表1.dat"));
}

TEST_F(FileServices, SizesAttributesAndDrives) {
    Make("five.bin", "12345");
    wp::CreateDirectory(W("sub"));
    EXPECT_EQ(FileSize(W("five.bin")), 5u);
    EXPECT_EQ(FileSize(W("sub")), 0u);
    EXPECT_EQ(FileSize(W("missing")), 0u);
    EXPECT_TRUE(HasAttribute(W("sub"), kAttributeFolder));
    EXPECT_FALSE(HasAttribute(W("five.bin"), kAttributeFolder));
    EXPECT_FALSE(HasAttribute(W("missing"), 0xFFFF));
    ASSERT_TRUE(wp::SetFileAttributes(W("five.bin"), wp::kAttrHidden));
    EXPECT_TRUE(HasAttribute(W("five.bin"), wp::kAttrHidden | wp::kAttrSystem));
    EXPECT_EQ(DriveOfPath("c:\\x"), 3);
    EXPECT_EQ(DriveOfPath("Z:"), 26);
    EXPECT_EQ(DriveOfPath("\\\\srv\\share"), 0);
    EXPECT_EQ(DriveOfPath(S("表:")), 0);
    EXPECT_GT(FreeSpaceOfDrive(root), 0u);
}

TEST_F(FileServices, CopyKeepsTimeAndSetsAttributes) {
    std::string big(3 * kCopyBlockSize + 17, 'q');
    Make("src.dat", big);
    const std::uint64_t stamp = wp::kFileTimeOfUnixEpoch + 1234567890ull * 10000000ull;
    ASSERT_TRUE(wp::SetLastWriteTime(W("src.dat"), stamp));
    ASSERT_TRUE(wp::SetFileAttributes(W("src.dat"), wp::kAttrSystem | wp::kAttrArchive));
    int pumped = 0;
    ASSERT_TRUE(CopyFileKeepTime(W("src.dat"), W("given.dat"), wp::kAttrHidden, [&] { ++pumped; }));
    EXPECT_GE(pumped, 3);
    EXPECT_EQ(wp::ReadWholeFile(W("given.dat")).value(), big);
    EXPECT_EQ(wp::GetLastWriteTime(W("given.dat")).value(), stamp);
    EXPECT_EQ(wp::GetFileAttributes(W("given.dat")), wp::kAttrHidden);
    ASSERT_TRUE(CopyFileKeepTime(W("src.dat"), W("same.dat"), kKeepSourceAttributes));
    EXPECT_EQ(wp::GetFileAttributes(W("same.dat")), wp::kAttrSystem | wp::kAttrArchive);
    EXPECT_FALSE(CopyFileKeepTime(W("missing.dat"), W("x.dat"), kKeepSourceAttributes));
    EXPECT_FALSE(CopyFileKeepTime(W("src.dat"), W("no\\such\\folder\\x.dat"), kKeepSourceAttributes));
    // Into a folder: the source's name.
    wp::CreateDirectory(W("into"));
    ASSERT_TRUE(CopyFileInto(W("src.dat"), W("into")));
    EXPECT_EQ(wp::GetLastWriteTime(W("into\\src.dat")).value(), stamp);
    ASSERT_TRUE(CopyFileInto(W("src.dat"), W("into\\renamed.dat")));
    EXPECT_TRUE(wp::FileExists(W("into\\renamed.dat")));
}

TEST_F(FileServices, CopyFolderTreeCopiesEverythingButLinks) {
    wp::CreateDirectoryTree(W(S("src\\表\\deep")));
    Make(S("src\\表\\deep\\a.txt"), "a");
    Make("src\\b.txt", "b");
    ASSERT_TRUE(wp::SetFileAttributes(W("src\\b.txt"), wp::kAttrReadOnly));
    // A link back up the tree must not make the copy endless.
    fs::create_directory_symlink(dir.path / "src", dir.path / "src" / "loop");
    ASSERT_TRUE(CopyFolderTree(W("src"), W("dst\\copy")));
    EXPECT_EQ(wp::ReadWholeFile(W(S("dst\\copy\\表\\deep\\a.txt"))).value(), "a");
    EXPECT_TRUE(HasAttribute(W("dst\\copy\\b.txt"), wp::kAttrReadOnly));
    EXPECT_FALSE(wp::FileExists(W("dst\\copy\\loop")));
    EXPECT_FALSE(CopyFolderTree(W("missing"), W("dst2")));
    ASSERT_TRUE(wp::SetFileAttributes(W("src\\b.txt"), wp::kAttrNormal));
}

TEST_F(FileServices, ProtectedFoldersAndDeleteFolderTree) {
    test::FakeMachine m;
    m.shell[{0, false}] = W("Desktop");
    m.shell[{7, true}] = W("Docs");
    EXPECT_TRUE(IsProtectedFolder(W("desktop\\"), 255, m));
    EXPECT_FALSE(IsProtectedFolder(W("Desktop\\sub"), 255, m));
    EXPECT_FALSE(IsProtectedFolder(W("Desktop"), 1 | 2, m));
    EXPECT_TRUE(IsProtectedFolder(W("DOCS"), 4, m));
    EXPECT_TRUE(IsProtectedFolder("d:\\", 1, m));
    EXPECT_FALSE(IsProtectedFolder("d:\\", 2 | 4, m));
    EXPECT_TRUE(IsProtectedFolder("c:\\windows\\SYSTEM32", 2, m));
    EXPECT_FALSE(IsProtectedFolder("c:\\windows\\SYSTEM32\\drivers", 255, m));

    wp::CreateDirectoryTree(W("Desktop\\sub\\deeper"));
    Make("Desktop\\keep.txt", "k");
    Make("Desktop\\sub\\deeper\\ro.txt", "r");
    ASSERT_TRUE(wp::SetFileAttributes(W("Desktop\\sub\\deeper\\ro.txt"), wp::kAttrReadOnly | wp::kAttrHidden));
    Make("outside.txt", "o");
    fs::create_symlink(dir.path / "outside.txt", dir.path / "Desktop" / "sub" / "link.txt");
    fs::create_directory_symlink(dir.path, dir.path / "Desktop" / "sub" / "uplink");

    EXPECT_FALSE(DeleteFolderTree(W("Desktop"), m));  // protected
    EXPECT_TRUE(wp::FileExists(W("Desktop\\keep.txt")));
    int pumped = 0;
    EXPECT_TRUE(DeleteFolderTree(W("Desktop\\sub"), m, [&] { ++pumped; }));
    EXPECT_GT(pumped, 0);
    EXPECT_FALSE(wp::FileExists(W("Desktop\\sub")));
    // Links were removed as links: what they pointed at is still there.
    EXPECT_EQ(wp::ReadWholeFile(W("outside.txt")).value(), "o");
    EXPECT_TRUE(wp::FileExists(W("Desktop\\keep.txt")));
}

TEST_F(FileServices, RunAndWaitAndShellErrors) {
    EXPECT_EQ(ShellErrorText(2), "File not found.");
    EXPECT_EQ(ShellErrorText(3), "Path not found.");
    EXPECT_EQ(ShellErrorText(5), "Access denied.");
    EXPECT_EQ(ShellErrorText(8), "Out of memory.");
    EXPECT_EQ(ShellErrorText(32), "Dynamic-link library not found.");
    EXPECT_EQ(ShellErrorText(0), "");

    const std::string bin = wp::ToWindowsPath("/bin");
    ASSERT_FALSE(bin.empty());
    ScriptedUi ui;
    int exitCode = -1;
    // Direct: folder, "\", program, blank, parameters as one command line.
    ASSERT_TRUE(RunAndWait("sh", "-c \"sleep 0.2; exit 3\"", bin, true, ui, &exitCode));
    EXPECT_EQ(exitCode, 3);
    EXPECT_GT(ui.processMessagesCalls(), 0);
    ASSERT_TRUE(RunAndWait("sh", "-c \"exit 4\"", bin, false, ui, &exitCode));
    EXPECT_EQ(exitCode, 4);
    EXPECT_TRUE(ui.messages().empty());
    EXPECT_FALSE(RunAndWait("no-such-program", "", bin, true, ui));
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0], "File not found.");
}

TEST_F(FileServices, OpenWithShellStartsAProgramWithoutWaiting) {
    // A program that leaves a mark naming its argument and its folder.
    Make("mark.sh", "#!/bin/sh\necho \"$1 $(pwd)\" > mark.txt.tmp && mv mark.txt.tmp mark.txt\n");
    fs::permissions(dir.path / "mark.sh", fs::perms::owner_all);
    ASSERT_TRUE(OpenWithShell("mark.sh", "\"hello\"", root));
    // Started, not waited for: wait here for its mark (bounded, no timing asserted).
    for (int i = 0; i < 200 && !fs::exists(dir.path / "mark.txt"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(wp::ReadWholeFile(W("mark.txt")).value_or(""), "hello " + dir.path.string() + "\n");
}

}  // namespace
