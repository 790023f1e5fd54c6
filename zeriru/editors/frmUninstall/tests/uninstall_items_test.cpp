// The four item dialogs of the uninstall lists: their checks in order with their messages, the
// option rules of the delete list, the records they write and the rows the lists show.
#include "platform/sjis.h"
#include "zeriru/editors/uninstall_items.h"
#include "zeriru/system_services.h"

#include <gtest/gtest.h>

using namespace zeriru;
using platform::sjis::S;

namespace {

using Type = UninstallFileItemModel::Type;

UninstallFileItemModel FileItem(UninstallList list, int type) {
    UninstallFileItemModel m(list);
    m.New("%InstallDir%", OsTarget{});
    m.SetType(type);
    return m;
}

std::string MessageOf(const CheckOutcome& r) { return r ? r->message : std::string(); }
std::string FieldOf(const CheckOutcome& r) { return r ? r->field : std::string(); }

}  // namespace

TEST(UninstallFileItem, ChecksInOrderWithTheirMessages) {
    struct Case {
        const char* what;
        UninstallList list;
        int type;
        const char* define;
        const char* parameter;
        const char* fileName;
        const char* pattern;
        std::string message;
        const char* field;
    } cases[] = {
        {"a file", UninstallList::Delete, Type::kFile, "%InstallDir%", "", "a.txt", "", "", ""},
        {"no file name", UninstallList::Delete, Type::kFile, "%InstallDir%", "", "", "", S("ファイル名を入力してください。"),
         "edtFileName"},
        {"a path as file name", UninstallList::Keep, Type::kFile, "%InstallDir%", "", "sub\\a.txt", "",
         MsgInvalidFileName(), "edtFileName"},
        {"a drive in the file name", UninstallList::Delete, Type::kFile, "%InstallDir%", "", "C:a.txt", "",
         MsgInvalidFileName(), "edtFileName"},
        {"a define that is no folder", UninstallList::Delete, Type::kFolder, "%Date%", "", "", "",
         S("サポートしていないフォルダ定数か、この項目では使用できないフォルダ定数です。"), "cmbDefine"},
        {"a define without its parameter", UninstallList::Keep, Type::kFile, "%Registry%", "", "a.txt", "",
         S("パラメータが入力されていません。パラメータを入力してください。"), "edtParameter"},
        {"a define with its parameter", UninstallList::Keep, Type::kFolder, "%Registry%", "HKEY_CURRENT_USER,a,b", "",
         "", "", ""},
        {"a text that names no define", UninstallList::Delete, Type::kFolder, "MyFolder", "", "", "", "", ""},
        {"a pattern", UninstallList::Delete, Type::kPattern, "%InstallDir%", "", "", "*.log", "", ""},
        {"no pattern", UninstallList::Delete, Type::kPattern, "%InstallDir%", "", "", "",
         S("ファイルの拡張子を入力してください。"), "edtPattern"},
        {"*.*", UninstallList::Delete, Type::kPattern, "%InstallDir%", "", "", "*.*",
         S("ファイル名の指定にワイルドカードのみの指定はできません。"), "edtPattern"},
        {"*", UninstallList::Keep, Type::kPattern, "%InstallDir%", "", "", "*",
         S("ファイル名の指定にワイルドカードのみの指定はできません。"), "edtPattern"},
        {".*", UninstallList::Delete, Type::kPattern, "%InstallDir%", "", "", ".*",
         S("ファイル名の指定にワイルドカードのみの指定はできません。"), "edtPattern"},
        {"the pattern's define is not checked", UninstallList::Delete, Type::kPattern, "%Date%", "", "", "*.tmp", "",
         ""},
    };
    for (const Case& c : cases) {
        UninstallFileItemModel m = FileItem(c.list, c.type);
        if (c.type == Type::kPattern) {
            m.patternDefine = c.define;
            m.patternParameter = c.parameter;
        } else {
            m.define = c.define;
            m.parameter = c.parameter;
        }
        m.fileName = c.fileName;
        m.SetPattern(c.pattern);
        const CheckOutcome r = m.Ok();
        EXPECT_EQ(MessageOf(r), c.message) << c.what;
        EXPECT_EQ(FieldOf(r), c.field) << c.what;
        if (std::string(c.field) == "edtParameter") {
            EXPECT_TRUE(r->openParameterDialog) << c.what;
        }
    }
}

