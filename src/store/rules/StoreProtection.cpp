// Protection changes: a whole product (kept by its key across rescans), a
// batch of products, and one format bundle, which is undone completely when
// the state file cannot be written. None of them moves a file.
#include "model/ProductStatus.h"
#include "store/PluginInventoryStore.h"
#include "store/rules/ProtectionRules.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>

namespace kestrova {
namespace {

HistoryItem productProtectionItem(const Plugin& product, bool isProtected, bool inBatch) {
    const auto* detail =
        isProtected ? (inBatch ? "Protected as part of a batch selection" : "All detected formats protected")
                    : (inBatch ? "Protection removed as part of a batch selection" : "Manual protection removed");
    return makeHistoryItem(product.name, isProtected ? HistoryKind::protection : HistoryKind::protectionRemoved, detail,
                           historyTimeText(Date::now()));
}

}  // namespace

void PluginInventoryStore::applyProductProtection(const std::string& key, bool isProtected) {
    if (isProtected) {
        protectedKeys_.insert(key);
    } else {
        protectedKeys_.erase(key);
    }
    bool changed = false;
    for (auto& product : plugins_) {
        if (productKey(product) != key) {
            continue;
        }
        materializeBundles(product);
        if (product.bundles) {
            for (auto& bundle : *product.bundles) {
                bundle.isProtected = isProtected;
            }
        }
        product.isProtected = isProtected;
        product.status = derivedStatus(product);
        changed = true;
    }
    if (changed) {
        published(storeField::plugins);
    }
}

void PluginInventoryStore::setProtection(const Plugin& product, bool isProtected) {
    if (!isProtected && hasMandatoryProtection(product)) {
        return;
    }
    applyProductProtection(productKey(product), isProtected);
    prependHistory(productProtectionItem(product, isProtected, false));
    if (isProtected) {
        setNotice(
            OperationNotice::success("Plugin Protected", product.name + " is locked against quarantine and Trash."));
    } else {
        setNotice(OperationNotice::success("Protection Removed", "No files were moved."));
    }
    save();
}

void PluginInventoryStore::setProtectionForBatch(const std::vector<Plugin>& products, bool isProtected) {
    std::vector<std::pair<std::string, const Plugin*>> entries;
    for (const auto& product : products) {
        auto key = productKey(product);
        const bool seen =
            std::any_of(entries.begin(), entries.end(), [&](const auto& entry) { return entry.first == key; });
        if (!seen && (isProtected || !hasMandatoryProtection(product))) {
            entries.emplace_back(std::move(key), &product);
        }
    }
    if (entries.empty()) {
        return;
    }
    for (const auto& [key, product] : entries) {
        applyProductProtection(key, isProtected);
        prependHistory(productProtectionItem(*product, isProtected, true));
    }
    const auto count = entries.size();
    if (isProtected) {
        setNotice(OperationNotice::success(
            "Plugins Protected", fmt::format("{} selected plugins are locked against quarantine and Trash.", count)));
    } else {
        setNotice(OperationNotice::success(
            "Protection Removed",
            fmt::format("Protection was removed from {} selected plugins. No files were moved.", count)));
    }
    save();
}

bool PluginInventoryStore::setBundleProtection(const PluginBundleSelection& selection, bool isProtected) {
    using Outcome = BundleProtectionChange::Outcome;
    setLastOperationError(std::nullopt);
    if (fileActionsBlockedByStorage_) {
        showWarning("Protection Change Blocked",
                    "The local inventory must be upgraded safely before format protection can change.");
        return false;
    }
    const auto found = std::find_if(plugins_.begin(), plugins_.end(),
                                    [&](const Plugin& product) { return product.id == selection.pluginID; });
    if (found == plugins_.end()) {
        showWarning("Protection Change Blocked", "This plugin record changed. Run a new scan and try again.");
        return false;
    }
    const auto index = static_cast<std::size_t>(found - plugins_.begin());
    auto& product = *found;
    const auto savedProduct = product;
    const auto savedKeys = protectedKeys_;
    materializeBundles(product);
    const auto change = applyBundleProtection(product, selection, isProtected);

    if (change.outcome != Outcome::changed) {
        product = savedProduct;  // nothing is saved, so memory stays as the file has it
    }
    if (change.outcome == Outcome::refused) {
        showWarning("Protection Change Blocked",
                    change.refusedAsMandatory ? "Shared shells and WaveShell-hosted products have mandatory protection."
                                              : "This format record changed. Run a new scan and try again.");
        return false;
    }
    const auto& format = *change.format;
    if (change.outcome == Outcome::unchanged) {
        setNotice(
            OperationNotice::success(isProtected ? "Format Already Protected" : "Protection Already Removed",
                                     format + " already has the requested protection state. No files were moved."));
        return true;
    }

    if (!isProtected) {
        protectedKeys_.erase(productKey(product));
    }
    product.status = derivedStatus(product);
    published(storeField::plugins);
    const auto itemID =
        prependHistory(
            makeHistoryItem(
                product.name, isProtected ? HistoryKind::formatProtection : HistoryKind::formatProtectionRemoved,
                isProtected ? format + " format protected" : format + " format protection removed; no files moved",
                historyTimeText(Date::now()), std::nullopt, format))
            .id;

    const auto written = persistState();
    if (!written) {
        plugins_[index] = savedProduct;
        protectedKeys_ = savedKeys;
        std::erase_if(history_, [&](const HistoryItem& item) { return item.id == itemID; });
        published(storeField::plugins);
        published(storeField::history);
        setLastStorageError(written.error().message);
        showWarning("Protection Change Not Saved",
                    "Kestrova restored the previous protection state because the local inventory could not be saved.");
        return false;
    }
    setLastStorageError(std::nullopt);
    renewInventoryRevision();
    if (isProtected) {
        setNotice(OperationNotice::success(format + " Format Protected",
                                           "Only the selected " + format + " bundle is locked against file actions."));
    } else {
        setNotice(OperationNotice::success(format + " Protection Removed",
                                           "Only the selected " + format + " bundle changed. No files were moved."));
    }
    return true;
}

}  // namespace kestrova
