#include "ui/screens/plugin-management/HelperPanels.h"

#include "helperclient/PluginManagementService.h"
#include "protocol/HelperProtocol.h"
#include "ui/app/QtText.h"
#include "ui/screens/plugin-management/HelperStatusLooks.h"
#include "ui/widgets/Accents.h"
#include "ui/widgets/MetricCard.h"
#include "ui/widgets/ProminentButton.h"
#include "ui/widgets/Theme.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace kestrova::ui {

HelperStatusCards::HelperStatusCards(QWidget* parent, Wording words)
    : words_(std::move(words)), layout_(new QGridLayout) {
    layout_->setSpacing(12);
    status = new MetricCard("person.badge.key", QStringLiteral("Helper Status"), {}, parent);
    registration = new MetricCard("checkmark.shield", QStringLiteral("Registration"),
                                  words_(QStringLiteral("Launch daemon com.tolvanek.Kestrova.helper")), parent);
    handshake = new MetricCard("arrow.left.arrow.right.circle", QStringLiteral("Secure Handshake"),
                               words_(QStringLiteral("Code-signing-locked XPC connection")), parent);
    build = new MetricCard("app.badge", QStringLiteral("Helper Build"), {}, parent);
    auto* distribution = new MetricCard("shippingbox.and.arrow.backward", QStringLiteral("Distribution"),
                                        words_(QStringLiteral("Developer ID + notarization path")), parent);
    distribution->setValue(QStringLiteral("Direct"));
    int column = 0;
    for (auto* card : {status, registration, handshake, build, distribution}) {
        layout_->addWidget(card, 0, column);
        layout_->setColumnStretch(column++, 1);
    }
}

void HelperStatusCards::showFor(const PluginManagementService& service) {
    const auto state = service.status();
    status->setValue(toQString(title(state)));
    status->setDetail(words_(statusDetail(state)));
    status->setSymbol(statusSymbol(state));
    status->setTint(statusTint(state));

    const bool registered = state == PluginManagementStatus::enabled;
    registration->setValue(
        words_(registered ? QStringLiteral("Registered with macOS") : QStringLiteral("Action required")));
    registration->setTint(registered ? colors::success() : colors::warning());

    handshake->setValue(service.helperIsReachable() ? QStringLiteral("Connected") : QStringLiteral("Not Connected"));
    handshake->setTint(service.helperIsReachable() ? colors::success() : colors::secondaryText());

    const auto expected = toQString(helperprotocol::expectedHelperBuild);
    const auto& reported = service.helperVersion();
    build->setValue(reported ? QStringLiteral("Build %1").arg(toQString(*reported))
                             : QStringLiteral("No helper response"));
    build->setDetail(QStringLiteral("Expected Build %1").arg(expected));
    build->setTint(!reported                          ? colors::secondaryText()
                   : toQString(*reported) == expected ? colors::success()
                                                      : colors::warning());
}

HelperActionCard::HelperActionCard(QWidget* parent, Wording words)
    : words_(std::move(words)), card_(new CardPanel({}, {}, parent)) {
    auto* actionRow = new QHBoxLayout;
    actionRow->setSpacing(16);
    auto* actionTexts = new QVBoxLayout;
    actionTexts->setSpacing(4);
    title_ = new QLabel(card_);
    makeTitle(*title_, 1.15);
    detail_ = new QLabel(card_);
    detail_->setWordWrap(true);
    makeSecondary(*detail_);
    hint_ = new QLabel(
        words_(QStringLiteral("In Login Items & Extensions, allow Kestrova under App Background Activity, then return "
                              "here and refresh.")),
        card_);
    hint_->setObjectName(QStringLiteral("approvalHint"));
    hint_->setWordWrap(true);
    working_ = new QLabel(QStringLiteral("Working…"), card_);
    makeCaption(*working_);
    actionTexts->addWidget(title_);
    actionTexts->addWidget(detail_);
    actionTexts->addWidget(hint_);
    actionTexts->addWidget(working_);
    actionRow->addLayout(actionTexts, 1);
    primary_ = new QPushButton(card_);
    primary_->setObjectName(QStringLiteral("primaryAction"));
    makeProminent(*primary_);
    actionRow->addWidget(primary_, 0, Qt::AlignVCenter);
    card_->body()->addLayout(actionRow);
}

void HelperActionCard::showFor(const PluginManagementService& service) {
    const auto status = service.status();
    const auto action = primaryHelperAction(status, service.needsRepairOrUpdate());
    const auto look = actionLook(action);
    primary_->setText(words_(look.button));
    primary_->setIcon(tintedSymbol(look.symbol, QColor(0x1B, 0x1D, 0x21), 16));
    title_->setText(look.title);
    detail_->setText(words_(action == HelperAction::openSystemSettings ? statusDetail(status) : look.detail));
    hint_->setVisible(action == HelperAction::openSystemSettings);
    working_->setVisible(service.isWorking());
    // The service ignores registration changes while it works; the button
    // says so instead of doing nothing.
    primary_->setEnabled(!service.isWorking() ||
                         (action != HelperAction::enable && action != HelperAction::repairOrUpdate));
}

ReadinessChecksCard::ReadinessChecksCard(QWidget* parent, Wording words)
    : words_(std::move(words)), card_(new CardPanel("checkmark.seal", QStringLiteral("Release Readiness"), parent)) {
    summary_ = new QLabel(card_);
    summary_->setObjectName(QStringLiteral("readinessSummary"));
    summary_->setWordWrap(true);
    makeSemibold(*summary_);
    card_->body()->addWidget(summary_);
    checksLayout_ = new QVBoxLayout;
    checksLayout_->setSpacing(10);
    card_->body()->addLayout(checksLayout_);
    card_->body()->addStretch(1);
}

QString ReadinessChecksCard::summaryText() const { return summary_->text(); }

void ReadinessChecksCard::showFor(const PluginManagementService& service) {
    const auto checks = service.readinessChecks();
    while (rows_.size() < checks.size()) {
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
        rows_.push_back(parts);
    }
    for (std::size_t index = 0; index < rows_.size(); ++index) {
        auto& row = rows_[index];
        const bool shown = index < checks.size();
        row.icon->parentWidget()->setVisible(shown);
        if (!shown) {
            continue;
        }
        const auto& check = checks[index];
        row.icon->setPixmap(tintedSymbol(check.passed ? "checkmark.circle.fill" : "exclamationmark.circle.fill",
                                         check.passed ? colors::success() : colors::warning(), 18));
        row.title->setText(words_(toQString(check.title)));
        row.detail->setText(words_(toQString(check.detail)));
    }
    const bool allPassed = std::all_of(checks.begin(), checks.end(), [](const auto& check) { return check.passed; });
    summary_->setText(toQString(PluginManagementService::readinessSummary(checks)));
    auto palette = summary_->palette();
    palette.setColor(QPalette::WindowText, allPassed ? colors::success() : colors::warning());
    summary_->setPalette(palette);
}

}  // namespace kestrova::ui
