// Several processes on one hive: no lost update, and no reader ever sees a partial hive.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;
using namespace platform::registry;

namespace {

struct TempFolder {
    fs::path path;
    TempFolder() {
        char tmpl[] = "/tmp/registry_proc_XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~TempFolder() { fs::remove_all(path); }
};

// Runs `body` in a child process; the child's exit code is 0 when body returned true.
pid_t Spawn(const std::function<bool()>& body) {
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(body() ? 0 : 1);
    return pid;
}

int ExitCode(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool SetMany(const fs::path& hives, const std::string& prefix, int count) {
    Registry reg(hives);
    for (int i = 0; i < count; ++i) {
        std::string name = prefix + std::to_string(i);
        if (reg.SetDword(Root::CurrentUser, "Software\\Shared", name, static_cast<std::uint32_t>(i)) != Status::Ok) {
            return false;
        }
    }
    return true;
}

}  // namespace

TEST(RegistryProcesses, TwoWritersLoseNoValue) {
    TempFolder dir;
    ASSERT_EQ(Registry(dir.path).ProvisionHives(), Status::Ok);
    constexpr int kEach = 200;
    pid_t a = Spawn([&] { return SetMany(dir.path, "a", kEach); });
    pid_t b = Spawn([&] { return SetMany(dir.path, "b", kEach); });
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_EQ(ExitCode(a), 0);
    EXPECT_EQ(ExitCode(b), 0);

    Registry reg(dir.path);
    std::vector<NamedValue> values;
    ASSERT_EQ(reg.EnumValues(Root::CurrentUser, "Software\\Shared", &values), Status::Ok);
    EXPECT_EQ(values.size(), 2u * kEach);
    for (const char* prefix : {"a", "b"}) {
        for (int i = 0; i < kEach; ++i) {
            std::string name = prefix + std::to_string(i);
            EXPECT_EQ(reg.GetDword(Root::CurrentUser, "Software\\Shared", name, 0xFFFFFFFFu), static_cast<std::uint32_t>(i)) << name;
        }
    }
}

TEST(RegistryProcesses, ReaderNeverSeesAHalfWrittenHive) {
    TempFolder dir;
    ASSERT_EQ(Registry(dir.path).ProvisionHives(), Status::Ok);
    int pipefd[2];
    ASSERT_EQ(::pipe(pipefd), 0);
    pid_t writer = Spawn([&] {
        ::close(pipefd[0]);
        bool ok = SetMany(dir.path, "w", 150);
        ::close(pipefd[1]);  // tells the reader to stop
        return ok;
    });
    ASSERT_GT(writer, 0);
    ::close(pipefd[1]);

    Registry reg(dir.path);
    int reads = 0, bad = 0;
    std::size_t last = 0;
    for (;;) {
        std::vector<NamedValue> values;
        Status s = reg.EnumValues(Root::CurrentUser, "Software\\Shared", &values);
        ++reads;
        if (s != Status::Ok && s != Status::NotFound) ++bad;
        if (values.size() < last) ++bad;  // a value disappeared
        last = values.size();
        pollfd end{pipefd[0], POLLIN, 0};
        char c;
        if (::poll(&end, 1, 1) > 0 && ::read(pipefd[0], &c, 1) == 0) break;  // writer finished
    }
    ::close(pipefd[0]);
    EXPECT_EQ(ExitCode(writer), 0);
    EXPECT_EQ(bad, 0) << "in " << reads << " reads";
    std::vector<NamedValue> values;
    ASSERT_EQ(reg.EnumValues(Root::CurrentUser, "Software\\Shared", &values), Status::Ok);
    EXPECT_EQ(values.size(), 150u);
}
