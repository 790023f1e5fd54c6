#include "zeriru/application_window.h"

#include <gtest/gtest.h>

#include "runtime_folder_fixture.h"

#include <stdlib.h>

#include <atomic>
#include <filesystem>

namespace {

using ApplicationWindowTest = RuntimeFolderTest;

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
