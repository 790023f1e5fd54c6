#include "frames.h"

#include <cctype>
#include <cstdio>

namespace dizedtool {

namespace {

int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Segment names of the controller's error-code capture, bits 4-0.
const char* Segment(uint32_t code) {
    switch (code) {
    case 0x03: return "start of frame";
    case 0x02: return "identifier bits 28-21";
    case 0x06: return "identifier bits 20-18";
    case 0x04: return "SRR bit";
    case 0x05: return "IDE bit";
    case 0x07: return "identifier bits 17-13";
    case 0x0F: return "identifier bits 12-5";
    case 0x0E: return "identifier bits 4-0";
    case 0x0C: return "RTR bit";
    case 0x0D: return "reserved bit 1";
    case 0x09: return "reserved bit 0";
    case 0x0B: return "data length code";
    case 0x0A: return "data field";
    case 0x08: return "CRC sequence";
    case 0x18: return "CRC delimiter";
    case 0x19: return "acknowledge slot";
    case 0x1B: return "acknowledge delimiter";
    case 0x1A: return "end of frame";
    case 0x12: return "intermission";
    case 0x11: return "active error flag";
    case 0x16: return "passive error flag";
    case 0x13: return "tolerate dominant bits";
    case 0x17: return "error delimiter";
    case 0x1C: return "overload flag";
    default: return "unknown segment";
    }
}

}  // namespace

bool ParseFrame(std::string_view text, CanMessage* frame, std::string* error) {
    auto fail = [&](const char* why) {
        if (error) *error = std::string(why) + ": \"" + std::string(text) + "\"";
        return false;
    };
    size_t hash = text.find('#');
    if (hash == std::string_view::npos) return fail("no '#' between identifier and data");
    std::string_view id = text.substr(0, hash), rest = text.substr(hash + 1);
    if (id.size() != 3 && id.size() != 8) return fail("identifier must have 3 (standard) or 8 (extended) hex digits");
    CanMessage m{};
    uint32_t value = 0;
    for (char c : id) {
        int h = Hex(c);
        if (h < 0) return fail("identifier is not hexadecimal");
        value = value << 4 | static_cast<uint32_t>(h);
    }
    if (id.size() == 3) {
        if (value > 0x7FF) return fail("standard identifier above 7FF");
        m.identifier = value;
    } else {
        if (value > 0x1FFFFFFF) return fail("extended identifier above 1FFFFFFF");
        m.identifier = value | 0x80000000u;
    }
    if (!rest.empty() && (rest[0] == 'R' || rest[0] == 'r')) {
        m.remote = 1;
        if (rest.size() > 2) return fail("remote frame takes at most one length digit");
        if (rest.size() == 2) {
            int len = Hex(rest[1]);
            if (len < 0 || len > 8) return fail("remote frame length must be 0-8");
            m.length = static_cast<uint32_t>(len);
        }
        *frame = m;
        return true;
    }
    uint32_t n = 0;
    for (size_t i = 0; i < rest.size();) {
        if (rest[i] == '.') {
            ++i;
            continue;
        }
        if (i + 1 >= rest.size()) return fail("data must be whole bytes (two hex digits each)");
        int hi = Hex(rest[i]), lo = Hex(rest[i + 1]);
        if (hi < 0 || lo < 0) return fail("data is not hexadecimal");
        if (n == 8) return fail("more than 8 data bytes");
        m.data[n++] = static_cast<uint8_t>(hi << 4 | lo);
        i += 2;
    }
    m.length = n;
    *frame = m;
    return true;
}

std::string FormatFrame(const CanMessage& frame) {
    char buf[64];
    int at;
    if (frame.identifier & 0x80000000u)
        at = std::snprintf(buf, sizeof buf, "%08X#", frame.identifier & 0x1FFFFFFFu);
    else
        at = std::snprintf(buf, sizeof buf, "%03X#", frame.identifier & 0x7FFu);
    uint32_t length = frame.length & 0x0F;
    if (length > 8) length = 8;
    if (frame.remote & 1) {
        if (length) std::snprintf(buf + at, sizeof buf - at, "R%u", length);
        else std::snprintf(buf + at, sizeof buf - at, "R");
        return buf;
    }
    for (uint32_t i = 0; i < length; ++i) at += std::snprintf(buf + at, sizeof buf - at, "%02X", frame.data[i]);
    return buf;
}

bool ParseCount(const char* text, long min, long max, long* value) {
    if (!text || !*text) return false;
    long v = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        const long digit = *p - '0';
        if (v > (max - digit) / 10) return false;  // beyond max, and never past LONG_MAX
        v = v * 10 + digit;
    }
    if (v < min) return false;
    *value = v;
    return true;
}

ErrorCode DecodeErrorCode(uint32_t capture) {
    static const char* const kTypes[4] = {"bit error", "form error", "stuff error", "other error"};
    return {kTypes[(capture >> 6) & 3], (capture & 0x20) != 0, Segment(capture & 0x1F)};
}

const char* ResultName(uint32_t result) {
    switch (result) {
    case 0: return "success";
    case CAN_ERR_NOT_READY: return "CAN_ERR_NOT_READY (device removed or stopped)";
    case CAN_ERR_ACCESS_DENIED: return "CAN_ERR_ACCESS_DENIED (port in use or being removed)";
    case CAN_ERR_INVALID_PARAMETER: return "CAN_ERR_INVALID_PARAMETER";
    case CAN_ERR_BUFFER_TOO_SMALL: return "CAN_ERR_BUFFER_TOO_SMALL";
    case CAN_ERR_NOT_OPEN: return "CAN_ERR_NOT_OPEN";
    case CAN_ERR_NO_MEMORY: return "CAN_ERR_NO_MEMORY";
    case CAN_ERR_QUEUE_FULL: return "CAN_ERR_QUEUE_FULL (transmit queue full)";
    case CAN_ERR_NO_DATA: return "CAN_ERR_NO_DATA";
    case CAN_ERR_WRONG_STATE: return "CAN_ERR_WRONG_STATE (controller stopped, running or bus off)";
    case CAN_ERR_INVALID_HANDLE: return "CAN_ERR_INVALID_HANDLE";
    case CAN_ERR_NOT_SUPPORTED: return "CAN_ERR_NOT_SUPPORTED (not on this board)";
    case CAN_ERR_DEVICE_BUSY: return "CAN_ERR_DEVICE_BUSY";
    default: return "system error";
    }
}

const char* BusStateName(uint32_t state) {
    switch (state) {
    case CAN_BUS_ERROR_ACTIVE: return "error active";
    case CAN_BUS_ERROR_PASSIVE: return "error passive";
    case CAN_BUS_OFF: return "bus off or stopped";
    default: return "unknown";
    }
}

}  // namespace dizedtool
