// The file-style byte-count text shown for bundle and product sizes, in
// decimal units (1 KB = 1000 bytes): "Zero KB", "512 bytes", "17 KB",
// "39.8 MB", "1.25 GB".
#pragma once

#include <cstdint>
#include <string>

namespace kestrova {

std::string formatFileByteCount(std::uint64_t bytes);

}  // namespace kestrova
