#include "platform/MachO.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

namespace kestrova {
namespace {

enum class ByteOrder { big, little };

bool readWord(std::span<const unsigned char> bytes, std::size_t offset, ByteOrder order, std::uint32_t& word) {
    if (offset > bytes.size() || bytes.size() - offset < 4) {
        return false;
    }
    const auto* p = bytes.data() + offset;
    if (order == ByteOrder::big) {
        word = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
    } else {
        word = (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
    }
    return true;
}

bool isIntel(std::uint32_t cpuType) { return cpuType == machO::cpuTypeI386 || cpuType == machO::cpuTypeX86_64; }

MachOArchitecture thinArchitecture(std::uint32_t cpuType) {
    if (isIntel(cpuType)) {
        return MachOArchitecture::intel;
    }
    if (cpuType == machO::cpuTypeArm64) {
        return MachOArchitecture::appleSilicon;
    }
    return MachOArchitecture::unknown;
}

MachOArchitecture fatArchitecture(std::span<const unsigned char> bytes, ByteOrder order, std::size_t entrySize) {
    std::uint32_t count = 0;
    if (!readWord(bytes, 4, order, count) || count == 0) {
        return MachOArchitecture::unknown;
    }
    bool arm = false;
    bool intel = false;
    for (std::uint64_t k = 0; k < count; ++k) {
        std::uint32_t cpuType = 0;
        if (!readWord(bytes, static_cast<std::size_t>(8 + k * entrySize), order, cpuType)) {
            return MachOArchitecture::unknown;
        }
        arm = arm || cpuType == machO::cpuTypeArm64;
        intel = intel || isIntel(cpuType);
    }
    if (arm && intel) {
        return MachOArchitecture::universal;
    }
    if (arm) {
        return MachOArchitecture::appleSilicon;
    }
    return intel ? MachOArchitecture::intel : MachOArchitecture::unknown;
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

// A read-only mapping of a whole regular file; empty when that fails.
class ReadOnlyMapping {
public:
    explicit ReadOnlyMapping(int fd) {
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
            void* address = ::mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
            if (address != MAP_FAILED) {
                address_ = address;
                length_ = static_cast<std::size_t>(info.st_size);
            }
        }
    }
    ReadOnlyMapping(const ReadOnlyMapping&) = delete;
    ReadOnlyMapping& operator=(const ReadOnlyMapping&) = delete;
    ~ReadOnlyMapping() {
        if (address_) {
            ::munmap(address_, length_);
        }
    }

    std::span<const unsigned char> bytes() const {
        return address_ ? std::span<const unsigned char>(static_cast<const unsigned char*>(address_), length_)
                        : std::span<const unsigned char>();
    }

private:
    void* address_ = nullptr;
    std::size_t length_ = 0;
};

// How many leading bytes the rule reads: the fixed header, plus the entry
// table of a fat header.
std::uint64_t headerLength(std::span<const unsigned char> bytes) {
    std::uint32_t magic = 0;
    if (!readWord(bytes, 0, ByteOrder::big, magic)) {
        return 8;
    }
    const auto order = (magic == 0xBEBAFECA || magic == 0xBFBAFECA) ? ByteOrder::little : ByteOrder::big;
    const std::uint64_t entrySize = (magic == 0xCAFEBABF || magic == 0xBFBAFECA) ? 32 : 20;
    std::uint32_t count = 0;
    const bool fat = magic == 0xCAFEBABE || magic == 0xCAFEBABF || magic == 0xBEBAFECA || magic == 0xBFBAFECA;
    if (!fat || !readWord(bytes, 4, order, count)) {
        return 8;
    }
    return 8 + count * entrySize;
}

void appendWord(std::string& out, std::uint32_t word, ByteOrder order) {
    for (int i = 0; i < 4; ++i) {
        const int shift = order == ByteOrder::big ? 24 - 8 * i : 8 * i;
        out.push_back(static_cast<char>((word >> shift) & 0xFF));
    }
}

}  // namespace

MachOArchitecture machOArchitecture(std::span<const unsigned char> bytes) {
    std::uint32_t magic = 0;
    if (bytes.size() < 8 || !readWord(bytes, 0, ByteOrder::big, magic)) {
        return MachOArchitecture::unknown;
    }
    std::uint32_t cpuType = 0;
    switch (magic) {
        case 0xCEFAEDFE:
        case 0xCFFAEDFE:
            readWord(bytes, 4, ByteOrder::little, cpuType);
            return thinArchitecture(cpuType);
        case 0xFEEDFACE:
        case 0xFEEDFACF:
            readWord(bytes, 4, ByteOrder::big, cpuType);
            return thinArchitecture(cpuType);
        case 0xCAFEBABE:
            return fatArchitecture(bytes, ByteOrder::big, 20);
        case 0xCAFEBABF:
            return fatArchitecture(bytes, ByteOrder::big, 32);
        case 0xBEBAFECA:
            return fatArchitecture(bytes, ByteOrder::little, 20);
        case 0xBFBAFECA:
            return fatArchitecture(bytes, ByteOrder::little, 32);
        default:
            return MachOArchitecture::unknown;
    }
}

MachOArchitecture readMachOArchitecture(const std::string& path) {
    // Not blocking, so a FIFO where an executable should be cannot hang the scan.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) {
        return MachOArchitecture::unknown;
    }
    // The first page holds every thin header and any fat table of up to 127
    // entries, and one read of it is far cheaper than a mapping: unmapping a
    // touched page costs a TLB flush on every core the process ran on, which
    // made the scan half again as slow as a bare walk of the same tree
    // (bench/scan). Longer tables are read through a mapping of the file.
    std::array<unsigned char, 4096> firstPage{};
    const auto count = ::pread(file.get(), firstPage.data(), firstPage.size(), 0);
    if (count <= 0) {
        return MachOArchitecture::unknown;
    }
    const std::span<const unsigned char> head(firstPage.data(), static_cast<std::size_t>(count));
    if (head.size() == firstPage.size() && headerLength(head) > head.size()) {
        const ReadOnlyMapping mapping(file.get());
        return machOArchitecture(mapping.bytes());
    }
    return machOArchitecture(head);
}

std::string syntheticMachOHeader(const std::vector<std::uint32_t>& cpuTypes) {
    std::string header;
    if (cpuTypes.size() == 1) {
        appendWord(header, 0xFEEDFACF, ByteOrder::little);
        appendWord(header, cpuTypes.front(), ByteOrder::little);
        appendWord(header, 0, ByteOrder::little);  // cpusubtype
        appendWord(header, 6, ByteOrder::little);  // MH_DYLIB
        header.append(16, '\0');                   // ncmds, sizeofcmds, flags, reserved
        return header;
    }
    appendWord(header, 0xCAFEBABE, ByteOrder::big);
    appendWord(header, static_cast<std::uint32_t>(cpuTypes.size()), ByteOrder::big);
    for (std::size_t k = 0; k < cpuTypes.size(); ++k) {
        appendWord(header, cpuTypes[k], ByteOrder::big);
        appendWord(header, 0, ByteOrder::big);                                           // cpusubtype
        appendWord(header, static_cast<std::uint32_t>(4096 * (k + 1)), ByteOrder::big);  // offset
        appendWord(header, 32, ByteOrder::big);                                          // size
        appendWord(header, 12, ByteOrder::big);                                          // align 2^12
    }
    return header;
}

}  // namespace kestrova
