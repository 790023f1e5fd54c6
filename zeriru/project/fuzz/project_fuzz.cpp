// libFuzzer target: arbitrary bytes as a project file and as item records.
//  - load, save, load again: the second document saves to the same text as the first;
//  - GetItemField never returns a field holding a separator, and SetItemField keeps every
//    other field of the first twenty;
//  - escaping and scrambling round-trip;
//  - the PE reader survives any bytes.
// Build: cmake -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DZERIRU_PROJECT_FUZZ=ON
//        -DSUITE_SANITIZE=ON -DSUITE_TESTS=OFF; run: zeriru_project_fuzz -max_total_time=60
#include "platform/sjis.h"
#include "zeriru/file_version.h"
#include "zeriru/ini_document.h"
#include "zeriru/project_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace zeriru;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

bool HasSeparator(std::string_view field) {
    return platform::sjis::FindChar(field, '|') != platform::sjis::npos;
}

void FuzzDocument(std::string_view text) {
    TIniDocument first;
    first.LoadFromText(text);
    const std::string saved = first.SaveToText();
    TIniDocument second;
    second.LoadFromText(saved);
    Check(second.SaveToText() == saved);
    // Every entry is found by its name in any case, with the value of its first occurrence.
    for (const std::string& section : first.ReadSections()) {
        Check(second.SectionExists(platform::sjis::ToLower(section)));
        auto values = first.ReadSectionValues(section);
        for (std::size_t i = 0; i < values.size() && i < 64; ++i) {
            Check(first.ValueExists(section, platform::sjis::ToUpper(values[i].first)));
        }
    }
}

void FuzzRecord(std::string_view record, int n) {
    for (int k = -1; k <= 22; ++k) Check(!HasSeparator(GetItemField(record, k)));
    const std::string value = EncodeProjectText("v|,=");
    const std::string changed = SetItemField(record, n, value);
    if (n < 1 || n > kItemFieldCount) {
        Check(changed == record);
        return;
    }
    Check(platform::sjis::SplitSjis(changed, '|').size() == kItemFieldCount + 1);
    for (int k = 1; k <= kItemFieldCount; ++k) {
        // A field may only lose a lead byte that stood alone at its end.
        const std::string expected = k == n ? value : GetItemField(record, k);
        const std::string got = GetItemField(changed, k);
        Check(got == expected || (got.size() + 1 == expected.size() && expected.compare(0, got.size(), got) == 0 &&
                                  platform::sjis::IsLeadByte(static_cast<unsigned char>(expected.back()))));
    }
    (void)GetItemFieldInt(record, n, 0);
    (void)GetItemFieldBool(record, n, false);
}

void FuzzText(std::string_view text) {
    if (text.find_first_of(std::string_view("\x01\x02\x03", 3)) == std::string_view::npos) {
        Check(DecodeProjectText(EncodeProjectText(text)) == text);
    }
    Check(EncodeProjectText(DecodeProjectText(text)).size() == text.size());
    if (text.size() <= 48) Check(UnscrambleText(ScrambleText(text, 2), 2) == text);
    (void)UnscrambleText(text, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4) {
        case 0: FuzzDocument(input); break;
        case 1: FuzzRecord(input, static_cast<int>(data[0] / 4) % 24 - 1); break;
        case 2: FuzzText(input); break;
        default: {
            TFileVersion v;
            (void)ReadFileVersionFromImage(input, v);
            (void)ImageExports(input, "DllRegisterServer");
            break;
        }
    }
    return 0;
}
