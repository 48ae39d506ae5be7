#include "helperclient/ApplicationBundle.h"

#include "platform/BundleInfo.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/ServiceRegistration.h"
#include "protocol/HelperProtocol.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

// The build names the GNU directories it installs to; the defaults are the
// usual ones for a direct compile.
#ifndef KESTROVA_INSTALL_BINDIR
#define KESTROVA_INSTALL_BINDIR "bin"
#endif
#ifndef KESTROVA_INSTALL_LIBEXECDIR
#define KESTROVA_INSTALL_LIBEXECDIR "libexec"
#endif
#ifndef KESTROVA_INSTALL_DATADIR
#define KESTROVA_INSTALL_DATADIR "share"
#endif
#ifndef KESTROVA_SYSTEMD_UNIT_DIR
#define KESTROVA_SYSTEMD_UNIT_DIR "/lib/systemd/system"
#endif
#ifndef KESTROVA_INSTALLED_VERSION
#define KESTROVA_INSTALLED_VERSION "1.0.1"
#endif
#ifndef KESTROVA_INSTALLED_BUILD
#define KESTROVA_INSTALLED_BUILD "40"
#endif

namespace kestrova {
namespace {

constexpr std::string_view installedHelperRelativePath = KESTROVA_INSTALL_LIBEXECDIR "/kestrova/KestrovaHelper";

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

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
    return appendingPathComponent(*bundlePath, layout == ApplicationLayout::installed
                                                   ? installedHelperRelativePath
                                                   : helperprotocol::helperExecutableRelativePath);
}

std::optional<std::string> ApplicationBundleInfo::daemonPlistPath() const {
    if (!bundlePath || layout != ApplicationLayout::bundle) {
        return std::nullopt;
    }
    return appendingPathComponent(appendingPathComponent(*bundlePath, helperprotocol::daemonPlistFolderRelativePath),
                                  helperprotocol::daemonPlistName);
}

std::optional<std::string> ApplicationBundleInfo::daemonDefinitionPath() const {
    if (layout == ApplicationLayout::bundle) {
        return daemonPlistPath();
    }
    const auto units = systemdUnitFolder();
    if (!units) {
        return std::nullopt;
    }
    return appendingPathComponent(*units, systemdServiceUnit);
}

std::optional<std::string> ApplicationBundleInfo::systemdUnitFolder() const {
    if (!bundlePath) {
        return std::nullopt;
    }
    if (layout == ApplicationLayout::installed) {
        return std::string(KESTROVA_SYSTEMD_UNIT_DIR);
    }
    return appendingPathComponent(*bundlePath, "Contents/Library/systemd");
}

std::optional<std::string> ApplicationBundleInfo::frontEndFolder() const {
    if (!bundlePath) {
        return std::nullopt;
    }
    return appendingPathComponent(*bundlePath,
                                  layout == ApplicationLayout::installed ? KESTROVA_INSTALL_BINDIR : "Contents/MacOS");
}

std::optional<std::string> ApplicationBundleInfo::polkitActionFolder() const {
    if (!bundlePath || layout != ApplicationLayout::installed) {
        return std::nullopt;
    }
    return appendingPathComponent(*bundlePath, KESTROVA_INSTALL_DATADIR "/polkit-1/actions");
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

std::optional<ApplicationBundleInfo> installedApplication(const std::string& executable) {
    const auto folder = standardizedPath(deletingLastPathComponent(executable));
    const std::string_view binFolder = "/" KESTROVA_INSTALL_BINDIR;
    if (folder.size() < binFolder.size() ||
        folder.compare(folder.size() - binFolder.size(), std::string::npos, binFolder) != 0) {
        return std::nullopt;
    }
    auto prefix = folder.substr(0, folder.size() - binFolder.size());
    if (prefix.empty()) {
        prefix = "/";
    }
    if (!isExecutableFile(appendingPathComponent(prefix, installedHelperRelativePath))) {
        return std::nullopt;
    }
    ApplicationBundleInfo info;
    info.bundlePath = prefix;
    info.layout = ApplicationLayout::installed;
    info.shortVersion = KESTROVA_INSTALLED_VERSION;
    info.build = KESTROVA_INSTALLED_BUILD;
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
    if (auto installed = installedApplication(executable)) {
        return std::move(*installed);
    }
    return {};
}

}  // namespace kestrova
