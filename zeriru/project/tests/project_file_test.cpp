#include "zeriru/project_file.h"

#include "platform/hostfile.h"
#include "platform/sjis.h"
#include "test_util.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace zeriru;
using platform::sjis::S;

namespace {

// 0x83 0x7C is one double-byte character whose trail byte equals "|"; 0x83 0x2C does not
// exist, but 0x81 0x7C ("－") and 0x88 0x7C are real characters with a "|" trail byte.
const std::string kBarTrail = "\x88\x7C";

TEST(ProjectText, EscapingExample) {
    EXPECT_EQ(EncodeProjectText("a=b|c,d"), "a\x01" "b\x02" "c\x03" "d");
    EXPECT_EQ(DecodeProjectText("a\x01" "b\x02" "c\x03" "d"), "a=b|c,d");
}

TEST(ProjectText, DoubleByteCharactersAreCopiedUnchanged) {
    const std::string text = kBarTrail + "=" + "\x81\x7C" + "|" + S("表示,");
    const std::string encoded = EncodeProjectText(text);
    EXPECT_EQ(encoded, kBarTrail + "\x01" + "\x81\x7C" + "\x02" + S("表示") + "\x03");
    EXPECT_EQ(DecodeProjectText(encoded), text);
    // A lead byte at the very end is copied as it is.
    EXPECT_EQ(EncodeProjectText("a\x88"), "a\x88");
}

struct FieldCase {
    std::string record;
    int n;
    std::string expected;
};

void PrintTo(const FieldCase& c, std::ostream* os) { *os << "field " << c.n << " of '" << zeriru::test::Printable(c.record) << "'"; }

class ItemField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(ItemField, GetItemField) {
    EXPECT_EQ(GetItemField(GetParam().record, GetParam().n), GetParam().expected)
        << "record '" << GetParam().record << "' field " << GetParam().n;
}

INSTANTIATE_TEST_SUITE_P(
    Records, ItemField,
    ::testing::Values(FieldCase{"a|b", 1, "a"}, FieldCase{"a|b", 2, "b"}, FieldCase{"a|b", 3, ""},
                      FieldCase{"a|b", 0, ""}, FieldCase{"a|b", -1, ""}, FieldCase{"", 1, ""},
                      FieldCase{"abc", 1, "abc"}, FieldCase{"a|b|", 2, "b"}, FieldCase{"a|b|", 3, ""},
                      FieldCase{"a||c", 2, ""}, FieldCase{"a||c", 3, "c"},
                      // A trail byte equal to "|" does not split the field.
                      FieldCase{"x" + kBarTrail + "y|z", 1, "x" + kBarTrail + "y"},
                      FieldCase{"x" + kBarTrail + "y|z", 2, "z"},
                      FieldCase{kBarTrail + "|" + kBarTrail, 2, kBarTrail},
                      FieldCase{kBarTrail, 2, ""}));

TEST(ItemField, IntegersAndBooleans) {
    const std::string record = "12|-3|x||1|0|0x10";
    EXPECT_EQ(GetItemFieldInt(record, 1, 5), 12);
    EXPECT_EQ(GetItemFieldInt(record, 2, 5), -3);
    EXPECT_EQ(GetItemFieldInt(record, 3, 5), 5);   // not a number
    EXPECT_EQ(GetItemFieldInt(record, 4, 5), 5);   // empty
    EXPECT_EQ(GetItemFieldInt(record, 7, 5), 5);   // not decimal
    EXPECT_EQ(GetItemFieldInt(record, 30, 5), 5);  // missing
    EXPECT_TRUE(GetItemFieldBool(record, 5, false));
    EXPECT_FALSE(GetItemFieldBool(record, 6, true));
    EXPECT_TRUE(GetItemFieldBool(record, 4, true));
    EXPECT_FALSE(GetItemFieldBool(record, 3, false));
}

TEST(ItemField, SetItemFieldBuildsTwentyFields) {
    const std::string record = SetItemField("a|b", 2, "x");
    EXPECT_EQ(record, "a|x|" + std::string(18, '|'));
    for (int n = 3; n <= 20; ++n) EXPECT_EQ(GetItemField(record, n), "") << n;
    EXPECT_EQ(GetItemField(record, 21), "");
}

TEST(ItemField, SetItemFieldKeepsOtherFieldsAndDoubleByteText) {
    std::string record = "one|" + kBarTrail + "|three";
    record = SetItemFieldInt(record, 20, 7);
    record = SetItemFieldBool(record, 4, true);
    EXPECT_EQ(GetItemField(record, 1), "one");
    EXPECT_EQ(GetItemField(record, 2), kBarTrail);
    EXPECT_EQ(GetItemField(record, 3), "three");
    EXPECT_EQ(GetItemFieldBool(record, 4, false), true);
    EXPECT_EQ(GetItemFieldInt(record, 20, 0), 7);
    // Every field is followed by "|": twenty single-byte separators.
    EXPECT_EQ(platform::sjis::SplitSjis(record, '|').size(), 21u);
    // Fields beyond twenty are dropped; field numbers outside 1-20 change nothing.
    std::string longRecord;
    for (int i = 1; i <= 25; ++i) longRecord += std::to_string(i) + "|";
    EXPECT_EQ(SetItemField(longRecord, 1, "x"), "x|" + longRecord.substr(2, longRecord.find("21|") - 2));
    EXPECT_EQ(SetItemField("a|b", 21, "x"), "a|b");
    EXPECT_EQ(SetItemField("a|b", 0, "x"), "a|b");
}

TEST(ItemField, LeadByteAtTheEndDoesNotSwallowTheSeparator) {
    // Before: a record ending in a lone lead byte gave "\x95|" - one character - and the
    // rebuilt record lost a field boundary.
    const std::string record = SetItemField("a|b\x95", 1, "x");
    EXPECT_EQ(GetItemField(record, 2), "b");
    EXPECT_EQ(GetItemField(record, 3), "");
    EXPECT_EQ(platform::sjis::SplitSjis(record, '|').size(), 21u);
    EXPECT_EQ(GetItemField(SetItemField("", 1, "v\x95"), 1), "v");
}

TEST(ItemLists, UseSectionCountedAndUntilGap) {
    TIniDocument doc;
    doc.LoadFromText("[FilesSetting]\r\nUseSection=MyFiles\r\n[MyFiles]\r\n0=a\r\n1=b\r\n3=d\r\n");
    EXPECT_EQ(ItemsSectionName(doc, "FilesSetting", "Files"), "MyFiles");
    EXPECT_EQ(ItemsSectionName(doc, "ShortCutSetting", "ShortCutItems"), "ShortCutItems");
    EXPECT_EQ(ReadItemsCounted(doc, "MyFiles"), (std::vector<std::string>{"a", "b", ""}));
    EXPECT_EQ(ReadItemsUntilGap(doc, "MyFiles"), (std::vector<std::string>{"a", "b"}));
    WriteItems(doc, "MyFiles", {"x", "y"});
    EXPECT_EQ(doc.SaveToText(),
              "[FilesSetting]\r\nUseSection=MyFiles\r\n\r\n[MyFiles]\r\n0=x\r\n1=y\r\n\r\n");
}

TEST(Scramble, RoundTripsAndHasTheDocumentedForm) {
    // L = 2: offset = sum of i mod 2 for i = 2..10 = 4; "A" (0x41) + 4 = 0x45.
    EXPECT_EQ(ScrambleText("AB", 1), "45,46");
    // L = 1: offset 0, so a single byte keeps its value.
    EXPECT_EQ(ScrambleText("\x05", 1), "05");
    // L = 3: offset = 2+0+1+2+0+1+2+0+1 = 9; 0xFF + 9 needs three digits.
    EXPECT_EQ(ScrambleText(std::string("\xFF\x00\x10", 3), 1), "108,09,19");
    for (const std::string& password : {std::string("secret"), S("パスワード"), std::string("a"),
                                        std::string(100, 'z')}) {
        for (int passes : {1, 3, 4}) {
            EXPECT_EQ(UnscrambleText(ScrambleText(password, passes), passes), password);
        }
    }
    EXPECT_EQ(ScrambleText("", 4), "");
    EXPECT_EQ(UnscrambleText("", 4), "");
    EXPECT_EQ(UnscrambleText("zz,12", 1), "");  // not a scrambled form
    EXPECT_EQ(UnscrambleText("1,,2", 1), "");
}

TEST(ProjectFrame, ProjectInfoAndOsData) {
    zeriru::test::TempFolder dir;
    fs::path file = dir.path / "a.PJ2";
    TIniDocument doc(file);
    EXPECT_FALSE(IsProjectFile(file));
    doc.WriteString(key::kProjectSection, key::kGenerator, kGeneratorName);
    doc.WriteString(key::kProjectSection, key::kProjectName, EncodeProjectText("a=b"));
    doc.WriteString("project", "createfolder", EncodeProjectText("C:\\out,1"));
    doc.WriteString(key::kOSSettingSection, key::kSPVersion, "1,2,x,,5,6,7");
    ASSERT_TRUE(doc.UpdateFile());
    EXPECT_TRUE(IsProjectFile(file));
    EXPECT_FALSE(IsProjectFile(dir.path / "missing.PJ2"));

    TProjectInfo info = ReadProjectInfo(TIniDocument(file), true);
    EXPECT_EQ(info.projectFilePath, file);
    EXPECT_EQ(info.projectName, "a=b");
    EXPECT_EQ(info.createFolder, "C:\\out,1");
    EXPECT_EQ(info.installSource, "Files");
    EXPECT_EQ(info.createFileType, 2);
    EXPECT_TRUE(info.createFolderBeforeBackup);
    EXPECT_TRUE(info.readOnly);

    TCOMMONOSData os = ReadCommonOsData(doc);
    EXPECT_TRUE(os.checkOSVersion);
    EXPECT_EQ(os.osVersion, 65535);
    EXPECT_EQ(os.spVersion, "1,2,x,,5,6,7");
    EXPECT_EQ(os.spFields, (std::array<int, 6>{1, 2, 0, 0, 5, 6}));
    EXPECT_EQ(ButtonConfirmedMark(), "\x81\x7E");
}

}  // namespace
