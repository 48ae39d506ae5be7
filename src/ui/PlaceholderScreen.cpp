#include "ui/PlaceholderScreen.h"

#include "ui/PageHeader.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kestrova::ui {

PlaceholderScreen::PlaceholderScreen(AppSection section, ScreenContext context, QWidget* parent)
    : Screen(context, parent) {
    const auto name = title(section);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 24);
    layout->addWidget(new PageHeader(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())),
                                     QStringLiteral("This screen is not available in this build yet. "
                                                    "Its actions are available from kestrova-cli."),
                                     this));
    layout->addStretch(1);
}

}  // namespace kestrova::ui
