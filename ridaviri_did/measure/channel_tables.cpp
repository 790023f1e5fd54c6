#include "ridaviri/channel_tables.h"

#include <algorithm>

namespace ridaviri {
namespace {

int ClampCount(int count) { return std::clamp(count, 0, kChannelCount); }

// The first found record with the same manufacturing number (and ID number unless
// `identityOnly`); -1 when there is none.
int FindUnit(const ChannelTable& found, const ChannelRecord& record, bool identityOnly) {
    for (int f = 0; f < kChannelCount; ++f) {
        if (found[f].IsEmpty() || !(found[f].identity == record.identity)) continue;
        if (identityOnly || found[f].idNumber == record.idNumber) return f;
    }
    return -1;
}

int FirstEmpty(const ChannelTable& channels) {
    for (int c = 0; c < kChannelCount; ++c) {
        if (channels[c].IsEmpty()) return c;
    }
    return -1;
}

// Moves the unit of `from` into `to` (the fields that belong to a unit and its channel); the
// source is reset. The calibration switch moves with its factors, so that a channel's
// correction is neither lost nor handed to another channel, and the interval and input mode
// move too, so that closing a gap does not silently put the common interval back to 1000 ms.
void MoveUnit(ChannelRecord& to, ChannelRecord& from) {
    to.identity = from.identity;
    to.idNumber = from.idNumber;
    to.usbHandle = from.usbHandle;
    to.canNode = from.canNode;
    to.measureSwitch = from.measureSwitch;
    to.inputMode = from.inputMode;
    to.interval = from.interval;
    to.calibrationSwitch = from.calibrationSwitch;
    to.factorA = from.factorA;
    to.factorB = from.factorB;
    to.precisionModel = from.precisionModel;
    to.spare = from.spare;
    to.listDisplay = from.listDisplay;
    to.noResponse = from.noResponse;
    to.channelNumber = from.channelNumber;
    ResetRecord(from);
}

}  // namespace

void AssignChannelNumbers(ChannelTable& channels, int count) {
    count = ClampCount(count);
    bool used[kChannelCount + 1] = {};
    for (int c = 0; c < count; ++c) {
        const int n = channels[c].channelNumber;
        if (n >= 1 && n <= kChannelCount) used[n] = true;
    }
    int next = 1;
    for (int c = 0; c < count; ++c) {
        if (channels[c].channelNumber != 0) continue;
        while (next <= kChannelCount && used[next]) ++next;
        if (next > kChannelCount) break;
        channels[c].channelNumber = static_cast<uint8_t>(next);
        used[next] = true;
    }
}

void MergeFoundDevices(MonitorData& data) {
    ChannelTable& channels = data.channels;
    ChannelTable& found = data.found;
    const bool idSetting = data.stateWord.Mode() == state::kModeIdSetting;

    // Match.
    for (ChannelRecord& c : channels) {
        if (c.IsEmpty()) continue;
        const int f = FindUnit(found, c, idSetting);
        if (f < 0) {
            ResetRecord(c);
            data.stateWord.Set(state::CONFIG_CHANGED);
            continue;
        }
        c.usbHandle = found[f].usbHandle;
        c.canNode = found[f].canNode;
        if (idSetting) c.idNumber = found[f].idNumber;
        ResetRecord(found[f]);
    }
    // Add.
    for (ChannelRecord& f : found) {
        if (f.IsEmpty()) continue;
        data.stateWord.Set(state::CONFIG_CHANGED);
        const int c = FirstEmpty(channels);
        if (c >= 0) {
            ChannelRecord& r = channels[c];
            r.identity = f.identity;
            r.idNumber = f.idNumber;
            r.usbHandle = f.usbHandle;
            r.canNode = f.canNode;
            r.measureSwitch = 1;
            r.factorA = r.factorB = 0.0f;
            r.precisionModel = r.spare = r.listDisplay = r.noResponse = 0;
        }
        ResetRecord(f);
    }
    // Compact.
    for (int c = 0; c < kChannelCount; ++c) {
        if (!channels[c].IsEmpty() && channels[c].idNumber != 0) continue;
        for (int s = c + 1; s < kChannelCount; ++s) {
            if (!channels[s].IsEmpty() && channels[s].idNumber != 0) {
                MoveUnit(channels[c], channels[s]);
                break;
            }
        }
    }
    ChannelRecord& last = channels[kChannelCount - 1];
    if (last.IsEmpty() || last.idNumber == 0) ResetRecord(last);

    const int count = ClampCount(data.deviceCount);
    uint32_t interval = 0;
    bool precise = false;
    for (int c = 0; c < count; ++c) {
        if (interval == 0) interval = channels[c].interval;
        precise = precise || channels[c].precisionModel != 0;
    }
    if (interval == 0) interval = kDefaultIntervalMs;
    for (int c = 0; c < count; ++c) {
        channels[c].interval = interval;
        channels[c].precisionModel = precise ? 1 : 0;
    }
    AssignChannelNumbers(channels, count);
    ResetTable(found);
}

void ReconcileAtStartup(MonitorData& data, MessageFunction& messages, bool idLessMark) {
    ChannelTable& channels = data.channels;
    ChannelTable& found = data.found;
    bool shown68 = false;
    auto show68 = [&] {
        if (!shown68) messages(68);
        shown68 = true;
    };

    // Match.
    for (ChannelRecord& c : channels) {
        if (c.IsEmpty()) continue;
        const int f = FindUnit(found, c, true);
        if (f >= 0 && found[f].idNumber == c.idNumber) {
            c.usbHandle = found[f].usbHandle;
            c.canNode = found[f].canNode;
            c.noResponse = found[f].noResponse;
            ResetRecord(found[f]);
            continue;
        }
        data.stateWord.Set(state::CONFIG_CHANGED);
        if (f < 0 || !idLessMark) show68();
        ResetRecord(c);
    }
    // Add.
    for (ChannelRecord& f : found) {
        if (f.IsEmpty()) continue;
        const int c = FirstEmpty(channels);
        if (c < 0) break;
        ChannelRecord& r = channels[c];
        r.identity = f.identity;
        r.idNumber = f.idNumber;
        r.interval = f.interval;
        r.inputMode = f.inputMode;
        r.usbHandle = f.usbHandle;
        r.canNode = f.canNode;
        r.noResponse = f.noResponse;
    }
    // Compact positions 0-18: all fields move.
    for (int c = 0; c < kChannelCount - 1; ++c) {
        if (!channels[c].IsEmpty() || channels[c].idNumber != 0) continue;
        for (int s = c + 1; s < kChannelCount; ++s) {
            if (!channels[s].IsEmpty() && channels[s].idNumber != 0) {
                channels[c] = channels[s];
                ResetRecord(channels[s]);
                break;
            }
        }
    }

    const int count = ClampCount(data.deviceCount);
    bool zeroInterval = false;
    for (int c = 0; c < count; ++c) zeroInterval = zeroInterval || channels[c].interval == 0;
    for (int c = 0; c < count; ++c) {
        if (zeroInterval) {
            channels[c].interval = kDefaultIntervalMs;
            channels[c].precisionModel = 0;
        }
        channels[c].measureSwitch = 1;
    }
    for (ChannelRecord& r : channels) {
        if (r.IsEmpty()) ResetRecord(r);
    }
    uint32_t interval = kDefaultIntervalMs;
    bool precise = false;
    for (const ChannelRecord& r : channels) {
        if (interval == kDefaultIntervalMs && r.interval != 0 && r.interval != kDefaultIntervalMs) interval = r.interval;
        precise = precise || r.precisionModel != 0;
    }
    for (ChannelRecord& r : channels) {
        r.interval = interval;
        r.precisionModel = precise ? 1 : 0;
    }
    AssignChannelNumbers(channels, count);
}

void RecordIdAssignment(MonitorData& data, const SensorIdentity& unit, uint16_t newId, MessageFunction& messages) {
    bool known = false;
    for (const IdHistoryEntry& e : data.idHistory) {
        if (!(e.identity == unit)) continue;
        if (e.idNumber == newId) known = true;
        else messages(66);
    }
    if (known) return;
    for (IdHistoryEntry& e : data.idHistory) {
        if (e.identity.typeLetter == 0) {
            e = {unit, newId};
            return;
        }
    }
    data.idHistory.back() = {unit, newId};
}

}  // namespace ridaviri
