// The file-style byte-count text shown for bundle and product sizes, in
// decimal units (1 KB = 1000 bytes): "Zero KB", "512 bytes", "17 KB",
// "39.8 MB", "1.25 GB".
#pragma once

#include <cstdint>
#include <string>

namespace kestrova {

std::string formatFileByteCount(std::uint64_t bytes);

// A running total of bytes plus one file's size, held at the largest value
// instead of wrapping: a damaged size field must not make a bundle tiny.
std::int64_t addingByteCount(std::int64_t total, std::uint64_t size);

}  // namespace kestrova
