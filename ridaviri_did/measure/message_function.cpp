#include "ridaviri/message_function.h"

#include <algorithm>
#include <iterator>

#include "platform/sjis.h"

namespace ridaviri {
namespace {

struct Entry {
    int number;
    const char* text;  // UTF-8
};

// Every number with a text of its own; the box kind follows from the number's range.
constexpr Entry kMessages[] = {
    {1, "計測機器が接続されていません。計測機器を接続してください。"},
    {2, "計測機器の接続台数がオ-バ-しています。接続台数は20台までです。"},
    {3, "計測機器の接続台数がオ-バ-しています。接続台数は10台までです。"},
    {4, "製造番号が設定されていない計測機器があります。"},
    {5, "ID番号の設定されている計測機器がありません。ID番号の設定を行ってください。"},
    {6, "ID番号の重複している計測機器があります。ID番号を確認してください。"},
    {7, "範囲指定が不正です。入力値を確認してください。"},
    {8, "計測が最大サンプル数に達しました。\n計測を終了します。"},
    {9, "チャンネル番号を指定する事はできません。"},
    {10, "読み込みを行った計測機器と違う計測機器が接続されています。切断してから、もう一度読み込みを行ってください。"},
    {11, "表示するチャンネル番号を指定してください。"},
    {12, "製造番号を正しく読み込めません。接続を確認してください。"},
    {13, "製造番号が設定されていません。"},
    {14, "ID番号の設定に失敗しました。接続を確認してください。"},
    {15, "1回目の計測に失敗しました。接続を確認し、再計測をしてください。"},
    {16, "2回目の計測に失敗しました。接続を確認し、再計測をしてください。"},
    {17, "ファイルをオープンできません。"},
    {18, "ID番号とチャンネル番号を設定してください。"},
    {19, "チャンネル番号が重複している計測機器があります。設定を確認してください。"},
    {20, "1～65535で設定してください。"},
    {21, "100msec単位で変更を行ってください。"},
    {22, "500～3600000msecで設定してください。。"},
    {23, "計測基準値は異なる値に設定してください。"},
    {24, "入力した値が設定範囲を超えています。"},
    {26, "ファイルを保存できません。"},
    {27, "基準温度を設定してください。"},
    {28, "校正値の精度型と計測の精度型は同じでなければなりません。"},
    {31, "ファイルの保存に失敗しました。"},
    {40, "計測インタ-バルは全てのチャンネルで同じでなければなりません。"},
    {41, "表示するグラフのチャンネル番号が選択されていません。"},
    {45, "計測機器が2台以上繋がっています。"},
    {47, "校正値の精度型と計測の精度型は同じでなければなりません。"},
    {48, "計測器からの応答がないチャンネルがあります。接続を確認してください。"},
    {49, "データの送信に失敗したチャンネルがあります。接続を確認してください。"},
    {50, "計測を行うチャンネルが選択されていません。計測チャンネルを設定してください。"},
    {51, "表示するグラフが指定されていません。"},
    {52, "計測機器との接続に異常が発見されました。このアプリケーションを終了します。\nアプリケーションの終了後 PC、計測機器の再起動を行ってください。"},
    {56, "計測中の全ての機器からの応答がありません。計測を終了します。"},
    {65, "ID番号の設定されていない計測機器があります。ID番号の設定を行っていない機器では計測できません。"},
    {66, "このＩＤ番号は過去に使用されています。"},
    {68, "接続構成に変更がありました、接続センサの確認をしてください。"},
    {72, "設定の送信に失敗した計測機器があります。このチャンネルを認識することができません。設定画面で確認してください。"},
    {73, "接続構成に変更がありました、設定情報を確認してください。"},
    {74, "計測時間が１０秒以上ずれました。計測を終了します。\n 計測インターバルを再設定し直してください。"},
    {75, "計測中の機器からの応答がありません。計測を終了します。"},
    {80, "ID番号の設定を完了しました。"},
    {82, "設定の更新を完了しました。"},
    {83, "校正計算を完了しました。"},
    {85, "接続センサの確認を終了しました。"},
    {86, "チャンネル番号の設定を変更しました。"},
    {106, "この計測機器にはID番号が設定されていません。ID番号の設定を行いますか？"},
    {108, "設定は送信されていません。設定をｷｬﾝｾﾙをしますか？"},
    {110, "表示中の保存データを閉じます。よろしいですか？"},
    {111, "保存されていないログデータがあります。データの保存を行いますか？"},
    {114, "計測中のチャンネルがあります。計測を終了しますか？"},
    {115, "保存されていない計測データがあります。データの保存を行いますか？"},
    {116, "保存されていないログデータがあります。データの保存を行いますか？"},
    {140, "接続センサの確認を行いますか?"},
    {141, "計測を開始しますか?"},
    {142, "計測を終了しますか?"},
    {143, "計測データの保存を行いますか?"},
    {144, "アプリケーションを終了しますか？"},
    {kMessageCalibrationFlat,
     "1回目と2回目の計測値が同じチャンネルがあります。接続を確認し、再計測をしてください。"},
};

constexpr const char* kGeneralText = "不正な処理が行われました。アプリケーションを終了します。";

const Entry* FindEntry(int number) {
    for (const Entry& e : kMessages) {
        if (e.number == number) return &e;
    }
    return nullptr;
}

// Box kind of a number inside one of the ranges that have texts; false outside them.
bool KindOfRange(int number, MessageBoxKind* kind) {
    if (number >= 1 && number <= 64) *kind = MessageBoxKind::Error;
    else if (number >= 65 && number <= 79) *kind = MessageBoxKind::Warning;
    else if (number >= 80 && number <= 94) *kind = MessageBoxKind::Information;
    else if (number >= 106 && number <= 116) *kind = MessageBoxKind::QuestionExclamation;
    else if (number >= 140 && number <= 144) *kind = MessageBoxKind::QuestionInformation;
    else return false;
    return true;
}

}  // namespace

bool IsQuestion(MessageBoxKind kind) {
    return kind == MessageBoxKind::QuestionExclamation || kind == MessageBoxKind::QuestionInformation;
}

MessageDefinition LookupMessage(int number) {
    MessageDefinition d;
    d.number = number;
    MessageBoxKind kind;
    const Entry* e = FindEntry(number);
    if (e != nullptr && KindOfRange(number, &kind)) {
        d.kind = kind;
        d.text = platform::sjis::S(e->text);
        d.known = true;
    } else {
        d.kind = MessageBoxKind::Error;
        d.text = platform::sjis::S(kGeneralText);
        d.known = false;
    }
    return d;
}

std::vector<int> KnownMessageNumbers() {
    std::vector<int> numbers;
    for (const Entry& e : kMessages) numbers.push_back(e.number);
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

int MessageFunction::operator()(int number) {
    if (number == -1) return 0;
    MessageDefinition box = LookupMessage(number);
    int answer = Present(box);
    return box.known ? answer : -1;
}

void ScriptedMessages::Answer(int answer) {
    std::lock_guard lock(mutex_);
    answers_.push_back(answer);
}

std::size_t ScriptedMessages::UnansweredQuestions() const {
    std::lock_guard lock(mutex_);
    return unanswered_;
}

std::vector<ScriptedMessages::Shown> ScriptedMessages::Log() const {
    std::lock_guard lock(mutex_);
    return log_;
}

std::vector<int> ScriptedMessages::Numbers() const {
    std::lock_guard lock(mutex_);
    std::vector<int> numbers;
    for (const Shown& s : log_) numbers.push_back(s.number);
    return numbers;
}

std::size_t ScriptedMessages::Count() const {
    std::lock_guard lock(mutex_);
    return log_.size();
}

void ScriptedMessages::Clear() {
    std::lock_guard lock(mutex_);
    log_.clear();
    answers_.clear();
    unanswered_ = 0;
}

bool ScriptedMessages::WaitForCount(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return log_.size() >= count; });
}

int ScriptedMessages::Present(const MessageDefinition& box) {
    std::lock_guard lock(mutex_);
    int answer = kAnswerOk;
    if (IsQuestion(box.kind)) {
        if (answers_.empty()) {
            ++unanswered_;
            answer = kAnswerNo;
        } else {
            answer = answers_.front();
            answers_.pop_front();
        }
    }
    log_.push_back({box.number, box.kind, box.text, answer});
    changed_.notify_all();
    return answer;
}

}  // namespace ridaviri