TEST(UninstallFileItem, OptionRulesFollowTheType) {
    UninstallFileItemModel m = FileItem(UninstallList::Delete, Type::kFile);
    m.SetOption(0, true);
    m.SetOption(1, true);
    m.SetOption(2, true);
    EXPECT_EQ(m.options(), 3) << "deleting a non-empty folder is for folders only";
    m.SetType(Type::kFolder);
    EXPECT_EQ(m.options(), 1) << "a folder clears the emptied-folder option";
    EXPECT_FALSE(m.OptionEnabled(1));
    EXPECT_TRUE(m.OptionEnabled(2));
    m.SetOption(1, true);
    m.SetOption(2, true);
    EXPECT_EQ(m.options(), 5);
    m.SetType(Type::kPattern);
    EXPECT_TRUE(m.OptionEnabled(1));
    EXPECT_FALSE(m.OptionEnabled(2));
    UninstallFileItemModel keep = FileItem(UninstallList::Keep, Type::kFile);
    keep.SetOption(0, true);
    EXPECT_EQ(keep.options(), 0) << "the keep list has no options";
}

TEST(UninstallFileItem, RecordsKeepTheFieldsOfTheirListAndRoundTrip) {
    UninstallFileItemModel keep(UninstallList::Keep);
    keep.New("%InstallDir%", OsTarget{288, {0, 0, 2, 0, 0, 1}});
    EXPECT_EQ(keep.os.mask, 288) << "a new item takes the project-wide target";
    keep.SetType(Type::kPattern);
    keep.patternDefine = "%SystemDirectory%";
    keep.patternParameter = "a|b";
    keep.fileName = "ignored.txt";
    keep.SetPattern("*.ini");
    EXPECT_EQ(keep.pattern(), "*.INI") << "the keep list takes patterns in upper case";
    const std::string record = keep.Record();
    EXPECT_EQ(record, "2|%SystemDirectory%|a\x02" "b||*.INI|288|0,0,2,0,0,1||||||||||||||");
    UninstallFileItemModel back(UninstallList::Keep);
    back.Load(record);
    EXPECT_EQ(back.type(), Type::kPattern);
    EXPECT_EQ(back.patternParameter, "a|b");
    EXPECT_EQ(back.Record(record), record);

    UninstallFileItemModel del(UninstallList::Delete);
    const std::string stored = "0|%InstallDir%|sub|a.txt||x|1|65535||keep me|";
    del.Load(stored);
    del.fileName = " b.txt ";
    EXPECT_EQ(del.Record(stored), "0|%InstallDir%|sub|b.txt||x|1|65535|0,0,0,0,0,0|keep me|||||||||||")
        << "texts trimmed, fields the dialog does not know kept";
}

