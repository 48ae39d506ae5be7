// The two folding lists under the Format Cleanup candidates: the preview's
// warnings and exclusions, and the finished runs that can still be put back.
#pragma once

#include "platform/Uuid.h"

#include <QString>

#include <functional>
#include <optional>
#include <string>

class QListWidget;
class QWidget;

namespace kestrova {
class CleanupRunController;
class PluginInventoryStore;
}  // namespace kestrova

namespace kestrova::ui {

class CollapsibleGroup;

class CleanupIssuesList {
public:
    explicit CleanupIssuesList(QWidget* parent);
    CollapsibleGroup* group() const { return group_; }
    // Hidden without a warning or an exclusion.
    void showFor(const CleanupRunController& runs);

private:
    CollapsibleGroup* group_;
    QListWidget* list_;
    QString shownPlanID_;  // the preview whose lists are shown
};

class RecentCleanupRuns {
public:
    // `restore` runs with the run's id when its button is clicked.
    RecentCleanupRuns(QWidget* parent, std::function<void(const Uuid&)> restore);
    CollapsibleGroup* group() const { return group_; }
    // Hidden without a run to put back; the buttons wait while `busy` or
    // while `blocked` says why restores cannot go.
    void showFor(const PluginInventoryStore& store, const std::optional<std::string>& blocked, bool busy);

private:
    CollapsibleGroup* group_;
    std::function<void(const Uuid&)> restore_;
};

}  // namespace kestrova::ui
