#include "ui/screens/trash-recovery/TrashRecoveryRow.h"

#include "model/TrashRecovery.h"
#include "platform/LocaleText.h"
#include "platform/PlatformWording.h"
#include "ui/app/QtText.h"
#include "ui/widgets/Pill.h"
#include "ui/widgets/ProminentButton.h"
#include "ui/widgets/Theme.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrova::ui {
namespace {

QColor stateColor(TrashRecoveryState state) {
    switch (state) {
        case TrashRecoveryState::readyToRestore:
            return colors::success();
        case TrashRecoveryState::alreadyRestored:
            return colors::secondaryText();
        case TrashRecoveryState::destinationOccupied:
        case TrashRecoveryState::needsVerification:
            return colors::warning();
        case TrashRecoveryState::missingFromTrash:
            return colors::danger();
    }
    return colors::secondaryText();
}

// A labelled, selectable path in a recessed box.
QWidget* makePathBox(const QString& caption, const std::string& path, QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    auto* label = new QLabel(caption, box);
    makeCaption(*label);
    auto* value = new QLabel(toQString(path), box);
    value->setObjectName(caption);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setWordWrap(true);
    value->setToolTip(value->text());
    value->setStyleSheet(
        QStringLiteral("QLabel { background-color: #17191D; border: 1px solid #30343B;"
                       " border-radius: 5px; padding: 5px 8px; font-family: monospace; }"));
    layout->addWidget(label);
    layout->addWidget(value);
    return box;
}

}  // namespace

TrashRecoveryRow::TrashRecoveryRow(const TrashRecoveryEntry& entry, bool isSelected,
                                   const std::optional<std::string>& restoreBlockingReason, int transactionBundleCount,
                                   PlatformProfile profile, Actions actions, QWidget* parent)
    : CardFrame(parent), entry_(std::make_shared<const TrashRecoveryEntry>(entry)) {
    setObjectName(QStringLiteral("TrashRecoveryRow"));

    const auto& record = entry.record;
    const bool ready = entry.state == TrashRecoveryState::readyToRestore;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 14);
    layout->setSpacing(10);

    auto* top = new QHBoxLayout;
    top->setSpacing(10);
    if (ready) {
        select_ = new QCheckBox(this);
        select_->setChecked(isSelected);
        select_->setToolTip(QStringLiteral("Select for a combined restore"));
        // The box has no text of its own; a screen reader names it by its bundle.
        select_->setAccessibleName(toQString("Select " + record.pluginName + " — " + record.format));
        connect(select_, &QCheckBox::toggled, this, [select = actions.select](bool on) { select(on); });
        top->addWidget(select_);
    }
    auto* name = new QLabel(toQString(record.pluginName + " — " + record.format), this);
    makeSemibold(*name);
    top->addWidget(name);
    auto* badge = new Pill(toQString(title(entry.state)), this);
    badge->setObjectName(QStringLiteral("stateBadge"));
    badge->setTint(stateColor(entry.state));
    top->addWidget(badge);
    top->addStretch(1);
    auto* moved = new QLabel(toQString("Moved " + shortDateTimeText(record.operationDate)), this);
    makeSecondary(*moved);
    top->addWidget(moved);
    layout->addLayout(top);

    auto* paths = new QHBoxLayout;
    paths->setSpacing(12);
    paths->addWidget(makePathBox(QStringLiteral("Original Location"), record.originalPath, this), 1);
    paths->addWidget(makePathBox(toQString(platformWording("Finder Trash", profile)), record.trashPath, this), 1);
    layout->addLayout(paths);

    if (!ready) {
        return;
    }
    auto* bar = new QHBoxLayout;
    bar->setSpacing(8);
    reveal_ = new QPushButton(symbolIcon("magnifyingglass"), QStringLiteral("Reveal in Trash"), this);
    connect(reveal_, &QPushButton::clicked, this, [reveal = actions.reveal] { reveal(); });
    bar->addWidget(reveal_);
    auto* reason = new QLabel(
        restoreBlockingReason ? toQString(platformWording(*restoreBlockingReason, profile)) : QString(), this);
    reason->setObjectName(QStringLiteral("restoreBlockingReason"));
    makeCaption(*reason);
    reason->setWordWrap(true);
    reason->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    reason->setVisible(restoreBlockingReason.has_value());
    bar->addWidget(reason, 1);
    if (transactionBundleCount >= 2) {
        restoreTransaction_ =
            new QPushButton(QStringLiteral("Restore Transaction (%1)…").arg(transactionBundleCount), this);
        restoreTransaction_->setEnabled(!restoreBlockingReason);
        connect(restoreTransaction_, &QPushButton::clicked, this,
                [restore = actions.restoreTransaction] { restore(); });
        bar->addWidget(restoreTransaction_);
    }
    restore_ = new QPushButton(symbolIcon("arrow.uturn.backward"), QStringLiteral("Restore Format…"), this);
    makeProminent(*restore_);
    restore_->setEnabled(!restoreBlockingReason);
    connect(restore_, &QPushButton::clicked, this, [restore = actions.restore] { restore(); });
    bar->addWidget(restore_);
    layout->addLayout(bar);
}

}  // namespace kestrova::ui
