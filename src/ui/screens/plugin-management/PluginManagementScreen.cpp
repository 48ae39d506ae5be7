#include "ui/screens/plugin-management/PluginManagementScreen.h"

#include "helperclient/PluginManagementService.h"
#include "ui/app/AppSession.h"
#include "ui/app/Prompter.h"
#include "ui/app/QtText.h"
#include "ui/screens/plugin-management/HelperPanels.h"
#include "ui/widgets/Accents.h"
#include "ui/widgets/PageHeader.h"
#include "ui/widgets/PageScaffold.h"
#include "ui/widgets/Theme.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <array>

namespace kestrova::ui {
namespace {

constexpr std::array<const char*, 4> setupSteps{
    "Enable Plugin Management and approve Kestrova in System Settings.",
    "Refresh Status and confirm all six release-readiness checks pass.",
    "Authorize only the plugin folder needed for a complete inventory scan.",
    "Test one disposable plugin before managing production tools.",
};

}  // namespace

PluginManagementScreen::PluginManagementScreen(ScreenContext context, QWidget* parent) : Screen(context, parent) {
    buildContent(*makePage(*this, PageScroll::vertical, 18));

    connect(&session().serviceEvents(), &ObservedObject::changed, this, [this](Change change) {
        // Hidden, the screen redraws once when it is next shown rather than
        // for every field a helper reply publishes.
        whenShown(0, [this] { redraw(); });
        const auto& notice = session().service().lastHandshakeNotice();
        if (awaitingHandshakeNotice_ && change == Change::lastHandshakeNotice && notice) {
            awaitingHandshakeNotice_ = false;
            // The alert waits for the event loop: the service is still in
            // the middle of publishing the handshake's answer.
            QTimer::singleShot(0, this, [this, text = toQString(*notice)] {
                prompter().alert(this, QStringLiteral("Secure Helper Test"), text);
            });
        }
    });
    redraw();
}

PluginManagementScreen::~PluginManagementScreen() = default;

void PluginManagementScreen::buildContent(QVBoxLayout& page) {
    auto* content = page.parentWidget();
    auto* layout = &page;

    auto* header = new PageHeader(QStringLiteral("Plugin Management"),
                                  QStringLiteral("Administrator-approved access for system plugin folders."), content);
    auto* refresh = new QPushButton(symbolIcon("arrow.clockwise"), QStringLiteral("Refresh Status"));
    refresh->setObjectName(QStringLiteral("refreshStatus"));
    connect(refresh, &QPushButton::clicked, this, [this] { session().service().refreshStatus(); });
    header->addTrailing(refresh);
    layout->addWidget(header);

    error_ = new InlineMessage("exclamationmark.triangle.fill", colors::danger(), content);
    error_->setObjectName(QStringLiteral("helperError"));
    layout->addWidget(error_);
    handshakeNotice_ = new InlineMessage("bolt.shield", colors::accent(), content);
    handshakeNotice_->setObjectName(QStringLiteral("handshakeNotice"));
    layout->addWidget(handshakeNotice_);

    const auto wording = [this](const QString& text) { return words(text); };
    cards_ = std::make_unique<HelperStatusCards>(content, wording);
    layout->addLayout(cards_->layout());

    action_ = std::make_unique<HelperActionCard>(content, wording);
    connect(action_->primary(), &QPushButton::clicked, this, &PluginManagementScreen::runPrimaryAction);
    layout->addWidget(action_->card());

    auto* columns = new QHBoxLayout;
    columns->setSpacing(16);
    auto* steps = new CardPanel("checklist", QStringLiteral("Setup Steps"), content);
    int number = 1;
    for (const auto* step : setupSteps) {
        steps->body()->addWidget(numberedStep(number++, words(toQString(step)), steps));
    }
    steps->body()->addStretch(1);
    columns->addWidget(steps, 2);

    readiness_ = std::make_unique<ReadinessChecksCard>(content, wording);
    columns->addWidget(readiness_->card(), 3);
    // The two cards take the rest of the page.
    layout->addLayout(columns, 1);
}

QPushButton* PluginManagementScreen::primaryButton() const { return action_->primary(); }
MetricCard* PluginManagementScreen::statusCard() const { return cards_->status; }
MetricCard* PluginManagementScreen::registrationCard() const { return cards_->registration; }
MetricCard* PluginManagementScreen::handshakeCard() const { return cards_->handshake; }
MetricCard* PluginManagementScreen::buildCard() const { return cards_->build; }
QString PluginManagementScreen::readinessSummaryText() const { return readiness_->summaryText(); }

void PluginManagementScreen::redraw() {
    const auto& service = session().service();
    cards_->showFor(service);
    error_->setMessage(words(toQString(service.lastError().value_or(""))));
    handshakeNotice_->setMessage(words(toQString(service.lastHandshakeNotice().value_or(""))));
    action_->showFor(service);
    readiness_->showFor(service);
}

void PluginManagementScreen::runPrimaryAction() {
    auto& service = session().service();
    switch (primaryHelperAction(service.status(), service.needsRepairOrUpdate())) {
        case HelperAction::test:
            testHelper();
            break;
        case HelperAction::repairOrUpdate:
            service.repairOrUpdate();
            break;
        case HelperAction::openSystemSettings:
            service.openSystemSettingsLoginItems();
            break;
        case HelperAction::enable:
            service.enable();
            break;
    }
}

void PluginManagementScreen::testHelper() {
    awaitingHandshakeNotice_ = true;
    session().service().handshake(true);
}

}  // namespace kestrova::ui
