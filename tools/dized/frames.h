// Frame text of the CAN tools: "123#DEADBEEF" (standard), "12345678#R" (extended, remote),
// the same notation the log files of the Linux CAN utilities use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dized.h"

namespace dizedtool {

// Parses "<id>#<data>" or "<id>#R[<len>]": 3 hex digits give a standard identifier, 8 an
// extended one; data is up to 8 bytes of hex, optionally separated by '.'. False on anything
// else, with *error saying what.
bool ParseFrame(std::string_view text, CanMessage* frame, std::string* error);
// The frame in the same notation.
std::string FormatFrame(const CanMessage& frame);

// A count or a time of a command-line option: decimal digits only (no sign, no blanks), from
// `min` to `max`. False for anything else, including numbers too long for a long.
bool ParseCount(const char* text, long min, long max, long* value);

// The error-code capture of an error record: "bit error", "form error", "stuff error",
// "other error"; transmitting or receiving; the frame segment where it happened.
struct ErrorCode {
    const char* type;
    bool receiving;
    const char* segment;
};
ErrorCode DecodeErrorCode(uint32_t capture);
// The result code's name ("CAN_ERR_WRONG_STATE"), or "system error" for a passed-through one.
const char* ResultName(uint32_t result);
const char* BusStateName(uint32_t state);

}  // namespace dizedtool
