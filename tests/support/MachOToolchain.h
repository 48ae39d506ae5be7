// Real Mach-O images made by the LLVM toolchain (clang for Apple targets,
// ld64.lld, llvm-lipo), so header reading is checked against what a linker
// writes and not only against hand-made bytes. Tests skip when the tools are
// missing:
//
//     const auto images = MachOToolchain::buildImages();
//     if (!images) GTEST_SKIP() << images.error().message;
#pragma once

#include "platform/Result.h"

#include <string>

namespace kestrova::testing {

struct MachOImages {
    std::string arm64;      // thin dylib
    std::string x86_64;     // thin dylib
    std::string universal;  // both, joined by llvm-lipo
};

class MachOToolchain {
public:
    // Compiles and links a small dylib for each architecture; an error names
    // the missing tool or the failing step.
    static Result<MachOImages> buildImages();
};

}  // namespace kestrova::testing
