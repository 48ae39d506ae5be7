#include "ui/screens/plugin-management/HelperStatusLooks.h"

#include "helperclient/PluginManagementService.h"
#include "ui/widgets/Theme.h"

#include <QApplication>
#include <QPalette>

namespace kestrova::ui {

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

}  // namespace kestrova::ui
