#include "store/journal/PrivilegedInventoryCommit.h"

#include "model/ProductStatus.h"
#include "store/rules/ProtectionRules.h"
#include "store/rules/ScanMerge.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>

namespace kestrova {
namespace {

struct BundleRef {
    std::size_t product = 0;
    std::size_t bundle = 0;

    friend auto operator<=>(const BundleRef&, const BundleRef&) = default;
};

// Records by one of their paths, so matching a chunk of items stays linear
// in the size of the inventory.
class BundleIndex {
public:
    BundleIndex(const std::vector<Plugin>& plugins,
                const std::function<std::optional<std::string>(const PluginBundleRecord&)>& pathOf) {
        for (std::size_t p = 0; p < plugins.size(); ++p) {
            if (!plugins[p].bundles) {
                continue;
            }
            const auto& bundles = *plugins[p].bundles;
            for (std::size_t b = 0; b < bundles.size(); ++b) {
                if (const auto path = pathOf(bundles[b])) {
                    byPath_[scanPathKey(*path)].push_back({p, b});
                }
            }
        }
    }

    const std::vector<BundleRef>& candidates(std::string_view path) const {
        static const std::vector<BundleRef> none;
        const auto found = byPath_.find(scanPathKey(path));
        return found == byPath_.end() ? none : found->second;
    }

private:
    std::unordered_map<std::string, std::vector<BundleRef>> byPath_;
};

// The one record each item names, in item order; throws before anything is
// changed when an item names none or several, or two items name the same.
template <typename Item>
std::vector<BundleRef> matchItems(const std::vector<Plugin>& plugins, const BundleIndex& index,
                                  const std::vector<Item>& items,
                                  const std::function<bool(const PluginBundleRecord&, const Item&)>& matches) {
    std::vector<BundleRef> matched;
    std::set<BundleRef> taken;
    for (const auto& item : items) {
        std::optional<BundleRef> found;
        for (const auto& candidate : index.candidates(item.sourcePath)) {
            if (!matches((*plugins[candidate.product].bundles)[candidate.bundle], item)) {
                continue;
            }
            if (found) {
                throw PrivilegedInventoryCommitError(PrivilegedInventoryCommitFailure::duplicateInventoryRecord);
            }
            found = candidate;
        }
        if (!found) {
            throw PrivilegedInventoryCommitError(PrivilegedInventoryCommitFailure::missingInventoryRecord);
        }
        if (!taken.insert(*found).second) {
            throw PrivilegedInventoryCommitError(PrivilegedInventoryCommitFailure::duplicateInventoryRecord);
        }
        matched.push_back(*found);
    }
    return matched;
}

void writeOutBundles(std::vector<Plugin>& plugins) {
    for (auto& product : plugins) {
        materializeBundles(product);
    }
}

bool samePath(std::string_view a, std::string_view b) { return scanPathKey(a) == scanPathKey(b); }

void rederiveStatus(std::vector<Plugin>& plugins, const std::set<std::size_t>& touched) {
    for (const auto p : touched) {
        plugins[p].status = derivedStatus(plugins[p]);
    }
}

// Puts a commit's history items, kept in the order they were made, in front
// of the history in one move: newest first, as prepending them one at a time
// would leave them, without shifting the whole history once per bundle.
void prependAll(std::vector<HistoryItem>& history, std::vector<HistoryItem> added) {
    history.insert(history.begin(), std::make_move_iterator(added.rbegin()), std::make_move_iterator(added.rend()));
}

std::optional<Uuid> runOfTransaction(const std::vector<FormatCleanupRunRecord>& runs,
                                     const std::string& transactionID) {
    const auto id = Uuid::parse(transactionID);
    if (!id) {
        return std::nullopt;
    }
    for (const auto& run : runs) {
        if (std::find(run.childTransactionIDs.begin(), run.childTransactionIDs.end(), *id) !=
            run.childTransactionIDs.end()) {
            return run.id;
        }
    }
    return std::nullopt;
}

}  // namespace

std::string_view description(PrivilegedInventoryCommitFailure failure) {
    switch (failure) {
        case PrivilegedInventoryCommitFailure::missingInventoryRecord:
            return "A plugin bundle no longer has a matching inventory record.";
        case PrivilegedInventoryCommitFailure::duplicateInventoryRecord:
            return "A plugin bundle matches more than one inventory record.";
    }
    return {};
}

PrivilegedInventoryCommitError::PrivilegedInventoryCommitError(PrivilegedInventoryCommitFailure failure)
    : std::runtime_error(std::string(description(failure))), failure_(failure) {}

void commitQuarantine(std::vector<Plugin>& plugins, std::vector<HistoryItem>& history,
                      const std::vector<FormatCleanupRunRecord>& runs, const std::string& transactionID,
                      const std::vector<PrivilegedQuarantineItem>& items, const CommitMoment& moment) {
    writeOutBundles(plugins);
    const BundleIndex index(plugins, [](const PluginBundleRecord& record) { return record.path; });
    const auto matched = matchItems<PrivilegedQuarantineItem>(
        plugins, index, items, [](const PluginBundleRecord&, const PrivilegedQuarantineItem&) { return true; });

    const auto presetRunID = runOfTransaction(runs, transactionID);
    std::set<std::size_t> touched;
    std::vector<HistoryItem> added;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto& item = items[i];
        auto& product = plugins[matched[i].product];
        auto& record = (*product.bundles)[matched[i].bundle];
        touched.insert(matched[i].product);
        if (record.quarantinePath == item.destinationPath) {
            continue;  // committed before
        }
        record.originalPath = item.sourcePath;
        record.quarantinePath = item.destinationPath;
        record.quarantineOperationID = item.operationID;
        record.presetRunID = presetRunID;
        added.push_back(
            makeHistoryItem(product.name, HistoryKind::quarantine,
                            "Moved " + record.format + " bundle through the privileged atomic quarantine transaction",
                            moment.timeText, transactionID, record.format, presetRunID));
    }
    prependAll(history, std::move(added));
    rederiveStatus(plugins, touched);
}

