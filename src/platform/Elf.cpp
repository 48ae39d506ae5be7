#include "platform/Elf.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <functional>
#include <limits>

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

// Bounds-checked reads of one region of an ELF image, in the image's class
// and byte order; offsets are relative to the region.
class ElfRegion {
public:
    ElfRegion(std::span<const unsigned char> bytes, bool is64Bit, bool bigEndian)
        : bytes_(bytes), is64Bit_(is64Bit), bigEndian_(bigEndian) {}

    std::uint64_t size() const { return bytes_.size(); }
    std::uint64_t half(std::uint64_t offset) const { return read(offset, 2); }
    std::uint64_t word(std::uint64_t offset) const { return read(offset, 4); }
    // A word in 32-bit images, a double word in 64-bit ones.
    std::uint64_t address(std::uint64_t offset) const { return read(offset, is64Bit_ ? 8 : 4); }

    // The NUL-terminated string at `offset`, if it ends inside the region.
    std::optional<std::string_view> string(std::uint64_t offset) const {
        if (offset >= bytes_.size()) {
            return std::nullopt;
        }
        const auto* start = reinterpret_cast<const char*>(bytes_.data() + offset);
        const auto length = std::string_view(start, bytes_.size() - offset).find('\0');
        if (length == std::string_view::npos) {
            return std::nullopt;
        }
        return std::string_view(start, length);
    }

private:
    std::uint64_t read(std::uint64_t offset, int length) const {
        if (offset > bytes_.size() || static_cast<std::uint64_t>(length) > bytes_.size() - offset) {
            return 0;
        }
        std::uint64_t value = 0;
        for (int i = 0; i < length; ++i) {
            const auto index =
                static_cast<std::size_t>(offset) + static_cast<std::size_t>(bigEndian_ ? i : length - 1 - i);
            value = (value << 8) | bytes_[index];
        }
        return value;
    }

    std::span<const unsigned char> bytes_;
    bool is64Bit_;
    bool bigEndian_;
};

// Where the parts of an image come from: a whole image in memory, or a file
// read piece by piece. Absent when the range is not all there.
using ElfLoader = std::function<std::optional<std::span<const unsigned char>>(std::uint64_t, std::uint64_t)>;

// Larger tables are not read: no real shared object comes near.
constexpr std::uint64_t tableLimit = 64 << 20;

struct Section {
    std::uint64_t type = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint64_t link = 0;
    std::uint64_t entrySize = 0;
};

constexpr std::uint64_t sectionDynamic = 6;
constexpr std::uint64_t sectionDynamicSymbols = 11;
constexpr std::uint64_t tagNeeded = 1;
constexpr std::uint64_t tagSoname = 14;
// More is not a shared object anyone builds.
constexpr std::uint64_t sectionCountLimit = 65535;
constexpr std::size_t neededLimit = 256;

void appendLittleEndianTo(std::string& out, std::size_t at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

}  // namespace

