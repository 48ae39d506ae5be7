// Which processors an executable runs on, from its Mach-O header: thin
// files in either byte order and universal (fat) files with 32- or 64-bit
// entries. Only the first bytes and the fat entries are ever looked at.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kestrova {

enum class MachOArchitecture { unknown, intel, appleSilicon, universal };

namespace machO {
inline constexpr std::uint32_t cpuTypeI386 = 7;
inline constexpr std::uint32_t cpuTypeX86_64 = 0x01000007;
inline constexpr std::uint32_t cpuTypeArm64 = 0x0100000C;
}  // namespace machO

// The rule applied to a file's leading bytes; anything short, truncated or
// unrecognised is unknown.
MachOArchitecture machOArchitecture(std::span<const unsigned char> bytes);

// Applies the rule to the file's first page, or to a read-only mapping of
// the file when a fat table runs past it; a missing, unreadable, empty or
// non-regular file is unknown.
MachOArchitecture readMachOArchitecture(const std::string& path);

// A minimal header naming the given CPU types: a little-endian 64-bit thin
// header for one type, a big-endian fat header with 20-byte entries for
// several. Enough for the rule above, not a loadable image; the demo tree and
// benchmarks lay these down where no linker is at hand.
std::string syntheticMachOHeader(const std::vector<std::uint32_t>& cpuTypes);

}  // namespace kestrova
