// What the desktop application decides before Qt starts: its options, the
// section to render when it only takes a screenshot, and whether there is a
// display to open a window on.
#pragma once

#include "ui/app/AppSection.h"
#include "ui/app/AppSession.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrova::ui {

struct LaunchOptions {
    AppOptions app;
    struct Screenshot {
        AppSection section;
        std::string file;
    };
    std::optional<Screenshot> screenshot;
    bool help = false;
};

// Parses --root, --home, --au-registry, --profile, --screenshot SECTION FILE and --help;
// Qt's own options (-platform, …) are left for Qt. A message on error.
Result<LaunchOptions> parseLaunchOptions(const std::vector<std::string>& arguments);
std::string launchUsage();

// Why no window can be opened here, or nothing when one can: no
// QT_QPA_PLATFORM that needs no display, and no X11 or Wayland display.
std::optional<std::string> missingDisplayMessage(const char* platform, const char* x11Display,
                                                 const char* waylandDisplay);

}  // namespace kestrova::ui
