#include "ui/screens/inventory/InventoryParts.h"

#include "ui/app/QtText.h"
#include "ui/widgets/DetailPanel.h"
#include "ui/widgets/MetricCard.h"
#include "ui/widgets/ProminentButton.h"
#include "ui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <tuple>

namespace kestrova::ui {

InventoryCards::InventoryCards(QWidget* parent, const QString& machine) : parent_(parent), layout_(new QHBoxLayout) {
    layout_->setSpacing(12);
    const std::array<std::tuple<std::string_view, QString, QString>, 4> cards{{
        {"puzzlepiece.extension", QStringLiteral("Plugin Products"), QStringLiteral("Active inventory")},
        {"square.stack.3d.up", QStringLiteral("Multiple Formats"), QStringLiteral("More than one format")},
        machine.isEmpty() ? std::tuple{"cpu", QStringLiteral("Apple Silicon"), QStringLiteral("Native or Universal")}
                          : std::tuple{"cpu", machine, QStringLiteral("Built for this computer")},
        {"exclamationmark.circle", QStringLiteral("Needs Review"), QStringLiteral("Informational notes")},
    }};
    for (std::size_t index = 0; index < cards.size(); ++index) {
        const auto& [symbol, title, detail] = cards[index];
        cards_[index] = new MetricCard(symbol, title, detail, parent);
        layout_->addWidget(cards_[index], 1);
    }
}

void InventoryCards::showFor(const InventorySummary& summary) {
    cards_[0]->setValue(QString::number(summary.products));
    cards_[1]->setValue(QString::number(summary.multipleFormats));
    cards_[2]->setValue(QString::number(summary.nativeOrUniversal));
    cards_[3]->setValue(QString::number(summary.needsReview));
    cards_[3]->setTint(summary.needsReview > 0 ? colors::warning() : parent_->palette().color(QPalette::WindowText));
}

InventorySelectionBar::InventorySelectionBar(QWidget* parent) : bar_(new Card(parent)) {
    bar_->setObjectName(QStringLiteral("SelectionBar"));
    auto* bar = new QHBoxLayout;
    label_ = new QLabel(bar_);
    makeSemibold(*label_);
    bar->addWidget(label_);
    bar->addStretch(1);
    clearSelection_ = makeButton(QStringLiteral("Clear Selection"), {}, bar_);
    bar->addWidget(clearSelection_);
    quarantine_ = makeButton(QStringLiteral("Move to Quarantine"), "shippingbox", bar_);
    quarantine_->setObjectName(QStringLiteral("BatchQuarantine"));
    makeProminent(*quarantine_);
    bar->addWidget(quarantine_);
    auto& body = bar_->body();
    body.setContentsMargins(12, 8, 12, 8);
    body.addLayout(bar);
    reason_ = addReason(body, std::string());
    reason_->setObjectName(QStringLiteral("BatchReason"));
    retainSpace(*bar_);
    bar_->hide();
}

void InventorySelectionBar::showFor(std::size_t selected, const std::optional<std::string>& reason) {
    bar_->setVisible(selected > 0);
    label_->setText(QString::number(selected) + QStringLiteral(" selected"));
    quarantine_->setEnabled(selected > 0 && !reason);
    quarantine_->setToolTip(reason ? toQString(*reason) : QString());
    reason_->setText(reason ? toQString(*reason) : QString());
    reason_->setVisible(reason.has_value());
}

}  // namespace kestrova::ui
