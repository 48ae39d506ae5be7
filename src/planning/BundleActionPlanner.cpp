#include "planning/BundleActionPlanner.h"

#include "planning/ActionableBundles.h"
#include "planning/ByteCountParsing.h"
#include "planning/PathRules.h"
#include "platform/Paths.h"

#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace kestrova {
namespace {

constexpr const char* staleDetail =
    "The inventory changed after this action was previewed. Review the current formats and try again.";
constexpr const char* pendingDetail = "A previous privileged plugin transaction still needs reconciliation.";
constexpr const char* duplicateDetail = "The same format bundle was selected more than once.";
constexpr const char* missingDetail = "This format record changed. Run a new scan and review the action again.";
constexpr const char* unsafeTrashDetail = "The current user’s Finder Trash is unavailable or unsafe.";

struct Refusal {
    BundleActionBlockingReason reason;
    std::string detail;
};

std::string prefixed(const Plugin& product, const PluginBundleRecord& record, std::string_view text) {
    return product.name + " — " + record.format + std::string(text);
}

// Random UUIDs are random in their first eight bytes already.
struct UuidPrefixHash {
    std::size_t operator()(const Uuid& uuid) const noexcept {
        std::uint64_t prefix = 0;
        std::memcpy(&prefix, uuid.bytes().data(), sizeof prefix);
        return static_cast<std::size_t>(prefix);
    }
};

// The selected products, found in one pass over the inventory. Indexing only
// the selected ids keeps a plan's cost close to its selection's size.
class SelectedProducts {
public:
    SelectedProducts(const std::vector<Plugin>& plugins, const std::vector<PluginBundleSelection>& selections) {
        byID_.reserve(selections.size());
        for (const auto& selection : selections) {
            byID_.emplace(selection.pluginID, nullptr);
        }
        std::size_t unresolved = byID_.size();
        for (const auto& plugin : plugins) {
            if (unresolved == 0) {
                break;
            }
            const auto found = byID_.find(plugin.id);
            if (found != byID_.end() && !found->second) {
                found->second = &plugin;  // the first of equal ids wins, as a search would
                --unresolved;
            }
        }
    }

    const Plugin* find(const Uuid& id) const {
        const auto found = byID_.find(id);
        return found == byID_.end() ? nullptr : found->second;
    }

private:
    std::unordered_map<Uuid, const Plugin*, UuidPrefixHash> byID_;
};

std::optional<PluginBundleRecord> findBundle(const Plugin& product, const std::string& bundleID) {
    if (product.bundles && !product.bundles->empty()) {
        for (const auto& record : *product.bundles) {
            if (record.id() == bundleID) {
                return record;
            }
        }
        return std::nullopt;
    }
    for (auto& record : actionableBundleRecords(product)) {
        if (record.id() == bundleID) {
            return record;
        }
    }
    return std::nullopt;
}

class Planner {
public:
    Planner(BundleActionKind kind, const PlanDiskContext& disk)
        : kind_(kind),
          disk_(disk),
          fileSystem_(disk.fileSystem),
          locations_(disk.layout, disk.fileSystem),
          quarantineRoot_(quarantineRoot(disk.layout)),
          userQuarantineRoot_(quarantineRoot(disk.layout, BundleSide::user)),
          trashFolder_(standardizedPath(disk.trashFolder ? *disk.trashFolder : defaultTrashFolder(disk.layout))) {}

    // Fills `item` with the paths for this kind, or says why it cannot run.
    std::optional<Refusal> check(const Plugin& product, const PluginBundleRecord& record, BundleActionPlanItem& item) {
        switch (kind_) {
            case BundleActionKind::protect:
            case BundleActionKind::removeProtection:
                item.sourcePath = record.quarantinePath ? *record.quarantinePath : record.path;
                return std::nullopt;
            case BundleActionKind::quarantine:
                return checkQuarantine(product, record, item);
            case BundleActionKind::restore:
                return checkRestore(product, record, item);
            case BundleActionKind::trash:
                return checkTrash(product, record, item);
        }
        return std::nullopt;
    }

private:
    bool existsOnDisk(const std::string& path) const { return fileSystem_.exists(path); }
    // Anything at all, a dangling link included, occupies a destination.
    bool occupied(const std::string& path) const { return fileSystem_.existsWithoutFollowing(path); }

