#include "platform/OperatingSystem.h"

#include <sys/utsname.h>

#include <string_view>

namespace kestrova {
namespace {

std::string prettyName(const FileSystem& fileSystem) {
    const auto release = fileSystem.readFile("/etc/os-release");
    if (!release) {
        return {};
    }
    std::string_view rest = *release;
    constexpr std::string_view key = "PRETTY_NAME=";
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        auto line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (!line.starts_with(key)) {
            continue;
        }
        line.remove_prefix(key.size());
        if (line.size() >= 2 && (line.front() == '"' || line.front() == '\'') && line.back() == line.front()) {
            line = line.substr(1, line.size() - 2);
        }
        return std::string(line);
    }
    return {};
}

}  // namespace

std::string operatingSystemVersionString(const FileSystem& fileSystem) {
    auto text = prettyName(fileSystem);
    utsname names{};
    if (uname(&names) == 0) {
        const std::string kernel = std::string(names.sysname) + " " + names.release;
        text = text.empty() ? kernel : text + " (" + kernel + ")";
    }
    return text;
}

std::string machineName() {
    utsname system{};
    return uname(&system) == 0 ? std::string(system.machine) : std::string();
}

std::string machineArchitectureName(std::string_view machine) {
    if (machine == "x86_64" || machine == "amd64") {
        return "x86-64";
    }
    if (machine == "aarch64" || machine == "arm64") {
        return "ARM64";
    }
    if (machine.starts_with("armv") || machine == "arm") {
        return "ARM";
    }
    if (machine == "i386" || machine == "i486" || machine == "i586" || machine == "i686") {
        return "x86";
    }
    return std::string(machine);
}

}  // namespace kestrova
