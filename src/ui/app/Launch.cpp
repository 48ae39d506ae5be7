#include "ui/app/Launch.h"

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <string_view>

namespace kestrova::ui {
namespace {

bool isSet(const char* value) { return value && *value; }

}  // namespace

std::string launchUsage() {
    std::string sections;
    for (const auto section : allSections) {
        sections += sections.empty() ? "" : ", ";
        sections += commandName(section);
    }
    return "Usage: kestrova [--root DIR] [--home DIR] [--au-registry FILE] [--profile macos|linux]\n"
           "                [--screenshot SECTION FILE.png [--size WIDTHxHEIGHT]]\n"
           "  --root DIR          system root under which /Library is looked up (KESTROVA_ROOT)\n"
           "  --home DIR          the user's home folder ($HOME)\n"
           "  --au-registry FILE  JSON file standing in for the Audio Unit registry (KESTROVA_AU_REGISTRY)\n"
           "  --profile NAME      the plug-in folder layout, macos or linux (KESTROVA_PROFILE); macos when\n"
           "                      a system root is given, linux otherwise\n"
           "  --screenshot SECTION FILE.png\n"
           "                      render one section offscreen at the default window size and exit;\n"
           "                      SECTION is one of " +
           sections +
           "\n"
           "  --size WIDTHxHEIGHT  the window size of --screenshot, at least 1180x720 (e.g. --size 1180x720)\n";
}

Result<LaunchOptions> parseLaunchOptions(const std::vector<std::string>& arguments) {
    LaunchOptions options;
    std::optional<std::pair<int, int>> size;
    const auto valueOf = [&](std::size_t& index, std::string_view option) -> Result<std::string> {
        if (index + 1 >= arguments.size()) {
            return Error{std::string(option) + " needs a value."};
        }
        return arguments[++index];
    };
    for (std::size_t index = 1; index < arguments.size(); ++index) {
        const auto& argument = arguments[index];
        std::string* target = argument == "--root"          ? &options.app.root
                              : argument == "--home"        ? &options.app.home
                              : argument == "--au-registry" ? &options.app.auRegistry
                              : argument == "--profile"     ? &options.app.profile
                                                            : nullptr;
        if (target) {
            auto value = valueOf(index, argument);
            if (!value) {
                return value.error();
            }
            *target = std::move(*value);
        } else if (argument == "--screenshot") {
            if (index + 2 >= arguments.size()) {
                return Error{"--screenshot needs a section and a file name."};
            }
            const auto section = sectionFromCommandName(arguments[index + 1]);
            if (!section) {
                return Error{"Unknown section “" + arguments[index + 1] + "”.\n" + launchUsage()};
            }
            options.screenshot = LaunchOptions::Screenshot{*section, arguments[index + 2], std::nullopt};
            index += 2;
        } else if (argument == "--size") {
            auto value = valueOf(index, argument);
            if (!value) {
                return value.error();
            }
            size = parseWindowSize(*value);
            if (!size || size->first < 1180 || size->second < 720) {
                return Error{"--size needs WIDTHxHEIGHT of at least 1180x720, not “" + *value + "”."};
            }
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument.starts_with("--")) {
            return Error{"Unknown option “" + argument + "”.\n" + launchUsage()};
        }
        // Anything else is Qt's (-platform offscreen, -style …).
    }
    if (size) {
        if (!options.screenshot) {
            return Error{std::string("--size goes with --screenshot.")};
        }
        options.screenshot->size = size;
    }
    return options;
}

std::optional<std::pair<int, int>> parseWindowSize(const std::string& text) {
    const auto separator = text.find('x');
    if (separator == std::string::npos) {
        return std::nullopt;
    }
    const auto number = [](std::string_view digits) -> std::optional<int> {
        int value = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || value <= 0 ||
            value > 16384) {
            return std::nullopt;
        }
        return value;
    };
    const std::string_view whole(text);
    const auto width = number(whole.substr(0, separator));
    const auto height = number(whole.substr(separator + 1));
    if (!width || !height) {
        return std::nullopt;
    }
    return std::pair{*width, *height};
}

std::optional<std::string> privateRuntimeDirectory(const char* current, unsigned uid) {
    if (isSet(current)) {
        return std::nullopt;
    }
    const auto path = "/tmp/runtime-" + std::to_string(uid);
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        return std::nullopt;
    }
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != uid ||
        (info.st_mode & 0777) != 0700) {
        return std::nullopt;
    }
    return path;
}

std::optional<std::string> missingDisplayMessage(const char* platform, const char* x11Display,
                                                 const char* waylandDisplay) {
    static constexpr std::array<std::string_view, 5> displayless{"offscreen", "minimal", "vnc", "eglfs", "linuxfb"};
    if (isSet(platform)) {
        const std::string_view name(platform);
        for (const auto candidate : displayless) {
            if (name.starts_with(candidate)) {
                return std::nullopt;
            }
        }
        if (name.starts_with("wayland") ? isSet(waylandDisplay) : isSet(x11Display)) {
            return std::nullopt;
        }
    } else if (isSet(x11Display) || isSet(waylandDisplay)) {
        return std::nullopt;
    }
    return std::string(
        "kestrova: there is no display to open a window on (DISPLAY and WAYLAND_DISPLAY are not set).\n"
        "Run it without a display with QT_QPA_PLATFORM=offscreen, or render one screen to a picture with\n"
        "  kestrova --screenshot SECTION FILE.png\n"
        "Everything the window does is also available from kestrova-cli.");
}

}  // namespace kestrova::ui