    std::optional<Refusal> checkQuarantine(const Plugin& product, const PluginBundleRecord& record,
                                           BundleActionPlanItem& item) {
        if (record.isQuarantined()) {
            return Refusal{BundleActionBlockingReason::invalidState,
                           prefixed(product, record, ": This format is already quarantined.")};
        }
        if (record.isProtected) {
            return Refusal{BundleActionBlockingReason::protectedBundle,
                           prefixed(product, record, ": Remove format protection before quarantining this bundle.")};
        }
        const Refusal unsafe{
            BundleActionBlockingReason::unsafePath,
            prefixed(product, record,
                     ": The scanned path is missing or is not a verified bundle in a standard plugin folder.")};
        const auto source = locations_.check(record.path);
        if (!source || (disk_.verifyOnDisk && !locations_.lastCheckedExists())) {
            return unsafe;
        }
        auto operationID = Uuid::random().string();
        const auto& root = locations_.lastCheckedSide() == BundleSide::user ? userQuarantineRoot_ : quarantineRoot_;
        auto destination = standardizedPath(
            appendingPathComponent(appendingPathComponent(root, operationID), lastPathComponent(*source)));
        if (disk_.verifyOnDisk && occupied(destination)) {
            return Refusal{BundleActionBlockingReason::destinationExists,
                           prefixed(product, record, ": The protected quarantine destination already exists.")};
        }
        item.sourcePath = *source;
        item.destinationPath = std::move(destination);
        item.operationID = std::move(operationID);
        return std::nullopt;
    }

    // The original location and the verified quarantine location of a
    // quarantined record, when both pass their path rules.
    std::optional<std::pair<std::string, std::string>> recordedLocations(const PluginBundleRecord& record) {
        if (!record.originalPath || !record.quarantinePath || !record.quarantineOperationID) {
            return std::nullopt;
        }
        auto original = locations_.check(*record.originalPath);
        if (!original) {
            return std::nullopt;
        }
        // A bundle is quarantined on the side of the folder it came from.
        const auto& root = locations_.lastCheckedSide() == BundleSide::user ? userQuarantineRoot_ : quarantineRoot_;
        auto quarantined =
            verifiedQuarantineLocation(*record.quarantinePath, *record.quarantineOperationID,
                                       lastPathComponent(*original), root, fileSystem_, disk_.layout.profile);
        if (!quarantined) {
            return std::nullopt;
        }
        return std::pair{std::move(*original), std::move(*quarantined)};
    }

    std::optional<Refusal> checkRestore(const Plugin& product, const PluginBundleRecord& record,
                                        BundleActionPlanItem& item) {
        const Refusal invalid{
            BundleActionBlockingReason::invalidState,
            prefixed(product, record, ": The verified quarantine record is missing or no longer matches disk.")};
        auto locations = recordedLocations(record);
        if (!locations) {
            return invalid;
        }
        auto& [original, quarantined] = *locations;
        if (disk_.verifyOnDisk) {
            if (!existsOnDisk(quarantined)) {
                return invalid;
            }
            if (occupied(original)) {
                return Refusal{
                    BundleActionBlockingReason::destinationExists,
                    prefixed(product, record, ": A bundle already exists at the recorded original location.")};
            }
        }
        item.sourcePath = std::move(quarantined);
        item.destinationPath = std::move(original);
        item.operationID = record.quarantineOperationID;
        return std::nullopt;
    }

    std::optional<Refusal> checkTrash(const Plugin& product, const PluginBundleRecord& record,
                                      BundleActionPlanItem& item) {
        if (record.isProtected) {
            return Refusal{BundleActionBlockingReason::protectedBundle,
                           prefixed(product, record, ": Remove format protection before moving this bundle to Trash.")};
        }
        if (disk_.verifyOnDisk && !trashFolderIsSafe()) {
            return Refusal{BundleActionBlockingReason::unsafePath, unsafeTrashDetail};
        }
        const Refusal invalid{
            BundleActionBlockingReason::invalidState,
            prefixed(product, record, ": The verified quarantine record or a safe Trash destination is unavailable.")};
        auto locations = recordedLocations(record);
        if (!locations || (disk_.verifyOnDisk && !existsOnDisk(locations->second))) {
            return invalid;
        }
        const auto folder = trashFolderFor(locations->second);
        if (disk_.verifyOnDisk && folder != trashFolder_ && !isSafeTopdirTrashFolder(folder, fileSystem_)) {
            return Refusal{BundleActionBlockingReason::unsafePath, unsafeTrashDetail};
        }
        auto destination =
            trashDestination(locations->second, folder, takenTrashNames_, fileSystem_, disk_.layout.profile);
        if (!destination) {
            return invalid;
        }
        item.sourcePath = std::move(locations->second);
        item.destinationPath = std::move(destination);
        item.operationID = record.quarantineOperationID;
        return std::nullopt;
    }

    // The freedesktop Trash of the bundle's own file system, which is the
    // home Trash unless the quarantine is on another file system.
    std::string trashFolderFor(const std::string& source) const {
        if (disk_.layout.profile != PlatformProfile::gnuLinux) {
            return trashFolder_;
        }
        return freedesktopTrashFolderFor(source, trashFolder_, disk_.layout.userID, fileSystem_);
    }

