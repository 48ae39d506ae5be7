#include "support/MachOToolchain.h"

#include "support/TemporaryDirectory.h"

#include <cstdlib>
#include <optional>

namespace kestrova::testing {

Result<MachOImages> MachOToolchain::buildImages() {
    // Debian keeps ld64.lld and llvm-lipo in LLVM's own folders only.
    const auto run = [](const std::string& command) {
        const auto line = "export PATH=\"$PATH:/usr/lib/llvm-16/bin:/usr/lib/llvm-15/bin:/usr/lib/llvm-14/bin\"; " +
                          command + " >/dev/null 2>&1";
        return std::system(line.c_str()) == 0;
    };
    if (!run("command -v clang && command -v ld64.lld && command -v llvm-lipo")) {
        return Error{"clang, ld64.lld and llvm-lipo are needed to build Mach-O fixtures"};
    }
    const TemporaryDirectory work;
    const auto source = work.writeFile("plugin.c", "int plugin_entry(void) { return 42; }\n");
    const auto quoted = [](const std::string& path) { return "\"" + path + "\""; };
    const auto build = [&](const std::string& arch, const std::string& target) -> std::optional<std::string> {
        const auto object = work / (arch + ".o");
        const auto image = work / arch;
        if (!run("clang -target " + target + " -c " + quoted(source) + " -o " + quoted(object)) ||
            !run("ld64.lld -arch " + arch + " -dylib -platform_version macos 11.0 11.0 -undefined dynamic_lookup " +
                 quoted(object) + " -o " + quoted(image))) {
            return std::nullopt;
        }
        return image;
    };
    const auto arm = build("arm64", "arm64-apple-macos11");
    const auto intel = build("x86_64", "x86_64-apple-macos11");
    if (!arm || !intel) {
        return Error{"the LLVM toolchain could not build an Apple dylib"};
    }
    if (!run("llvm-lipo -create " + quoted(*arm) + " " + quoted(*intel) + " -output " + quoted(work / "universal"))) {
        return Error{"llvm-lipo could not join the slices"};
    }
    return MachOImages{work.readFile("arm64"), work.readFile("x86_64"), work.readFile("universal")};
}

}  // namespace kestrova::testing
