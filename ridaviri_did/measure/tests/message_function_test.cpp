#include "ridaviri/message_function.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/sjis.h"

namespace ridaviri {
namespace {

using platform::sjis::S;

const std::string kGeneral = "不正な処理が行われました。アプリケーションを終了します。";

struct Case {
    int number;
    MessageBoxKind kind;
    const char* text;  // UTF-8
};

// One text per range, the texts with line breaks, the doubled "。" of 22, and the characters
// that are easy to get wrong (ASCII hyphens, full-width tilde and letters, half-width kana).
const Case kCases[] = {
    {1, MessageBoxKind::Error, "計測機器が接続されていません。計測機器を接続してください。"},
    {2, MessageBoxKind::Error, "計測機器の接続台数がオ-バ-しています。接続台数は20台までです。"},
    {8, MessageBoxKind::Error, "計測が最大サンプル数に達しました。\n計測を終了します。"},
    {20, MessageBoxKind::Error, "1～65535で設定してください。"},
    {22, MessageBoxKind::Error, "500～3600000msecで設定してください。。"},
    {23, MessageBoxKind::Error, "計測基準値は異なる値に設定してください。"},
    {52, MessageBoxKind::Error,
     "計測機器との接続に異常が発見されました。このアプリケーションを終了します。\n"
     "アプリケーションの終了後 PC、計測機器の再起動を行ってください。"},
    {56, MessageBoxKind::Error, "計測中の全ての機器からの応答がありません。計測を終了します。"},
    {65, MessageBoxKind::Warning,
     "ID番号の設定されていない計測機器があります。ID番号の設定を行っていない機器では計測できません。"},
    {66, MessageBoxKind::Warning, "このＩＤ番号は過去に使用されています。"},
    {74, MessageBoxKind::Warning,
     "計測時間が１０秒以上ずれました。計測を終了します。\n 計測インターバルを再設定し直してください。"},
    {75, MessageBoxKind::Warning, "計測中の機器からの応答がありません。計測を終了します。"},
    {80, MessageBoxKind::Information, "ID番号の設定を完了しました。"},
    {86, MessageBoxKind::Information, "チャンネル番号の設定を変更しました。"},
    {106, MessageBoxKind::QuestionExclamation,
     "この計測機器にはID番号が設定されていません。ID番号の設定を行いますか？"},
    {108, MessageBoxKind::QuestionExclamation, "設定は送信されていません。設定をｷｬﾝｾﾙをしますか？"},
    {115, MessageBoxKind::QuestionExclamation,
     "保存されていない計測データがあります。データの保存を行いますか？"},
    {140, MessageBoxKind::QuestionInformation, "接続センサの確認を行いますか?"},
    {144, MessageBoxKind::QuestionInformation, "アプリケーションを終了しますか？"},
};

TEST(MessageTable, TextsAndBoxesAreExactShiftJis) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.number);
        MessageDefinition d = LookupMessage(c.number);
        EXPECT_TRUE(d.known);
        EXPECT_EQ(d.kind, c.kind);
        EXPECT_EQ(d.text, S(c.text));
        EXPECT_EQ(platform::sjis::ToUtf8(d.text), c.text);  // nothing lost converting
    }
}

TEST(MessageTable, EveryTextConvertsWithoutLoss) {
    std::vector<int> numbers = KnownMessageNumbers();
    EXPECT_EQ(numbers.size(), 63u);  // 62 of the table and the flat-calibration message
    for (int n : numbers) {
        std::string text = LookupMessage(n).text;
        EXPECT_EQ(platform::sjis::FromUtf8(platform::sjis::ToUtf8(text)), text) << n;
        EXPECT_EQ(text.find('?') == std::string::npos, n != 140 && n != 141 && n != 142 && n != 143) << n;
    }
}

TEST(MessageFunction, NumbersWithoutTextShowTheGeneralTextAndReturnMinusOne) {
    for (int n : {0, 29, 30, 32, 46, 57, 64, 67, 79, 81, 94, 95, 105, 107, 117, 139, 145, 1000, -2}) {
        SCOPED_TRACE(n);
        ScriptedMessages messages;
        messages.Answer(kAnswerYes);
        EXPECT_EQ(messages(n), -1);
        auto log = messages.Log();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].kind, MessageBoxKind::Error);
        EXPECT_EQ(log[0].text, S(kGeneral));
        EXPECT_EQ(messages.UnansweredQuestions(), 0u);
    }
}

TEST(MessageFunction, MinusOneShowsNothing) {
    ScriptedMessages messages;
    EXPECT_EQ(messages(-1), 0);
    EXPECT_EQ(messages.Count(), 0u);
}

TEST(MessageFunction, QuestionsTakeQueuedAnswersOkBoxesDoNot) {
    ScriptedMessages messages;
    messages.Answer(kAnswerYes);
    messages.Answer(kAnswerNo);
    EXPECT_EQ(messages(31), kAnswerOk);
    EXPECT_EQ(messages(115), kAnswerYes);
    EXPECT_EQ(messages(85), kAnswerOk);
    EXPECT_EQ(messages(143), kAnswerNo);
    EXPECT_EQ(messages(141), kAnswerNo);  // queue empty: "no", counted
    EXPECT_EQ(messages.UnansweredQuestions(), 1u);
    EXPECT_EQ(messages.Numbers(), (std::vector<int>{31, 115, 85, 143, 141}));
}

TEST(MessageFunction, CallsFromSeveralThreadsAreAllRecorded) {
    ScriptedMessages messages;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) messages(75);
        });
    }
    EXPECT_TRUE(messages.WaitForCount(200, std::chrono::seconds(30)));
    for (auto& t : threads) t.join();
    EXPECT_EQ(messages.Count(), 200u);
}

}  // namespace
}  // namespace ridaviri
