#include "support/MachOToolchain.h"

#include "support/TemporaryDirectory.h"

#include <unistd.h>

#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <vector>

namespace kestrova::testing {
namespace {

std::optional<std::string> findTool(std::initializer_list<const char*> names) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "/usr/bin:/bin");
    std::string folder;
    std::vector<std::string> searched;
    while (std::getline(folders, folder, ':')) {
        searched.push_back(folder);
    }
    searched.push_back("/usr/lib/llvm-14/bin");
    for (const auto* name : names) {
        for (const auto& candidate : searched) {
            const auto full = candidate + "/" + name;
            if (::access(full.c_str(), X_OK) == 0) {
                return full;
            }
        }
    }
    return std::nullopt;
}

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (const char c : text) {
        if (c == '\'') {
            result += "'\\''";
        } else {
            result += c;
        }
    }
    return result + "'";
}

}  // namespace

Result<MachOImages> MachOToolchain::buildImages() {
    const auto clang = findTool({"clang", "clang-14", "clang-15", "clang-16"});
    const auto linker = findTool({"ld64.lld", "ld64.lld-14", "ld64.lld-15", "ld64.lld-16"});
    const auto lipo = findTool({"llvm-lipo", "llvm-lipo-14", "llvm-lipo-15", "llvm-lipo-16"});
    if (!clang || !linker || !lipo) {
        return Error{"clang, ld64.lld and llvm-lipo are needed to build Mach-O fixtures"};
    }
    const TemporaryDirectory work;
    const auto source = work.writeFile("plugin.c", "int plugin_entry(void) { return 42; }\n");
    const auto run = [](const std::string& command) {
        return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
    };
    const auto build = [&](const std::string& arch, const std::string& target) -> std::optional<std::string> {
        const auto object = work / (arch + ".o");
        const auto image = work / arch;
        if (!run(quoted(*clang) + " -target " + target + " -c " + quoted(source) + " -o " + quoted(object)) ||
            !run(quoted(*linker) + " -arch " + arch + " -dylib -platform_version macos 11.0 11.0" +
                 " -undefined dynamic_lookup " + quoted(object) + " -o " + quoted(image))) {
            return std::nullopt;
        }
        return image;
    };
    const auto arm = build("arm64", "arm64-apple-macos11");
    const auto intel = build("x86_64", "x86_64-apple-macos11");
    if (!arm || !intel) {
        return Error{"the LLVM toolchain could not build an Apple dylib"};
    }
    const auto fat = work / "universal";
    if (!run(quoted(*lipo) + " -create " + quoted(*arm) + " " + quoted(*intel) + " -output " + quoted(fat))) {
        return Error{"llvm-lipo could not join the slices"};
    }
    return MachOImages{work.readFile("arm64"), work.readFile("x86_64"), work.readFile("universal")};
}

}  // namespace kestrova::testing