    bool trashFolderIsSafe() {
        if (!trashFolderSafe_) {
            trashFolderSafe_ = isSafeTrashFolder(trashFolder_, fileSystem_);
        }
        return *trashFolderSafe_;
    }

    BundleActionKind kind_;
    const PlanDiskContext& disk_;
    const FileSystem& fileSystem_;
    SafeLocationChecker locations_;
    std::string quarantineRoot_;
    std::string userQuarantineRoot_;
    std::string trashFolder_;
    std::optional<bool> trashFolderSafe_;
    TakenTrashNames takenTrashNames_;
};

std::set<Uuid> productsLosingAllActiveFormats(const SelectedProducts& products,
                                              const std::vector<BundleActionPlanItem>& items) {
    std::unordered_map<Uuid, std::unordered_set<std::string>, UuidPrefixHash> selected;
    for (const auto& item : items) {
        selected[item.selection.pluginID].insert(item.selection.bundleID);
    }
    std::set<Uuid> losing;
    for (const auto& [id, bundleIDs] : selected) {
        const auto* product = products.find(id);
        if (!product) {
            continue;
        }
        bool anyActive = false;
        bool allActiveSelected = true;
        for (const auto& record : actionableBundleRecords(*product)) {
            if (record.isQuarantined()) {
                continue;
            }
            anyActive = true;
            if (!bundleIDs.contains(record.id())) {
                allActiveSelected = false;
                break;
            }
        }
        if (anyActive && allActiveSelected) {
            losing.insert(id);
        }
    }
    return losing;
}

}  // namespace

BundleActionPlan planBundleAction(BundleActionKind kind, const std::vector<PluginBundleSelection>& selections,
                                  const std::vector<Plugin>& plugins, const InventoryRevisionToken& currentRevision,
                                  const std::optional<InventoryRevisionToken>& expectedRevision,
                                  const std::optional<Uuid>& presetRunID, bool hasPendingTransaction,
                                  const PlanDiskContext& disk) {
    BundleActionPlan plan;
    plan.id = Uuid::random();
    plan.operation = kind;
    plan.inventoryRevision = currentRevision;
    plan.presetRunID = presetRunID;

    // A stale preview or an unreconciled journal blocks everything before
    // the disk is looked at.
    const bool stale = expectedRevision && *expectedRevision != currentRevision;
    if (stale || hasPendingTransaction) {
        const auto reason =
            stale ? BundleActionBlockingReason::staleInventory : BundleActionBlockingReason::pendingTransaction;
        for (const auto& selection : selections) {
            plan.blockedSelections.push_back({selection, reason, stale ? staleDetail : pendingDetail});
        }
        return plan;
    }

    Planner planner(kind, disk);
    const SelectedProducts index(plugins, selections);
    std::unordered_set<PluginBundleSelection> seen;
    seen.reserve(selections.size());
    for (const auto& selection : selections) {
        if (!seen.insert(selection).second) {
            plan.blockedSelections.push_back(
                {selection, BundleActionBlockingReason::duplicateSelection, duplicateDetail});
            continue;
        }
        const auto* product = index.find(selection.pluginID);
        const auto record = product ? findBundle(*product, selection.bundleID) : std::nullopt;
        if (!record) {
            plan.blockedSelections.push_back({selection, BundleActionBlockingReason::missingBundle, missingDetail});
            continue;
        }
        if (isShellProduct(*product)) {
            plan.blockedSelections.push_back(
                {selection, BundleActionBlockingReason::mandatoryProtection,
                 prefixed(*product, *record,
                          ": Shared shells and WaveShell-hosted products cannot be moved as independent bundles.")});
            continue;
        }
        BundleActionPlanItem item;
        if (auto refusal = planner.check(*product, *record, item)) {
            plan.blockedSelections.push_back({selection, refusal->reason, std::move(refusal->detail)});
            continue;
        }
        item.selection = selection;
        item.pluginName = product->name;
        item.manufacturer = product->manufacturer;
        item.format = record->format;
        item.sizeInBytes = parseDisplaySize(record->size);
        plan.items.push_back(std::move(item));
    }

    if (selections.size() > maximumBundlesPerTransaction) {
        plan.blockedSelections.push_back({selections.front(), BundleActionBlockingReason::tooManyItems,
                                          "One verified transaction can contain no more than " +
                                              std::to_string(maximumBundlesPerTransaction) + " format bundles."});
    }
    if (kind == BundleActionKind::quarantine) {
        plan.productsLosingAllActiveFormats = productsLosingAllActiveFormats(index, plan.items);
    }
    return plan;
}

std::optional<std::string> planBlockingReason(const BundleActionPlan& plan) {
    if (!plan.blockedSelections.empty()) {
        return plan.blockedSelections.front().detail;
    }
    if (plan.items.empty()) {
        return "No eligible format bundles are selected.";
    }
    return std::nullopt;
}

}  // namespace kestrova
