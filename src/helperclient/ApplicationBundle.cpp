#include "helperclient/ApplicationBundle.h"

#include "helperclient/HelperProtocol.h"
#include "platform/BundleInfo.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

#include <cstdlib>

namespace kestrova {

std::string ApplicationBundleInfo::appBuild() const {
    return build.value_or(std::string(helperprotocol::defaultBuild));
}

std::string ApplicationBundleInfo::shortVersionText() const {
    return shortVersion.value_or(std::string(helperprotocol::defaultShortVersion));
}

std::string ApplicationBundleInfo::clientVersion() const { return clientVersionString(shortVersion, build); }

std::optional<std::string> ApplicationBundleInfo::helperExecutablePath() const {
    if (!bundlePath) {
        return std::nullopt;
    }
    return appendingPathComponent(*bundlePath, helperprotocol::helperExecutableRelativePath);
}

std::optional<std::string> ApplicationBundleInfo::daemonPlistPath() const {
    if (!bundlePath) {
        return std::nullopt;
    }
    return appendingPathComponent(appendingPathComponent(*bundlePath, helperprotocol::daemonPlistFolderRelativePath),
                                  helperprotocol::daemonPlistName);
}

std::optional<std::string> ApplicationBundleInfo::systemdUnitFolder() const {
    if (!bundlePath) {
        return std::nullopt;
    }
    return appendingPathComponent(*bundlePath, "Contents/Library/systemd");
}

ApplicationBundleInfo readApplicationBundle(const std::string& bundlePath) {
    ApplicationBundleInfo info;
    info.bundlePath = standardizedPath(bundlePath);
    if (const auto dictionary = readBundleInfoDictionary(realFileSystem(), *info.bundlePath)) {
        if (const auto found = dictionary->find("CFBundleShortVersionString"); found != dictionary->end()) {
            info.shortVersion = found->second;
        }
        if (const auto found = dictionary->find("CFBundleVersion"); found != dictionary->end()) {
            info.build = found->second;
        }
    }
    return info;
}

ApplicationBundleInfo locateApplicationBundle(const std::string& executable) {
    if (const char* bundle = std::getenv("KESTROVA_APP_BUNDLE"); bundle && *bundle) {
        return readApplicationBundle(bundle);
    }
    const auto macOS = deletingLastPathComponent(executable);
    const auto contents = deletingLastPathComponent(macOS);
    if (lastPathComponent(macOS) == "MacOS" && lastPathComponent(contents) == "Contents") {
        return readApplicationBundle(deletingLastPathComponent(contents));
    }
    return {};
}

}  // namespace kestrova
