// Version resource and export table of a Windows executable (PE format), read portably from
// the file's bytes. Every offset and count in the file is untrusted and checked.
#pragma once

#include <cstdint>
#include <string_view>

namespace zeriru {

struct TFileVersion {
    int major = 0;    // the four 16-bit parts of the fixed file version
    int minor = 0;
    int release = 0;
    int build = 0;
    // major (4 digits), minor, release, build (5 digits each) read as one decimal number;
    // -1 when major is above 9222.
    std::int64_t comparable = 0;
};

// The comparable number of a version.
std::int64_t ComparableVersion(int major, int minor, int release, int build);

// The fixed file version of a PE image; false when the image has no version resource.
bool ReadFileVersionFromImage(std::string_view image, TFileVersion& version);
// True when a PE image exports a function of that name.
bool ImageExports(std::string_view image, std::string_view function);

// The same on a file (Windows path); false when the file cannot be read.
bool GetFileVersion(std::string_view path, TFileVersion& version);
// True for ".OCX" and ".TLB" files (ignoring case), and for ".DLL" files that export
// DllRegisterServer; a file that cannot be read is not self-registering.
bool IsSelfRegistering(std::string_view path);

}  // namespace zeriru
