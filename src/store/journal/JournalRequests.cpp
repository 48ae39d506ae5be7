#include "store/journal/JournalRequests.h"

#include "model/PluginLocations.h"
#include "model/ProductStatus.h"
#include "model/TrashRecovery.h"
#include "planning/PathRules.h"
#include "platform/Paths.h"

#include <algorithm>
#include <map>

namespace kestrova {
namespace {

template <typename Item>
bool movedOnDisk(const Item& item, const FileSystem& fileSystem) {
    return !fileSystem.existsWithoutFollowing(item.sourcePath) &&
           fileSystem.existsWithoutFollowing(item.destinationPath);
}

template <typename Item>
bool atSourceOnDisk(const Item& item, const FileSystem& fileSystem) {
    return fileSystem.existsWithoutFollowing(item.sourcePath) &&
           !fileSystem.existsWithoutFollowing(item.destinationPath);
}

std::optional<std::string> installedLocation(const PrivilegedQuarantineItem& item) { return item.sourcePath; }
std::optional<std::string> installedLocation(const PrivilegedRestoreItem& item) { return item.destinationPath; }
std::optional<std::string> installedLocation(const PrivilegedTrashItem& item) { return item.originalPath; }
std::optional<std::string> installedLocation(const PrivilegedTrashRestoreItem& item) { return item.destinationPath; }

// Where each planned bundle was before its quarantine, as its record says;
// the freedesktop Trash record names that place.
std::vector<std::optional<std::string>> recordedOriginalPaths(const std::vector<Plugin>& plugins,
                                                              const BundleActionPlan& plan) {
    std::map<Uuid, const Plugin*> products;
    for (const auto& item : plan.items) {
        products.emplace(item.selection.pluginID, nullptr);
    }
    for (const auto& product : plugins) {
        if (const auto found = products.find(product.id); found != products.end()) {
            found->second = &product;
        }
    }
    std::vector<std::optional<std::string>> paths;
    for (const auto& item : plan.items) {
        std::optional<std::string> path;
        if (const auto* product = products.at(item.selection.pluginID)) {
            for (const auto& record : bundleRecords(*product)) {
                if (record.id() == item.selection.bundleID && record.originalPath) {
                    path = standardizedPath(*record.originalPath);
                    break;
                }
            }
        }
        paths.push_back(std::move(path));
    }
    return paths;
}

}  // namespace

std::optional<BundleSide> requestSide(const PrivilegedRequest& request, const SystemLayout& layout) {
    return std::visit(
        [&](const auto& record) -> std::optional<BundleSide> {
            std::optional<BundleSide> side;
            for (const auto& item : record.items) {
                const auto itemSide = sideOfPath(item.sourcePath, layout) == BundleSide::user ||
                                              sideOfPath(item.destinationPath, layout) == BundleSide::user
                                          ? BundleSide::user
                                          : BundleSide::system;
                if (side && *side != itemSide) {
                    return std::nullopt;
                }
                side = itemSide;
            }
            return side.value_or(BundleSide::system);
        },
        request);
}

void setSide(PrivilegedRequest& request, BundleSide side) {
    std::visit([side](auto& record) { record.side = side; }, request);
}

bool allMoved(const PrivilegedRequest& request, const FileSystem& fileSystem) {
    return std::visit(
        [&](const auto& record) {
            return std::all_of(record.items.begin(), record.items.end(),
                               [&](const auto& item) { return movedOnDisk(item, fileSystem); });
        },
        request);
}

bool allAtSource(const PrivilegedRequest& request, const FileSystem& fileSystem) {
    return std::visit(
        [&](const auto& record) {
            return std::all_of(record.items.begin(), record.items.end(),
                               [&](const auto& item) { return atSourceOnDisk(item, fileSystem); });
        },
        request);
}

JournalDiskState journalDiskState(const PrivilegedRequest& request, const FileSystem& fileSystem) {
    if (allMoved(request, fileSystem)) {
        return JournalDiskState::allMoved;
    }
    return allAtSource(request, fileSystem) ? JournalDiskState::allAtSource : JournalDiskState::mixed;
}

std::set<std::string> destinations(const PrivilegedRequest& request) {
    return std::visit(
        [](const auto& record) {
            std::set<std::string> paths;
            for (const auto& item : record.items) {
                paths.insert(item.destinationPath);
            }
            return paths;
        },
        request);
}

std::vector<std::string> installedLocations(const PrivilegedRequest& request) {
    return std::visit(
        [](const auto& record) {
            std::vector<std::string> locations;
            for (const auto& item : record.items) {
                if (auto location = installedLocation(item)) {
                    locations.push_back(std::move(*location));
                }
            }
            return locations;
        },
        request);
}

BundleActionKind actionKind(TransactionKind kind) {
    switch (kind) {
        case TransactionKind::restore:
            return BundleActionKind::restore;
        case TransactionKind::trash:
            return BundleActionKind::trash;
        case TransactionKind::quarantine:
        case TransactionKind::trashRestore:
            break;
    }
    return BundleActionKind::quarantine;
}

PrivilegedRequest requestFromPlan(TransactionKind kind, const BundleActionPlan& plan,
                                  const std::vector<Plugin>& plugins, const SystemLayout& layout) {
    const auto transactionID = Uuid::random().string();
    const auto items = [&plan]<typename Item>(Item*) {
        std::vector<Item> made;
        for (const auto& item : plan.items) {
            if (item.destinationPath && item.operationID) {
                made.push_back(Item{item.sourcePath, *item.destinationPath, *item.operationID});
            }
        }
        return made;
    };
    switch (kind) {
        case TransactionKind::restore:
            return PrivilegedRestoreRequest{transactionID, items(static_cast<PrivilegedRestoreItem*>(nullptr))};
        case TransactionKind::trash: {
            const auto originalPaths = layout.profile == PlatformProfile::gnuLinux
                                           ? recordedOriginalPaths(plugins, plan)
                                           : std::vector<std::optional<std::string>>(plan.items.size());
            std::vector<PrivilegedTrashItem> trashItems;
            for (std::size_t index = 0; index < plan.items.size(); ++index) {
                const auto& item = plan.items[index];
                if (item.destinationPath && item.operationID) {
                    trashItems.push_back(
                        {item.sourcePath, *item.destinationPath, *item.operationID, originalPaths[index]});
                }
            }
            return PrivilegedTrashRequest{transactionID, std::move(trashItems)};
        }
        case TransactionKind::quarantine:
        case TransactionKind::trashRestore:
            break;
    }
    return PrivilegedQuarantineRequest{transactionID, items(static_cast<PrivilegedQuarantineItem*>(nullptr))};
}

}  // namespace kestrova
