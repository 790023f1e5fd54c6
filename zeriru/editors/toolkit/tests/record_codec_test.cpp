// The record codecs: decoding and defaults on read, in-place updates that keep what the editor
// does not understand, the separators of the sub-records, and the dump tests compare.
#include "platform/sjis.h"
#include "zeriru/editors/condition.h"
#include "zeriru/editors/record_kinds.h"
#include "zeriru/project_file.h"

#include <gtest/gtest.h>

using namespace zeriru;
using platform::sjis::S;

TEST(RecordCodec, ReadsDecodedTextsAndTheReadDefaultsOfEmptyFields) {
    const RecordCodec& files = FilesItemCodec();
    // Fields 1-6 filled, 7-20 empty: OS mask 65535, no options, no attributes, no condition.
    const std::string record = "1|0|%InstallDir%|bin|C:\\src\\a.txt|a\x01" "b\x02" "c\x03" "d|";
    EXPECT_EQ(files.Text(record, files_item::kComment), "a=b|c,d");
    EXPECT_EQ(files.Int(record, files_item::kOsMask), 65535);
    EXPECT_EQ(files.Int(record, files_item::kOptions), 0);
    EXPECT_EQ(files.Text(record, files_item::kCondition), "");
    EXPECT_TRUE(files.Bool("", files_item::kEnabled)) << "enabled unless stored otherwise";
    EXPECT_EQ(files.Int("1|x|", files_item::kKind), 0) << "not a number reads as the default";
    EXPECT_EQ(ShortCutItemCodec().Int("a|b|", shortcut_item::kTargets), 2) << "the program group";
}

TEST(RecordCodec, UpdateReplacesOnlyTheChangedFieldsAndWritesTwentyFields) {
    const RecordCodec& registry = RegistryItemCodec();
    // A field the editor does not know (12) and an odd stored field (5) stay byte for byte.
    const std::string old = "HKEY_CURRENT_USER|Software\\A|name|old|7|||||||keep\x01me|";
    const std::string updated = registry.Update(old, {{registry_item::kValue, "  new,|= "}});
    EXPECT_EQ(registry.Stored(updated, registry_item::kValue), "new\x03\x02\x01") << "escaped and trimmed";
    EXPECT_EQ(registry.Stored(updated, registry_item::kValueType), "7");
    EXPECT_EQ(registry.Stored(updated, 12), "keep\x01me");
    EXPECT_EQ(std::count(updated.begin(), updated.end(), '|'), 20);
    EXPECT_EQ(updated.back(), '|');
    // The same as SetItemField gives for one field.
    EXPECT_EQ(registry.Update(old, {{registry_item::kValue, "x"}}), SetItemField(old, registry_item::kValue, "x"));
}

TEST(RecordCodec, AShiftJisTrailByteEqualToTheSeparatorDoesNotSplit) {
    const std::string so = "\x83\x5C";   // trail byte "\"
    const std::string bar = "\x83\x7C";  // trail byte "|"
    const std::string comma = "\x82\x2C";
    const std::string record = bar + "|" + so + "|";
    EXPECT_EQ(GetRecordField(record, 1, '|'), bar);
    EXPECT_EQ(GetRecordField(record, 2, '|'), so);
    EXPECT_EQ(GetRecordField(comma + ",b", 1, ','), comma);
    // A lead byte left alone at the end of a value is dropped rather than merging two fields.
    const std::string written = FilesItemCodec().Make({{files_item::kComment, "ab\x83"}});
    EXPECT_EQ(FilesItemCodec().Text(written, files_item::kComment), "ab");
    EXPECT_EQ(FilesItemCodec().Stored(written, files_item::kDescription), "");
}

TEST(RecordCodec, ConditionRecordRoundTripsWithItsOwnSeparatorAndEscapedTexts) {
    ConditionRecord c;
    c.timing = kConditionInstall;
    c.type = kConditionIniValueEquals;
    c.rootOrDefine = "%InstallDir%";
    c.keyOrParameter = "conf\\a,b.ini";
    c.name = "key=1";
    c.value = "x|y";
    c.section = "Sec";
    c.option = 1;
    c.processing = 2;
    const std::string stored = c.Format();
    EXPECT_EQ(stored, "1,7,%InstallDir%,conf\\a\x03" "b.ini,key\x01" "1,x\x02y,1,Sec,,2,");
    EXPECT_EQ(ConditionRecord::Parse(stored), c);
    EXPECT_EQ(ConditionRecord::Parse(""), ConditionRecord{}) << "an empty record: timing 0, type 0";
    // Stored inside an item record the condition is not escaped again.
    const std::string item = RegistryItemCodec().Make({{registry_item::kCondition, stored}});
    EXPECT_EQ(ConditionRecord::Parse(RegistryItemCodec().Text(item, registry_item::kCondition)), c);
}

TEST(RecordCodec, DumpShowsEveryNamedFieldAsTheDialogsRead) {
    const std::string record = ProgramDisplayCodec().Make({{program_display::kText, "a,b"}});
    EXPECT_EQ(record, ",,a\x03" "b,") << "fields not given stay empty and read as their defaults";
    EXPECT_EQ(ProgramDisplayCodec().Dump(record), "display{visible=1, checked=1, text=a,b}");
    EXPECT_EQ(UnDeleteRegistryItemCodec().Dump("0|HKEY_USERS|S||0|"),
              "undeleteregistry{type=0, root=HKEY_USERS, subkey=S, name=, reserved=0, os=65535, sp=}");
}

TEST(RecordCodec, OsTargetListsNameTheFieldsOfEachListsCodec) {
    for (const OsTargetList& list : OsTargetLists()) {
        EXPECT_GT(list.maskField, 0) << list.settingSection;
        EXPECT_EQ(list.servicePackField, list.maskField + 1) << list.settingSection;
    }
    EXPECT_EQ(OsTargetLists()[0].maskField, 10);
    EXPECT_EQ(OsTargetLists()[5].defaultItems, "IniFileItems");
}
