// Renders one section of the window, at a given size and offscreen, to
// a PNG file: how the demo and reviewers look at every screen without a
// display.
#pragma once

#include "platform/Result.h"
#include "ui/app/AppSection.h"

#include <QSize>

#include <string>

namespace kestrova::ui {

class AppSession;

Status writeScreenshot(AppSession& session, AppSection section, const std::string& file, QSize size);

}  // namespace kestrova::ui
