// How the helper's state reads on Plugin Management: the status's detail,
// symbol and tint, and the one action the primary button takes with its
// texts. Pure lookups, shared by the screen's cards and its action panel.
#pragma once

#include <QColor>
#include <QString>

#include <string_view>

namespace kestrova {
enum class PluginManagementStatus;
}

namespace kestrova::ui {

// The action the primary button takes for a status.
enum class HelperAction { test, repairOrUpdate, openSystemSettings, enable };
HelperAction primaryHelperAction(PluginManagementStatus status, bool needsRepairOrUpdate);

QString statusDetail(PluginManagementStatus status);
std::string_view statusSymbol(PluginManagementStatus status);
QColor statusTint(PluginManagementStatus status);

struct ActionLook {
    QString button;
    std::string_view symbol;
    QString title;
    QString detail;
};
ActionLook actionLook(HelperAction action);

}  // namespace kestrova::ui
