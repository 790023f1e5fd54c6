// The folder name cache behind case-blind lookups: new names cost no listing, and changes are
// seen whoever made them.
#include "namecache.h"
#include "platform/winpath.h"
#include "prefix_fixture.h"

#include <sys/stat.h>
#include <time.h>

#include <fstream>

namespace fs = std::filesystem;
using namespace platform::winpath;
namespace detail = platform::winpath::detail;

namespace {

std::int64_t RealNow() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

class NameCacheTest : public PrefixTest {
protected:
    void SetUp() override {
        PrefixTest::SetUp();
        now_ = RealNow();
        detail::SetNameCacheClockForTesting([this] { return now_; });
        fs::create_directories(C("d"));
    }
    void TearDown() override {
        detail::SetNameCacheClockForTesting({});
        PrefixTest::TearDown();
    }

public:
    using PrefixTest::C;
    // Another program's file, made on the host directly.
    void HostFile(const std::string& below) { std::ofstream(C(below), std::ios::binary) << "x"; }

protected:

    // Host name (below C:\) that the Windows path resolves to.
    std::string Resolved(const std::string& windowsPath) {
        auto host = ToHostPath(windowsPath);
        return host ? fs::relative(*host, root_ / "drive_c").string() : "<none>";
    }

    void Advance(std::int64_t ns) { now_ += ns; }

    std::int64_t now_ = 0;
};

constexpr std::int64_t kSecond = 1'000'000'000;

}  // namespace

TEST_F(NameCacheTest, StagingManyNewFilesListsTheFolderOnce) {
    // Before the cache every new name listed the folder again: 200 files, 400 listings.
    ASSERT_TRUE(WriteWholeFile("C:\\d\\first.txt", "x"));
    const std::uint64_t before = detail::FolderListingsForTesting();
    for (int i = 0; i < 200; ++i) {
        const std::string name = "C:\\d\\File" + std::to_string(i) + ".txt";
        ASSERT_TRUE(WriteWholeFile(name, "x")) << name;
        CopyOptions copy;
        ASSERT_TRUE(CopyFile(name, "C:\\d\\Copy" + std::to_string(i) + ".txt", copy));
    }
    EXPECT_LE(detail::FolderListingsForTesting() - before, 1u);
    // ...and the names made on the way are found ignoring case.
    EXPECT_EQ(Resolved("C:\\D\\FILE7.TXT"), "d/File7.txt");
    EXPECT_EQ(Resolved("C:\\d\\copy199.TXT"), "d/Copy199.txt");
}

TEST_F(NameCacheTest, OwnChangesKeepTheNamesRight) {
    // The clock stands still: nothing but our own bookkeeping keeps the names right.
    struct Step {
        const char* what;
        std::function<bool()> change;
        const char* lookup;
        const char* expected;
    };
    fs::create_directories(C("d/sub"));
    HostFile("d/sub/inner.txt");
    ASSERT_EQ(Resolved("C:\\d\\NEW.TXT"), "d/NEW.TXT");  // the folder's names are kept from here on
    ASSERT_EQ(Resolved("C:\\d\\sub\\INNER.TXT"), "d/sub/inner.txt");
    const Step steps[] = {
        {"whole-file write", [] { return WriteWholeFile("C:\\d\\New.txt", "1"); }, "C:\\d\\NEW.TXT", "d/New.txt"},
        {"copy", [] { return CopyFile("C:\\d\\New.txt", "C:\\d\\Copy.Dat"); }, "C:\\d\\copy.dat", "d/Copy.Dat"},
        {"folder", [] { return CreateDirectory("C:\\d\\Folder"); }, "C:\\d\\FOLDER", "d/Folder"},
        {"folder tree", [] { return CreateDirectoryTree("C:\\d\\Tree\\Leaf"); }, "C:\\d\\tree\\LEAF", "d/Tree/Leaf"},
        {"rename", [] { return MoveFile("C:\\d\\New.txt", "C:\\d\\Moved.txt"); }, "C:\\d\\new.txt", "d/new.txt"},
        {"rename, new name", [] { return true; }, "C:\\d\\MOVED.TXT", "d/Moved.txt"},
        {"case only", [] { return MoveFile("C:\\d\\Moved.txt", "C:\\d\\MOVED.txt"); }, "C:\\d\\moved.TXT",
         "d/MOVED.txt"},
        {"move between folders", [] { return MoveFile("C:\\d\\Copy.Dat", "C:\\d\\Folder\\Copy.Dat"); },
         "C:\\d\\folder\\COPY.DAT", "d/Folder/Copy.Dat"},
        {"delete", [] { return DeleteFile("C:\\d\\MOVED.txt"); }, "C:\\d\\Moved.Txt", "d/Moved.Txt"},
        {"remove folder", [] { return DeleteFile("C:\\d\\sub\\inner.txt") && RemoveDirectory("C:\\d\\sub"); },
         "C:\\d\\SUB", "d/SUB"},
    };
    for (const Step& step : steps) {
        ASSERT_TRUE(step.change()) << step.what;
        EXPECT_EQ(Resolved(step.lookup), step.expected) << step.what;
    }
}

