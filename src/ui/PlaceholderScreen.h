// Stands in for a section whose screen is not built yet, and says so.
#pragma once

#include "ui/Screen.h"

namespace kestrova::ui {

class PlaceholderScreen final : public Screen {
    Q_OBJECT
public:
    PlaceholderScreen(AppSection section, ScreenContext context, QWidget* parent = nullptr);
};

}  // namespace kestrova::ui
