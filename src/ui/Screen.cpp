// Which screen each section shows.
#include "ui/Screen.h"
#include "ui/InventoryScreen.h"
#include "ui/PlaceholderScreen.h"
#include "ui/ProtectedScreen.h"
#include "ui/QuarantineScreen.h"

namespace kestrova::ui {

Screen* makeScreen(AppSection section, ScreenContext context, QWidget* parent) {
    switch (section) {
        case AppSection::inventory:
            return new InventoryScreen(context, parent);
        case AppSection::protected_:
            return new ProtectedScreen(context, parent);
        case AppSection::quarantine:
            return new QuarantineScreen(context, parent);
        default:
            return new PlaceholderScreen(section, context, parent);
    }
}

}  // namespace kestrova::ui