void commitRestore(std::vector<Plugin>& plugins, std::vector<HistoryItem>& history, const std::string& transactionID,
                   const std::vector<PrivilegedRestoreItem>& items, const CommitMoment& moment) {
    writeOutBundles(plugins);
    const BundleIndex index(plugins, [](const PluginBundleRecord& record) { return record.quarantinePath; });
    const auto matched = matchItems<PrivilegedRestoreItem>(
        plugins, index, items, [](const PluginBundleRecord& record, const PrivilegedRestoreItem& item) {
            return record.quarantineOperationID == item.operationID &&
                   samePath(record.originalPath.value_or(record.path), item.destinationPath);
        });

    std::set<std::size_t> touched;
    std::vector<HistoryItem> added;
    for (std::size_t i = 0; i < items.size(); ++i) {
        auto& product = plugins[matched[i].product];
        auto& record = (*product.bundles)[matched[i].bundle];
        touched.insert(matched[i].product);
        const auto presetRunID = record.presetRunID;
        record.quarantinePath.reset();
        record.quarantineOperationID.reset();
        record.presetRunID.reset();
        added.push_back(
            makeHistoryItem(product.name, HistoryKind::restore,
                            "Restored " + record.format + " bundle through the privileged atomic restore transaction",
                            moment.timeText, transactionID, record.format, presetRunID));
    }
    prependAll(history, std::move(added));
    rederiveStatus(plugins, touched);
}