namespace {

ElfDynamicFacts dynamicFacts(const ElfLoader& load) {
    ElfDynamicFacts facts;
    const auto header = load(0, headerLength64);
    const auto shortHeader = header ? std::nullopt : load(0, headerLength32);
    const auto headerBytes = header ? header : shortHeader;
    if (!headerBytes) {
        return facts;
    }
    facts.machine = elfMachine(*headerBytes);
    if (facts.machine == ElfMachine::unknown) {
        return facts;
    }
    const bool wide = (*headerBytes)[4] == 2;
    const bool bigEndian = (*headerBytes)[5] == 2;
    const ElfRegion image(*headerBytes, wide, bigEndian);
    const auto sectionTable = image.address(wide ? 0x28 : 0x20);
    const auto sectionHeaderSize = image.half(wide ? 0x3A : 0x2E);
    const auto sectionCount = image.half(wide ? 0x3C : 0x30);
    if (sectionTable == 0 || sectionCount == 0 || sectionCount > sectionCountLimit ||
        sectionHeaderSize < (wide ? 64u : 40u)) {
        return facts;
    }
    const auto tableBytes = load(sectionTable, sectionHeaderSize * sectionCount);
    if (!tableBytes) {
        return facts;
    }
    // Later loads may reuse the loader's buffer.
    const std::vector<unsigned char> tableCopy(tableBytes->begin(), tableBytes->end());
    const ElfRegion table(tableCopy, wide, bigEndian);
    const auto section = [&](std::uint64_t index) {
        const auto at = index * sectionHeaderSize;
        Section entry;
        entry.type = table.word(at + 4);
        entry.offset = table.address(at + (wide ? 0x18 : 0x10));
        entry.size = table.address(at + (wide ? 0x20 : 0x14));
        entry.link = table.word(at + (wide ? 0x28 : 0x18));
        entry.entrySize = table.address(at + (wide ? 0x38 : 0x24));
        return entry;
    };
    for (std::uint64_t index = 0; index < sectionCount; ++index) {
        const auto entry = section(index);
        if ((entry.type != sectionDynamicSymbols && entry.type != sectionDynamic) || entry.link >= sectionCount ||
            entry.size > tableLimit) {
            continue;
        }
        const auto stringsEntry = section(entry.link);
        if (stringsEntry.size > tableLimit) {
            continue;
        }
        // Loaded one after the other: a file loader reuses nothing.
        const auto stringBytes = load(stringsEntry.offset, stringsEntry.size);
        if (!stringBytes) {
            continue;
        }
        std::vector<unsigned char> stringCopy(stringBytes->begin(), stringBytes->end());
        const ElfRegion strings(stringCopy, wide, bigEndian);
        const auto entryBytes = load(entry.offset, entry.size);
        if (!entryBytes) {
            continue;
        }
        const ElfRegion entries(*entryBytes, wide, bigEndian);
        if (entry.type == sectionDynamicSymbols) {
            const std::uint64_t entrySize = wide ? 24 : 16;
            if (entry.entrySize != 0 && entry.entrySize != entrySize) {
                continue;
            }
            facts.symbolsRead = true;
            for (std::uint64_t at = 0; at + entrySize <= entries.size(); at += entrySize) {
                if (entries.half(at + (wide ? 6 : 14)) == 0) {
                    continue;  // undefined: imported, not exported
                }
                const auto name = strings.string(entries.word(at));
                if (name && (*name == "VSTPluginMain" || *name == "main")) {
                    facts.exportsVstEntry = true;
                }
            }
        } else {
            const std::uint64_t entrySize = wide ? 16 : 8;
            for (std::uint64_t at = 0; at + entrySize <= entries.size(); at += entrySize) {
                const auto tag = entries.address(at);
                if (tag == 0) {
                    break;
                }
                if (tag != tagNeeded && tag != tagSoname) {
                    continue;
                }
                const auto name = strings.string(entries.address(at + entrySize / 2));
                if (!name) {
                    continue;
                }
                if (tag == tagSoname) {
                    facts.soname = std::string(*name);
                } else if (facts.needed.size() < neededLimit) {
                    facts.needed.emplace_back(*name);
                }
            }
        }
    }
    return facts;
}

}  // namespace

ElfDynamicFacts elfDynamicFacts(std::span<const unsigned char> bytes) {
    return dynamicFacts(
        [&](std::uint64_t offset, std::uint64_t length) -> std::optional<std::span<const unsigned char>> {
            if (offset > bytes.size() || length > bytes.size() - offset) {
                return std::nullopt;
            }
            return bytes.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
        });
}

