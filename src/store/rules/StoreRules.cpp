// Permanent-quarantine rules: one per manufacturer key, switched on and off
// by the user and written at once; the in-memory list always equals what was
// last written.
#include "store/PluginInventoryStore.h"

#include <algorithm>

namespace kestrova {

std::vector<std::string> PluginInventoryStore::permanentQuarantineManufacturers() const {
    std::vector<std::string> manufacturers;
    manufacturers.reserve(plugins_.size());
    for (const auto& product : plugins_) {
        manufacturers.push_back(product.manufacturer);
    }
    std::sort(manufacturers.begin(), manufacturers.end());
    manufacturers.erase(std::unique(manufacturers.begin(), manufacturers.end()), manufacturers.end());
    return manufacturers;
}

bool PluginInventoryStore::isPermanentQuarantineEnabled(std::string_view manufacturer) const {
    const auto key = manufacturerKey(manufacturer);
    return std::any_of(permanentQuarantineRules_.begin(), permanentQuarantineRules_.end(),
                       [&](const PermanentQuarantineRule& rule) { return rule.id() == key; });
}

void PluginInventoryStore::setPermanentQuarantine(const std::string& manufacturer, bool enabled) {
    const auto key = manufacturerKey(manufacturer);
    auto previous = permanentQuarantineRules_;
    auto rules = permanentQuarantineRules_;
    std::erase_if(rules, [&](const PermanentQuarantineRule& rule) { return rule.id() == key; });
    if (enabled) {
        rules.push_back(PermanentQuarantineRule{manufacturer, Date::now()});
        std::stable_sort(rules.begin(), rules.end(),
                         [](const auto& a, const auto& b) { return a.manufacturer < b.manufacturer; });
    }
    assign(permanentQuarantineRules_, std::move(rules), storeField::permanentQuarantineRules);

    const auto written = persistState();
    if (!written) {
        assign(permanentQuarantineRules_, std::move(previous), storeField::permanentQuarantineRules);
        setLastStorageError(written.error().message);
        showWarning("Rule Change Not Saved",
                    "Kestrova restored the prior permanent-quarantine rule because local state could not be saved.");
        return;
    }
    setLastStorageError(std::nullopt);
    if (enabled) {
        setNotice(OperationNotice::success(
            "Permanent Quarantine Enabled",
            "Exact future replacements from " + manufacturer + " will be re-quarantined after a verified scan."));
    } else {
        setNotice(OperationNotice::success(
            "Permanent Quarantine Removed",
            "Future replacements from " + manufacturer + " will remain installed until reviewed."));
    }
}

}  // namespace kestrova
