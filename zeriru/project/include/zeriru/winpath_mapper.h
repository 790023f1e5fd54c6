// Windows paths of the editor mapped through the platform's drive table: drive letters and
// shares as configured for the prefix, names matched without regard to case.
#pragma once

#include "zeriru/editor_files.h"

namespace zeriru {

class WinpathMapper : public PathMapper {
public:
    std::optional<std::filesystem::path> ToHost(std::string_view windowsPath) const override;
};

}  // namespace zeriru
