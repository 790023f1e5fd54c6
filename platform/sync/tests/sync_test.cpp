#include "platform/sync.h"

#include <gtest/gtest.h>

#include "runtime_folder_fixture.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

using platform::sync::NamedMutex;

namespace {

using NamedMutexTest = RuntimeFolderTest;

// Runs `body` in a child that then waits until killed; returns once the child reported in.
pid_t StartHolder(void (*body)()) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        body();
        char ready = 'r';
        (void)!::write(fds[1], &ready, 1);
        for (;;) ::pause();
    }
    ::close(fds[1]);
    char ready = 0;
    (void)!::read(fds[0], &ready, 1);
    ::close(fds[0]);
    return pid;
}

void KillAndReap(pid_t pid) {
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

}  // namespace

TEST_F(NamedMutexTest, SecondCreatorSeesItExistsUntilFirstCloses) {
    bool existed = true;
    auto first = NamedMutex::Create("VE_ZOVAVA2", true, &existed);
    ASSERT_TRUE(first);
    EXPECT_FALSE(existed);
    EXPECT_TRUE(first->Owned());

    auto second = NamedMutex::Create("VE_ZOVAVA2", true, &existed);
    ASSERT_TRUE(second);
    EXPECT_TRUE(existed);
    EXPECT_FALSE(second->Owned()) << "ownership is taken only when free";
    second.reset();
    first.reset();

    EXPECT_EQ(NamedMutex::Open("VE_ZOVAVA2"), nullptr);
    auto again = NamedMutex::Create("VE_ZOVAVA2", false, &existed);
    EXPECT_FALSE(existed);
}

TEST_F(NamedMutexTest, OpenFindsOnlyMutexesOpenElsewhere) {
    EXPECT_EQ(NamedMutex::Open("DE_RUDIVADU1"), nullptr);
    auto held = NamedMutex::Create("DE_RUDIVADU1", false);
    EXPECT_NE(NamedMutex::Open("DE_RUDIVADU1"), nullptr);
    EXPECT_EQ(NamedMutex::Open("de_rudivadu1"), nullptr) << "names are case-sensitive";
}

TEST_F(NamedMutexTest, OwnershipPassesOnRelease) {
    auto a = NamedMutex::Create("m", true);
    auto b = NamedMutex::Open("m");
    ASSERT_TRUE(a && b);
    EXPECT_FALSE(b->Wait(20));
    EXPECT_TRUE(a->Release());
    EXPECT_FALSE(a->Release());
    EXPECT_TRUE(b->Wait(0));
}

TEST_F(NamedMutexTest, NamesWithBackslashAndShiftJisAreDistinct) {
    auto a = NamedMutex::Create("Global\\x", false);
    auto b = NamedMutex::Create("Global/x", false);
    auto c = NamedMutex::Create("\x95\x5C", false);
    bool existed = true;
    auto d = NamedMutex::Create("\x95/", false, &existed);
    EXPECT_FALSE(existed);
    EXPECT_NE(NamedMutex::Open("Global\\x"), nullptr);
    EXPECT_EQ(NamedMutex::Open("Global"), nullptr);
}

TEST_F(NamedMutexTest, ExistenceAndOwnershipEndWhenTheHoldingProcessDies) {
    pid_t pid = StartHolder([] { (void)NamedMutex::Create("VE_ZOVAVA2", true).release(); });
    ASSERT_GT(pid, 0);
    bool existed = false;
    auto mine = NamedMutex::Create("VE_ZOVAVA2", true, &existed);
    EXPECT_TRUE(existed);
    EXPECT_FALSE(mine->Owned());
    mine.reset();

    KillAndReap(pid);
    EXPECT_EQ(NamedMutex::Open("VE_ZOVAVA2"), nullptr);
    auto after = NamedMutex::Create("VE_ZOVAVA2", true, &existed);
    EXPECT_FALSE(existed);
    EXPECT_TRUE(after->Owned());
}

TEST(Clock, TickAdvancesInMilliseconds) {
    uint32_t t0 = platform::sync::TimeGetTime();
    ::usleep(30000);
    uint32_t elapsed = platform::sync::TimeGetTime() - t0;
    EXPECT_GE(elapsed, 29u);
}

TEST(Clock, LocalTimeMatchesTheSystemClock) {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    auto lt = platform::sync::GetLocalTime();
    EXPECT_EQ(lt.year, tm.tm_year + 1900);
    EXPECT_GE(lt.month, 1);
    EXPECT_LE(lt.month, 12);
    EXPECT_LT(lt.milliseconds, 1000);
    EXPECT_LT(lt.dayOfWeek, 7);
}

// A prefix is one machine: the same name in two prefixes names two mutexes, and the runtime
// folder follows $PLATFORM_ROOT.
TEST_F(NamedMutexTest, TwoPrefixesAreTwoMachines) {
    const char* before = std::getenv("PLATFORM_ROOT");
    const std::string saved = before ? before : "";
    const std::string a = folder_ + "/prefix-a";
    const std::string b = folder_ + "/prefix-b";

    ::setenv("PLATFORM_ROOT", a.c_str(), 1);
    const std::string folderA = platform::sync::RuntimeFolder();
    bool existed = true;
    auto inA = NamedMutex::Create("VE_ZOVAVA2", true, &existed);
    ASSERT_TRUE(inA);
    EXPECT_FALSE(existed);

    ::setenv("PLATFORM_ROOT", b.c_str(), 1);
    EXPECT_NE(platform::sync::RuntimeFolder(), folderA);
    EXPECT_FALSE(NamedMutex::Open("VE_ZOVAVA2")) << "not open in the other prefix";
    auto inB = NamedMutex::Create("VE_ZOVAVA2", true, &existed);
    ASSERT_TRUE(inB);
    EXPECT_FALSE(existed);
    EXPECT_TRUE(inB->Owned());

    // The same prefix spelled another way is the same machine.
    ::setenv("PLATFORM_ROOT", (folder_ + "/./prefix-a/").c_str(), 1);
    EXPECT_EQ(platform::sync::RuntimeFolder(), folderA);
    auto again = NamedMutex::Create("VE_ZOVAVA2", true, &existed);
    ASSERT_TRUE(again);
    EXPECT_TRUE(existed);
    EXPECT_FALSE(again->Owned());

    if (before) {
        ::setenv("PLATFORM_ROOT", saved.c_str(), 1);
    } else {
        ::unsetenv("PLATFORM_ROOT");
    }
}
