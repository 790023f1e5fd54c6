// The hive's text form on its own: what is written reads back the same, and what is not a
// complete hive is refused.
#include "../hive.h"

#include <gtest/gtest.h>

using namespace platform::registry;
using namespace platform::registry::detail;

namespace {

// 表 is 0x95 0x5C and ソ is 0x83 0x5C: the trail byte equals '\'. 構 is 0x8D 0x7C.
const std::string kHyou = "\x95\x5C";
const std::string kSo = "\x83\x5C";
const std::string kKou = "\x8D\x7C";

// A key path of `levels` names "k".
std::string Deep(std::size_t levels) {
    std::string path = "k";
    for (std::size_t i = 1; i < levels; ++i) path += "\\k";
    return path;
}

KeyNode Reparse(const KeyNode& tree, Root root, std::string* text = nullptr) {
    std::string written = FormatHive(tree, root);
    if (text) *text = written;
    KeyNode back;
    std::string error;
    EXPECT_TRUE(ParseHive(written, root, &back, &error)) << error << "\n" << written;
    return back;
}

}  // namespace

TEST(HiveText, EveryValueTypeAndAwkwardNameReadsBackUnchanged) {
    const std::vector<NamedValue> values = {
        {"", Value::String("default value")},
        {"plain", Value::String("text")},
        {"quote\"back\\slash", Value::String("\"quoted\" C:\\dir\\")},
        {kHyou + kSo, Value::String(kSo + "\\" + kHyou)},
        {"controls", Value::String(std::string("a\r\nb\tc\x01\x7f", 8))},
        {"embedded nul", Value::String(std::string("a\0b", 3))},
        {"lone lead at end", Value::String("abc\x95")},
        {"lead before quote", Value::String("\x95\"x")},
        {"lead before newline", Value::String("\x95\nx")},
        {"expand", Value::ExpandString("%SystemRoot%\\system32")},
        {"dword max", Value::Dword(0xFFFFFFFFu)},
        {"dword zero", Value::Dword(0)},
        {"binary", Value::Binary(std::string("\x00\x01\\\xff\x00", 5))},
        {"binary empty", Value::Binary("")},
        {"multi", Value::MultiString({"a", "", kHyou, "", "c,d", "\"q\""})},
        {"multi empty list", Value::MultiString({})},
        {"multi one empty", Value::MultiString({""})},
        {"none", Value::Raw(ValueType::None, std::string("\x00\x05", 2))},
        {"qword", Value::Raw(static_cast<ValueType>(11), "12345678")},
        {"=@[]%", Value::String("@")},
    };
    KeyNode tree;
    KeyNode& key = tree.AddSubKey("Software").AddSubKey(kHyou);
    key.values = values;
    tree.values.push_back({"root value", Value::Dword(7)});

    KeyNode back = Reparse(tree, Root::CurrentUser);
    ASSERT_NE(back.FindSubKey("software"), nullptr);
    const KeyNode* backKey = back.FindSubKey("software")->FindSubKey(kHyou);
    ASSERT_NE(backKey, nullptr);
    EXPECT_EQ(backKey->name, kHyou);
    ASSERT_EQ(backKey->values.size(), values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(backKey->values[i], values[i]) << "value " << i << " \"" << values[i].name << "\"";
    }
    ASSERT_EQ(back.values.size(), 1u);
    EXPECT_EQ(back.values[0].value, Value::Dword(7));
}

TEST(HiveText, KeyNamesWithTrailByteSeparatorsAndControlBytesKeepTheirShape) {
    // Each name must come back as one key of that exact spelling, not split or merged.
    const std::vector<std::string> names = {
        kHyou, kSo + "ft", "a" + kHyou + "b", kKou, "100%", "%41", "tab\there",
        "ends in lead \x95", "[brackets]", "\x95",
    };
    KeyNode tree;
    for (const std::string& name : names) tree.AddSubKey("parent").AddSubKey(name).AddSubKey("child");
    std::string text;
    KeyNode back = Reparse(tree, Root::LocalMachine, &text);
    const KeyNode* parent = back.FindSubKey("PARENT");
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(parent->subkeys.size(), names.size());
    for (const std::string& name : names) {
        const KeyNode* key = parent->FindSubKey(name);
        ASSERT_NE(key, nullptr) << name;
        EXPECT_EQ(key->name, name);
        EXPECT_NE(key->FindSubKey("child"), nullptr) << name;
    }
    // 表 stands in the file as its own two bytes, readable as Shift-JIS text.
    EXPECT_NE(text.find("[parent\\" + kHyou + "\\child]\n"), std::string::npos) << text;
}

