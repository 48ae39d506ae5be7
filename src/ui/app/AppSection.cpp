#include "ui/app/AppSection.h"

namespace kestrova::ui {
namespace {

struct SectionInfo {
    std::string_view title;
    std::string_view symbol;
    std::string_view commandName;
    bool hasBadge;
};

constexpr SectionInfo info(AppSection section) {
    switch (section) {
        case AppSection::inventory:
            return {"Inventory", "externaldrive", "inventory", true};
        case AppSection::protected_:
            return {"Protected", "shield.checkered", "protected", true};
        case AppSection::quarantine:
            return {"Quarantine", "exclamationmark.triangle", "quarantine", true};
        case AppSection::formatCleanup:
            return {"Format Cleanup", "slider.horizontal.3", "format-cleanup", false};
        case AppSection::permanentQuarantine:
            return {"Permanent Quarantine", "lock.fill", "permanent-quarantine", false};
        case AppSection::trashRecovery:
            return {"Trash Recovery", "arrow.uturn.backward.circle", "trash-recovery", true};
        case AppSection::history:
            return {"History", "clock.arrow.circlepath", "history", true};
        case AppSection::pluginManagement:
            return {"Plugin Management", "person.badge.key", "plugin-management", false};
        case AppSection::safetyGuide:
            return {"Safety Guide", "checkmark.shield", "safety-guide", false};
        case AppSection::about:
            return {"About", "info.circle", "about", false};
    }
    return {};
}

}  // namespace

std::string_view title(AppSection section) { return info(section).title; }
std::string_view symbol(AppSection section) { return info(section).symbol; }
std::string_view commandName(AppSection section) { return info(section).commandName; }
bool hasBadge(AppSection section) { return info(section).hasBadge; }

std::optional<AppSection> sectionFromCommandName(std::string_view name) {
    for (const auto section : allSections) {
        if (commandName(section) == name) {
            return section;
        }
    }
    return std::nullopt;
}

}  // namespace kestrova::ui
