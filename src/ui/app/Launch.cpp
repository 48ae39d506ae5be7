#include "ui/app/Launch.h"

#include <array>
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
           "                [--screenshot SECTION FILE.png]\n"
           "  --root DIR          system root under which /Library is looked up (KESTROVA_ROOT)\n"
           "  --home DIR          the user's home folder ($HOME)\n"
           "  --au-registry FILE  JSON file standing in for the Audio Unit registry (KESTROVA_AU_REGISTRY)\n"
           "  --profile NAME      the plug-in folder layout, macos or linux (KESTROVA_PROFILE); macos when\n"
           "                      a system root is given, linux otherwise\n"
           "  --screenshot SECTION FILE.png\n"
           "                      render one section offscreen at the default window size and exit;\n"
           "                      SECTION is one of " +
           sections + "\n";
}

Result<LaunchOptions> parseLaunchOptions(const std::vector<std::string>& arguments) {
    LaunchOptions options;
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
            options.screenshot = LaunchOptions::Screenshot{*section, arguments[index + 2]};
            index += 2;
        } else if (argument == "--help" || argument == "-h") {
            options.help = true;
        } else if (argument.starts_with("--")) {
            return Error{"Unknown option “" + argument + "”.\n" + launchUsage()};
        }
        // Anything else is Qt's (-platform offscreen, -style …).
    }
    return options;
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
