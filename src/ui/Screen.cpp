// Which screen each section shows.
#include "ui/Screen.h"
#include "ui/PlaceholderScreen.h"

namespace kestrova::ui {

Screen* makeScreen(AppSection section, ScreenContext context, QWidget* parent) {
    switch (section) {
        default:
            return new PlaceholderScreen(section, context, parent);
    }
}

}  // namespace kestrova::ui
