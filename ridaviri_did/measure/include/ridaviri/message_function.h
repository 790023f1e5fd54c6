// The numbered messages of the monitor. Procedures never pass texts: they call the message
// function with a number; it picks the text and the kind of box, shows it and returns the
// button the user pressed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace ridaviri {

// Buttons, with the values the Windows message box returns.
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

// What the box looks like; the number's range decides it.
enum class MessageBoxKind {
    Error,                  // stop icon, OK
    Warning,                // exclamation icon, OK
    Information,            // information icon, OK
    QuestionExclamation,    // exclamation icon, yes / no
    QuestionInformation,    // information icon, yes / no
};

bool IsQuestion(MessageBoxKind kind);

// Measured values of both calibration passes are equal for a unit: the straight line through
// them has no slope and cannot be inverted. The table of the program had no text for it.
inline constexpr int kMessageCalibrationFlat = 25;

// The box that a number stands for.
struct MessageDefinition {
    int number = 0;
    MessageBoxKind kind = MessageBoxKind::Error;
    std::string text;   // Shift-JIS; a line break is "\n"
    bool known = false; // false: the number has no text and shows the general error text
};

// Text and box of a number. Numbers without a text of their own (and -1) give the general
// text "不正な処理が行われました。アプリケーションを終了します。" in an error box.
MessageDefinition LookupMessage(int number);

// Every number that has a text of its own, ascending.
std::vector<int> KnownMessageNumbers();

// The message function. Thread-safe: it is called from the user-interface thread and, for the
// messages that end a measurement, from the measurement thread; each call blocks its caller
// until the box is closed.
class MessageFunction {
public:
    virtual ~MessageFunction() = default;

    // Shows message `number` and returns the button pressed (kAnswerOk, kAnswerYes or
    // kAnswerNo). -1 shows nothing and returns 0; a number without a text shows the general
    // text in an error box and returns -1.
    int operator()(int number);

protected:
    // Shows one box and returns the button pressed. Called for every number but -1.
    virtual int Present(const MessageDefinition& box) = 0;
};

// A message function for tests and unattended runs: records every box shown and answers
// questions from a queue filled in advance. OK boxes are answered OK without using the queue.
class ScriptedMessages : public MessageFunction {
public:
    struct Shown {
        int number;
        MessageBoxKind kind;
        std::string text;  // Shift-JIS
        int answer;        // what Present returned
    };

    // Queues the answer (kAnswerYes / kAnswerNo) of the next question.
    void Answer(int answer);
    // Questions asked with an empty queue are answered "no" and counted here.
    std::size_t UnansweredQuestions() const;

    std::vector<Shown> Log() const;
    std::vector<int> Numbers() const;
    std::size_t Count() const;
    void Clear();
    // Waits until at least `count` boxes were shown; false when `timeout` passed first.
    bool WaitForCount(std::size_t count, std::chrono::milliseconds timeout) const;

protected:
    int Present(const MessageDefinition& box) override;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::deque<int> answers_;
    std::vector<Shown> log_;
    std::size_t unanswered_ = 0;
};

}  // namespace ridaviri