void commitTrash(std::vector<Plugin>& plugins, std::vector<HistoryItem>& history,
                 std::vector<TrashedBundleRecord>& trashedBundles, const std::string& transactionID,
                 const std::vector<PrivilegedTrashItem>& items, const CommitMoment& moment) {
    writeOutBundles(plugins);
    const BundleIndex index(plugins, [](const PluginBundleRecord& record) { return record.quarantinePath; });
    const auto matched = matchItems<PrivilegedTrashItem>(
        plugins, index, items, [](const PluginBundleRecord& record, const PrivilegedTrashItem& item) {
            return record.quarantineOperationID == item.operationID;
        });

    std::vector<HistoryItem> added;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto& product = plugins[matched[i].product];
        const auto& record = (*product.bundles)[matched[i].bundle];
        const auto originalPath = record.originalPath.value_or(record.path);
        trashedBundles.push_back(TrashedBundleRecord{Uuid::random(), product.name, product.manufacturer, record.format,
                                                     originalPath, items[i].destinationPath, moment.now, transactionID,
                                                     record.presetRunID, std::nullopt, std::nullopt, std::nullopt});
        added.push_back(makeHistoryItem(product.name, HistoryKind::trash,
                                        "Moved quarantined " + record.format +
                                            " bundle to Finder Trash through the privileged atomic transaction; "
                                            "original location: " +
                                            originalPath,
                                        moment.timeText, transactionID, record.format, record.presetRunID));
    }
    prependAll(history, std::move(added));

    // Remove from the back so earlier indices stay valid, then drop the
    // products left without a bundle.
    std::vector<BundleRef> removals = matched;
    std::sort(removals.rbegin(), removals.rend());
    std::set<std::size_t> touched;
    for (const auto& ref : removals) {
        auto& bundles = *plugins[ref.product].bundles;
        bundles.erase(bundles.begin() + static_cast<std::ptrdiff_t>(ref.bundle));
        touched.insert(ref.product);
    }
    for (const auto p : touched) {
        auto& product = plugins[p];
        std::set<std::string> formats;  // plain string order
        for (const auto& bundle : *product.bundles) {
            formats.insert(bundle.format);
        }
        product.formats.assign(formats.begin(), formats.end());
        if (!product.bundles->empty()) {
            product.status = derivedStatus(product);
        }
    }
    for (auto p = touched.rbegin(); p != touched.rend(); ++p) {
        if (plugins[*p].bundles->empty()) {
            plugins.erase(plugins.begin() + static_cast<std::ptrdiff_t>(*p));
        }
    }
}

void commitTrashRestore(std::vector<TrashedBundleRecord>& trashedBundles, std::vector<HistoryItem>& history,
                        const std::string& transactionID, const std::vector<PrivilegedTrashRestoreItem>& items,
                        const CommitMoment& moment) {
    std::vector<std::size_t> matched;
    std::set<std::size_t> taken;
    for (const auto& item : items) {
        const auto id = Uuid::parse(item.recoveryRecordID);
        std::optional<std::size_t> found;
        for (std::size_t r = 0; id && r < trashedBundles.size(); ++r) {
            if (trashedBundles[r].id != *id) {
                continue;
            }
            if (found) {
                throw PrivilegedInventoryCommitError(PrivilegedInventoryCommitFailure::duplicateInventoryRecord);
            }
            found = r;
        }
        if (!found) {
            throw PrivilegedInventoryCommitError(PrivilegedInventoryCommitFailure::missingInventoryRecord);
        }
        if (!taken.insert(*found).second) {
            throw PrivilegedInventoryCommitError(PrivilegedInventoryCommitFailure::duplicateInventoryRecord);
        }
        matched.push_back(*found);
    }

    std::vector<HistoryItem> added;
    for (const auto r : matched) {
        auto& record = trashedBundles[r];
        if (record.reconciledDate) {
            continue;  // closed before
        }
        record.reconciledDate = moment.now;
        record.restoreTransactionID = transactionID;
        added.push_back(makeHistoryItem(
            record.pluginName, HistoryKind::trashRestore,
            "Restored " + record.format + " bundle from Finder Trash to its exact recorded original location",
            moment.timeText, transactionID, record.format));
    }
    prependAll(history, std::move(added));
}

}  // namespace kestrova
