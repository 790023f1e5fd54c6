#include "platform/winfile.h"

#include "platform/hostfile.h"
#include "platform/winpath.h"
#include "prefix_fixture.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <sys/xattr.h>

#include <fstream>

namespace fs = std::filesystem;
using namespace platform::winpath;

namespace {

bool HostExists(const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

std::vector<std::string> Names(const std::vector<FindData>& found) {
    std::vector<std::string> names;
    for (const FindData& f : found) names.push_back(f.name);
    return names;
}

}  // namespace

// Every attribute test runs twice: with extended attributes and with the sidecar files that
// stand in for them on file systems without.
class Attributes : public PrefixTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        PrefixTest::SetUp();
        SetExtendedAttributesEnabledForTesting(GetParam());
    }
};

INSTANTIATE_TEST_SUITE_P(Store, Attributes, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "ExtendedAttribute" : "Sidecar"; });

TEST_P(Attributes, KeptAcrossSetAndGet) {
    ASSERT_TRUE(WriteWholeFile("C:\\a.txt", "data"));
    ASSERT_TRUE(CreateDirectory("C:\\dir"));
    EXPECT_EQ(GetFileAttributes("C:\\a.txt"), kAttrArchive);  // a new file
    EXPECT_EQ(GetFileAttributes("C:\\dir"), kAttrDirectory);
    struct Case {
        std::string path;
        std::uint32_t set, get;
    } cases[] = {
        {"C:\\a.txt", kAttrHidden, kAttrHidden},
        {"C:\\a.txt", kAttrHidden | kAttrSystem | kAttrArchive, kAttrHidden | kAttrSystem | kAttrArchive},
        {"C:\\A.TXT", kAttrReadOnly | kAttrHidden, kAttrReadOnly | kAttrHidden},
        {"C:\\a.txt", kAttrReadOnly | kAttrSystem, kAttrReadOnly | kAttrSystem},  // flags change while read-only
        {"C:\\a.txt", kAttrNormal, kAttrNormal},
        {"C:\\a.txt", 0, kAttrNormal},
        {"C:\\a.txt", kAttrDirectory | kAttrArchive, kAttrArchive},  // DIRECTORY cannot be set
        {"C:\\a.txt", kAttrTemporary | kAttrNotContentIndexed, kAttrTemporary | kAttrNotContentIndexed},
        {"C:\\dir", kAttrHidden, kAttrDirectory | kAttrHidden},
        {"C:\\dir", kAttrReadOnly | kAttrSystem, kAttrDirectory | kAttrReadOnly | kAttrSystem},
        {"C:\\dir", kAttrNormal, kAttrDirectory},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(SetFileAttributes(c.path, c.set)) << c.path << " " << c.set;
        EXPECT_EQ(GetFileAttributes(c.path), c.get) << c.path << " " << c.set;
    }
    // Read-only is the file's mode.
    ASSERT_TRUE(SetFileAttributes("C:\\a.txt", kAttrReadOnly));
    const fs::perms anyWrite = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    EXPECT_EQ(fs::status(C("a.txt")).permissions() & anyWrite, fs::perms::none);
    ASSERT_TRUE(SetFileAttributes("C:\\a.txt", kAttrArchive));
    EXPECT_NE(fs::status(C("a.txt")).permissions() & fs::perms::owner_write, fs::perms::none);
    // A read-only folder still takes new files, as on Windows.
    ASSERT_TRUE(SetFileAttributes("C:\\dir", kAttrReadOnly));
    EXPECT_TRUE(WriteWholeFile("C:\\dir\\new.txt", "x"));
}

