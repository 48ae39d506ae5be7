#include "platform/BundleInfo.h"

#include "platform/Paths.h"

namespace kestrova {
namespace {

// Info.plist files are a few kilobytes; anything this large is not one and
// is not worth reading into memory.
constexpr std::uint64_t maximumInfoDictionaryBytes = 8 * 1024 * 1024;

}  // namespace

std::optional<InfoDictionary> readBundleInfoDictionary(const FileSystem& fileSystem, const std::string& bundlePath) {
    const auto plistPath = appendingPathComponent(bundlePath, "Contents/Info.plist");
    const auto info = fileSystem.status(plistPath);
    if (!info || !info->isRegularFile || info->size > maximumInfoDictionaryBytes) {
        return std::nullopt;
    }
    const auto bytes = fileSystem.readFile(plistPath);
    if (!bytes) {
        return std::nullopt;
    }
    return parsePropertyListDictionary(*bytes);
}

std::optional<std::string> bundleExecutablePath(const std::string& bundlePath, const InfoDictionary& info) {
    const auto found = info.find("CFBundleExecutable");
    if (found == info.end() || found->second.empty()) {
        return std::nullopt;
    }
    return appendingPathComponent(appendingPathComponent(bundlePath, "Contents/MacOS"), found->second);
}

}  // namespace kestrova
