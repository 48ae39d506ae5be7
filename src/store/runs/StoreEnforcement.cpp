// Permanent-quarantine enforcement after a scan found exact replacements of
// quarantined bundles. Each batch is two verified transactions: the old
// quarantined copies go to the Finder Trash first, and only then are the
// reinstalled copies quarantined, so a reinstalled bundle is never moved
// while its old copy still holds the quarantine place. Any step that does not
// verify stops everything; the outcome is told through the scan notice.
#include "helperclient/PluginManagementService.h"
#include "model/ProductStatus.h"
#include "store/PluginInventoryStore.h"
#include "store/journal/CrashPoint.h"
#include "store/journal/TransactionRoad.h"

#include <fmt/format.h>

namespace kestrova {
namespace {

using Matches = std::vector<PermanentQuarantineMatch>;

constexpr std::string_view crashScope = "enforcement";
// The old copies are in the Finder Trash; the reinstalled ones still active.
constexpr std::string_view betweenTrashAndQuarantine = "trash-committed";

// The first batch and everything after it, in order. A batch's old copies
// are all on one side and its reinstalled copies too, since each of its two
// transactions goes to one side's helper: the batch is the first match and
// the matches after it of the same sides, up to one transaction's size.
std::pair<Matches, Matches> splitBatch(Matches matches, const PluginInventoryStore& store) {
    if (matches.empty()) {
        return {};
    }
    const auto sidesOf = [&store](const PermanentQuarantineMatch& match) {
        return std::pair{store.sideOf(match.active), store.sideOf(match.retired)};
    };
    const auto first = sidesOf(matches.front());
    Matches batch;
    Matches remainder;
    for (auto& match : matches) {
        if (batch.size() < maximumBundlesPerTransaction && sidesOf(match) == first) {
            batch.push_back(std::move(match));
        } else {
            remainder.push_back(std::move(match));
        }
    }
    return {std::move(batch), std::move(remainder)};
}

// The reinstalled bundle found again in the inventory the Trash commit left
// (it may have been removed by hand meanwhile): in the first product that may
// be moved on its own and still holds it active.
std::optional<PluginBundleSelection> activeSelection(const std::vector<Plugin>& plugins, const std::string& bundleID) {
    for (const auto& product : plugins) {
        if (isSharedShell(product) || product.status == PluginStatus::hostedByShell) {
            continue;
        }
        for (const auto& record : bundleRecords(product)) {
            if (!record.isQuarantined() && record.id() == bundleID) {
                return PluginBundleSelection{product.id, bundleID};
            }
        }
    }
    return std::nullopt;
}

void enforceBatch(PluginInventoryStore& store, Matches batch, Matches remainder, PluginManagementService& service);

// The batch's old copies are in the Finder Trash: its reinstalled copies go
// into quarantine, found again in the inventory the Trash commit left.
void quarantineReinstalled(PluginInventoryStore& store, Matches batch, Matches remainder,
                           PluginManagementService& service) {
    crashPoint(crashScope, betweenTrashAndQuarantine);
    std::vector<PluginBundleSelection> reinstalled;
    reinstalled.reserve(batch.size());
    for (const auto& match : batch) {
        auto selection = activeSelection(store.plugins(), match.active.bundleID);
        if (!selection) {
            break;
        }
        reinstalled.push_back(std::move(*selection));
    }
    // A side whose helper cannot take the move ends enforcement with the scan
    // notice alone, before anything is journaled.
    const bool sent =
        reinstalled.size() == batch.size() &&
        !service.blockingReason(TransactionKind::quarantine, store.sideOf(reinstalled.front())) &&
        runTransaction(
            store, service, TransactionKind::quarantine, std::nullopt,
            [&] { return store.prepare(TransactionKind::quarantine, reinstalled, store.inventoryRevision()); },
            [&store, &service, count = batch.size(), remainder = std::move(remainder)](const PrivilegedRequest&,
                                                                                       bool committed) mutable {
                if (!committed) {
                    store.setLastScanNotice(
                        "Permanent Quarantine retired the prior copies to Finder Trash, but the reinstalled bundles "
                        "remain active because their quarantine transaction did not verify.");
                    store.save();
                    return;
                }
                store.setLastScanNotice(
                    fmt::format("Permanent Quarantine replaced {} exact bundle {}: old copies are in Finder Trash "
                                "and replacements are safely quarantined.",
                                count, count == 1 ? "copy" : "copies"));
                store.save();
                auto [next, rest] = splitBatch(std::move(remainder), store);
                enforceBatch(store, std::move(next), std::move(rest), service);
            });
    if (!sent) {
        store.setLastScanNotice(
            "Permanent Quarantine retired the prior copies to Finder Trash, but did not move the reinstalled "
            "bundles. They remain active for review.");
        store.save();
    }
}

// One batch: its Trash transaction, then (from that completion) its
// quarantine transaction, then (from that one) the next batch.
void enforceBatch(PluginInventoryStore& store, Matches batch, Matches remainder, PluginManagementService& service) {
    if (batch.empty()) {
        return;
    }
    std::vector<PluginBundleSelection> retired;
    retired.reserve(batch.size());
    for (const auto& match : batch) {
        retired.push_back(match.retired);
    }
    // A batch is one side's; a side whose helper cannot take it moves nothing.
    const bool sent =
        !service.blockingReason(TransactionKind::trash, store.sideOf(retired.front())) &&
        runTransaction(
            store, service, TransactionKind::trash, std::nullopt,
            [&] { return store.prepare(TransactionKind::trash, retired, store.inventoryRevision()); },
            [&store, &service, batch = std::move(batch), remainder = std::move(remainder)](const PrivilegedRequest&,
                                                                                           bool committed) mutable {
                if (!committed) {
                    store.setLastScanNotice(
                        "Permanent Quarantine stopped: the retired quarantine copy could not be verified in Finder "
                        "Trash. The reinstalled bundle remains active.");
                    store.save();
                    return;
                }
                quarantineReinstalled(store, std::move(batch), std::move(remainder), service);
            });
    if (!sent) {
        store.setLastScanNotice(
            "Permanent Quarantine stopped before moving any replacement bundle. Review the warning and rescan.");
        store.save();
    }
}

}  // namespace

void PluginInventoryStore::enforcePermanentQuarantine(std::vector<PermanentQuarantineMatch> matches,
                                                      PluginManagementService* service) {
    if (service == nullptr || !service->canSendPrivilegedRequest()) {
        setLastScanNotice(
            fmt::format("Scan complete. {} exact permanent-quarantine replacements found, but Plugin "
                        "Management was unavailable; no files were moved.",
                        matches.size()));
        save();
        return;
    }
    auto [batch, remainder] = splitBatch(std::move(matches), *this);
    enforceBatch(*this, std::move(batch), std::move(remainder), *service);
}

}  // namespace kestrova