TEST_P(Attributes, WhereTheyAreKept) {
    ASSERT_TRUE(WriteWholeFile("C:\\h.txt", "x"));
    ASSERT_TRUE(SetFileAttributes("C:\\h.txt", kAttrHidden));
    char value[32] = {};
    ssize_t n = ::getxattr(C("h.txt").c_str(), "user.zuzoruve.attributes", value, sizeof value);
    if (GetParam()) {
        EXPECT_EQ(std::string(value, n > 0 ? static_cast<std::size_t>(n) : 0), "0x2");
        EXPECT_FALSE(HostExists(C(".zuzoruve-attributes")));
    } else {
        EXPECT_LT(n, 0);
        EXPECT_EQ(platform::ReadHostFile(C(".zuzoruve-attributes")).value(), "0x2 h.txt\n");
        // The sidecar is no entry of the folder for the programs.
        EXPECT_TRUE(FindFiles("C:\\.zuzoruve-attributes").empty());
    }
}

TEST_P(Attributes, FollowTheFileThroughMoveWriteCopyAndDelete) {
    ASSERT_TRUE(CreateDirectory("C:\\src"));
    ASSERT_TRUE(CreateDirectory("C:\\dst"));
    ASSERT_TRUE(WriteWholeFile("C:\\src\\a.dat", "1"));
    ASSERT_TRUE(SetFileAttributes("C:\\src\\a.dat", kAttrHidden | kAttrSystem));

    ASSERT_TRUE(MoveFile("C:\\src\\a.dat", "C:\\dst\\b.dat"));
    EXPECT_EQ(GetFileAttributes("C:\\dst\\b.dat"), kAttrHidden | kAttrSystem);

    // A whole-file write keeps the flags and marks the file changed.
    ASSERT_TRUE(WriteWholeFile("C:\\dst\\b.dat", "2"));
    EXPECT_EQ(GetFileAttributes("C:\\dst\\b.dat"), kAttrHidden | kAttrSystem | kAttrArchive);

    CopyOptions plain;
    plain.keepAttributes = false;
    ASSERT_TRUE(CopyFile("C:\\dst\\b.dat", "C:\\src\\plain.dat", plain));
    EXPECT_EQ(GetFileAttributes("C:\\src\\plain.dat"), kAttrArchive);
    ASSERT_TRUE(CopyFile("C:\\dst\\b.dat", "C:\\src\\kept.dat"));
    EXPECT_EQ(GetFileAttributes("C:\\src\\kept.dat"), kAttrHidden | kAttrSystem | kAttrArchive);

    // A new file under the name of a deleted hidden one starts plain.
    ASSERT_TRUE(DeleteFile("C:\\dst\\b.dat"));
    std::ofstream(C("dst/b.dat")) << "made by another program";
    EXPECT_EQ(GetFileAttributes("C:\\dst\\b.dat"), kAttrArchive);

    // A folder that holds nothing but flags is empty.
    ASSERT_TRUE(SetFileAttributes("C:\\dst\\b.dat", kAttrHidden));
    ASSERT_TRUE(DeleteFile("C:\\dst\\b.dat"));
    ASSERT_TRUE(SetFileAttributes("C:\\src", kAttrHidden));
    ASSERT_TRUE(RemoveDirectory("C:\\dst"));
    EXPECT_FALSE(HostExists(C("dst")));
}

