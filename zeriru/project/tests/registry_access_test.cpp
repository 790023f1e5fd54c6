#include "zeriru/registry_access.h"

#include "platform/sjis.h"
#include "test_util.h"

#include <gtest/gtest.h>

using namespace zeriru;
namespace reg = platform::registry;
using platform::sjis::S;

namespace {

class RegistryByName : public ::testing::Test {
protected:
    test::TempFolder dir;
    std::unique_ptr<reg::Registry> r;
    void SetUp() override {
        r = std::make_unique<reg::Registry>(dir.path / "registry");
        ASSERT_EQ(r->ProvisionHives(), reg::Status::Ok);
    }
};

TEST_F(RegistryByName, RootTextPicksTheHive) {
    ASSERT_TRUE(RegWriteString(*r, "HKEY_LOCAL_MACHINE", "Software\\Vendor", "Path", S("C:\\表")));
    EXPECT_EQ(r->GetString(reg::Root::LocalMachine, "SOFTWARE\\VENDOR", "path"), S("C:\\表"));
    // Any other text addresses HKEY_CURRENT_USER.
    ASSERT_TRUE(RegWriteString(*r, "HKLM", "Software\\Vendor", "Path", "cu"));
    EXPECT_EQ(r->GetString(reg::Root::CurrentUser, "Software\\Vendor", "Path"), "cu");
    EXPECT_EQ(RegReadString(*r, "hkey_local_machine", "software\\vendor", "PATH"), S("C:\\表"));
    // HKEY_DYN_DATA has no hive: reads give the default and writes fail.
    EXPECT_EQ(RegReadString(*r, "HKEY_DYN_DATA", "x", "y", "def"), "def");
    EXPECT_FALSE(RegWriteString(*r, "HKEY_DYN_DATA", "x", "y", "v"));
}

TEST_F(RegistryByName, TypedReadsFallBackOnOtherTypes) {
    ASSERT_TRUE(RegWriteInteger(*r, "HKEY_CURRENT_USER", "K", "n", -5));
    ASSERT_TRUE(RegWriteBool(*r, "HKEY_CURRENT_USER", "K", "b", true));
    ASSERT_TRUE(RegWriteString(*r, "HKEY_CURRENT_USER", "K", "s", "12"));
    ASSERT_EQ(r->SetValue(reg::Root::CurrentUser, "K", "bin", reg::Value::Binary(std::string("\x00\xAB\x7F", 3))),
              reg::Status::Ok);
    EXPECT_EQ(RegReadInteger(*r, "HKEY_CURRENT_USER", "K", "n", 0), -5);
    EXPECT_TRUE(RegReadBool(*r, "HKEY_CURRENT_USER", "K", "b", false));
    EXPECT_EQ(RegReadInteger(*r, "HKEY_CURRENT_USER", "K", "s", 7), 7);        // a string is not a number
    EXPECT_EQ(RegReadString(*r, "HKEY_CURRENT_USER", "K", "n", "d"), "d");      // a number is not a string
    EXPECT_EQ(RegReadString(*r, "HKEY_CURRENT_USER", "Missing", "n", "d"), "d");
    EXPECT_EQ(RegReadBinaryText(*r, "HKEY_CURRENT_USER", "K", "bin"), "00,AB,7F");
    EXPECT_EQ(RegReadBinaryText(*r, "HKEY_CURRENT_USER", "K", "s"), "");
    EXPECT_EQ(RegValueType(*r, "HKEY_CURRENT_USER", "K", "bin"), reg::ValueType::Binary);
    EXPECT_EQ(RegValueType(*r, "HKEY_CURRENT_USER", "K", "s"), reg::ValueType::Sz);
    EXPECT_EQ(RegValueType(*r, "HKEY_CURRENT_USER", "K", "none"), reg::ValueType::None);
}

TEST_F(RegistryByName, DeleteKeyRefusesProtectedKeys) {
    ASSERT_TRUE(RegWriteString(*r, "HKEY_CURRENT_USER", "Software\\Vendor\\App\\Sub", "v", "1"));
    ASSERT_TRUE(RegWriteString(*r, "HKEY_CURRENT_USER", "Software\\Other", "v", "1"));
    // Before: deleting the empty key of a root emptied the whole hive.
    EXPECT_FALSE(RegDeleteKey(*r, "HKEY_CURRENT_USER", ""));
    EXPECT_FALSE(RegDeleteKey(*r, "HKEY_CURRENT_USER", "Software\\"));
    EXPECT_FALSE(RegDeleteKey(*r, "hkey_current_user", "software"));
    EXPECT_EQ(r->KeyExists(reg::Root::CurrentUser, "Software\\Other"), reg::Status::Ok);
    EXPECT_TRUE(RegDeleteKey(*r, "HKEY_CURRENT_USER", "Software\\Vendor"));
    EXPECT_EQ(r->KeyExists(reg::Root::CurrentUser, "Software\\Vendor\\App"), reg::Status::NotFound);
    EXPECT_EQ(r->KeyExists(reg::Root::CurrentUser, "Software\\Other"), reg::Status::Ok);
}

}  // namespace
