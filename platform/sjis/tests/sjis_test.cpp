#include "platform/sjis.h"

#include <gtest/gtest.h>

#include <set>

using namespace platform::sjis;

namespace {
// 表 is 0x95 0x5C and ソ is 0x83 0x5C: the trail byte equals '\'.
const std::string kHyou = "\x95\x5C";
const std::string kSo = "\x83\x5C";
// 構 is 0x8D 0x7C: the trail byte equals '|'.
const std::string kKou = "\x8D\x7C";
}  // namespace

TEST(SjisScan, TrailByteEqualToSeparatorIsNotASeparator) {
    std::string path = "C:\\" + kHyou + "\\" + kSo + "ft\\a.txt";
    auto parts = SplitSjis(path, '\\');
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[1], kHyou);
    EXPECT_EQ(parts[2], kSo + "ft");
    EXPECT_EQ(FindChar(kHyou, '\\'), npos);
    EXPECT_EQ(FindLastChar(path, '\\'), path.size() - 6);

    std::string record = "a|" + kKou + "|b";
    EXPECT_EQ(SplitSjis(record, '|'), (std::vector<std::string>{"a", kKou, "b"}));
    EXPECT_EQ(FindChar(record, '|', 2), 4u);
}

TEST(SjisScan, SplitGivesOneMorePartThanSeparators) {
    EXPECT_EQ(SplitSjis("", ','), std::vector<std::string>{""});
    EXPECT_EQ(SplitSjis(",,", ','), (std::vector<std::string>{"", "", ""}));
}

TEST(SjisScan, LeadByteAtEndCountsAsOneCharacter) {
    std::string s = "a\x95";
    EXPECT_EQ(NextChar(s, 1), 2u);
    EXPECT_EQ(CharLength(s, 1), 1u);
    EXPECT_TRUE(IsCharBoundary(s, 1));
    EXPECT_FALSE(IsCharBoundary(kHyou, 1));
}

TEST(SjisScan, FindTextStartsOnlyOnCharacterBoundaries) {
    // "\x5C" + "a" would match inside 表a if the search ignored characters.
    std::string s = kHyou + "a\\a";
    EXPECT_EQ(FindText(s, "\\a"), 3u);
    EXPECT_EQ(FindTextNoCase("%SearchFileDirEx%", "%searchfiledir"), 0u);
    EXPECT_EQ(FindTextNoCase(kHyou + "ABC", "bc"), 3u);
}

TEST(SjisCase, OnlySingleByteLettersChange) {
    // ア in half width is 0xB1 (single byte, not a letter); 0x82 0x61 is full-width Ａ whose
    // trail byte equals 'a'.
    std::string fullA = "\x82\x61";
    EXPECT_EQ(ToUpper("abc" + fullA + "\xB1z"), "ABC" + fullA + "\xB1Z");
    EXPECT_EQ(ToLower("ABC" + fullA), "abc" + fullA);
    EXPECT_TRUE(EqualsNoCase("Software\\Zuzoruve", "SOFTWARE\\zuzoruve"));
    EXPECT_FALSE(EqualsNoCase("\x82\x61", "\x82\x41"));
    EXPECT_TRUE(StartsWithNoCase("HKEY_local_machine\\x", "hkey_LOCAL_MACHINE"));
    EXPECT_FALSE(StartsWithNoCase(kHyou, "\x95"));
    EXPECT_TRUE(EndsWithNoCase("setup.EXE", ".exe"));
    EXPECT_FALSE(EndsWithNoCase("a" + kHyou, "\\"));
}

TEST(SjisConvert, KnownCharacters) {
    EXPECT_EQ(ToUtf8(kHyou), "表");
    EXPECT_EQ(ToUtf8("\x87\x40"), "①");
    EXPECT_EQ(FromUtf8("表示ソフト"), kHyou + "\x8E\xA6" + kSo + "\x83\x74\x83\x67");
    EXPECT_EQ(S("ｱ"), "\xB1");
    EXPECT_EQ(ToUtf8("plain ASCII\r\n"), "plain ASCII\r\n");
}

TEST(SjisConvert, EveryDoubleByteCodeRoundTrips) {
    // CP932 maps some codes to the same character (NEC and IBM extensions); those come back
    // as the code iconv prefers, which must at least stand for the same character.
    int converted = 0, exact = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsLeadByte(static_cast<unsigned char>(lead))) continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (!IsTrailByte(static_cast<unsigned char>(trail))) continue;
            std::string code{static_cast<char>(lead), static_cast<char>(trail)};
            std::string utf8 = ToUtf8(code, Unconvertible::Replace);
            if (utf8.find("\xEF\xBF\xBD") != std::string::npos) continue;  // unassigned code
            ++converted;
            std::string back = FromUtf8(utf8);
            ASSERT_EQ(back.size(), 2u) << std::hex << lead << trail;
            if (back == code) {
                ++exact;
            } else {
                EXPECT_EQ(ToUtf8(back), utf8) << std::hex << lead << trail;
            }
        }
    }
    EXPECT_GT(converted, 9000);
    EXPECT_GT(exact, converted - 800);
}

TEST(SjisConvert, UnconvertibleBytesAreKeptAndComeBack) {
    // 0x80 and 0xA0 are not characters; 0x85 0x40 is unassigned; a lone lead byte at the end.
    std::string data = std::string("a\x80") + "b\xA0" + kHyou + "\x85\x40" + "z\xFD\xFF\x95";
    std::string utf8 = ToUtf8(data, Unconvertible::Keep);
    EXPECT_EQ(FromUtf8(utf8, Unconvertible::Keep), data);
    std::string shown = ToUtf8(data, Unconvertible::Replace);
    EXPECT_NE(shown.find("\xEF\xBF\xBD"), std::string::npos);
    EXPECT_NE(shown.find("表"), std::string::npos);
}

TEST(SjisConvert, CharactersMissingFromCodePageBecomeQuestionMarks) {
    EXPECT_EQ(FromUtf8("a😀b"), "a?b");
    EXPECT_EQ(FromUtf8("\xC3\x28", Unconvertible::Replace), "?(");
}
