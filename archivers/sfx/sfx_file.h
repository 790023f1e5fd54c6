// Layout of a self-extractor: the native stub program, the archive appended to it, the stub's
// options, and a fixed trailer at the very end that tells the stub where the archive is.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "common/hostfiles.h"
#include "common/results.h"

namespace archivers::sfx {

enum class Kind : std::uint32_t { Lha = 'L', Cab = 'C' };

struct Layout {
    Kind kind = Kind::Lha;
    long archiveOffset = 0;  // bytes from the start of the file
    long archiveSize = 0;
    std::string options;     // Shift-JIS "key=value" lines
};

// Writes stub + archive + options + trailer into output, executable, replacing it only when
// complete.
bool MakeSfx(const std::filesystem::path& stub, const std::filesystem::path& archive, Kind kind,
             const std::string& options, const std::filesystem::path& output, std::string* error);

// Reads the trailer of an open self-extractor; false when it is missing or inconsistent.
bool ReadLayout(std::FILE* file, Layout* layout, std::string* error);

// Host path of a stub program: beside the module that contains this code, in ../bin from it,
// or in $ARCHIVERS_STUB_DIR.
std::filesystem::path FindStub(const char* name);

// What a self-extractor is made from: the archive, the output folder and the stub.
struct SfxSources {
    std::filesystem::path archive;
    std::filesystem::path folder;
    std::filesystem::path stub;
};
using ArchiveTest = std::function<bool(std::FILE*, long, long, std::string*)>;

// Resolves the archive and output folder (Windows paths; an empty folder means the archive's
// own) of a make-self-extractor call, refuses a missing one or a damaged archive before a
// stub is spent on it, and finds the stub. `noun` names the archive in the reasons.
Outcome PrepareSfx(const std::string& archive, const std::string& folder, const char* noun, const ArchiveTest& test,
                   const char* stubName, SfxSources* out);

// The running stub's own program file and the archive appended to it, checked to be of
// `kind`; false with the reason.
bool OpenOwnArchive(Kind kind, FileHandle* self, Layout* layout, std::string* error);

}  // namespace archivers::sfx
