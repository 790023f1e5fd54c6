#include "zeriru/application_window.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <atomic>
#include <filesystem>

namespace {

class ApplicationWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/appwindow_test_XXXXXX";
        folder_ = ::mkdtemp(tmpl);
        ::setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("XDG_RUNTIME_DIR");
        std::filesystem::remove_all(folder_);
    }
    std::string folder_;
};

}  // namespace

TEST_F(ApplicationWindowTest, ExistsExactlyAsLongAsTheObject) {
    namespace w = platform::winmsg;
    EXPECT_EQ(w::FindWindow("Raredovo"), 0u);
    std::atomic<int> fronted{0};
    {
        zeriru::ApplicationWindow app([&] { ++fronted; });
        ASSERT_TRUE(app.ok()) << app.error();
        EXPECT_EQ(w::FindWindow("Raredovo"), app.handle());
        EXPECT_TRUE(w::BringToFront(app.handle()));
        EXPECT_EQ(fronted, 1);
    }
    EXPECT_EQ(w::FindWindow("Raredovo"), 0u);
}
