// One Trash recovery record on the Trash Recovery screen: its state badge,
// both paths, when it moved, and for a record ready to restore the reveal
// and restore actions, disabled with the reason while a restore is refused.
#pragma once

#include "ui/widgets/KestrovaStyle.h"

#include <QFrame>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QCheckBox;
class QPushButton;

// moc cannot parse the core's date headers, so the core stays out of here.
namespace kestrova {
struct TrashRecoveryEntry;
enum class PlatformProfile;
}  // namespace kestrova

namespace kestrova::ui {

class TrashRecoveryRow final : public CardFrame {
    Q_OBJECT
public:
    struct Actions {
        std::function<void()> restore;
        std::function<void()> restoreTransaction;
        std::function<void()> reveal;
        std::function<void(bool)> select;
    };

    TrashRecoveryRow(const TrashRecoveryEntry& entry, bool isSelected,
                     const std::optional<std::string>& restoreBlockingReason, int transactionBundleCount,
                     PlatformProfile profile, Actions actions, QWidget* parent = nullptr);

    const TrashRecoveryEntry& entry() const { return *entry_; }
    // Null where the row offers no such action.
    QCheckBox* selectBox() const { return select_; }
    QPushButton* restoreButton() const { return restore_; }
    QPushButton* restoreTransactionButton() const { return restoreTransaction_; }
    QPushButton* revealButton() const { return reveal_; }

private:
    std::shared_ptr<const TrashRecoveryEntry> entry_;
    QCheckBox* select_ = nullptr;
    QPushButton* restore_ = nullptr;
    QPushButton* restoreTransaction_ = nullptr;
    QPushButton* reveal_ = nullptr;
};

}  // namespace kestrova::ui