TEST_F(NameCacheTest, RemovedFolderTakesItsNamesAlong) {
    // A folder removed and made again by another program may get the same inode back within
    // the same tick; names kept for the old one must not answer for the new one.
    fs::create_directories(C("d/sub"));
    HostFile("d/sub/Old.txt");
    ASSERT_EQ(Resolved("C:\\d\\sub\\NEW.TXT"), "d/sub/NEW.TXT");
    ASSERT_TRUE(DeleteFile("C:\\d\\sub\\Old.txt"));
    ASSERT_TRUE(RemoveDirectory("C:\\d\\sub"));
    fs::create_directories(C("d/sub"));
    HostFile("d/sub/New.txt");
    EXPECT_EQ(Resolved("C:\\d\\sub\\NEW.TXT"), "d/sub/New.txt");
}

TEST_F(NameCacheTest, OtherProgramsChangesOfAQuietFolderAreSeenAtOnce) {
    struct Case {
        const char* what;
        std::function<void(NameCacheTest&)> change;
        const char* lookup;
        const char* expected;
    };
    const Case cases[] = {
        {"file made", [](NameCacheTest& t) { t.HostFile("d/Readme.TXT"); }, "C:\\d\\README.txt", "d/Readme.TXT"},
        {"file removed", [](NameCacheTest& t) { fs::remove(t.C("d/Data.bin")); }, "C:\\d\\DATA.BIN", "d/DATA.BIN"},
        {"file renamed", [](NameCacheTest& t) { fs::rename(t.C("d/Data.bin"), t.C("d/Other.Bin")); },
         "C:\\d\\OTHER.BIN", "d/Other.Bin"},
        {"spelling that sorts first added", [](NameCacheTest& t) { t.HostFile("d/DATA.bin"); }, "C:\\d\\data.BIN",
         "d/DATA.bin"},
        {"folder made", [](NameCacheTest& t) { fs::create_directory(t.C("d/Sub")); }, "C:\\d\\SUB\\x.txt",
         "d/Sub/x.txt"},
    };
    for (const Case& c : cases) {
        fs::remove_all(C("d"));
        fs::create_directories(C("d"));
        HostFile("d/Data.bin");
        // To the cache the folder's last change lies seconds back: its names are settled.
        now_ = RealNow() + 3 * kSecond;
        Resolved(c.lookup);
        const std::uint64_t before = detail::FolderListingsForTesting();
        Advance(60 * kSecond);
        Resolved("C:\\d\\ABSENT.TXT");
        EXPECT_EQ(detail::FolderListingsForTesting(), before) << c.what << ": a settled folder is not listed again";
        // Let the folder's clock (a tick of the kernel's) move on before the change.
        struct timespec pause = {0, 30'000'000};
        ::nanosleep(&pause, nullptr);
        c.change(*this);
        EXPECT_EQ(Resolved(c.lookup), c.expected) << c.what;
    }
}

TEST_F(NameCacheTest, ChangesHiddenByOurOwnAreSeenWithinASecond) {
    // Another program's change just before ours in the same folder: our change sets the
    // folder's new time, which then stands for both. Such names are trusted for a second only.
    struct Case {
        const char* what;
        std::function<bool()> ours;
    };
    const Case cases[] = {
        {"write", [] { return WriteWholeFile("C:\\d\\Ours.txt", "x"); }},
        {"folder", [] { return CreateDirectory("C:\\d\\Ours"); }},
        {"delete", [] { return DeleteFile("C:\\d\\Mine.txt"); }},
        {"rename", [] { return MoveFile("C:\\d\\Mine.txt", "C:\\d\\Yours.txt"); }},
    };
    for (const Case& c : cases) {
        fs::remove_all(C("d"));
        fs::create_directories(C("d"));
        HostFile("d/Mine.txt");
        now_ = RealNow();
        ASSERT_EQ(Resolved("C:\\d\\THEIRS.TXT"), "d/THEIRS.TXT");
        HostFile("d/Theirs.txt");
        ASSERT_TRUE(c.ours()) << c.what;
        Advance(kSecond);
        EXPECT_EQ(Resolved("C:\\d\\THEIRS.TXT"), "d/Theirs.txt") << c.what;
    }
}