TEST_P(Attributes, GivenToACopyInsteadOfTheSources) {
    // A new target is written in place, an existing one through a temporary file: the flags
    // asked for arrive either way, and read-only is the copy's mode.
    ASSERT_TRUE(WriteWholeFile("C:\\src.dat", "1"));
    ASSERT_TRUE(SetFileAttributes("C:\\src.dat", kAttrHidden | kAttrSystem));
    struct Case {
        const char* what;
        std::uint32_t asked;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {"none", kAttrNormal, kAttrNormal},
        {"read-only and hidden", kAttrReadOnly | kAttrHidden, kAttrReadOnly | kAttrHidden},
        {"archive", kAttrArchive, kAttrArchive},
    };
    for (const Case& c : cases) {
        for (const char* target : {"C:\\new.dat", "C:\\old.dat"}) {
            SetFileAttributes(target, kAttrNormal);
            DeleteFile(target);
            if (std::string(target) == "C:\\old.dat") {
                ASSERT_TRUE(WriteWholeFile(target, "old"));
            }
            CopyOptions options;
            options.keepAttributes = false;
            options.attributes = c.asked;
            ASSERT_TRUE(CopyFile("C:\\src.dat", target, options)) << c.what << " " << target;
            EXPECT_EQ(GetFileAttributes(target), c.expected) << c.what << " " << target;
            EXPECT_EQ(ReadWholeFile(target).value(), "1") << c.what << " " << target;
            struct stat st {};
            ASSERT_EQ(::stat(ToHostPath(target)->c_str(), &st), 0);
            EXPECT_EQ((st.st_mode & 0222) == 0, (c.expected & kAttrReadOnly) != 0) << c.what << " " << target;
        }
    }
    // The source's own flags, read-only among them, when they are kept.
    ASSERT_TRUE(SetFileAttributes("C:\\src.dat", kAttrReadOnly | kAttrHidden));
    ASSERT_TRUE(CopyFile("C:\\src.dat", "C:\\kept.dat"));
    EXPECT_EQ(GetFileAttributes("C:\\kept.dat"), kAttrReadOnly | kAttrHidden);
    EXPECT_EQ(Names(FindFiles("C:\\*.dat")), (std::vector<std::string>{"kept.dat", "new.dat", "old.dat", "src.dat"}));
}

TEST_P(Attributes, ListedByFindFiles) {
    ASSERT_TRUE(WriteWholeFile("C:\\f\\a.txt", "") == false);  // no folder yet
    ASSERT_TRUE(CreateDirectoryTree("C:\\f\\sub"));
    ASSERT_TRUE(WriteWholeFile("C:\\f\\a.txt", "12345"));
    ASSERT_TRUE(SetFileAttributes("C:\\f\\a.txt", kAttrHidden | kAttrReadOnly));
    ASSERT_TRUE(SetFileAttributes("C:\\f\\sub", kAttrSystem));
    ASSERT_TRUE(SetLastWriteTime("C:\\f\\a.txt", 130000000000000001ULL));
    std::vector<FindData> found = FindFiles("C:\\F\\*");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].name, "a.txt");
    EXPECT_EQ(found[0].attributes, kAttrHidden | kAttrReadOnly);
    EXPECT_EQ(found[0].size, 5u);
    EXPECT_EQ(found[0].lastWriteTime, 130000000000000001ULL);
    EXPECT_EQ(found[1].name, "sub");
    EXPECT_EQ(found[1].attributes, kAttrDirectory | kAttrSystem);
    EXPECT_EQ(found[1].size, 0u);
}

TEST_P(Attributes, SeveralProcessesSettingFlagsInOneFolderLoseNone) {
    constexpr int kProcesses = 4, kFilesEach = 5;
    for (int p = 0; p < kProcesses; ++p) {
        for (int f = 0; f < kFilesEach; ++f) {
            std::ofstream(C("f" + std::to_string(p) + "_" + std::to_string(f)));
        }
    }
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            for (int f = 0; f < kFilesEach; ++f) {
                ok &= SetFileAttributes("C:\\f" + std::to_string(p) + "_" + std::to_string(f), kAttrHidden);
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int p = 0; p < kProcesses; ++p) {
        for (int f = 0; f < kFilesEach; ++f) {
            std::string name = "C:\\f" + std::to_string(p) + "_" + std::to_string(f);
            EXPECT_EQ(GetFileAttributes(name), kAttrHidden) << name;
        }
    }
}