ElfDynamicFacts readElfDynamicFacts(const std::string& path) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0) {
        return {};
    }
    // A few small reads where they are needed: cheaper than mapping the
    // file. A FIFO or folder fails the first read.
    std::vector<unsigned char> buffer;
    return dynamicFacts(
        [&](std::uint64_t offset, std::uint64_t length) -> std::optional<std::span<const unsigned char>> {
            if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
                return std::nullopt;
            }
            buffer.resize(static_cast<std::size_t>(length));
            std::size_t done = 0;
            while (done < buffer.size()) {
                const auto count =
                    ::pread(file.get(), buffer.data() + done, buffer.size() - done, static_cast<off_t>(offset + done));
                if (count <= 0) {
                    return std::nullopt;
                }
                done += static_cast<std::size_t>(count);
            }
            return std::span<const unsigned char>(buffer);
        });
}

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

namespace kestrova {

std::string syntheticElfSharedObject(const std::vector<std::string>& exported, const std::vector<std::string>& needed,
                                     const std::string& soname) {
    // Layout: header, .dynstr, .dynsym, .dynamic, section headers
    // (null, .dynstr, .dynsym, .dynamic).
    std::string strings(1, '\0');
    const auto addString = [&](const std::string& text) {
        const auto offset = strings.size();
        strings += text;
        strings.push_back('\0');
        return offset;
    };
    std::vector<std::size_t> symbolNames;
    for (const auto& name : exported) {
        symbolNames.push_back(addString(name));
    }
    std::vector<std::pair<std::uint64_t, std::size_t>> dynamic;
    for (const auto& name : needed) {
        dynamic.emplace_back(tagNeeded, addString(name));
    }
    if (!soname.empty()) {
        dynamic.emplace_back(tagSoname, addString(soname));
    }
    auto image = syntheticElfHeader(elf::machineX86_64, true);
    const auto stringsAt = image.size();
    image += strings;
    image.resize((image.size() + 7) / 8 * 8, '\0');
    const auto symbolsAt = image.size();
    const auto symbolCount = symbolNames.size() + 1;
    image.resize(symbolsAt + symbolCount * 24, '\0');
    for (std::size_t i = 0; i < symbolNames.size(); ++i) {
        const auto at = symbolsAt + (i + 1) * 24;
        appendLittleEndianTo(image, at, symbolNames[i], 4);
        image[at + 4] = 0x12;                       // global function
        appendLittleEndianTo(image, at + 6, 3, 2);  // defined in .dynamic, any defined section will do
    }
    const auto dynamicAt = image.size();
    image.resize(dynamicAt + (dynamic.size() + 1) * 16, '\0');
    for (std::size_t i = 0; i < dynamic.size(); ++i) {
        appendLittleEndianTo(image, dynamicAt + i * 16, dynamic[i].first, 8);
        appendLittleEndianTo(image, dynamicAt + i * 16 + 8, dynamic[i].second, 8);
    }
    const auto sectionsAt = image.size();
    image.resize(sectionsAt + 4 * 64, '\0');
    const auto putSection = [&](std::size_t index, std::uint32_t type, std::size_t offset, std::size_t size,
                                std::uint32_t link, std::size_t entrySize) {
        const auto at = sectionsAt + index * 64;
        appendLittleEndianTo(image, at + 4, type, 4);
        appendLittleEndianTo(image, at + 0x18, offset, 8);
        appendLittleEndianTo(image, at + 0x20, size, 8);
        appendLittleEndianTo(image, at + 0x28, link, 4);
        appendLittleEndianTo(image, at + 0x38, entrySize, 8);
    };
    putSection(1, 3, stringsAt, strings.size(), 0, 0);
    putSection(2, static_cast<std::uint32_t>(sectionDynamicSymbols), symbolsAt, symbolCount * 24, 1, 24);
    putSection(3, static_cast<std::uint32_t>(sectionDynamic), dynamicAt, (dynamic.size() + 1) * 16, 1, 16);
    appendLittleEndianTo(image, 0x28, sectionsAt, 8);  // e_shoff
    appendLittleEndianTo(image, 0x3A, 64, 2);          // e_shentsize
    appendLittleEndianTo(image, 0x3C, 4, 2);           // e_shnum
    return image;
}

}  // namespace kestrova
