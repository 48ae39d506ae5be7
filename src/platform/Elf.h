// Which processor a shared object is built for, from its ELF header: the
// class (32 or 64 bits), the byte order and e_machine. Only the fixed
// header is ever read.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

enum class ElfMachine { unknown, x86_64, aarch64, arm, i386 };

namespace elf {
inline constexpr std::uint16_t machineI386 = 3;
inline constexpr std::uint16_t machineArm = 40;
inline constexpr std::uint16_t machineX86_64 = 62;
inline constexpr std::uint16_t machineAArch64 = 183;
}  // namespace elf

// The rule applied to a file's leading bytes. A header that is short, not
// ELF, of an unknown class, byte order or version, or that pairs a machine
// with the wrong class (x32 objects, say) is unknown.
ElfMachine elfMachine(std::span<const unsigned char> bytes);

// Applies the rule to the first bytes of the file. Opened without blocking,
// so a FIFO in a plug-in folder cannot hang a scan; a missing, unreadable,
// empty, truncated or non-regular file is unknown.
ElfMachine readElfMachine(const std::string& path);

// What the dynamic section and symbols of a shared object say about it: a
// VST2 plug-in exports its entry point, a library it loads is named by
// DT_NEEDED. Read through a read-only mapping, bounds checked throughout.
struct ElfDynamicFacts {
    ElfMachine machine = ElfMachine::unknown;
    // False when the dynamic symbol table could not be found or read
    // (a damaged, truncated or stripped object): nothing below is known.
    bool symbolsRead = false;
    // A defined "VSTPluginMain" or "main" among the dynamic symbols.
    bool exportsVstEntry = false;
    std::vector<std::string> needed;
    std::string soname;

    friend bool operator==(const ElfDynamicFacts&, const ElfDynamicFacts&) = default;
};

ElfDynamicFacts elfDynamicFacts(std::span<const unsigned char> bytes);
// Opened without blocking; only regular files are mapped.
ElfDynamicFacts readElfDynamicFacts(const std::string& path);

// What the product shows for a machine on Linux, in the terms distributions
// and hosts use: "x86-64", "ARM64", "ARM" (32-bit), "x86" (32-bit), else
// "Unknown". x86-64 is deliberately not "Intel": that value marks a bundle as
// legacy, which a native Linux build is not.
std::string_view elfArchitectureName(ElfMachine machine);

// A minimal 32- or 64-bit little-endian ELF header of a shared object for
// `machine`: enough for the rule above, not a loadable image. Benchmarks and
// tests lay these down where no cross compiler is at hand.
std::string syntheticElfHeader(std::uint16_t machine, bool is64Bit);

// A minimal 64-bit little-endian shared object for x86-64 with section
// headers, a dynamic symbol table defining `exported` and a dynamic section
// naming `needed` (and `soname` when not empty): what elfDynamicFacts reads,
// without a compiler.
std::string syntheticElfSharedObject(const std::vector<std::string>& exported, const std::vector<std::string>& needed,
                                     const std::string& soname = {});

}  // namespace kestrova
