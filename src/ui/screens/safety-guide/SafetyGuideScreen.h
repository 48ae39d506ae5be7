// The Safety Guide: a fixed page saying what Kestrova reads, what it may
// move and what it never does. It reads nothing and changes nothing.
#pragma once

#include "ui/screens/Screen.h"

namespace kestrova::ui {

class SafetyGuideScreen final : public Screen {
    Q_OBJECT
public:
    explicit SafetyGuideScreen(ScreenContext context, QWidget* parent = nullptr);
};

}  // namespace kestrova::ui
