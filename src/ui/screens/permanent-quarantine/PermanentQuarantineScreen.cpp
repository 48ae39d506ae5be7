#include "ui/screens/permanent-quarantine/PermanentQuarantineScreen.h"

#include "store/PluginInventoryStore.h"
#include "ui/app/AppSession.h"
#include "ui/app/QtText.h"
#include "ui/app/WindowState.h"
#include "ui/widgets/KestrovaStyle.h"
#include "ui/widgets/PageHeader.h"
#include "ui/widgets/PageScaffold.h"
#include "ui/widgets/ProminentButton.h"
#include "ui/widgets/Theme.h"
#include "ui/widgets/ToggleSwitch.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace kestrova::ui {
namespace {

const QString enabledCaption = QStringLiteral("Enabled — exact reinstalled matches are handled on the next scan");
const QString offCaption = QStringLiteral("Off — reinstalled plug-ins remain installed for review");

QFrame* makePanel(QWidget* parent) { return new CardFrame(parent); }

QLabel* makeLabel(const QString& text, void (*style)(QLabel&), QWidget* parent) {
    auto* label = new QLabel(text, parent);
    style(*label);
    label->setWordWrap(true);
    return label;
}

// One explanatory paragraph with its symbol.
QWidget* makeParagraph(std::string_view symbol, const QString& text, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto* icon = new QLabel(row);
    icon->setPixmap(symbolIcon(symbol).pixmap(20, 20));
    layout->addWidget(icon, 0, Qt::AlignTop);
    auto* label = new QLabel(text, row);
    label->setWordWrap(true);
    layout->addWidget(label, 1);
    return row;
}

}  // namespace

PermanentQuarantineScreen::PermanentQuarantineScreen(ScreenContext context, QWidget* parent) : Screen(context, parent) {
    auto* layout = makePage(*this, PageScroll::vertical, 16);
    auto* page = layout->parentWidget();

    layout->addWidget(
        new PageHeader(QStringLiteral("Permanent Quarantine"),
                       QStringLiteral("Keep an installer from bringing back plug-ins you already quarantined."), page));

    auto* about = makePanel(page);
    auto* aboutLayout = new QVBoxLayout(about);
    aboutLayout->setContentsMargins(18, 16, 18, 16);
    aboutLayout->setSpacing(12);
    aboutLayout->addWidget(makeParagraph(
        "arrow.triangle.2.circlepath",
        words(
            QStringLiteral("When an enabled manufacturer reinstalls a bundle, Kestrova acts only if the manufacturer, "
                           "product name, format, and bundle filename exactly match one verified item already in "
                           "Kestrova quarantine. The older quarantine copy moves to Finder Trash, then the new copy "
                           "moves into a fresh reversible quarantine location.")),
        about));
    aboutLayout->addWidget(makeParagraph(
        "shield.checkered",
        QStringLiteral("Protected plug-ins, shared shells—including WaveShell—and ambiguous duplicates are always "
                       "skipped. If a move cannot be verified, Kestrova stops and leaves the new copy installed."),
        about));
    layout->addWidget(about);

    rulesPanel_ = makePanel(page);
    auto* rulesLayout = new QVBoxLayout(rulesPanel_);
    rulesLayout->setContentsMargins(18, 14, 18, 10);
    rulesLayout->setSpacing(4);
    auto* heading = new QHBoxLayout;
    heading->addWidget(makeLabel(QStringLiteral("Manufacturers"), makeSemibold, rulesPanel_));
    ruleCount_ = makeLabel({}, makeSecondary, rulesPanel_);
    ruleCount_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    heading->addWidget(ruleCount_, 1);
    rulesLayout->addLayout(heading);
    rows_ = new QVBoxLayout;
    rows_->setSpacing(0);
    rulesLayout->addLayout(rows_);
    rulesLayout->addStretch(1);
    // The rules card and the empty state take the rest of the page.
    layout->addWidget(rulesPanel_, 1);

    emptyState_ = makePanel(page);
    auto* empty = new QVBoxLayout(emptyState_);
    empty->setContentsMargins(24, 28, 24, 28);
    empty->setSpacing(8);
    auto* icon = new QLabel(emptyState_);
    icon->setPixmap(symbolIcon("magnifyingglass").pixmap(32, 32));
    icon->setAlignment(Qt::AlignCenter);
    auto* title = makeLabel(
        QStringLiteral("Run a Scan First"), [](QLabel& label) { makeTitle(label, 1.2); }, emptyState_);
    title->setAlignment(Qt::AlignCenter);
    auto* message =
        makeLabel(QStringLiteral("Manufacturer rules are available after Kestrova reads the local plugin inventory."),
                  makeSecondary, emptyState_);
    message->setAlignment(Qt::AlignCenter);
    auto* back = new QPushButton(QStringLiteral("Back to Inventory"), emptyState_);
    makeProminent(*back);
    connect(back, &QPushButton::clicked, this, [this] { window().setSection(AppSection::inventory); });
    empty->addStretch(1);
    empty->addWidget(icon);
    empty->addWidget(title);
    empty->addWidget(message);
    empty->addWidget(back, 0, Qt::AlignCenter);
    empty->addStretch(1);
    layout->addWidget(emptyState_, 1);

    connect(&session().storeEvents(), &ObservedObject::changed, this, [this](Change change) {
        if (change == Change::plugins || change == Change::permanentQuarantineRules) {
            refresh_.schedule();
        }
    });
    refresh();
}

