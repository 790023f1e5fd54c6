#include "ridaviri/monitor_data.h"

#include <algorithm>

namespace ridaviri {

void ResetRecord(ChannelRecord& record) { record = ChannelRecord{}; }

void ResetTable(ChannelTable& table) {
    for (ChannelRecord& r : table) ResetRecord(r);
}

void StateWord::SetMode(uint32_t mode) {
    uint32_t old = bits_.load();
    while (!bits_.compare_exchange_weak(old, (old & ~state::kModeMask) | (mode & state::kModeMask))) {
    }
}

SampleBuffer::SampleBuffer(std::size_t capacity)
    : capacity_(capacity), values_(capacity * kChannelCount, 0.0) {}

void SampleBuffer::Clear() { std::fill(values_.begin(), values_.end(), 0.0); }

MonitorData::MonitorData(std::size_t sampleCapacity) : samples(sampleCapacity) {
    ResetTable(channels);
    ResetTable(found);
    ResetTable(channelBackup);
}

void MonitorData::ClearBadDataMarks() {
    for (auto& m : badDataMarks) m.store(0);
}

}  // namespace ridaviri
