// Which screen each section shows.
#include "ui/Screen.h"

#include "ui/AboutScreen.h"
#include "ui/AppSession.h"
#include "ui/FormatCleanupScreen.h"
#include "ui/HistoryScreen.h"
#include "ui/InventoryScreen.h"
#include "ui/PermanentQuarantineScreen.h"
#include "ui/PluginManagementScreen.h"
#include "ui/ProtectedScreen.h"
#include "ui/QuarantineScreen.h"
#include "ui/SafetyGuideScreen.h"
#include "ui/TrashRecoveryScreen.h"

namespace kestrova::ui {

QString Screen::words(const QString& text) const { return session().words(text); }

Screen* makeScreen(AppSection section, ScreenContext context, QWidget* parent) {
    switch (section) {
        case AppSection::inventory:
            return new InventoryScreen(context, parent);
        case AppSection::protected_:
            return new ProtectedScreen(context, parent);
        case AppSection::quarantine:
            return new QuarantineScreen(context, parent);
        case AppSection::formatCleanup:
            return new FormatCleanupScreen(context, parent);
        case AppSection::permanentQuarantine:
            return new PermanentQuarantineScreen(context, parent);
        case AppSection::trashRecovery:
            return new TrashRecoveryScreen(context, parent);
        case AppSection::history:
            return new HistoryScreen(context, parent);
        case AppSection::pluginManagement:
            return new PluginManagementScreen(context, parent);
        case AppSection::safetyGuide:
            return new SafetyGuideScreen(context, parent);
        case AppSection::about:
            return new AboutScreen(context, parent);
    }
    return nullptr;
}

}  // namespace kestrova::ui