TEST_P(Attributes, MoveToAnotherFileSystemCopiesAndDeletes) {
    // /dev/shm is a memory file system, a different device from the prefix's.
    struct stat shm {}, prefix {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(root_.c_str(), &prefix) != 0 || shm.st_dev == prefix.st_dev ||
        ::access("/dev/shm", W_OK) != 0) {
        GTEST_SKIP() << "no second file system to move to";
    }
    char tmpl[] = "/dev/shm/winpath_test_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    ASSERT_TRUE(SetDrive('M', tmpl, DriveType::RamDisk));
    ASSERT_TRUE(WriteWholeFile("C:\\a.dat", "moved"));
    ASSERT_TRUE(SetFileAttributes("C:\\a.dat", kAttrHidden | kAttrReadOnly));
    ASSERT_TRUE(SetLastWriteTime("C:\\a.dat", 130000000000000000ULL));
    ASSERT_TRUE(CreateDirectory("C:\\folder"));

    EXPECT_TRUE(MoveFile("C:\\a.dat", "M:\\b.dat"));
    EXPECT_FALSE(FileExists("C:\\a.dat"));
    EXPECT_EQ(ReadWholeFile("M:\\B.DAT").value(), "moved");
    EXPECT_EQ(GetFileAttributes("M:\\b.dat"), kAttrHidden | kAttrReadOnly);
    EXPECT_EQ(GetLastWriteTime("M:\\b.dat").value(), 130000000000000000ULL);
    EXPECT_FALSE(MoveFile("C:\\folder", "M:\\folder"));
    EXPECT_EQ(LastError(), kErrorNotSameDevice);
    EXPECT_TRUE(DirectoryExists("C:\\folder"));
    std::error_code ec;
    fs::permissions(fs::path(tmpl) / "b.dat", fs::perms::owner_write, fs::perm_options::add, ec);
    fs::remove_all(tmpl, ec);
}

using Files = PrefixTest;

TEST_F(Files, FindFilesMasks) {
    for (const char* name : {"b.TXT", "a.txt", "c.txt.bak", "readme", "表.txt", "x1.dat", "x22.dat"}) {
        std::ofstream(C(name)) << name;
    }
    struct Case {
        std::string mask;
        std::vector<std::string> names;
    } cases[] = {
        {"C:\\*.txt", {"a.txt", "b.TXT", S("表.txt")}},
        {"c:/*.TXT", {"a.txt", "b.TXT", S("表.txt")}},
        {"C:\\x?.dat", {"x1.dat"}},
        {"C:\\README", {"readme"}},
        {"C:\\?.txt", {"a.txt", "b.TXT", S("表.txt")}},
        {"C:\\nothing*", {}},
        {"C:\\no\\such\\*", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(Names(FindFiles(c.mask)), c.names) << c.mask;
    EXPECT_EQ(FindFiles("C:\\*.*").size(), 7u + 4u);  // the files and the layout's four folders
    FindFiles("C:\\no\\such\\*");
    EXPECT_EQ(LastError(), kErrorPathNotFound);
    FindFiles("C:\\nothing*");
    EXPECT_EQ(LastError(), kErrorFileNotFound);
}

TEST_F(Files, UnconvertibleBytesSurviveCreateAndList) {
    // 85 40 and A0 are no characters of code page 932.
    const std::string odd = std::string("\x85\x40") + S("表") + "\xA0" + ".dat";
    ASSERT_TRUE(CreateDirectory("C:\\" + odd));
    ASSERT_TRUE(WriteWholeFile("C:\\" + odd + "\\" + odd, "content"));
    EXPECT_EQ(Names(FindFiles("C:\\" + odd + "\\*")), std::vector<std::string>{odd});
    EXPECT_EQ(ReadWholeFile("C:\\" + odd + "\\" + odd).value(), "content");
    std::vector<FindData> top = FindFiles("C:\\*.dat");
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0].name, odd);
    EXPECT_EQ(ToWindowsPath(*ToHostPath("C:\\" + odd)), "C:\\" + odd);
}