TEST_F(NameCacheTest, ACopyReplacesACaseVariantAnotherProgramMadeMeanwhile) {
    // A copy writes a target that the kept names call missing in place; a spelling made by
    // another program since must be replaced, not joined by a second one.
    HostFile("d/Source.txt");
    std::ofstream(C("d/Source.txt"), std::ios::binary) << "new";
    struct Case {
        const char* what;
        bool settled;        // the folder's names are old, or we changed it just now
        std::int64_t after;  // clock moved on before the copy, ns
    };
    const Case cases[] = {{"quiet folder", true, 0}, {"folder we just changed", false, kSecond}};
    for (const Case& c : cases) {
        fs::remove(C("d/DATA.TXT"));
        now_ = RealNow() + (c.settled ? 3 * kSecond : 0);
        if (!c.settled) {
            ASSERT_TRUE(WriteWholeFile("C:\\d\\Ours.txt", "x"));
        }
        ASSERT_EQ(Resolved("C:\\d\\data.txt"), "d/data.txt") << c.what;
        struct timespec pause = {0, 30'000'000};
        ::nanosleep(&pause, nullptr);
        HostFile("d/DATA.TXT");
        Advance(c.after);
        ASSERT_TRUE(CopyFile("C:\\d\\Source.txt", "C:\\d\\data.txt")) << c.what;
        EXPECT_FALSE(fs::exists(C("d/data.txt"))) << c.what;
        std::ifstream in(C("d/DATA.TXT"), std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new") << c.what;
    }
}

TEST_F(NameCacheTest, SpellingsThatDifferInCaseOnlyStayInTheirOrder) {
    HostFile("d/b.TXT");
    HostFile("d/B.txt");
    EXPECT_EQ(Resolved("C:\\d\\B.TXT"), "d/B.txt");  // sorts first byte-wise
    ASSERT_TRUE(DeleteFile("C:\\d\\B.txt"));
    EXPECT_EQ(Resolved("C:\\d\\B.TXT"), "d/b.TXT");
    ASSERT_TRUE(MoveFile("C:\\d\\b.TXT", "C:\\d\\b2.txt"));
    EXPECT_EQ(Resolved("C:\\d\\B.TXT"), "d/B.TXT");
}

TEST_F(NameCacheTest, ShiftJisNamesOnTheHostAreKeptToo) {
    // A host name written as Shift-JIS bytes (not UTF-8) is matched by its Windows name.
    const std::string sjisName = S("表a.txt");
    HostFile("d/" + sjisName);
    ASSERT_EQ(Resolved("C:\\d\\NEW.TXT"), "d/NEW.TXT");
    EXPECT_EQ(Resolved("C:\\d\\" + S("表A.TXT")), "d/" + sjisName);
    HostFile("d/" + S("表b.txt"));
    Advance(kSecond);
    EXPECT_EQ(Resolved("C:\\d\\" + S("表B.TXT")), "d/" + S("表b.txt"));
}

TEST_F(NameCacheTest, ManyFoldersStayCorrectPastTheCacheBounds) {
    for (int i = 0; i < 300; ++i) {
        const std::string folder = "d/f" + std::to_string(i);
        fs::create_directories(C(folder));
        HostFile(folder + "/Name.txt");
        ASSERT_EQ(Resolved("C:\\d\\F" + std::to_string(i) + "\\NAME.TXT"), folder + "/Name.txt");
    }
    for (int i = 0; i < 300; i += 37) {
        const std::string folder = "d/f" + std::to_string(i);
        HostFile(folder + "/Other.txt");
        Advance(kSecond);
        EXPECT_EQ(Resolved("C:\\d\\f" + std::to_string(i) + "\\OTHER.TXT"), folder + "/Other.txt");
    }
}
