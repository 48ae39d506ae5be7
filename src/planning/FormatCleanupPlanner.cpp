#include "planning/FormatCleanupPlanner.h"

#include "model/PluginLocations.h"
#include "model/ProductStatus.h"
#include "planning/ActionableBundles.h"
#include "planning/BundleActionPlan.h"
#include "planning/ByteCountParsing.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace kestrova {
namespace {

std::size_t formatRank(std::string_view format) {
    const auto found = std::find(formats::all.begin(), formats::all.end(), format);
    return static_cast<std::size_t>(found - formats::all.begin());  // unknown formats rank last
}

FormatCleanupExclusion bundleExclusion(const Plugin& product, const PluginBundleSelection& selection,
                                       const std::string& format, FormatCleanupExclusionReason reason,
                                       std::string_view text) {
    return FormatCleanupExclusion{selection, product.name, format, reason,
                                  product.name + " — " + format + std::string(text)};
}

struct PendingCandidate {
    const Plugin* product;
    FormatCleanupCandidate candidate;
};

// Why a targeted bundle stays where it is, or nothing when it is a candidate;
// `resolved` receives the checked location.
std::optional<FormatCleanupExclusion> exclusionFor(const Plugin& product, const PluginBundleRecord& record,
                                                   const PluginBundleSelection& selection, const std::string& format,
                                                   bool hasPendingTransaction, SafeLocationChecker& locations,
                                                   bool verifyBundlesExist, std::string& resolved) {
    using Reason = FormatCleanupExclusionReason;
    if (hasPendingTransaction) {
        return bundleExclusion(product, selection, format, Reason::pendingTransaction,
                               ": A previous privileged transaction still needs reconciliation.");
    }
    if (isShellProduct(product)) {
        return bundleExclusion(product, selection, format, Reason::mandatoryShell,
                               ": Shared shells and shell-hosted products are permanently excluded.");
    }
    if (record.isProtected) {
        return bundleExclusion(product, selection, format, Reason::protectedBundle, ": This format is protected.");
    }
    if (record.isQuarantined()) {
        return bundleExclusion(product, selection, format, Reason::alreadyQuarantined,
                               ": This format is already in reversible quarantine.");
    }
    constexpr std::string_view unsafeText = ": The recorded bundle path or extension is not safe for a preset action.";
    const auto extension = bundleExtension(format, locations.profile());
    if (extension.empty() || lowercased(pathExtension(record.path)) != extension) {
        return bundleExclusion(product, selection, format, Reason::unsafePath, unsafeText);
    }
    auto location = locations.check(record.path);
    if (!location) {
        return bundleExclusion(product, selection, format, Reason::unsafePath, unsafeText);
    }
    if (verifyBundlesExist && !locations.lastCheckedExists()) {
        return bundleExclusion(product, selection, format, Reason::missingBundle,
                               ": The scanned bundle is no longer present.");
    }
    resolved = std::move(*location);
    return std::nullopt;
}

bool losesAllActiveFormats(const Plugin& product, const std::unordered_set<std::string>& candidateKeys) {
    bool anyActive = false;
    for (const auto& record : bundleRecords(product)) {
        if (record.isQuarantined()) {
            continue;
        }
        anyActive = true;
        if (!candidateKeys.contains(record.id())) {
            return false;
        }
    }
    return anyActive;
}

}  // namespace

bool presetTargetsFormat(FormatCleanupPresetKind preset, const std::set<std::string>& customFormats,
                         const std::string& format) {
    switch (preset) {
        case FormatCleanupPresetKind::auOnly:
            return format != formats::au;
        case FormatCleanupPresetKind::auAndVST3:
            return format != formats::au && format != formats::vst3;
        case FormatCleanupPresetKind::retireVST2:
            return format == formats::vst2;
        case FormatCleanupPresetKind::noAAX:
            return format == formats::aax;
        case FormatCleanupPresetKind::custom:
            return customFormats.contains(format);
    }
    return false;
}

