#include "zeriru/registry_settings_store.h"

#include "test_util.h"
#include "zeriru/project_file.h"

#include <gtest/gtest.h>

using namespace zeriru;
namespace reg = platform::registry;

namespace {

struct RegistryFixture : ::testing::Test {
    test::TempFolder temp;
    reg::Registry registry{temp.path / "registry"};
    RegistrySettingsStore store{registry};
    EditorSettings settings{store, "C:\\Zuzoruve\\", "C:\\users\\me\\Documents"};
    void SetUp() override { ASSERT_EQ(registry.ProvisionHives(), reg::Status::Ok); }
};

TEST_F(RegistryFixture, SettingsLiveBelowTheEditorsKey) {
    EXPECT_EQ(settings.ReadOptions(), EditorOptions{});  // no key at all: defaults
    EditorOptions o;
    o.mode = 1;
    o.proxyPassword = "pw";
    settings.WriteOptions(o);
    EXPECT_EQ(settings.ReadOptions(), o);
    EXPECT_EQ(registry.GetDword(reg::Root::CurrentUser, "Software\\Zuzoruve\\dozoze2\\Option", "DOzoze_Mode"), 1u);
    EXPECT_EQ(registry.GetString(reg::Root::CurrentUser, "SOFTWARE\\zuzoruve\\DOZOZE2\\Option", "ProxyPassword"),
              ScrambleText("pw", kProxyCredentialPasses));

    // A value of another type reads as the default.
    ASSERT_EQ(registry.SetString(reg::Root::CurrentUser, "Software\\Zuzoruve\\dozoze2\\Option", "SaveLastState", "0"),
              reg::Status::Ok);
    EXPECT_TRUE(settings.ReadOptions().saveLastState);
}

TEST_F(RegistryFixture, HistoryAndKeyDeletion) {
    for (const char* p : {"C:\\a.PJ2", "C:\\b.PJ2", "C:\\a.PJ2"}) settings.PutHistoryFirst(p);
    EXPECT_EQ(settings.History(), (std::vector<std::string>{"C:\\a.PJ2", "C:\\b.PJ2"}));
    settings.SetHintSuppressed(1, true);
    settings.ResetHints();
    EXPECT_FALSE(settings.HintSuppressed(1));
    EXPECT_EQ(registry.KeyExists(reg::Root::CurrentUser, "Software\\Zuzoruve\\dozoze2\\Dialog\\HintDialog"),
              reg::Status::NotFound);
    EXPECT_TRUE(store.DeleteKey("Dialog\\Nothing"));
    settings.ClearHistory();
    EXPECT_TRUE(settings.History().empty());
}

}  // namespace
