// libFuzzer target: the CAB reader as the self-extractor and the library use it on an
// untrusted cabinet. Refusing input is fine; crashing, hanging or reading out of bounds is not.
#include <cstdint>
#include <cstdio>
#include <string>

#include "cab/cabinet.h"
#include "common/safe_path.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::FILE* f = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!f) return 0;
    std::string error;
    archivers::cab::CabinetReader reader;
    if (reader.Open(f, 0, 0, &error)) {
        for (const auto& e : reader.entries()) archivers::SafeRelativePath(e.name, &error);
    }
    archivers::cab::TestCabinet(f, 0, 0, &error);
    std::fclose(f);
    return 0;
}
