// Which helper moves which bundle: a selection spanning the system's and the
// user's plug-in folders is cut into one group per side, so no transaction
// ever mixes the two.
#include "model/ProductStatus.h"
#include "planning/PathRules.h"
#include "store/PluginInventoryStore.h"

#include <algorithm>
#include <unordered_map>

namespace kestrova {
namespace {

template <typename Value>
std::vector<std::vector<Value>> grouped(const std::vector<Value>& values, const std::vector<BundleSide>& sides) {
    std::vector<Value> system;
    std::vector<Value> user;
    for (std::size_t index = 0; index < values.size(); ++index) {
        (sides[index] == BundleSide::user ? user : system).push_back(values[index]);
    }
    std::vector<std::vector<Value>> groups;
    for (auto* group : {&system, &user}) {
        if (!group->empty()) {
            groups.push_back(std::move(*group));
        }
    }
    return groups;
}

}  // namespace

namespace {

BundleSide sideOfBundle(const Plugin& product, const std::string& bundleID, const SystemLayout& layout) {
    for (const auto& record : bundleRecords(product)) {
        if (record.id() == bundleID) {
            return sideOfPath(record.originalPath ? *record.originalPath : record.path, layout);
        }
    }
    return BundleSide::system;
}

}  // namespace

BundleSide PluginInventoryStore::sideOf(const PluginBundleSelection& selection) const {
    const auto product = std::find_if(plugins_.begin(), plugins_.end(),
                                      [&](const Plugin& candidate) { return candidate.id == selection.pluginID; });
    return product == plugins_.end() ? BundleSide::system : sideOfBundle(*product, selection.bundleID, layout_);
}

std::vector<std::vector<PluginBundleSelection>> PluginInventoryStore::selectionsBySide(
    const std::vector<PluginBundleSelection>& selections) const {
    std::vector<BundleSide> sides(selections.size(), BundleSide::system);
    if (layout_.profile == PlatformProfile::gnuLinux) {
        std::unordered_map<Uuid, const Plugin*> products;
        for (const auto& product : plugins_) {
            products.emplace(product.id, &product);
        }
        for (std::size_t index = 0; index < selections.size(); ++index) {
            if (const auto found = products.find(selections[index].pluginID); found != products.end()) {
                sides[index] = sideOfBundle(*found->second, selections[index].bundleID, layout_);
            }
        }
    }
    return grouped(selections, sides);
}

BundleSide PluginInventoryStore::sideOfTrashRecord(const Uuid& recordID) const {
    const auto record = std::find_if(trashedBundles_.begin(), trashedBundles_.end(),
                                     [&](const TrashedBundleRecord& candidate) { return candidate.id == recordID; });
    return record == trashedBundles_.end() ? BundleSide::system : sideOfPath(record->originalPath, layout_);
}

std::vector<std::vector<Uuid>> PluginInventoryStore::trashRecordsBySide(const std::vector<Uuid>& recordIDs) const {
    std::vector<BundleSide> sides;
    sides.reserve(recordIDs.size());
    for (const auto& id : recordIDs) {
        sides.push_back(sideOfTrashRecord(id));
    }
    return grouped(recordIDs, sides);
}

}  // namespace kestrova