TEST_F(Files, TimeStampsInFileTimeUnits) {
    ASSERT_TRUE(WriteWholeFile("C:\\t.txt", "x"));
    const std::uint64_t cases[] = {
        kFileTimeOfUnixEpoch,                 // 1970-01-01
        kFileTimeOfUnixEpoch + 1,             // 100 ns later
        132539328000000000ULL + 1234567,      // 2021-01-01 and a fraction of a second
        116444735999999999ULL,                // 100 ns before 1970
        125911584000000000ULL,                // 2000-01-01
    };
    for (std::uint64_t t : cases) {
        ASSERT_TRUE(SetLastWriteTime("C:\\T.TXT", t)) << t;
        EXPECT_EQ(GetLastWriteTime("C:\\t.txt").value(), t) << t;
    }
    const std::uint64_t last = cases[std::size(cases) - 1];
    EXPECT_FALSE(SetLastWriteTime("C:\\t.txt", UINT64_MAX));
    EXPECT_EQ(LastError(), kErrorInvalidParameter);
    EXPECT_EQ(GetLastWriteTime("C:\\t.txt").value(), last);
    // A copy keeps the time unless told otherwise.
    ASSERT_TRUE(CopyFile("C:\\t.txt", "C:\\copy.txt"));
    EXPECT_EQ(GetLastWriteTime("C:\\copy.txt"), GetLastWriteTime("C:\\t.txt"));
    CopyOptions fresh;
    fresh.keepTime = false;
    ASSERT_TRUE(CopyFile("C:\\t.txt", "C:\\fresh.txt", fresh));
    EXPECT_NE(GetLastWriteTime("C:\\fresh.txt"), GetLastWriteTime("C:\\t.txt"));
    // The host's own clock agrees on the epoch.
    struct stat st {};
    ASSERT_EQ(::stat(C("t.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 946684800);
}

TEST_F(Files, SizeAndSpace) {
    ASSERT_TRUE(WriteWholeFile("C:\\s.bin", std::string(70000, 'x')));
    EXPECT_EQ(GetFileSize("C:\\S.BIN").value(), 70000u);
    EXPECT_FALSE(GetFileSize("C:\\windows").has_value());
    auto space = GetDiskFreeSpace("C:\\");
    ASSERT_TRUE(space.has_value());
    EXPECT_GT(space->total, 0u);
    EXPECT_LE(space->freeToCaller, space->totalFree);
    EXPECT_LE(space->totalFree, space->total);
    // A folder that does not exist yet lies on the volume of its parent.
    auto later = GetDiskFreeSpace("C:\\not\\made\\yet");
    ASSERT_TRUE(later.has_value());
    EXPECT_EQ(later->total, space->total);
}

TEST_F(Files, FoldersOneLevelAndAllLevels) {
    EXPECT_TRUE(CreateDirectory("C:\\one"));
    EXPECT_FALSE(CreateDirectory("C:\\ONE"));
    EXPECT_EQ(LastError(), kErrorAlreadyExists);
    EXPECT_FALSE(CreateDirectory("C:\\two\\three"));
    EXPECT_EQ(LastError(), kErrorPathNotFound);
    EXPECT_TRUE(CreateDirectoryTree("C:\\One\\a\\" + S("表") + "\\b"));
    EXPECT_TRUE(fs::is_directory(C("one/a/表/b")));  // the existing "one" was reused
    EXPECT_TRUE(CreateDirectoryTree("C:\\one\\A"));
    EXPECT_TRUE(CreateDirectoryTree("C:\\"));
    ASSERT_TRUE(WriteWholeFile("C:\\one\\file", ""));
    EXPECT_FALSE(CreateDirectoryTree("C:\\one\\file\\x"));

    EXPECT_FALSE(RemoveDirectory("C:\\one"));
    EXPECT_EQ(LastError(), kErrorDirNotEmpty);
    EXPECT_FALSE(RemoveDirectory("C:\\one\\file"));
    ASSERT_TRUE(SetFileAttributes("C:\\one\\a\\" + S("表") + "\\b", kAttrReadOnly));
    EXPECT_FALSE(RemoveDirectory("C:\\one\\a\\" + S("表") + "\\b"));
    EXPECT_EQ(LastError(), kErrorAccessDenied);
    ASSERT_TRUE(SetFileAttributes("C:\\one\\a\\" + S("表") + "\\b", kAttrNormal));
    EXPECT_TRUE(RemoveDirectory("C:\\one\\a\\" + S("表") + "\\B"));
    EXPECT_FALSE(RemoveDirectory("C:\\"));
    EXPECT_TRUE(fs::is_directory(root_ / "drive_c"));
}

TEST_F(Files, DeleteAndMoveFollowWindowsRules) {
    ASSERT_TRUE(WriteWholeFile("C:\\a.txt", "a"));
    ASSERT_TRUE(WriteWholeFile("C:\\b.txt", "b"));
    EXPECT_FALSE(MoveFile("C:\\a.txt", "C:\\B.TXT"));
    EXPECT_EQ(LastError(), kErrorAlreadyExists);
    EXPECT_TRUE(MoveFile("C:\\a.txt", "C:\\B.TXT", true));
    EXPECT_EQ(ReadWholeFile("C:\\b.txt").value(), "a");
    EXPECT_FALSE(FileExists("C:\\a.txt"));
    EXPECT_FALSE(HostExists(C("B.TXT")));  // replaced under the existing name

    // A change of case is a rename.
    EXPECT_TRUE(MoveFile("C:\\b.txt", "C:\\B.Txt"));
    EXPECT_TRUE(HostExists(C("B.Txt")));
    EXPECT_FALSE(HostExists(C("b.txt")));
    EXPECT_TRUE(MoveFile("C:\\B.Txt", "C:\\B.Txt"));

    // Read-only files are not deleted or replaced, even for a process that the host lets.
    ASSERT_TRUE(SetFileAttributes("C:\\b.txt", kAttrReadOnly));
    EXPECT_FALSE(DeleteFile("C:\\b.txt"));
    EXPECT_EQ(LastError(), kErrorAccessDenied);
    ASSERT_TRUE(WriteWholeFile("C:\\c.txt", "c"));
    EXPECT_FALSE(MoveFile("C:\\c.txt", "C:\\b.txt", true));
    EXPECT_FALSE(WriteWholeFile("C:\\b.txt", "new"));
    EXPECT_FALSE(CopyFile("C:\\c.txt", "C:\\b.txt"));
    EXPECT_EQ(LastError(), kErrorAccessDenied);
    EXPECT_EQ(ReadWholeFile("C:\\b.txt").value(), "a");
    ASSERT_TRUE(SetFileAttributes("C:\\b.txt", kAttrNormal));
    EXPECT_TRUE(DeleteFile("C:\\B.TXT"));
    EXPECT_FALSE(DeleteFile("C:\\b.txt"));
    EXPECT_EQ(LastError(), kErrorFileNotFound);
    EXPECT_FALSE(DeleteFile("C:\\windows"));

    // Folders move too, into a new name.
    ASSERT_TRUE(CreateDirectoryTree("C:\\m\\inner"));
    EXPECT_TRUE(MoveFile("C:\\M", "C:\\windows\\moved"));
    EXPECT_TRUE(DirectoryExists("C:\\windows\\moved\\INNER"));
}

TEST_F(Files, CopyNeverLeavesAHalfTarget) {
    ASSERT_TRUE(WriteWholeFile("C:\\src.bin", std::string(100000, 's')));
    ASSERT_TRUE(WriteWholeFile("C:\\dst.bin", "old"));
    CopyOptions stop;
    int calls = 0;
    stop.progress = [&](std::uint64_t done, std::uint64_t total) {
        EXPECT_EQ(total, 100000u);
        EXPECT_EQ(done, std::min<std::uint64_t>(100000, 8192u * static_cast<std::uint64_t>(++calls)));
        return calls < 3;
    };
    EXPECT_FALSE(CopyFile("C:\\src.bin", "C:\\dst.bin", stop));
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(ReadWholeFile("C:\\dst.bin").value(), "old");
    EXPECT_EQ(Names(FindFiles("C:\\*.bin")), (std::vector<std::string>{"dst.bin", "src.bin"}));

    CopyOptions once;
    once.failIfExists = true;
    EXPECT_FALSE(CopyFile("C:\\src.bin", "C:\\DST.BIN", once));
    EXPECT_EQ(LastError(), kErrorFileExists);
    // Onto itself: refused, the file untouched.
    EXPECT_FALSE(CopyFile("C:\\src.bin", "C:\\SRC.BIN"));
    EXPECT_EQ(GetFileSize("C:\\src.bin").value(), 100000u);
    EXPECT_TRUE(CopyFile("C:\\src.bin", "C:\\DST.BIN"));
    EXPECT_EQ(GetFileSize("C:\\dst.bin").value(), 100000u);
    EXPECT_FALSE(CopyFile("C:\\windows", "C:\\w2"));
    EXPECT_FALSE(CopyFile("C:\\src.bin", "C:\\no\\such\\x"));
    EXPECT_EQ(LastError(), kErrorPathNotFound);
}

TEST_F(Files, AFailedCopyToANewNameLeavesNothing) {
    // A target that did not exist is written in place: a copy stopped or failing half-way
    // must take it away again, and the name must be free afterwards.
    ASSERT_TRUE(WriteWholeFile("C:\\src.bin", std::string(100000, 's')));
    CopyOptions stop;
    stop.progress = [](std::uint64_t done, std::uint64_t) { return done < 16384; };
    EXPECT_FALSE(CopyFile("C:\\src.bin", "C:\\New.bin", stop));
    EXPECT_EQ(LastError(), 1235u);  // ERROR_REQUEST_ABORTED
    EXPECT_EQ(Names(FindFiles("C:\\*.bin")), (std::vector<std::string>{"src.bin"}));
    EXPECT_FALSE(FileExists("C:\\NEW.BIN"));
    // The name is free: the next copy makes it as spelled then.
    ASSERT_TRUE(CopyFile("C:\\src.bin", "C:\\NEW.BIN"));
    EXPECT_TRUE(HostExists(C("NEW.BIN")));
    EXPECT_EQ(GetFileSize("C:\\new.bin").value(), 100000u);
    // Into a folder that is not there: no file, the error Windows gives.
    EXPECT_FALSE(CopyFile("C:\\src.bin", "C:\\gone\\x.bin"));
    EXPECT_EQ(LastError(), kErrorPathNotFound);
    EXPECT_FALSE(CopyFile("C:\\missing.bin", "C:\\y.bin"));
    EXPECT_EQ(LastError(), kErrorFileNotFound);
    EXPECT_FALSE(FileExists("C:\\y.bin"));
}

TEST_F(Files, CopyOfAFileWhoseSizeTheKernelDoesNotKnowHasItsBytes) {
    // A file of /proc says it holds no bytes, yet reading it gives some: the copy reads it.
    fs::create_symlink("/proc/self/status", C("status"));
    ASSERT_TRUE(CopyFile("C:\\status", "C:\\copy.txt"));
    const std::optional<std::string> copy = ReadWholeFile("C:\\copy.txt");
    ASSERT_TRUE(copy.has_value());
    EXPECT_EQ(copy->rfind("Name:", 0), 0u) << *copy;
    // An empty file stays empty, a file of many blocks arrives whole.
    ASSERT_TRUE(WriteWholeFile("C:\\empty", ""));
    ASSERT_TRUE(CopyFile("C:\\empty", "C:\\empty2"));
    EXPECT_EQ(ReadWholeFile("C:\\empty2").value(), "");
    std::string many;
    for (int i = 0; i < 50000; ++i) many += std::to_string(i * 7919);
    ASSERT_TRUE(WriteWholeFile("C:\\many", many));
    ASSERT_TRUE(CopyFile("C:\\many", "C:\\many2"));
    EXPECT_EQ(ReadWholeFile("C:\\many2").value(), many);
}

TEST_F(Files, InvalidPathsFailWithoutTouchingTheDisk) {
    const std::string bad[] = {
        "",       "C:",      "::",         std::string("C:\\x\0y", 6), "\\\\", "Q:\\x",
        "C:a.txt", "a.txt",  "\\a.txt",    "\\\\srv\\share\\a",         "C:\\a*", "C:\\a\\<b>",
    };
    for (const std::string& path : bad) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(FileExists(path));
        EXPECT_FALSE(DirectoryExists(path));
        EXPECT_EQ(GetFileAttributes(path), kInvalidAttributes);
        EXPECT_FALSE(SetFileAttributes(path, kAttrHidden));
        EXPECT_FALSE(GetLastWriteTime(path).has_value());
        EXPECT_FALSE(SetLastWriteTime(path, 0));
        EXPECT_FALSE(GetFileSize(path).has_value());
        EXPECT_FALSE(GetDiskFreeSpace(path).has_value());
        EXPECT_FALSE(CreateDirectory(path));
        EXPECT_FALSE(CreateDirectoryTree(path));
        EXPECT_FALSE(RemoveDirectory(path));
        EXPECT_FALSE(DeleteFile(path));
        EXPECT_FALSE(MoveFile(path, "C:\\x"));
        EXPECT_FALSE(MoveFile("C:\\windows", path));
        EXPECT_FALSE(CopyFile(path, "C:\\x"));
        EXPECT_FALSE(ReadWholeFile(path).has_value());
        EXPECT_FALSE(WriteWholeFile(path, "x"));
        EXPECT_TRUE(FindFiles(path).empty());
        EXPECT_NE(LastError(), kErrorSuccess);
    }
    EXPECT_TRUE(DirectoryExists("C:\\windows"));
    EXPECT_FALSE(HostExists(C("x")));
    struct Why {
        std::string path;
        std::uint32_t error;
    } reasons[] = {
        {"C:", kErrorInvalidName},        {"C:\\a|b", kErrorInvalidName}, {"a.txt", kErrorInvalidName},
        {"Q:\\x", kErrorInvalidDrive},   {"\\\\srv\\share\\a", kErrorBadNetPath},
        {"C:\\nothing", kErrorFileNotFound}, {"C:\\no\\thing", kErrorPathNotFound},
    };
    for (const Why& w : reasons) {
        EXPECT_EQ(GetFileAttributes(w.path), kInvalidAttributes);
        EXPECT_EQ(LastError(), w.error) << w.path;
    }
}

// A device or a pipe is no data: reading one as a file never ended (/dev/zero) or waited for a
// writer forever (a FIFO). Size, copy and whole-file read refuse both at once.
TEST_F(Files, DevicesAndPipesAreNoFiles) {
    ASSERT_EQ(::mkfifo(C("pipe").c_str(), 0600), 0);
    ASSERT_TRUE(WriteWholeFile("C:\\plain.txt", "data"));
    struct Case {
        const char* path;
        bool regular;
    } cases[] = {{"Z:\\dev\\zero", false}, {"Z:\\dev\\null", false}, {"C:\\pipe", false}, {"C:\\plain.txt", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(GetFileSize(c.path).has_value(), c.regular);
        if (!c.regular) {
            EXPECT_EQ(LastError(), kErrorAccessDenied);
        }
        EXPECT_EQ(ReadWholeFile(c.path).has_value(), c.regular);
        EXPECT_EQ(CopyFile(c.path, "C:\\copy.bin"), c.regular);
        EXPECT_EQ(FileExists("C:\\copy.bin"), c.regular);
        DeleteFile("C:\\copy.bin");
    }
    EXPECT_EQ(ReadWholeFile("C:\\plain.txt").value_or(""), "data");
}
