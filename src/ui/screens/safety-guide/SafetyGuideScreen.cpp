#include "ui/screens/safety-guide/SafetyGuideScreen.h"

#include "ui/app/QtText.h"
#include "ui/widgets/Accents.h"
#include "ui/widgets/PageHeader.h"
#include "ui/widgets/PageScaffold.h"
#include "ui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include <array>

namespace kestrova::ui {
namespace {

struct Rule {
    std::string_view symbol;
    const char* title;
    const char* detail;
};

constexpr std::array<Rule, 4> rules{{
    {"magnifyingglass", "Scan", "Reads standard AU, VST2, VST3, AAX, and CLAP bundle locations without changing them."},
    {"shield.checkered", "Protect",
     "Locks selected products against Kestrova file actions. Shared shells stay safety-locked."},
    {"shippingbox", "Quarantine", "Moves only a confirmed format bundle into reversible Kestrova-managed storage."},
    {"trash", "Trash", "Available only from verified quarantine and uses the recoverable macOS Trash."},
}};

constexpr std::array<const char*, 5> beforeMoving{
    "Quit every DAW, audio host, and plugin manager.",
    "Confirm the exact product, format, and bundle path.",
    "Protect shared shells and anything you are unsure about.",
    "Quarantine one disposable plugin first; all detected formats move together.",
    "Restore immediately if a host or project depends on it.",
};

constexpr std::array<const char*, 6> boundaries{
    "Kestrova never permanently deletes plugin bundles.",
    "Restore never overwrites an existing bundle.",
    "Trash is unreachable directly from Inventory.",
    "Support files and shared shells are not removed automatically.",
    "A canceled or failed scan keeps the previous inventory intact.",
    "Every managed move is recorded in operation History.",
};

QWidget* ruleCard(const Rule& rule, const QString& detailText, QWidget* parent) {
    auto* card = new CardPanel({}, {}, parent);
    card->setMinimumWidth(170);
    auto* icon = new QLabel(card);
    icon->setPixmap(tintedSymbol(rule.symbol, colors::accent(), 26));
    auto* title = new QLabel(toQString(rule.title), card);
    makeTitle(*title, 1.2);
    auto* detail = new QLabel(detailText, card);
    detail->setWordWrap(true);
    makeSecondary(*detail);
    card->body()->setSpacing(6);
    card->body()->addWidget(icon);
    card->body()->addWidget(title);
    card->body()->addWidget(detail);
    card->body()->addStretch(1);
    return card;
}

}  // namespace

SafetyGuideScreen::SafetyGuideScreen(ScreenContext context, QWidget* parent) : Screen(context, parent) {
    auto* layout = makePage(*this, PageScroll::vertical, 18);
    auto* content = layout->parentWidget();

    auto* header = new PageHeader(
        QStringLiteral("Safety Guide"),
        QStringLiteral("Know exactly what Kestrova can change—and what always stays under your control."), content);
    layout->addWidget(header);
    auto* promise = new QLabel(
        QStringLiteral("Find Plugins. Not Frustration. When the dependency is uncertain, protect it and leave it "
                       "installed."),
        content);
    promise->setWordWrap(true);
    makeSemibold(*promise);
    auto palette = promise->palette();
    palette.setColor(QPalette::WindowText, colors::accent());
    promise->setPalette(palette);
    layout->addWidget(promise);

    auto* cards = new QHBoxLayout;
    cards->setSpacing(12);
    for (const auto& rule : rules) {
        cards->addWidget(ruleCard(rule, words(toQString(rule.detail)), content), 1);
    }
    layout->addLayout(cards);

    auto* panels = new QHBoxLayout;
    panels->setSpacing(16);
    auto* steps = new CardPanel("checklist", QStringLiteral("Before moving a plugin"), content);
    int number = 1;
    for (const auto* step : beforeMoving) {
        steps->body()->addWidget(numberedStep(number++, toQString(step), steps));
    }
    steps->body()->addStretch(1);
    panels->addWidget(steps, 1);
    auto* limits = new CardPanel("lock.shield", QStringLiteral("Hard safety boundaries"), content);
    for (const auto* line : boundaries) {
        limits->body()->addWidget(symbolLine("checkmark.circle.fill", colors::success(), toQString(line), limits));
    }
    limits->body()->addStretch(1);
    panels->addWidget(limits, 1);
    layout->addLayout(panels);
    layout->addStretch(1);
}

}  // namespace kestrova::ui
