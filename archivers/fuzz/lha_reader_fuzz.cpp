// libFuzzer target: the LHA reader as the self-extractor and the library use it on an
// untrusted archive. Refusing input is fine; crashing, hanging or reading out of bounds is not.
// Also decodes the input as member data of each method, and reads it as a self-extractor.
#include <cstdint>
#include <cstdio>
#include <string>

#include "common/safe_path.h"
#include "lha/archive.h"
#include "lha/decoder.h"
#include "lha/method.h"
#include "sfx/sfx_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::FILE* f = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
    if (!f) return 0;
    std::string error;
    archivers::lha::TestArchive(f, 0, 0, &error);
    {
        archivers::lha::ArchiveReader reader(f, 0, 0);
        archivers::lha::Member m;
        int guard = 0;
        while (reader.Next(&m, &error) == archivers::lha::HeaderStatus::Ok && ++guard < 1000) {
            archivers::SafeRelativePath(m.path, &error);
        }
    }
    archivers::sfx::Layout layout;
    archivers::sfx::ReadLayout(f, &layout, &error);
    std::fclose(f);

    // Raw member data: the first byte picks the method, the next two the output size.
    if (size > 3) {
        static const char* const kMethods[] = {"-lh5-", "-lh6-", "-lh7-"};
        const auto* method = archivers::lha::FindMethod(kMethods[data[0] % 3]);
        const std::uint64_t outSize = (std::uint64_t{data[1]} << 8 | data[2]) * 16;
        std::size_t at = 3;
        const archivers::ByteSource src = [&](std::uint8_t* buf, std::size_t n) -> std::ptrdiff_t {
            const std::size_t k = std::min(n, size - at);
            std::copy(data + at, data + at + k, buf);
            at += k;
            return static_cast<std::ptrdiff_t>(k);
        };
        const archivers::ByteSink sink = [](const std::uint8_t*, std::size_t) { return true; };
        archivers::lha::DecodeMember(*method, src, size - 3, outSize, sink, &error);
    }
    return 0;
}
