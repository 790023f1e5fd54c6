// Bringing the channel table up to date with the units a search or sensor check found (the
// found table): matching by manufacturing number and ID, adding new units, closing gaps, and
// giving the channels a common interval, a common precision model and channel numbers.
#pragma once

#include "ridaviri/message_function.h"
#include "ridaviri/monitor_data.h"

namespace ridaviri {

// After a check the user started or a device change. Matches by identity and ID number (in
// ID-setting mode by identity alone, taking over the new ID); unmatched configured records are
// dropped and new units added, both setting CONFIG_CHANGED. The found table is reset.
void MergeFoundDevices(MonitorData& data);

// After the check at program start. Like MergeFoundDevices, but a configured unit that now
// reports another ID number, or is missing, shows message 68 (once; the first case not when
// `idLessMark` is set, as message 65 was already shown), new units keep their interval and
// input mode, and the interval common to all channels is the first one other than 0 and 1000.
void ReconcileAtStartup(MonitorData& data, MessageFunction& messages, bool idLessMark);

// Gives each of the first `count` records without a channel number the lowest number not yet
// used among them, scanning upwards from where the previous assignment stopped, never above 20.
void AssignChannelNumbers(ChannelTable& channels, int count);

// Before a unit is given a new ID: message 66 for every history entry of the same unit with
// another ID; the pair is remembered in the first free entry (or the last one) unless it is
// there already.
void RecordIdAssignment(MonitorData& data, const SensorIdentity& unit, uint16_t newId, MessageFunction& messages);

}  // namespace ridaviri