void PermanentQuarantineScreen::becameVisible() { refresh_.schedule(); }

void PermanentQuarantineScreen::showEvent(QShowEvent* event) {
    Screen::showEvent(event);
    refresh_.refreshIfStale();
}

ToggleSwitch* PermanentQuarantineScreen::switchFor(const QString& manufacturer) const {
    for (auto* toggle : rulesPanel_->findChildren<ToggleSwitch*>()) {
        if (toggle->accessibleName() == manufacturer) {
            return toggle;
        }
    }
    return nullptr;
}

void PermanentQuarantineScreen::refresh() {
    refresh_.markFresh();
    auto& store = session().store();
    const auto manufacturers = store.permanentQuarantineManufacturers();
    rulesPanel_->setVisible(!manufacturers.empty());
    emptyState_->setVisible(manufacturers.empty());
    while (auto* item = rows_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    int enabled = 0;
    for (std::size_t i = 0; i < manufacturers.size(); ++i) {
        const auto& manufacturer = manufacturers[i];
        const bool on = store.isPermanentQuarantineEnabled(manufacturer);
        enabled += on ? 1 : 0;
        auto* row = new QWidget(rulesPanel_);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 8, 0, 8);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(2);
        const auto name = toQString(manufacturer);
        texts->addWidget(makeLabel(name, makeSemibold, row));
        auto* caption = makeLabel(on ? enabledCaption : offCaption, makeCaption, row);
        if (on) {
            auto palette = caption->palette();
            palette.setColor(QPalette::WindowText, colors::success());
            caption->setPalette(palette);
        }
        texts->addWidget(caption);
        line->addLayout(texts, 1);
        auto* toggle = new ToggleSwitch(row);
        toggle->setAccessibleName(name);
        toggle->setChecked(on);
        // The store saves the rule and publishes it; the rows redraw from there.
        connect(toggle, &ToggleSwitch::toggled, this,
                [this, manufacturer](bool wanted) { session().store().setPermanentQuarantine(manufacturer, wanted); });
        line->addWidget(toggle, 0, Qt::AlignVCenter);
        if (i > 0) {
            auto* rule = new QFrame(rulesPanel_);
            rule->setFrameShape(QFrame::HLine);
            rule->setFrameShadow(QFrame::Plain);
            rule->setStyleSheet(QStringLiteral("color: #30343B;"));
            rows_->addWidget(rule);
        }
        rows_->addWidget(row);
    }
    ruleCount_->setText(enabled == 0 ? QStringLiteral("No rules enabled")
                                     : QStringLiteral("%1 of %2 enabled").arg(enabled).arg(manufacturers.size()));
}

}  // namespace kestrova::ui
