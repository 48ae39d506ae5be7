// Which screen each section shows.
#include "ui/Screen.h"
#include "ui/FormatCleanupScreen.h"
#include "ui/InventoryScreen.h"
#include "ui/PermanentQuarantineScreen.h"
#include "ui/PlaceholderScreen.h"
#include "ui/ProtectedScreen.h"
#include "ui/QuarantineScreen.h"
#include "ui/TrashRecoveryScreen.h"

namespace kestrova::ui {

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
        default:
            return new PlaceholderScreen(section, context, parent);
    }
}

}  // namespace kestrova::ui
