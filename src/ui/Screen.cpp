// Which screen each section shows.
#include "ui/Screen.h"
#include "ui/AboutScreen.h"
#include "ui/HistoryScreen.h"
#include "ui/PlaceholderScreen.h"
#include "ui/PluginManagementScreen.h"
#include "ui/SafetyGuideScreen.h"

namespace kestrova::ui {

Screen* makeScreen(AppSection section, ScreenContext context, QWidget* parent) {
    switch (section) {
        case AppSection::history:
            return new HistoryScreen(context, parent);
        case AppSection::pluginManagement:
            return new PluginManagementScreen(context, parent);
        case AppSection::safetyGuide:
            return new SafetyGuideScreen(context, parent);
        case AppSection::about:
            return new AboutScreen(context, parent);
        default:
            return new PlaceholderScreen(section, context, parent);
    }
}

}  // namespace kestrova::ui
