#include "common/ordered_work.h"

#include <sched.h>

#include <algorithm>
#include <cstdlib>

namespace archivers {

int PackThreads(int requested) {
    if (requested > 0) return std::min(requested, kMaxPackThreads);
    if (const char* text = std::getenv("ARCHIVERS_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && n > 0) return static_cast<int>(std::min<long>(n, kMaxPackThreads));
    }
    cpu_set_t set;
    CPU_ZERO(&set);
    int n = 0;
    if (::sched_getaffinity(0, sizeof set, &set) == 0) n = CPU_COUNT(&set);
    if (n <= 0) n = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(n, 1, kMaxPackThreads);
}

}  // namespace archivers
