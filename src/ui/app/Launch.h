// What the desktop application decides before Qt starts: its options, the
// section to render when it only takes a screenshot, and whether there is a
// display to open a window on.
#pragma once

#include "ui/app/AppSection.h"
#include "ui/app/AppSession.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrova::ui {

struct LaunchOptions {
    AppOptions app;
    struct Screenshot {
        AppSection section;
        std::string file;
        // The window's size in pixels; the default size when absent.
        std::optional<std::pair<int, int>> size;
    };
    std::optional<Screenshot> screenshot;
    bool help = false;
};

// Parses --root, --home, --au-registry, --profile, --screenshot SECTION FILE, --size WxH and --help;
// Qt's own options (-platform, …) are left for Qt. A message on error.
Result<LaunchOptions> parseLaunchOptions(const std::vector<std::string>& arguments);
std::string launchUsage();

// "1180x720" as a width and a height; nothing for anything else.
std::optional<std::pair<int, int>> parseWindowSize(const std::string& text);

// The private runtime folder Qt expects in XDG_RUNTIME_DIR, for a session
// that has none (a root shell, a container): /tmp/runtime-<uid>, made with
// mode 0700 when missing. Nothing when the variable is set or the folder
// cannot be made ours, and Qt then says why itself.
std::optional<std::string> privateRuntimeDirectory(const char* current, unsigned uid);

// Why no window can be opened here, or nothing when one can: no
// QT_QPA_PLATFORM that needs no display, and no X11 or Wayland display.
std::optional<std::string> missingDisplayMessage(const char* platform, const char* x11Display,
                                                 const char* waylandDisplay);

}  // namespace kestrova::ui
