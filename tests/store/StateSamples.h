// Records for state-file tests: a product of the shape each case needs and a
// document that uses every record type with every optional field set.
#pragma once

#include "store/state/PersistedInventory.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestrova::testing {

inline PluginBundleRecord sampleBundle(std::string format, std::string path, bool isProtected = false) {
    PluginBundleRecord bundle;
    bundle.format = std::move(format);
    bundle.architecture = "Universal";
    bundle.size = "12.5 MB";
    bundle.path = std::move(path);
    bundle.isProtected = isProtected;
    return bundle;
}

inline Plugin sampleProduct(std::string manufacturer, std::string name, std::vector<std::string> formats,
                            PluginStatus status = PluginStatus::ok) {
    Plugin plugin;
    plugin.id = Uuid::random();
    plugin.name = std::move(name);
    plugin.manufacturer = std::move(manufacturer);
    plugin.version = "1.0";
    plugin.formats = std::move(formats);
    plugin.architecture = "Universal";
    plugin.size = "25 MB";
    plugin.path = "/Library/Audio/Plug-Ins/VST3/" + plugin.name + ".vst3";
    plugin.status = status;
    return plugin;
}

// The bundle at `original` recorded as moved into the quarantine folder of
// `operationID` under `root`; its path is still the original one.
inline PluginBundleRecord quarantinedBundle(
    std::string format, const std::string& original, const std::string& operationID,
    const std::string& root = "/Library/Application Support/Kestrova/Quarantine") {
    auto bundle = sampleBundle(std::move(format), original);
    bundle.originalPath = original;
    bundle.quarantinePath = root + "/" + operationID + "/" + original.substr(original.rfind('/') + 1);
    bundle.quarantineOperationID = operationID;
    return bundle;
}

// A record of an earlier build: one format quarantined by `operationID`,
// kept on the product itself without bundle records.
inline Plugin legacyQuarantinedProduct(std::string manufacturer, std::string name, std::string format,
                                       const std::string& original, const std::string& operationID = "OP") {
    auto product =
        sampleProduct(std::move(manufacturer), std::move(name), {std::move(format)}, PluginStatus::quarantined);
    product.originalPath = original;
    product.path = "/Library/Application Support/Kestrova/Quarantine/" + operationID + "/" +
                   original.substr(original.rfind('/') + 1);
    product.quarantinePath = product.path;
    product.quarantineOperationID = operationID;
    return product;
}

// A file under tests/data/store, whole.
inline std::string storeTestData(const std::string& name) {
    std::ifstream in(std::string(KESTROVA_SOURCE_DIR) + "/tests/data/store/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Every key of the document present and every optional field of every
// embedded record set, as a build of schema 3 wrote it: a round trip that
// drops anything shows, and so does a key renamed in reader and writer alike.
inline PersistedInventory fullState() {
    auto decoded = decodePersistedInventory(storeTestData("earlier-build-state.json"));
    if (!decoded) {
        throw std::runtime_error("tests/data/store/earlier-build-state.json: " + decoded.error().message);
    }
    return *decoded;
}

// The smallest document a build writes: the three required keys.
inline PersistedInventory minimalState() {
    PersistedInventory state;
    state.schemaVersion = currentInventorySchemaVersion;
    return state;
}

}  // namespace kestrova::testing
