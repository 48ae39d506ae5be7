#include "model/TrashRecovery.h"

#include "model/Plugin.h"
#include "model/PluginLocations.h"
#include "platform/FreedesktopTrash.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <algorithm>

namespace kestrova {

std::optional<std::string_view> trashFormatExtension(std::string_view format) {
    const auto extension = bundleExtension(format);
    if (extension.empty()) {
        return std::nullopt;
    }
    return extension;
}

bool isVerifiedTrashRecord(const TrashedBundleRecord& record, const SystemLayout& layout,
                           const FileSystem& fileSystem) {
    if (!isAbsolutePath(record.trashPath) || !isAbsolutePath(record.originalPath)) {
        return false;
    }
    if (!Uuid::parse(record.id.string())) {
        return false;
    }
    const auto extension = bundleExtension(unicodeUppercased(trimmedWhitespace(record.format)), layout.profile);
    if (extension.empty()) {
        return false;
    }
    const auto originalPath = standardizedPath(record.originalPath);
    if (lowercased(pathExtension(standardizedPath(record.trashPath))) != extension ||
        lowercased(pathExtension(originalPath)) != extension) {
        return false;
    }
    return safePluginLocation(originalPath, layout, fileSystem).has_value();
}

bool hasFreedesktopTrashInfo(const std::string& trashPath, const FileSystem& fileSystem) {
    const auto info = trashInfoPath(standardizedPath(trashPath));
    const auto status = fileSystem.linkStatus(info);
    // Records are a few hundred bytes; anything else is not one of ours.
    if (!status || !status->isRegularFile || status->size > 64 * 1024) {
        return false;
    }
    const auto text = fileSystem.readFile(info);
    return text && parseTrashInfo(*text).has_value();
}

TrashRecoveryState evaluateTrashRecoveryState(const TrashedBundleRecord& record, const SystemLayout& layout,
                                              const FileSystem& fileSystem) {
    const bool inTrash = fileSystem.exists(record.trashPath);
    const bool atOriginal = fileSystem.exists(record.originalPath);
    if (!inTrash) {
        return atOriginal ? TrashRecoveryState::alreadyRestored : TrashRecoveryState::missingFromTrash;
    }
    if (atOriginal) {
        return TrashRecoveryState::destinationOccupied;
    }
    if (layout.profile == PlatformProfile::gnuLinux && !hasFreedesktopTrashInfo(record.trashPath, fileSystem)) {
        return TrashRecoveryState::needsVerification;
    }
    return isVerifiedTrashRecord(record, layout, fileSystem) ? TrashRecoveryState::readyToRestore
                                                             : TrashRecoveryState::needsVerification;
}

std::vector<TrashRecoveryEntry> trashRecoveryEntries(const std::vector<TrashedBundleRecord>& records,
                                                     const SystemLayout& layout, const FileSystem& fileSystem) {
    std::vector<TrashRecoveryEntry> entries;
    entries.reserve(records.size());
    for (const auto& record : records) {
        entries.push_back({record, evaluateTrashRecoveryState(record, layout, fileSystem)});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const TrashRecoveryEntry& a, const TrashRecoveryEntry& b) {
        return a.record.operationDate > b.record.operationDate;
    });
    return entries;
}

int readyTrashRecoveryCount(const std::vector<TrashRecoveryEntry>& entries) {
    return static_cast<int>(std::count_if(entries.begin(), entries.end(), [](const TrashRecoveryEntry& entry) {
        return entry.state == TrashRecoveryState::readyToRestore;
    }));
}

bool reconcileTrashRecords(std::vector<TrashedBundleRecord>& records, std::vector<HistoryItem>& history,
                           const FileSystem& fileSystem, Date now) {
    const auto time = historyTimeText(now);
    bool changed = false;
    for (auto& record : records) {
        if (record.reconciledDate) {
            continue;
        }
        if (fileSystem.exists(record.trashPath)) {
            continue;
        }
        if (fileSystem.exists(record.originalPath)) {
            record.reconciledDate = now;
            history.insert(history.begin(),
                           makeHistoryItem(record.pluginName, HistoryKind::externalRestore,
                                           "Detected " + record.format +
                                               " bundle restored outside Kestrova at its recorded original location",
                                           time, std::nullopt, record.format));
            changed = true;
        } else if (!record.missingDetectedDate) {
            // The record stays open so a later reappearance is still noticed.
            record.missingDetectedDate = now;
            history.insert(
                history.begin(),
                makeHistoryItem(record.pluginName, HistoryKind::missingTrashItem,
                                record.format + " bundle is absent from both its recorded Finder Trash path and "
                                                "original plugin location",
                                time, std::nullopt, record.format));
            changed = true;
        }
    }
    return changed;
}

}  // namespace kestrova