FormatCleanupPlan buildFormatCleanupPlan(FormatCleanupPresetKind preset, const std::set<std::string>& customFormats,
                                         const std::vector<Plugin>& plugins,
                                         const InventoryRevisionToken& currentRevision,
                                         const std::optional<InventoryRevisionToken>& expectedRevision,
                                         bool hasPendingTransaction, const FileSystem& fileSystem,
                                         const SystemLayout& layout, bool verifyBundlesExist) {
    FormatCleanupPlan plan;
    plan.id = Uuid::random();
    plan.preset = preset;
    plan.inventoryRevision = currentRevision;
    for (const auto& format : customFormats) {
        plan.customFormatsToQuarantine.insert(normalizedFormat(format));
    }

    if (expectedRevision && *expectedRevision != currentRevision) {
        plan.exclusions.push_back(
            {std::nullopt, "Inventory", std::nullopt, FormatCleanupExclusionReason::staleInventory,
             "The inventory changed after this preset was previewed. Build a new preview before moving any files."});
        return plan;
    }

    // Sort keys once per product rather than collating each pair again.
    struct SortedProduct {
        std::string manufacturerKey;
        std::string nameKey;
        const Plugin* product;
    };
    std::vector<SortedProduct> sorted;
    sorted.reserve(plugins.size());
    for (const auto& plugin : plugins) {
        sorted.push_back(
            {localizedStandardSortKey(plugin.manufacturer), localizedStandardSortKey(plugin.name), &plugin});
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](const SortedProduct& a, const SortedProduct& b) {
        if (a.manufacturerKey != b.manufacturerKey) {
            return a.manufacturerKey < b.manufacturerKey;
        }
        return a.nameKey < b.nameKey;
    });
    std::vector<const Plugin*> products;
    products.reserve(sorted.size());
    for (const auto& entry : sorted) {
        products.push_back(entry.product);
    }

    SafeLocationChecker locations(layout, fileSystem);
    std::vector<PendingCandidate> pending;
    for (const auto* product : products) {
        auto records = actionableBundleRecords(*product);
        if (records.empty()) {
            if (product->status == PluginStatus::hostedByShell) {
                plan.exclusions.push_back({std::nullopt, product->name, std::nullopt,
                                           FormatCleanupExclusionReason::mandatoryShell,
                                           product->name + " is hosted by a shared WaveShell and cannot be moved as an "
                                                           "independent plugin bundle."});
            }
            continue;
        }
        std::vector<std::pair<std::string, PluginBundleRecord>> bundles;
        bundles.reserve(records.size());
        for (auto& record : records) {
            auto format = normalizedFormat(record.format);
            bundles.emplace_back(std::move(format), std::move(record));
        }
        std::stable_sort(bundles.begin(), bundles.end(), [](const auto& a, const auto& b) {
            const auto rankA = formatRank(a.first);
            const auto rankB = formatRank(b.first);
            if (rankA != rankB) {
                return rankA < rankB;
            }
            return localizedStandardCompare(a.second.path, b.second.path) < 0;
        });

        for (const auto& [format, record] : bundles) {
            if (!presetTargetsFormat(preset, plan.customFormatsToQuarantine, format)) {
                continue;
            }
            const PluginBundleSelection selection{product->id, record.id()};
            std::string resolved;
            if (auto exclusion = exclusionFor(*product, record, selection, format, hasPendingTransaction, locations,
                                              verifyBundlesExist, resolved)) {
                plan.exclusions.push_back(std::move(*exclusion));
                continue;
            }
            pending.push_back(
                {product, FormatCleanupCandidate{selection, product->name, product->manufacturer, format,
                                                 std::move(resolved), parseDisplaySize(record.size), false, true}});
        }
    }

    // A product whose every active bundle is a candidate would be left with
    // nothing to load; its candidates need an explicit opt-in.
    std::unordered_map<Uuid, std::unordered_set<std::string>> candidateKeys;
    std::vector<const Plugin*> productsWithCandidates;
    for (const auto& entry : pending) {
        auto [slot, inserted] = candidateKeys.try_emplace(entry.product->id);
        if (inserted) {
            productsWithCandidates.push_back(entry.product);
        }
        slot->second.insert(entry.candidate.selection.bundleID);
    }
    std::unordered_set<Uuid> losing;
    for (const auto* product : productsWithCandidates) {
        if (losesAllActiveFormats(*product, candidateKeys.at(product->id))) {
            losing.insert(product->id);
            plan.warnings.push_back({FormatCleanupWarningKind::noActiveFormatRemaining, product->id,
                                     product->name +
                                         " would have no active format remaining. Its candidates are unchecked by "
                                         "default and require an explicit opt-in."});
        }
    }
    std::stable_sort(plan.warnings.begin(), plan.warnings.end(),
                     [](const FormatCleanupWarning& a, const FormatCleanupWarning& b) { return a.detail < b.detail; });

    plan.candidates.reserve(pending.size());
    for (auto& entry : pending) {
        entry.candidate.removesLastActiveFormat = losing.contains(entry.product->id);
        entry.candidate.selectedByDefault = !entry.candidate.removesLastActiveFormat;
        plan.candidates.push_back(std::move(entry.candidate));
    }

    const auto count = plan.candidates.size();
    if (count > maximumBundlesPerTransaction) {
        const auto transactions = (count + maximumBundlesPerTransaction - 1) / maximumBundlesPerTransaction;
        plan.warnings.push_back({FormatCleanupWarningKind::largeRunRequiresMultipleTransactions, std::nullopt,
                                 std::to_string(count) + " eligible bundles require " + std::to_string(transactions) +
                                     " sequential helper transactions. Each child stays atomic; the full run is not "
                                     "globally atomic."});
    }
    return plan;
}

}  // namespace kestrova
