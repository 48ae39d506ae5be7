// Which screen each section shows.
#include "ui/screens/Screen.h"

#include "store/runs/CleanupRunController.h"
#include "ui/app/AppSession.h"
#include "ui/screens/about/AboutScreen.h"
#include "ui/screens/format-cleanup/FormatCleanupScreen.h"
#include "ui/screens/history/HistoryScreen.h"
#include "ui/screens/inventory/InventoryScreen.h"
#include "ui/screens/permanent-quarantine/PermanentQuarantineScreen.h"
#include "ui/screens/plugin-management/PluginManagementScreen.h"
#include "ui/screens/protected/ProtectedScreen.h"
#include "ui/screens/quarantine/QuarantineScreen.h"
#include "ui/screens/safety-guide/SafetyGuideScreen.h"
#include "ui/screens/trash-recovery/TrashRecoveryScreen.h"

namespace kestrova::ui {

QString Screen::words(const QString& text) const { return session().words(text); }

void Screen::whenShown(int key, std::function<void()> work) {
    if (isVisibleTo(QWidget::window())) {
        pending_.erase(key);
        work();
        return;
    }
    pending_[key] = std::move(work);
}

void Screen::followInventory(std::function<void()> reload) {
    if (session().cleanupRuns().isBusy()) {
        whenShown(-1, std::move(reload));
    } else {
        pending_.erase(-1);
        reload();
    }
}

void Screen::runPending() {
    auto pending = std::move(pending_);
    pending_.clear();
    for (auto& [key, work] : pending) {
        work();
    }
}

Screen* makeScreen(AppSection section, ScreenContext context, QWidget* parent) {
    switch (section) {
        case AppSection::inventory:
            return new InventoryScreen(context, parent);
        case AppSection::protected_:
            return new ProtectedScreen(context, parent);
        case AppSection::quarantine:
            return new QuarantineScreen(context, parent);
        case AppSection::formatCleanup:
            return new FormatCleanupScreen(context, parent);
        case AppSection::permanentQuarantine:
            return new PermanentQuarantineScreen(context, parent);
        case AppSection::trashRecovery:
            return new TrashRecoveryScreen(context, parent);
        case AppSection::history:
            return new HistoryScreen(context, parent);
        case AppSection::pluginManagement:
            return new PluginManagementScreen(context, parent);
        case AppSection::safetyGuide:
            return new SafetyGuideScreen(context, parent);
        case AppSection::about:
            return new AboutScreen(context, parent);
    }
    return nullptr;
}

}  // namespace kestrova::ui
