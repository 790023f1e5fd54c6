#include "zeriru/winpath_mapper.h"

#include "platform/winpath.h"

namespace zeriru {

std::optional<std::filesystem::path> WinpathMapper::ToHost(std::string_view windowsPath) const {
    return platform::winpath::ToHostPath(windowsPath);
}

}  // namespace zeriru
