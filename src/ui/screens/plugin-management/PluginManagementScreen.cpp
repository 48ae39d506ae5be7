#include "ui/screens/plugin-management/PluginManagementScreen.h"

#include "helperclient/HelperProtocol.h"
#include "helperclient/PluginManagementService.h"
#include "ui/app/AppSession.h"
#include "ui/app/Prompter.h"
#include "ui/app/QtText.h"
#include "ui/widgets/Accents.h"
#include "ui/widgets/MetricCard.h"
#include "ui/widgets/PageHeader.h"
#include "ui/widgets/PageScaffold.h"
#include "ui/widgets/Theme.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

namespace kestrova::ui {
namespace {

QString statusDetail(PluginManagementStatus status) {
    switch (status) {
        case PluginManagementStatus::notRegistered:
            return QStringLiteral("Plugin management has not been enabled on this Mac.");
        case PluginManagementStatus::requiresApproval:
            return QStringLiteral("Approve Kestrova under System Settings → General → Login Items & Extensions.");
        case PluginManagementStatus::enabled:
            return QStringLiteral("The administrator-approved helper is registered with macOS.");
        case PluginManagementStatus::notFound:
            return QStringLiteral("The embedded helper or launch daemon property list could not be found.");
        case PluginManagementStatus::unavailable:
            return QStringLiteral("macOS returned a helper status Kestrova does not recognize.");
    }
    return {};
}

std::string_view statusSymbol(PluginManagementStatus status) {
    switch (status) {
        case PluginManagementStatus::notRegistered:
            return "person.badge.key";
        case PluginManagementStatus::requiresApproval:
            return "exclamationmark.circle";
        case PluginManagementStatus::enabled:
            return "checkmark.shield.fill";
        case PluginManagementStatus::notFound:
            return "exclamationmark.triangle.fill";
        case PluginManagementStatus::unavailable:
            return "questionmark.diamond.fill";
    }
    return {};
}

QColor statusTint(PluginManagementStatus status) {
    switch (status) {
        case PluginManagementStatus::enabled:
            return colors::success();
        case PluginManagementStatus::requiresApproval:
            return colors::warning();
        case PluginManagementStatus::notFound:
        case PluginManagementStatus::unavailable:
            return colors::danger();
        case PluginManagementStatus::notRegistered:
            break;
    }
    return QApplication::palette().color(QPalette::WindowText);
}

struct ActionLook {
    QString button;
    std::string_view symbol;
    QString title;
    QString detail;
};

ActionLook actionLook(HelperAction action) {
    switch (action) {
        case HelperAction::test:
            return {QStringLiteral("Test Secure Helper"), "bolt.shield", QStringLiteral("Helper ready"),
                    QStringLiteral("Run the secure handshake again to confirm the helper build that answers.")};
        case HelperAction::repairOrUpdate:
            return {QStringLiteral("Repair / Update Plugin Management"), "arrow.triangle.2.circlepath",
                    QStringLiteral("Helper needs attention"),
                    QStringLiteral("Re-register the helper so the build embedded in this app answers the handshake.")};
        case HelperAction::openSystemSettings:
            return {QStringLiteral("Open System Settings"), "gear", QStringLiteral("Approval required"),
                    QStringLiteral("macOS is waiting for an administrator to approve the helper.")};
        case HelperAction::enable:
            return {QStringLiteral("Enable Plugin Management"), "person.badge.key.fill",
                    QStringLiteral("Plugin management is off"),
                    QStringLiteral("Register the privileged helper that moves system plugin bundles for Kestrova.")};
    }
    return {};
}

constexpr std::array<const char*, 4> setupSteps{
    "Enable Plugin Management and approve Kestrova in System Settings.",
    "Refresh Status and confirm all six release-readiness checks pass.",
    "Authorize only the plugin folder needed for a complete inventory scan.",
    "Test one disposable plugin before managing production tools.",
};

}  // namespace

HelperAction primaryHelperAction(PluginManagementStatus status, bool needsRepairOrUpdate) {
    switch (status) {
        case PluginManagementStatus::enabled:
            return needsRepairOrUpdate ? HelperAction::repairOrUpdate : HelperAction::test;
        case PluginManagementStatus::requiresApproval:
            return HelperAction::openSystemSettings;
        case PluginManagementStatus::notRegistered:
        case PluginManagementStatus::notFound:
        case PluginManagementStatus::unavailable:
            break;
    }
    return HelperAction::enable;
}

PluginManagementScreen::PluginManagementScreen(ScreenContext context, QWidget* parent) : Screen(context, parent) {
    buildContent(*makePage(*this, PageScroll::vertical, 18));

    connect(&session().serviceEvents(), &ObservedObject::changed, this, [this](Change change) {
        redraw();
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

    auto* cards = new QGridLayout;
    cards->setSpacing(12);
    statusCard_ = new MetricCard("person.badge.key", QStringLiteral("Helper Status"), {}, content);
    registrationCard_ = new MetricCard("checkmark.shield", QStringLiteral("Registration"),
                                       words(QStringLiteral("Launch daemon com.tolvanek.Kestrova.helper")), content);
    handshakeCard_ = new MetricCard("arrow.left.arrow.right.circle", QStringLiteral("Secure Handshake"),
                                    words(QStringLiteral("Code-signing-locked XPC connection")), content);
    buildCard_ = new MetricCard("app.badge", QStringLiteral("Helper Build"), {}, content);
    auto* distribution = new MetricCard("shippingbox.and.arrow.backward", QStringLiteral("Distribution"),
                                        words(QStringLiteral("Developer ID + notarization path")), content);
    distribution->setValue(QStringLiteral("Direct"));
    int column = 0;
    for (auto* card : {statusCard_, registrationCard_, handshakeCard_, buildCard_, distribution}) {
        cards->addWidget(card, 0, column);
        cards->setColumnStretch(column++, 1);
    }
    layout->addLayout(cards);

    auto* action = new CardPanel({}, {}, content);
    auto* actionRow = new QHBoxLayout;
    actionRow->setSpacing(16);
    auto* actionTexts = new QVBoxLayout;
    actionTexts->setSpacing(4);
    actionTitle_ = new QLabel(action);
    makeTitle(*actionTitle_, 1.15);
    actionDetail_ = new QLabel(action);
    actionDetail_->setWordWrap(true);
    makeSecondary(*actionDetail_);
    hint_ = new QLabel(
        words(QStringLiteral("In Login Items & Extensions, allow Kestrova under App Background Activity, then return "
                             "here and refresh.")),
        action);
    hint_->setObjectName(QStringLiteral("approvalHint"));
    hint_->setWordWrap(true);
    working_ = new QLabel(QStringLiteral("Working…"), action);
    makeCaption(*working_);
    actionTexts->addWidget(actionTitle_);
    actionTexts->addWidget(actionDetail_);
    actionTexts->addWidget(hint_);
    actionTexts->addWidget(working_);
    actionRow->addLayout(actionTexts, 1);
    primary_ = new QPushButton(action);
    primary_->setObjectName(QStringLiteral("primaryAction"));
    makeProminent(*primary_);
    connect(primary_, &QPushButton::clicked, this, &PluginManagementScreen::runPrimaryAction);
    actionRow->addWidget(primary_, 0, Qt::AlignVCenter);
    action->body()->addLayout(actionRow);
    layout->addWidget(action);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(16);
    auto* steps = new CardPanel("checklist", QStringLiteral("Setup Steps"), content);
    int number = 1;
    for (const auto* step : setupSteps) {
        steps->body()->addWidget(numberedStep(number++, words(toQString(step)), steps));
    }
    steps->body()->addStretch(1);
    columns->addWidget(steps, 2);

    auto* readiness = new CardPanel("checkmark.seal", QStringLiteral("Release Readiness"), content);
    readinessSummary_ = new QLabel(readiness);
    readinessSummary_->setObjectName(QStringLiteral("readinessSummary"));
    readinessSummary_->setWordWrap(true);
    makeSemibold(*readinessSummary_);
    readiness->body()->addWidget(readinessSummary_);
    checksLayout_ = new QVBoxLayout;
    checksLayout_->setSpacing(10);
    readiness->body()->addLayout(checksLayout_);
    columns->addWidget(readiness, 3);
    layout->addLayout(columns);
    layout->addStretch(1);
}

QString PluginManagementScreen::readinessSummaryText() const { return readinessSummary_->text(); }

void PluginManagementScreen::redraw() {
    const auto& service = session().service();
    const auto status = service.status();

    statusCard_->setValue(toQString(title(status)));
    statusCard_->setDetail(words(statusDetail(status)));
    statusCard_->setSymbol(statusSymbol(status));
    statusCard_->setTint(statusTint(status));

    const bool registered = status == PluginManagementStatus::enabled;
    registrationCard_->setValue(
        words(registered ? QStringLiteral("Registered with macOS") : QStringLiteral("Action required")));
    registrationCard_->setTint(registered ? colors::success() : colors::warning());

    handshakeCard_->setValue(service.helperIsReachable() ? QStringLiteral("Connected")
                                                         : QStringLiteral("Not Connected"));
    handshakeCard_->setTint(service.helperIsReachable() ? colors::success() : colors::secondaryText());

    const auto expected = toQString(helperprotocol::expectedHelperBuild);
    const auto& reported = service.helperVersion();
    buildCard_->setValue(reported ? QStringLiteral("Build %1").arg(toQString(*reported))
                                  : QStringLiteral("No helper response"));
    buildCard_->setDetail(QStringLiteral("Expected Build %1").arg(expected));
    buildCard_->setTint(!reported                          ? colors::secondaryText()
                        : toQString(*reported) == expected ? colors::success()
                                                           : colors::warning());

    error_->setMessage(words(toQString(service.lastError().value_or(""))));
    handshakeNotice_->setMessage(words(toQString(service.lastHandshakeNotice().value_or(""))));

    const auto action = primaryHelperAction(status, service.needsRepairOrUpdate());
    const auto look = actionLook(action);
    primary_->setText(words(look.button));
    primary_->setIcon(tintedSymbol(look.symbol, QColor(0x1B, 0x1D, 0x21), 16));
    actionTitle_->setText(look.title);
    actionDetail_->setText(words(action == HelperAction::openSystemSettings ? statusDetail(status) : look.detail));
    hint_->setVisible(action == HelperAction::openSystemSettings);
    working_->setVisible(service.isWorking());
    // The service ignores registration changes while it works; the button
    // says so instead of doing nothing.
    primary_->setEnabled(!service.isWorking() ||
                         (action != HelperAction::enable && action != HelperAction::repairOrUpdate));

    redrawReadiness();
}

void PluginManagementScreen::redrawReadiness() {
    const auto& service = session().service();
    const auto checks = service.readinessChecks();
    while (checkRows_.size() < checks.size()) {
        auto* row = new QWidget;
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        rowLayout->setSpacing(10);
        CheckRow parts{new QLabel(row), new QLabel(row), new QLabel(row)};
        parts.icon->setFixedSize(22, 22);
        parts.icon->setAlignment(Qt::AlignCenter);
        makeSemibold(*parts.title);
        parts.detail->setWordWrap(true);
        makeCaption(*parts.detail);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(1);
        texts->addWidget(parts.title);
        texts->addWidget(parts.detail);
        rowLayout->addWidget(parts.icon, 0, Qt::AlignTop);
        rowLayout->addLayout(texts, 1);
        checksLayout_->addWidget(row);
        checkRows_.push_back(parts);
    }
    for (std::size_t index = 0; index < checkRows_.size(); ++index) {
        auto& row = checkRows_[index];
        const bool shown = index < checks.size();
        row.icon->parentWidget()->setVisible(shown);
        if (!shown) {
            continue;
        }
        const auto& check = checks[index];
        row.icon->setPixmap(tintedSymbol(check.passed ? "checkmark.circle.fill" : "exclamationmark.circle.fill",
                                         check.passed ? colors::success() : colors::warning(), 18));
        row.title->setText(words(toQString(check.title)));
        row.detail->setText(words(toQString(check.detail)));
    }
    const bool allPassed = std::all_of(checks.begin(), checks.end(), [](const auto& check) { return check.passed; });
    readinessSummary_->setText(toQString(PluginManagementService::readinessSummary(checks)));
    auto palette = readinessSummary_->palette();
    palette.setColor(QPalette::WindowText, allPassed ? colors::success() : colors::warning());
    readinessSummary_->setPalette(palette);
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
