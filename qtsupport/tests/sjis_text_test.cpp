#include "qtsupport/sjis_text.h"

#include <gtest/gtest.h>

using namespace qtsupport;

// Characters whose Unicode mapping differs between code page 932 and plain Shift-JIS tables:
// the suite's texts must come out as Windows shows them.
TEST(SjisText, MapsLikeCodePage932) {
    struct Case {
        const char* sjis;
        char16_t unicode;
    } cases[] = {
        {"\x81\x60", u'\uFF5E'},  // ～ (a wave dash elsewhere)
        {"\x81\x61", u'\u2225'},  // ∥
        {"\x81\x7C", u'\uFF0D'},  // －
        {"\x81\x91", u'\uFFE0'},  // ￠
        {"\x81\x5C", u'\u2015'},  // ―
        {"\x87\x40", u'\u2460'},  // ① (NEC row 13)
        {"\x5C", u'\\'},          // a yen sign elsewhere
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sjis);
        const QString q = ToQString(c.sjis);
        ASSERT_EQ(q.size(), 1);
        EXPECT_EQ(q.at(0).unicode(), c.unicode);
        EXPECT_EQ(ToSjis(q), c.sjis);
    }
}

TEST(SjisText, RoundTripsEveryDoubleByteCharacterOfARow) {
    // Trail bytes that equal "\\" and "|" are the classic traps; a whole row covers them.
    std::string row;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
        if (trail == 0x7F) continue;
        row += '\x83';
        row += static_cast<char>(trail);
    }
    // Row 0x83 holds katakana and Greek letters; its last trail bytes are unassigned.
    std::string assigned;
    for (std::size_t i = 0; i < row.size(); i += 2) {
        const std::string c = row.substr(i, 2);
        if (ToQString(c) != QString(QChar(0xFFFD)) && ToSjis(ToQString(c)) == c) assigned += c;
    }
    EXPECT_EQ(assigned.size(), 2 * (86u + 48u));  // 86 katakana, 48 Greek letters
    EXPECT_NE(assigned.find("\x83\x5C"), std::string::npos);  // ソ: trail byte "\\"
    EXPECT_NE(assigned.find("\x83\x7C"), std::string::npos);  // ポ: trail byte "|"
    EXPECT_EQ(ToSjis(ToQString(assigned)), assigned);
}

TEST(SjisText, BrokenBytesShowAsReplacementAndUnmappableCharactersAsQuestionMark) {
    EXPECT_EQ(ToQString("a\x81"), QString::fromUtf8("a\xEF\xBF\xBD"));
    EXPECT_EQ(ToSjis(QString::fromUtf8("\xF0\x9F\x98\x80")), "?");  // an emoji CP932 lacks
    EXPECT_EQ(ToSjis(QStringLiteral("見本")), "\x8C\xA9\x96\x7B");
}

TEST(SjisText, DisplayTextBreaksLinesAtEveryKindOfLineEnd) {
    EXPECT_EQ(ToDisplayText("a\rb\r\nc\nd"), QStringLiteral("a\nb\nc\nd"));
}
