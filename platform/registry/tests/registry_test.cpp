// The registry on disk: typed values, names, enumeration, deletion, provisioning, and what
// happens to missing, damaged and half-written hives.
#include "platform/hostfile.h"
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <thread>

namespace fs = std::filesystem;
using namespace platform::registry;

namespace {

const std::string kHyou = "\x95\x5C";  // 表: trail byte is '\'
const std::string kSo = "\x83\x5C";    // ソ
const std::string kKey = "Software\\Zuzoruve\\dozoze2";

struct TempFolder {
    fs::path path;
    TempFolder() {
        char tmpl[] = "/tmp/registry_test_XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~TempFolder() { fs::remove_all(path); }
};

// A freshly provisioned hive folder.
struct RegistryTest : ::testing::Test {
    TempFolder dir;
    fs::path hives = dir.path / "registry";
    Registry reg{hives};
    void SetUp() override { ASSERT_EQ(reg.ProvisionHives(), Status::Ok); }
    std::string FileOf(Root root) { return platform::ReadHostFile(reg.HivePath(root)).value_or("<unreadable>"); }
};

std::vector<std::string> ValueNames(const std::vector<NamedValue>& values) {
    std::vector<std::string> names;
    for (const NamedValue& nv : values) names.push_back(nv.name);
    return names;
}

}  // namespace

TEST(RootNames, FullAndShortNamesIgnoringCase) {
    struct Case {
        const char* text;
        std::optional<Root> root;
    };
    const Case cases[] = {
        {"HKEY_CLASSES_ROOT", Root::ClassesRoot}, {"HKEY_CURRENT_USER", Root::CurrentUser},
        {"HKEY_LOCAL_MACHINE", Root::LocalMachine}, {"HKEY_USERS", Root::Users},
        {"HKEY_CURRENT_CONFIG", Root::CurrentConfig}, {"hkey_local_machine", Root::LocalMachine},
        {"HKCR", Root::ClassesRoot}, {"HKCU", Root::CurrentUser}, {"hklm", Root::LocalMachine},
        {"HKU", Root::Users}, {"HKCC", Root::CurrentConfig},
        {"HKEY_DYN_DATA", std::nullopt}, {"", std::nullopt}, {"HKEY_LOCAL_MACHINE\\SOFTWARE", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(RootFromName(c.text), c.root) << c.text;
    for (Root root : kAllRoots) EXPECT_EQ(RootFromName(RootName(root)), root);
}

TEST_F(RegistryTest, TypedValuesSurviveTheFileAndANewReader) {
    const std::vector<NamedValue> values = {
        {"", Value::String("default")},
        {"Text", Value::String(kSo + "ft " + kHyou + "\\x")},
        {"Expand", Value::ExpandString("%ProgramFiles%\\a")},
        {"Number", Value::Dword(0x80000001u)},
        {"Binary with NULs", Value::Binary(std::string("\0\0\x5c\0", 4))},
        {"Multi with empties", Value::MultiString({"", "a", "", kHyou})},
        {"Unknown type", Value::Raw(static_cast<ValueType>(0x20), "raw")},
        {"None", Value::Raw(ValueType::None, "")},
    };
    const std::string key = "Software\\" + kHyou + "\\" + kSo;
    for (const NamedValue& nv : values) ASSERT_EQ(reg.SetValue(Root::CurrentUser, key, nv.name, nv.value), Status::Ok);

    Registry fresh(hives);
    for (const NamedValue& nv : values) {
        Value back;
        ASSERT_EQ(fresh.GetValue(Root::CurrentUser, key, nv.name, &back), Status::Ok) << nv.name;
        EXPECT_EQ(back, nv.value) << nv.name;
    }
    // The 0x5C trail bytes did not split the path: 表 is one key with ソ below it.
    std::vector<std::string> subs;
    ASSERT_EQ(fresh.EnumSubKeys(Root::CurrentUser, "Software", &subs), Status::Ok);
    EXPECT_EQ(subs, std::vector<std::string>{kHyou});
    ASSERT_EQ(fresh.EnumSubKeys(Root::CurrentUser, "Software\\" + kHyou, &subs), Status::Ok);
    EXPECT_EQ(subs, std::vector<std::string>{kSo});
    // Other hives are untouched.
    EXPECT_EQ(fresh.KeyExists(Root::LocalMachine, "Software"), Status::NotFound);
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
    ASSERT_EQ(reg.SetString(Root::CurrentUser, "Software\\MyApp", "LastFile", "a"), Status::Ok);
    ASSERT_EQ(reg.SetString(Root::CurrentUser, "SOFTWARE\\myapp", "LASTFILE", "b"), Status::Ok);
    struct Case {
        const char* path;
        const char* name;
    };
    const Case cases[] = {{"software\\MYAPP", "lastfile"}, {"Software\\MyApp\\", "LastFile"}, {"SoFtWaRe\\mYaPp", "lAsTfIlE"}};
    for (const Case& c : cases) EXPECT_EQ(reg.GetString(Root::CurrentUser, c.path, c.name), "b") << c.path << " " << c.name;

    std::vector<NamedValue> values;
    ASSERT_EQ(reg.EnumValues(Root::CurrentUser, "software\\myapp", &values), Status::Ok);
    EXPECT_EQ(ValueNames(values), std::vector<std::string>{"LastFile"});
    std::vector<std::string> subs;
    ASSERT_EQ(reg.EnumSubKeys(Root::CurrentUser, "", &subs), Status::Ok);
    EXPECT_EQ(subs, std::vector<std::string>{"Software"});
    ASSERT_EQ(reg.EnumSubKeys(Root::CurrentUser, "software", &subs), Status::Ok);
    EXPECT_EQ(subs, std::vector<std::string>{"MyApp"});
    // Only single-byte letters fold: full-width Ａ (82 60) and ａ (82 81) are different names.
    ASSERT_EQ(reg.SetDword(Root::CurrentUser, "k", "\x82\x60", 1), Status::Ok);
    EXPECT_EQ(reg.GetDword(Root::CurrentUser, "k", "\x82\x81", 99), 99u);
}

TEST_F(RegistryTest, EnumerationOrderSubKeysSortedValuesAsFirstSet) {
    for (const char* k : {"zeta", "Alpha", "beta", "Gamma", "_under", "10", "9"}) {
        ASSERT_EQ(reg.CreateKey(Root::LocalMachine, std::string("Order\\") + k), Status::Ok);
    }
    for (const char* v : {"z", "a", "M", "", "b"}) ASSERT_EQ(reg.SetDword(Root::LocalMachine, "Order", v, 1), Status::Ok);
    ASSERT_EQ(reg.SetDword(Root::LocalMachine, "Order", "A", 2), Status::Ok);  // keeps its place

    std::vector<std::string> subs;
    ASSERT_EQ(reg.EnumSubKeys(Root::LocalMachine, "order", &subs), Status::Ok);
    EXPECT_EQ(subs, (std::vector<std::string>{"10", "9", "Alpha", "beta", "Gamma", "zeta", "_under"}));
    std::vector<NamedValue> values;
    ASSERT_EQ(reg.EnumValues(Root::LocalMachine, "order", &values), Status::Ok);
    EXPECT_EQ(ValueNames(values), (std::vector<std::string>{"z", "a", "M", "", "b"}));
    EXPECT_EQ(values[1].value, Value::Dword(2));

    // The same order after the hive was read back by another reader.
    Registry fresh(hives);
    ASSERT_EQ(fresh.EnumValues(Root::LocalMachine, "order", &values), Status::Ok);
    EXPECT_EQ(ValueNames(values), (std::vector<std::string>{"z", "a", "M", "", "b"}));
}

TEST_F(RegistryTest, DeleteKeyTreeAndValues) {
    ASSERT_EQ(reg.SetString(Root::CurrentUser, kKey + "\\Dialog\\Folder", "0", "C:\\out"), Status::Ok);
    ASSERT_EQ(reg.SetString(Root::CurrentUser, kKey + "\\Dialog\\HintDialog", "00001", "1"), Status::Ok);
    ASSERT_EQ(reg.SetDword(Root::CurrentUser, kKey + "\\Option", "LastTab", 2), Status::Ok);

    EXPECT_EQ(reg.DeleteKeyTree(Root::CurrentUser, kKey + "\\DIALOG"), Status::Ok);
    EXPECT_EQ(reg.KeyExists(Root::CurrentUser, kKey + "\\Dialog\\Folder"), Status::NotFound);
    EXPECT_EQ(reg.KeyExists(Root::CurrentUser, kKey + "\\Dialog"), Status::NotFound);
    EXPECT_EQ(reg.GetDword(Root::CurrentUser, kKey + "\\Option", "LastTab"), 2u);
    EXPECT_EQ(reg.DeleteKeyTree(Root::CurrentUser, kKey + "\\Dialog"), Status::NotFound);
    EXPECT_EQ(reg.DeleteKeyTree(Root::CurrentUser, "nowhere\\at\\all"), Status::NotFound);

    EXPECT_EQ(reg.DeleteValue(Root::CurrentUser, kKey + "\\Option", "lasttab"), Status::Ok);
    EXPECT_EQ(reg.DeleteValue(Root::CurrentUser, kKey + "\\Option", "LastTab"), Status::NotFound);
    EXPECT_EQ(reg.KeyExists(Root::CurrentUser, kKey + "\\Option"), Status::Ok);  // an empty key stays

    // Deleting the root's tree empties the hive but keeps it a valid hive.
    EXPECT_EQ(reg.SetString(Root::CurrentUser, "", "", "root default"), Status::Ok);
    EXPECT_EQ(reg.DeleteKeyTree(Root::CurrentUser, ""), Status::Ok);
    std::vector<std::string> subs;
    ASSERT_EQ(reg.EnumSubKeys(Root::CurrentUser, "", &subs), Status::Ok);
    EXPECT_TRUE(subs.empty());
    EXPECT_EQ(reg.GetString(Root::CurrentUser, "", "", "gone"), "gone");
}

TEST_F(RegistryTest, ConvenienceReadsFallBackOnlyWhenNothingUsableIsThere) {
    ASSERT_EQ(reg.SetString(Root::CurrentUser, "k", "text", "t"), Status::Ok);
    ASSERT_EQ(reg.SetValue(Root::CurrentUser, "k", "expand", Value::ExpandString("%x%")), Status::Ok);
    ASSERT_EQ(reg.SetDword(Root::CurrentUser, "k", "number", 5), Status::Ok);
    ASSERT_EQ(reg.SetString(Root::CurrentUser, "k", "empty", ""), Status::Ok);
    struct Case {
        const char* path;
        const char* name;
        std::string text;
        std::uint32_t number;
    };
    const Case cases[] = {
        {"k", "text", "t", 77},        {"k", "expand", "%x%", 77}, {"k", "number", "fb", 5},
        {"k", "empty", "", 77},        {"k", "missing", "fb", 77}, {"missing", "text", "fb", 77},
        {"\\bad", "text", "fb", 77},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(reg.GetString(Root::CurrentUser, c.path, c.name, "fb"), c.text) << c.path << " " << c.name;
        EXPECT_EQ(reg.GetDword(Root::CurrentUser, c.path, c.name, 77), c.number) << c.path << " " << c.name;
    }
    Registry nowhere(dir.path / "no_such_folder");
    EXPECT_EQ(nowhere.GetString(Root::CurrentUser, "k", "text", "fb"), "fb");
}

TEST_F(RegistryTest, InvalidNamesAreRefusedAndWriteNothing) {
    const std::string before = FileOf(Root::CurrentUser);
    for (const std::string& path : {std::string("\\lead"), std::string("a\\\\b"), std::string(256, 'x') + "\\y"}) {
        EXPECT_EQ(reg.CreateKey(Root::CurrentUser, path), Status::InvalidName) << path;
        EXPECT_EQ(reg.SetDword(Root::CurrentUser, path, "v", 1), Status::InvalidName) << path;
        EXPECT_EQ(reg.KeyExists(Root::CurrentUser, path), Status::InvalidName) << path;
    }
    EXPECT_EQ(reg.SetDword(Root::CurrentUser, "k", std::string(16384, 'n'), 1), Status::InvalidName);
    const Root bogus = static_cast<Root>(7);
    EXPECT_EQ(reg.SetDword(bogus, "k", "v", 1), Status::InvalidName);
    EXPECT_EQ(reg.KeyExists(bogus, ""), Status::InvalidName);
    EXPECT_STREQ(RootName(bogus), "");
    EXPECT_EQ(FileOf(Root::CurrentUser), before);
}

TEST_F(RegistryTest, EditAppliesAllOrNothing) {
    // RememberFirst-style rewrite: delete the list and write it again in one update.
    ASSERT_EQ(reg.SetString(Root::CurrentUser, "History", "0", "old"), Status::Ok);
    Status s = reg.Edit(Root::CurrentUser, [](HiveEdit& e) {
        if (Status s = e.DeleteKeyTree("History"); s != Status::Ok) return s;
        for (int i = 0; i < 5; ++i) {
            Status s = e.SetValue("History", std::to_string(i), Value::String("p" + std::to_string(i)));
            if (s != Status::Ok) return s;
        }
        return Status::Ok;
    });
    ASSERT_EQ(s, Status::Ok);
    std::vector<NamedValue> values;
    ASSERT_EQ(reg.EnumValues(Root::CurrentUser, "History", &values), Status::Ok);
    EXPECT_EQ(ValueNames(values), (std::vector<std::string>{"0", "1", "2", "3", "4"}));

    // A change that fails half-way writes nothing of what it did before failing.
    const std::string before = FileOf(Root::CurrentUser);
    s = reg.Edit(Root::CurrentUser, [](HiveEdit& e) {
        e.SetValue("History", "0", Value::String("lost"));
        return e.DeleteValue("History", "no such value");
    });
    EXPECT_EQ(s, Status::NotFound);
    EXPECT_EQ(FileOf(Root::CurrentUser), before);
    EXPECT_EQ(reg.GetString(Root::CurrentUser, "History", "0"), "p0");
}

TEST_F(RegistryTest, SettingTheSameValueAgainDoesNotRewriteTheHive) {
    ASSERT_EQ(reg.SetDword(Root::CurrentUser, "k", "v", 1), Status::Ok);
    struct stat before {}, after {};
    ASSERT_EQ(::stat(reg.HivePath(Root::CurrentUser).c_str(), &before), 0);
    ASSERT_EQ(reg.SetDword(Root::CurrentUser, "K", "V", 1), Status::Ok);
    ASSERT_EQ(reg.CreateKey(Root::CurrentUser, "k"), Status::Ok);
    ASSERT_EQ(::stat(reg.HivePath(Root::CurrentUser).c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
}

TEST_F(RegistryTest, AReaderSeesWhatAnotherWriterWrote) {
    Registry other(hives);
    ASSERT_EQ(reg.SetDword(Root::CurrentUser, "k", "v", 1), Status::Ok);
    EXPECT_EQ(other.GetDword(Root::CurrentUser, "k", "v"), 1u);  // parsed and cached
    // Same size, written at once: the cache must still notice the new file.
    for (std::uint32_t n = 2; n < 12; ++n) {
        ASSERT_EQ(reg.SetDword(Root::CurrentUser, "k", "v", n), Status::Ok);
        EXPECT_EQ(other.GetDword(Root::CurrentUser, "k", "v"), n);
    }
}

TEST_F(RegistryTest, ThreadsOfOneProcessLoseNoUpdate) {
    constexpr int kThreads = 4;
    constexpr int kEach = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            Registry own(hives);  // half share `reg`, half use their own object
            Registry& r = (t % 2) ? own : reg;
            for (int i = 0; i < kEach; ++i) {
                r.SetDword(Root::CurrentUser, "Threads", "t" + std::to_string(t) + "_" + std::to_string(i), static_cast<std::uint32_t>(i));
            }
        });
    }
    for (auto& th : threads) th.join();
    std::vector<NamedValue> values;
    ASSERT_EQ(Registry(hives).EnumValues(Root::CurrentUser, "Threads", &values), Status::Ok);
    EXPECT_EQ(values.size(), static_cast<std::size_t>(kThreads * kEach));
}

TEST(RegistryProvisioning, CreatesFiveEmptyHivesOnlyWhenNoneExists) {
    TempFolder dir;
    Registry reg(dir.path / "prefix" / "registry");
    for (Root root : kAllRoots) EXPECT_EQ(reg.KeyExists(root, ""), Status::HiveMissing);
    ASSERT_EQ(reg.ProvisionHives(), Status::Ok);
    for (Root root : kAllRoots) {
        EXPECT_EQ(reg.KeyExists(root, ""), Status::Ok) << RootName(root);
        struct stat st {};
        ASSERT_EQ(::stat(reg.HivePath(root).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    ASSERT_EQ(reg.SetDword(Root::CurrentUser, "k", "v", 3), Status::Ok);
    // Provisioning again changes nothing.
    ASSERT_EQ(reg.ProvisionHives(), Status::Ok);
    EXPECT_EQ(reg.GetDword(Root::CurrentUser, "k", "v"), 3u);

    // One hive lost: provisioning refuses to paper over it.
    fs::remove(reg.HivePath(Root::LocalMachine));
    EXPECT_EQ(reg.ProvisionHives(), Status::HiveMissing);
    EXPECT_NE(Registry::LastErrorDetail().find("HKEY_LOCAL_MACHINE"), std::string::npos);
    EXPECT_FALSE(fs::exists(reg.HivePath(Root::LocalMachine)));
}

TEST_F(RegistryTest, MissingHiveIsReportedAndNotRecreated) {
    fs::remove(reg.HivePath(Root::CurrentUser));
    Value v;
    std::vector<std::string> subs;
    EXPECT_EQ(reg.GetValue(Root::CurrentUser, "k", "v", &v), Status::HiveMissing);
    EXPECT_EQ(reg.EnumSubKeys(Root::CurrentUser, "", &subs), Status::HiveMissing);
    EXPECT_EQ(reg.SetDword(Root::CurrentUser, "k", "v", 1), Status::HiveMissing);
    EXPECT_EQ(reg.CreateKey(Root::CurrentUser, "k"), Status::HiveMissing);
    EXPECT_EQ(reg.DeleteKeyTree(Root::CurrentUser, ""), Status::HiveMissing);
    EXPECT_FALSE(fs::exists(reg.HivePath(Root::CurrentUser)));
    EXPECT_EQ(reg.SetDword(Root::LocalMachine, "k", "v", 1), Status::Ok);  // the others still work
}

TEST_F(RegistryTest, DamagedHiveIsReportedAndLeftByteForByte) {
    ASSERT_EQ(reg.SetString(Root::CurrentUser, "k", "v", "precious"), Status::Ok);
    const std::string good = FileOf(Root::CurrentUser);
    const std::string damages[] = {
        good.substr(0, good.size() / 2),  // cut short
        "",                                // emptied
        std::string("\0\0\0\0", 4),         // zeroed
        "ZUZORUVE-REGISTRY-HIVE 1 HKEY_LOCAL_MACHINE\n[]\nEND-OF-HIVE\n",  // another root's
    };
    for (const std::string& damaged : damages) {
        ASSERT_TRUE(platform::WriteHostFileAtomic(reg.HivePath(Root::CurrentUser), damaged));
        Value v;
        EXPECT_EQ(reg.GetValue(Root::CurrentUser, "k", "v", &v), Status::Damaged);
        EXPECT_FALSE(Registry::LastErrorDetail().empty());
        EXPECT_EQ(reg.SetString(Root::CurrentUser, "k", "v", "overwrite"), Status::Damaged);
        EXPECT_EQ(reg.DeleteKeyTree(Root::CurrentUser, ""), Status::Damaged);
        EXPECT_EQ(reg.GetString(Root::CurrentUser, "k", "v", "fb"), "fb");
        EXPECT_EQ(FileOf(Root::CurrentUser), damaged);
    }
    // Once repaired, the hive works again.
    ASSERT_TRUE(platform::WriteHostFileAtomic(reg.HivePath(Root::CurrentUser), good));
    EXPECT_EQ(reg.GetString(Root::CurrentUser, "k", "v"), "precious");
}

TEST_F(RegistryTest, InterruptedWriteLeavesTheOldHiveReadable) {
    ASSERT_EQ(reg.SetString(Root::CurrentUser, "k", "v", "old"), Status::Ok);
    const std::string before = FileOf(Root::CurrentUser);
    for (long long cut : {0LL, 1LL, 30LL, static_cast<long long>(before.size())}) {
        platform::SetWriteFailureAfterBytesForTesting(cut);
        Status s = reg.SetString(Root::CurrentUser, "k", "v", "new value, longer than the old one");
        platform::SetWriteFailureAfterBytesForTesting(-1);
        EXPECT_EQ(s, Status::IoError) << cut;
        EXPECT_EQ(FileOf(Root::CurrentUser), before) << cut;
        EXPECT_EQ(reg.GetString(Root::CurrentUser, "k", "v"), "old") << cut;
        EXPECT_EQ(Registry(hives).GetString(Root::CurrentUser, "k", "v"), "old") << cut;
    }
    // No temporary file is left behind.
    for (const auto& entry : fs::directory_iterator(hives)) {
        EXPECT_TRUE(entry.path().extension() == ".hive" || entry.path().extension() == ".lock") << entry.path();
    }
}
