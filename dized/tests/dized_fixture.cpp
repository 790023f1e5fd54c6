#include "dized_fixture.h"

#include <array>

namespace dizedtest {

const MachinePorts& Ports() {
    static const MachinePorts ports = [] {
        MachinePorts p;
        for (int n = 1; n <= 8; ++n) {
            std::string name = "DIZED" + std::to_string(n);
            CanHandle h = CanOpenPort(name.c_str());
            if (h == CAN_INVALID_PORT) continue;
            uint32_t v[14] = {};
            if (CanCommonGetPciDeviceInfo(h, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &v[9],
                                          &v[10], &v[11], &v[12], &v[13]) == 0) {
                if (v[0] == 0x1C94)
                    p.basic = name;
                else if (p.fifoA.empty())
                    p.fifoA = name;
                else
                    p.fifoB = name;
            }
            CanClosePort(h);
        }
        return p;
    }();
    return ports;
}

namespace {
constexpr size_t kRecorders = 64;
std::mutex gRecordersLock;
std::array<Recorder*, kRecorders> gRecorders{};

void Notify(uint32_t bits, uint32_t user) {
    Recorder* r = nullptr;
    {
        std::lock_guard lk(gRecordersLock);
        if (user < kRecorders) r = gRecorders[user];
    }
    if (r) r->Record(bits);
}
}  // namespace

Recorder::Recorder() : index_(0) {
    std::lock_guard lk(gRecordersLock);
    for (uint32_t i = 1; i < kRecorders; ++i)
        if (!gRecorders[i]) {
            gRecorders[i] = this;
            index_ = i;
            return;
        }
}
Recorder::~Recorder() {
    std::lock_guard lk(gRecordersLock);
    gRecorders[index_] = nullptr;
}
CanNotifyProc Recorder::callback() const { return Notify; }
std::vector<uint32_t> Recorder::bits() const {
    std::lock_guard lk(m_);
    return bits_;
}
size_t Recorder::count() const {
    std::lock_guard lk(m_);
    return bits_.size();
}
void Recorder::OnNotify(std::function<void(uint32_t)> f) {
    std::lock_guard lk(m_);
    hook_ = std::move(f);
}
bool Recorder::WaitForBits(uint32_t bit, int seconds) const {
    return WaitUntil(
        [&] {
            for (uint32_t b : bits())
                if (b & bit) return true;
            return false;
        },
        seconds);
}
void Recorder::Record(uint32_t bits) {
    std::function<void(uint32_t)> hook;
    {
        std::lock_guard lk(m_);
        bits_.push_back(bits);
        hook = hook_;
    }
    if (hook) hook(bits);
}

std::vector<CanMessage> Port::Drain() const {
    std::vector<CanMessage> all;
    for (;;) {
        CanMessage m[16];
        uint32_t n = 16;
        if (CanReceiveMessage(h_, m, &n) != 0) break;
        all.insert(all.end(), m, m + n);
    }
    return all;
}

}  // namespace dizedtest