TEST(UninstallRegistryItem, ChecksInOrderWithTheirMessages) {
    struct Case {
        const char* what;
        UninstallList list;
        int type;
        const char* root;
        const char* subKey;
        const char* valueName;
        std::string message;
    } cases[] = {
        {"a key", UninstallList::Delete, 0, "HKEY_CURRENT_USER", "Software\\Vendor\\App", "", ""},
        {"no sub-key", UninstallList::Delete, 0, "HKEY_CURRENT_USER", "", "", S("サブキーを入力してください。")},
        {"a protected key", UninstallList::Delete, 0, "HKEY_LOCAL_MACHINE", "SOFTWARE", "",
         S("Windowsで重要なレジストリのため指定することはできません。")},
        {"below a protected key that protects what it contains", UninstallList::Delete, 1, "HKEY_LOCAL_MACHINE",
         "SAM\\Domains", "v", S("Windowsで重要なレジストリのため指定することはできません。")},
        {"a value without its name", UninstallList::Delete, 1, "HKEY_CURRENT_USER", "Software\\Vendor", "",
         S("値名を入力してください。")},
        {"keeping a value without its name", UninstallList::Keep, 0, "HKEY_CURRENT_USER", "Software\\Vendor", "",
         S("値名を入力してください。")},
        {"keeping a value of the root", UninstallList::Keep, 0, "HKEY_CURRENT_USER", "", "v", ""},
        {"keeping a key without its sub-key", UninstallList::Keep, 1, "HKEY_CURRENT_USER", "", "v",
         S("サブキーを入力してください。")},
        {"keeping what a key contains", UninstallList::Keep, 2, "HKEY_LOCAL_MACHINE", "SOFTWARE", "", ""},
    };
    for (const Case& c : cases) {
        UninstallRegistryItemModel m(c.list);
        m.New(OsTarget{});
        m.SetType(c.type);
        m.rootKey = c.root;
        m.subKey = c.subKey;
        m.valueName = c.valueName;
        EXPECT_EQ(MessageOf(m.Ok()), c.message) << c.what;
    }
}

TEST(UninstallRegistryItem, RecordsStoreTheValueNameOnlyForValues) {
    UninstallRegistryItemModel del(UninstallList::Delete);
    del.New(OsTarget{});
    del.subKey = "Software\\Vendor";
    del.valueName = "stale";
    del.options = 6;
    EXPECT_TRUE(del.OptionsEnabled());
    EXPECT_EQ(del.Record(), "0|HKEY_CURRENT_USER|Software\\Vendor||6||65535|0,0,0,0,0,0|||||||||||||");
    del.SetType(1);
    EXPECT_FALSE(del.OptionsEnabled());
    const std::string value = del.Record();
    EXPECT_EQ(value.substr(0, 41), "1|HKEY_CURRENT_USER|Software\\Vendor|stale");
    UninstallRegistryItemModel keep(UninstallList::Keep);
    keep.Load("2|HKEY_USERS|a||7||3|0,0,0,0,0,0|");
    EXPECT_EQ(keep.type(), 2);
    EXPECT_EQ(keep.os.mask, 3);
    EXPECT_EQ(keep.Record().substr(0, 20), "2|HKEY_USERS|a||0||3") << "field 5 of a keep item is 0";
}

TEST(UninstallRows, ShowTheKindAndThePartsJoinedWithoutEmptyOnes) {
    struct Case {
        bool registry;
        UninstallList list;
        const char* record;
        const char* kind;
        const char* value;
    } cases[] = {
        {false, UninstallList::Delete, "0|%InstallDir%|sub|a.txt||0|", "ファイル", "%InstallDir%\\sub\\a.txt"},
        {false, UninstallList::Delete, "1|%InstallDir%||a.txt|||", "フォルダ", "%InstallDir%"},
        {false, UninstallList::Keep, "2|%InstallDir%|log||*.LOG|", "拡張子", "%InstallDir%\\log\\*.LOG"},
        {true, UninstallList::Delete, "0|HKEY_CURRENT_USER|Software\\A|v|", "キー", "HKEY_CURRENT_USER\\Software\\A"},
        {true, UninstallList::Delete, "1|HKEY_CURRENT_USER|Software\\A|v|", "値", "HKEY_CURRENT_USER\\Software\\A\\v"},
        {true, UninstallList::Keep, "0|HKEY_USERS||v|0|", "値", "HKEY_USERS\\v"},
        {true, UninstallList::Keep, "1|HKEY_USERS|K|v|0|", "キー", "HKEY_USERS\\K"},
        {true, UninstallList::Keep, "2|HKEY_USERS|K||0|", "キー(含む場合)", "HKEY_USERS\\K"},
    };
    for (const Case& c : cases) {
        auto text = c.registry ? UninstallRegistryRowText : UninstallFileRowText;
        EXPECT_EQ(text(c.list, c.record, 0), S(c.kind)) << c.record;
        EXPECT_EQ(text(c.list, c.record, 1), c.value) << c.record;
    }
}
