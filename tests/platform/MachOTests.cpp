#include "platform/MachO.h"

#include "support/MachOToolchain.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace kestrova {
namespace {

using testing::TemporaryDirectory;

std::vector<unsigned char> bytes(std::initializer_list<unsigned> values) {
    std::vector<unsigned char> result;
    for (const auto value : values) {
        result.push_back(static_cast<unsigned char>(value));
    }
    return result;
}

MachOArchitecture of(const std::vector<unsigned char>& data) { return machOArchitecture(data); }

TEST(MachO, ThinHeadersInBothByteOrdersAndForeignData) {
    const std::vector<std::pair<std::vector<unsigned char>, MachOArchitecture>> cases{
        // 64-bit little endian, as every Apple Silicon and Intel binary is written.
        {bytes({0xCF, 0xFA, 0xED, 0xFE, 0x0C, 0, 0, 0x01}), MachOArchitecture::appleSilicon},
        {bytes({0xCF, 0xFA, 0xED, 0xFE, 0x07, 0, 0, 0x01}), MachOArchitecture::intel},
        {bytes({0xCE, 0xFA, 0xED, 0xFE, 0x07, 0, 0, 0}), MachOArchitecture::intel},  // i386
        // Big-endian headers read the CPU type big-endian too.
        {bytes({0xFE, 0xED, 0xFA, 0xCF, 0x01, 0, 0, 0x0C}), MachOArchitecture::appleSilicon},
        {bytes({0xFE, 0xED, 0xFA, 0xCE, 0, 0, 0, 0x07}), MachOArchitecture::intel},
        // PowerPC and friends are nothing this system names.
        {bytes({0xFE, 0xED, 0xFA, 0xCE, 0, 0, 0, 0x12}), MachOArchitecture::unknown},
        // The byte order matters: arm64 written the wrong way round is unknown.
        {bytes({0xCF, 0xFA, 0xED, 0xFE, 0x01, 0, 0, 0x0C}), MachOArchitecture::unknown},
        {{}, MachOArchitecture::unknown},
        {bytes({0xCF, 0xFA, 0xED, 0xFE, 0x0C, 0, 0}), MachOArchitecture::unknown},  // 7 bytes
        {bytes({0x7F, 'E', 'L', 'F', 2, 1, 1, 0}), MachOArchitecture::unknown},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(of(cases[i].first), cases[i].second) << "case " << i;
    }
}

// A fat header in big-endian order: magic, count, then each CPU type at the
// start of an entry of `entrySize` bytes.
std::vector<unsigned char> fatHeader(unsigned magic, const std::vector<unsigned>& cpus, std::size_t entrySize) {
    const auto word = [](unsigned value) {
        return bytes({(value >> 24) & 0xFF, (value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF});
    };
    auto header = word(magic);
    const auto count = word(static_cast<unsigned>(cpus.size()));
    header.insert(header.end(), count.begin(), count.end());
    for (const auto cpu : cpus) {
        auto entry = word(cpu);
        entry.resize(entrySize, 0);
        header.insert(header.end(), entry.begin(), entry.end());
    }
    return header;
}

TEST(MachO, FatHeadersWithBothEntrySizesAndByteOrders) {
    const auto fat = fatHeader(0xCAFEBABE, {machO::cpuTypeX86_64, machO::cpuTypeArm64}, 20);
    EXPECT_EQ(of(fat), MachOArchitecture::universal);
    // Cut inside the second entry: a read past the end.
    EXPECT_EQ(of(std::vector<unsigned char>(fat.begin(), fat.begin() + 30)), MachOArchitecture::unknown);
    // 64-bit form: 32-byte entries.
    EXPECT_EQ(of(fatHeader(0xCAFEBABF, {machO::cpuTypeArm64}, 32)), MachOArchitecture::appleSilicon);

    // Swapped magic: count and CPU types read little-endian.
    auto swapped = bytes({0xBE, 0xBA, 0xFE, 0xCA, 1, 0, 0, 0, 0x07, 0, 0, 0x01});
    swapped.resize(8 + 20, 0);
    EXPECT_EQ(of(swapped), MachOArchitecture::intel);
    auto swapped64 = bytes({0xBF, 0xBA, 0xFE, 0xCA, 2, 0, 0, 0, 0x0C, 0, 0, 0x01});
    swapped64.resize(8 + 32, 0);
    const auto intel = bytes({0x07, 0, 0, 0x01});
    swapped64.insert(swapped64.end(), intel.begin(), intel.end());
    EXPECT_EQ(of(swapped64), MachOArchitecture::universal);

    // A zero count and entries naming neither family are unknown.
    EXPECT_EQ(of(fatHeader(0xCAFEBABE, {}, 20)), MachOArchitecture::unknown);
    EXPECT_EQ(of(fatHeader(0xCAFEBABE, {0x12}, 20)), MachOArchitecture::unknown);
}

TEST(MachO, LongFatTablesAreReadPastTheFirstPage) {
    const TemporaryDirectory directory;
    // 200 entries of 32 bytes run past the first page; the arm64 slice is
    // entry 150.
    std::vector<unsigned> cpus(200, 0);
    cpus[0] = machO::cpuTypeX86_64;
    cpus[150] = machO::cpuTypeArm64;
    const auto fat = fatHeader(0xCAFEBABF, cpus, 32);
    const auto path = directory.writeFile("fat", std::string(fat.begin(), fat.end()));
    EXPECT_EQ(readMachOArchitecture(path), MachOArchitecture::universal);
    // Cut inside the table: a read past the end.
    EXPECT_EQ(readMachOArchitecture(directory.writeFile("cut", std::string(fat.begin(), fat.begin() + 5000))),
              MachOArchitecture::unknown);
    // Special files: ExecutableReaders, beside the ELF reader.
}

TEST(MachO, RecognisesImagesMadeByTheLinker) {
    const auto images = testing::MachOToolchain::buildImages();
    if (!images) {
        GTEST_SKIP() << images.error().message;
    }
    const TemporaryDirectory directory;
    EXPECT_EQ(readMachOArchitecture(directory.writeFile("arm64", images->arm64)), MachOArchitecture::appleSilicon);
    EXPECT_EQ(readMachOArchitecture(directory.writeFile("x86_64", images->x86_64)), MachOArchitecture::intel);
    EXPECT_EQ(readMachOArchitecture(directory.writeFile("universal", images->universal)), MachOArchitecture::universal);
}

}  // namespace
}  // namespace kestrova
