// The ten sections of the sidebar, in order, with their titles, icons and
// the name the command line uses for each.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace kestrova::ui {

enum class AppSection {
    inventory,
    protected_,
    quarantine,
    formatCleanup,
    permanentQuarantine,
    trashRecovery,
    history,
    pluginManagement,
    safetyGuide,
    about,
};

inline constexpr std::array<AppSection, 10> allSections{
    AppSection::inventory,           AppSection::protected_,    AppSection::quarantine, AppSection::formatCleanup,
    AppSection::permanentQuarantine, AppSection::trashRecovery, AppSection::history,    AppSection::pluginManagement,
    AppSection::safetyGuide,         AppSection::about};

std::string_view title(AppSection section);
std::string_view symbol(AppSection section);
// "inventory", "format-cleanup", … as --screenshot takes them.
std::string_view commandName(AppSection section);
std::optional<AppSection> sectionFromCommandName(std::string_view name);
// Only Inventory, Protected, Quarantine, Trash Recovery and History count
// something in the sidebar.
bool hasBadge(AppSection section);

}  // namespace kestrova::ui
