// The two cards Format Cleanup shows in place of its candidates or above
// them: a run's progress while it goes, and what to do while there is
// nothing to review.
#pragma once

#include "ui/widgets/KestrovaStyle.h"

class QLabel;
class QProgressBar;

namespace kestrova {
class CleanupRunController;
}

namespace kestrova::ui {

// Shown only while a run or a run restore goes.
class CleanupProgressPanel final : public CardFrame {
    Q_OBJECT
public:
    explicit CleanupProgressPanel(QWidget* parent = nullptr);
    void showProgress(const CleanupRunController& runs);

private:
    QLabel* label_ = nullptr;
    QProgressBar* bar_ = nullptr;
};

// Shown while there is no preview, or one without candidates.
class CleanupEmptyState final : public CardFrame {
    Q_OBJECT
public:
    explicit CleanupEmptyState(QWidget* parent = nullptr);
    void showFor(const CleanupRunController& runs);

private:
    QLabel* title_ = nullptr;
    QLabel* message_ = nullptr;
};

}  // namespace kestrova::ui
