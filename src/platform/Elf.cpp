#include "platform/Elf.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>

namespace kestrova {
namespace {

constexpr std::size_t headerLength32 = 52;
constexpr std::size_t headerLength64 = 64;

std::uint16_t readHalf(std::span<const unsigned char> bytes, std::size_t offset, bool bigEndian) {
    const unsigned first = bytes[offset];
    const unsigned second = bytes[offset + 1];
    return static_cast<std::uint16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
}

std::uint32_t readWord(std::span<const unsigned char> bytes, std::size_t offset, bool bigEndian) {
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t index = bigEndian ? offset + i : offset + 3 - i;
        word = (word << 8) | bytes[index];
    }
    return word;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }

private:
    int fd_;
};

void appendLittleEndian(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

}  // namespace

ElfMachine elfMachine(std::span<const unsigned char> bytes) {
    if (bytes.size() < 16 || bytes[0] != 0x7F || bytes[1] != 'E' || bytes[2] != 'L' || bytes[3] != 'F') {
        return ElfMachine::unknown;
    }
    const auto elfClass = bytes[4];
    const auto encoding = bytes[5];
    if ((elfClass != 1 && elfClass != 2) || (encoding != 1 && encoding != 2) || bytes[6] != 1) {
        return ElfMachine::unknown;
    }
    const bool is64Bit = elfClass == 2;
    const bool bigEndian = encoding == 2;
    // The whole fixed header must be there: a file cut short is damaged,
    // whatever its first bytes say.
    if (bytes.size() < (is64Bit ? headerLength64 : headerLength32) || readWord(bytes, 20, bigEndian) != 1) {
        return ElfMachine::unknown;
    }
    switch (readHalf(bytes, 18, bigEndian)) {
        case elf::machineX86_64:
            return is64Bit ? ElfMachine::x86_64 : ElfMachine::unknown;
        case elf::machineAArch64:
            return is64Bit ? ElfMachine::aarch64 : ElfMachine::unknown;
        case elf::machineArm:
            return is64Bit ? ElfMachine::unknown : ElfMachine::arm;
        case elf::machineI386:
            return is64Bit ? ElfMachine::unknown : ElfMachine::i386;
        default:
            return ElfMachine::unknown;
    }
}

ElfMachine readElfMachine(const std::string& path) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0) {
        return ElfMachine::unknown;
    }
    // No fstat: a FIFO or socket fails the pread, a folder too, and a device
    // gives bytes that are not an ELF header. One call fewer per plug-in is
    // a tenth of the scan on a tree of single-file plug-ins (bench/scan_linux).
    std::array<unsigned char, headerLength64> header{};
    const auto count = ::pread(file.get(), header.data(), header.size(), 0);
    if (count <= 0) {
        return ElfMachine::unknown;
    }
    return elfMachine(std::span<const unsigned char>(header.data(), static_cast<std::size_t>(count)));
}

std::string_view elfArchitectureName(ElfMachine machine) {
    switch (machine) {
        case ElfMachine::x86_64:
            return "x86-64";
        case ElfMachine::aarch64:
            return "ARM64";
        case ElfMachine::arm:
            return "ARM";
        case ElfMachine::i386:
            return "x86";
        case ElfMachine::unknown:
            break;
    }
    return "Unknown";
}

std::string syntheticElfHeader(std::uint16_t machine, bool is64Bit) {
    std::string header{
        "\x7F"
        "ELF"};
    header.push_back(static_cast<char>(is64Bit ? 2 : 1));  // class
    header.push_back(1);                                   // little-endian
    header.push_back(1);                                   // EI_VERSION
    header.append(9, '\0');                                // OS ABI, padding
    appendLittleEndian(header, 3, 2);                      // ET_DYN
    appendLittleEndian(header, machine, 2);
    appendLittleEndian(header, 1, 4);  // e_version
    header.resize(is64Bit ? headerLength64 : headerLength32, '\0');
    return header;
}

}  // namespace kestrova