TEST(HiveText, SplitKeyPathWalksCharacters) {
    struct Case {
        std::string path;
        bool ok;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"", true, {}},
        {"Software", true, {"Software"}},
        {"Software\\Zuzoruve\\", true, {"Software", "Zuzoruve"}},
        {kHyou + "\\" + kSo, true, {kHyou, kSo}},
        {kHyou, true, {kHyou}},
        {"a\\" + kHyou + "\\", true, {"a", kHyou}},
        {"\\Software", false, {}},
        {"a\\\\b", false, {}},
        {"a\\\\", false, {}},
        {std::string(256, 'k'), false, {}},
        {std::string(255, 'k'), true, {std::string(255, 'k')}},
        {Deep(512), true, std::vector<std::string>(512, "k")},
        {Deep(513), false, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> names;
        EXPECT_EQ(SplitKeyPath(c.path, &names), c.ok) << c.path;
        if (c.ok) {
            EXPECT_EQ(names, c.names) << c.path;
        }
    }
}

TEST(HiveText, DamagedTextIsRefused) {
    KeyNode tree;
    tree.AddSubKey("Software").values.push_back({"v", Value::String("x")});
    const std::string good = FormatHive(tree, Root::CurrentUser);
    const std::string header = "ZUZORUVE-REGISTRY-HIVE 1 HKEY_CURRENT_USER\n";
    struct Case {
        const char* what;
        std::string text;
    };
    const Case cases[] = {
        {"empty file", ""},
        {"cut before the end line", good.substr(0, good.size() - 12)},
        {"cut inside a line", good.substr(0, good.size() - 3)},
        {"another root's hive", FormatHive(tree, Root::LocalMachine)},
        {"another format version", "ZUZORUVE-REGISTRY-HIVE 2 HKEY_CURRENT_USER\n[]\nEND-OF-HIVE\n"},
        {"not a hive", "Windows Registry Editor Version 5.00\n"},
        {"binary garbage", std::string("\x00\x01\x02\n", 4)},
        {"value before any key", header + "\"v\"=sz:\"x\"\nEND-OF-HIVE\n"},
        {"unterminated text", header + "[]\n\"v\"=sz:\"x\nEND-OF-HIVE\n"},
        {"unknown type", header + "[]\n\"v\"=qword:1\nEND-OF-HIVE\n"},
        {"bad hex", header + "[]\n\"v\"=binary:0g\nEND-OF-HIVE\n"},
        {"bad escape", header + "[]\n\"v\"=sz:\"\\q\"\nEND-OF-HIVE\n"},
        {"trailing text", header + "[]\n\"v\"=dword:00000001 x\nEND-OF-HIVE\n"},
        {"header without bracket", header + "[Software\nEND-OF-HIVE\n"},
        {"empty key name", header + "[a\\\\b]\nEND-OF-HIVE\n"},
        {"escaped separator in a name", header + "[a%5cb]\nEND-OF-HIVE\n"},
        {"key path too deep", header + "[" + Deep(513) + "]\nEND-OF-HIVE\n"},
        {"text after the end", good + "[more]\n"},
    };
    for (const Case& c : cases) {
        KeyNode back;
        std::string error;
        EXPECT_FALSE(ParseHive(c.text, Root::CurrentUser, &back, &error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
}

TEST(HiveText, HandEditsAreTolerated) {
    const std::string text =
        "ZUZORUVE-REGISTRY-HIVE 1 HKEY_USERS\r\n"
        "; edited by hand\r\n"
        "\r\n"
        "[A\\B]\r\n"
        "\"n\" = dword:1a\r\n"
        "\"n\"=dword:2b\r\n"
        "[a]\r\n"
        "\"x\"=binary: 01 , 02\r\n"
        "END-OF-HIVE\r\n"
        "\r\n";
    KeyNode tree;
    std::string error;
    ASSERT_TRUE(ParseHive(text, Root::Users, &tree, &error)) << error;
    const KeyNode* a = tree.FindSubKey("A");
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->values.size(), 1u);
    EXPECT_EQ(a->values[0].value, Value::Binary("\x01\x02"));
    const KeyNode* b = a->FindSubKey("b");
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->values.size(), 1u);
    EXPECT_EQ(b->values[0].value, Value::Dword(0x2b));
}
