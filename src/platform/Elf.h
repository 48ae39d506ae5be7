// Which processor a shared object is built for, from its ELF header: the
// class (32 or 64 bits), the byte order and e_machine. Only the fixed
// header is ever read.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

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

// What the product shows for a machine on Linux, in the terms distributions
// and hosts use: "x86-64", "ARM64", "ARM" (32-bit), "x86" (32-bit), else
// "Unknown". x86-64 is deliberately not "Intel": that value marks a bundle as
// legacy, which a native Linux build is not.
std::string_view elfArchitectureName(ElfMachine machine);

// A minimal 32- or 64-bit little-endian ELF header of a shared object for
// `machine`: enough for the rule above, not a loadable image. Benchmarks and
// tests lay these down where no cross compiler is at hand.
std::string syntheticElfHeader(std::uint16_t machine, bool is64Bit);

}  // namespace kestrova
