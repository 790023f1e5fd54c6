// A stand-in archiver library for the archive component's tests: it records every command
// line and answers with a result the test chooses.
#include <cstdint>
#include <cstring>
#include <string>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {
std::string g_last;
int g_result = 0;
int g_running = 0;
int g_calls = 0;
}  // namespace

EXPORT const char* FakeLastCommand() { return g_last.c_str(); }
EXPORT int FakeCalls() { return g_calls; }
EXPORT void FakeSetResult(int r) { g_result = r; }
EXPORT void FakeSetRunning(int r) { g_running = r; }

#ifdef FAKE_RECORDING
static int Entry(const char* line, char* out, std::uint32_t size) {
    g_last = line ? line : "";
    ++g_calls;
    if (out && size) out[0] = '\0';
    return g_result;
}
#ifdef FAKE_UNLHA32
EXPORT int Unlha(void*, const char* line, char* out, std::uint32_t size) { return Entry(line, out, size); }
EXPORT int UnlhaGetRunning() { return g_running; }
#else
EXPORT int Cab(void*, const char* line, char* out, std::uint32_t size) { return Entry(line, out, size); }
EXPORT int CabGetRunning() { return g_running; }
#endif
#endif
