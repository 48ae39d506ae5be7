// What the demo trees of both profiles are written with.
#pragma once

#include "platform/Result.h"

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string_view>

namespace kestrova::cli {

// Writes `contents`, creating the folders above it. A larger `logicalSize`
// extends the file sparsely, so executables look their real size without
// using the disk space.
Status writeDemoFile(const std::filesystem::path& path, std::string_view contents, std::uintmax_t logicalSize = 0);

// Makes `output` ready for a demo: a new or empty folder, or one holding an
// earlier demo, whose `parts` are then removed. Anything else is refused
// before anything is written. Leaves the marker of a demo behind.
Status prepareDemoFolder(const std::filesystem::path& output, std::initializer_list<const char*> parts);

Status makeDemoFolder(const std::filesystem::path& folder);

}  // namespace kestrova::cli
