// Reading a data file of the machine (its description, a temperature profile): a regular file
// only, of bounded size. A device, a FIFO or a folder is refused after opening, without
// waiting for a writer and without reading endlessly.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace hw {

// Largest data file the machine reads, bytes.
inline constexpr std::size_t kMaxDataFileBytes = 16u << 20;

// The file's bytes; nullopt with the reason (naming the file) in *error.
std::optional<std::string> ReadRegularFile(const std::filesystem::path& path, std::string* error);

}  // namespace hw
