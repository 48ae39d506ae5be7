// Reading a small metadata file found inside a plug-in bundle, where anything
// may stand: bounded, never blocking on a FIFO or device, regular files only.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace kestrova {

// The whole file when it is a regular file of at most `limit` bytes that can
// be read; absent otherwise (missing, too large, a FIFO, a folder...).
std::optional<std::string> readSmallRegularFile(const std::string& path, std::size_t limit);

}  // namespace kestrova
