#include "ui/widgets/ProminentButton.h"

#include "ui/widgets/Theme.h"

#include <QPushButton>

namespace kestrova::ui {

void makeProminent(QPushButton& button) {
    const auto fill = colors::accent();
    button.setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: #16181C; border: none;"
                                        " border-radius: 6px; padding: 6px 14px; font-weight: 600; }"
                                        "QPushButton:hover { background-color: %2; }"
                                        "QPushButton:pressed { background-color: %3; }"
                                        "QPushButton:focus { border: 2px solid palette(text); padding: 4px 12px; }"
                                        "QPushButton:disabled { background-color: #3A3F47; color: #7D838C; }")
                             .arg(fill.name(), fill.lighter(110).name(), fill.darker(115).name()));
    button.setIconSize(QSize(16, 16));
    button.setCursor(Qt::PointingHandCursor);
}

}  // namespace kestrova::ui
