// Permanent Quarantine: one switch per manufacturer of the inventory that
// turns the store's permanent-quarantine rule for it on or off. The rows
// are the store's list of manufacturers; the screen keeps nothing of them.
#pragma once

#include "ui/screens/Screen.h"
#include "ui/widgets/DeferredRefresh.h"

class QLabel;
class QVBoxLayout;

namespace kestrova::ui {

class ToggleSwitch;

class PermanentQuarantineScreen final : public Screen {
    Q_OBJECT
public:
    explicit PermanentQuarantineScreen(ScreenContext context, QWidget* parent = nullptr);

    void becameVisible() override;
    // The switch of a manufacturer's row, or null when it has no row.
    ToggleSwitch* switchFor(const QString& manufacturer) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();

    QWidget* rulesPanel_ = nullptr;
    QVBoxLayout* rows_ = nullptr;
    QLabel* ruleCount_ = nullptr;
    QWidget* emptyState_ = nullptr;
    DeferredRefresh refresh_{*this, [this] { refresh(); }};
};

}  // namespace kestrova::ui
