// The transport seam under the protocol: one unit that takes 8-byte commands and answers
// with 8-byte replies. The USB device and the CAN node behind the port are two of these.
#pragma once

#include <cstdint>

#include "ridaviri/sensor_protocol.h"

namespace ridaviri {

class SensorLink {
public:
    virtual ~SensorLink() = default;
    // Sends one command as it stands on the wire: 0 sent, -1 failed or timed out.
    virtual int Send(const WireBytes& command, uint32_t timeoutMs) = 0;
    // The unit's next reply: 0 with *reply filled, -1 when none came within timeoutMs.
    virtual int Receive(WireBytes* reply, uint32_t timeoutMs) = 0;
};

// Encodes and sends `command`; when `wantReply`, reads one reply into *reply. 0 / -1. On
// failure *reply is left as it was.
int Transact(SensorLink& link, const SensorCommand& command, bool wantReply, SensorReply* reply,
             uint32_t timeoutMs);

}  // namespace ridaviri
