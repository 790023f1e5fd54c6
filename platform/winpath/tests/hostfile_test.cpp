#include "platform/hostfile.h"
#include "platform/prefix.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {
struct TempFolder {
    fs::path path;
    TempFolder() {
        char tmpl[] = "/tmp/hostfile_test_XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~TempFolder() { fs::remove_all(path); }
};
}  // namespace

TEST(AtomicWrite, ReplacesContentAndKeepsPermissions) {
    TempFolder dir;
    fs::path file = dir.path / "a.PJ2";
    ASSERT_TRUE(platform::WriteHostFileAtomic(file, "first"));
    ::chmod(file.c_str(), 0640);
    ASSERT_TRUE(platform::WriteHostFileAtomic(file, "second, longer"));
    EXPECT_EQ(platform::ReadHostFile(file).value(), "second, longer");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(AtomicWrite, FailureHalfWayLeavesOldFileAndNoTemporary) {
    TempFolder dir;
    fs::path file = dir.path / "hive.reg";
    ASSERT_TRUE(platform::WriteHostFileAtomic(file, "old content"));
    platform::SetWriteFailureAfterBytesForTesting(3);
    std::string error;
    EXPECT_FALSE(platform::WriteHostFileAtomic(file, std::string(100000, 'x'), &error));
    platform::SetWriteFailureAfterBytesForTesting(-1);
    EXPECT_NE(error.find("write"), std::string::npos) << error;
    EXPECT_EQ(platform::ReadHostFile(file).value(), "old content");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

TEST(AtomicWrite, MissingFolderIsReported) {
    std::string error;
    EXPECT_FALSE(platform::WriteHostFileAtomic("/nonexistent_folder_x/a", "x", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(platform::ReadHostFile("/nonexistent_folder_x/a", &error).has_value());
}

TEST(Prefix, RootFollowsEnvironment) {
    ::setenv("PLATFORM_ROOT", "/tmp/some_prefix", 1);
    EXPECT_EQ(platform::PrefixRoot(), fs::path("/tmp/some_prefix"));
    EXPECT_EQ(platform::RegistryFolder(), fs::path("/tmp/some_prefix/registry"));
    ::unsetenv("PLATFORM_ROOT");
    ::setenv("XDG_DATA_HOME", "/tmp/xdg", 1);
    EXPECT_EQ(platform::PrefixRoot(), fs::path("/tmp/xdg/zuzoruve/prefix"));
    ::unsetenv("XDG_DATA_HOME");
}
