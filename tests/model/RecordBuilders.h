// Product and bundle records as a scan and a quarantine leave them, for the
// model's and the planners' tests.
#pragma once

#include "model/DiscoveredBundle.h"
#include "model/Plugin.h"

#include <string>
#include <vector>

namespace kestrova::testing {

inline PluginBundleRecord bundleRecord(std::string format, std::string path, std::string size = "1.5 MB") {
    PluginBundleRecord record;
    record.format = std::move(format);
    record.architecture = "Universal";
    record.size = std::move(size);
    record.path = std::move(path);
    return record;
}

inline Plugin product(std::string name, std::string manufacturer, std::vector<PluginBundleRecord> bundles) {
    Plugin plugin;
    plugin.id = Uuid::random();
    plugin.name = std::move(name);
    plugin.manufacturer = std::move(manufacturer);
    plugin.version = "1.0";
    for (const auto& bundle : bundles) {
        plugin.formats.push_back(bundle.format);
    }
    plugin.architecture = "Universal";
    plugin.size = "3 MB";
    plugin.path = bundles.empty() ? std::string() : bundles.front().path;
    plugin.bundles = std::move(bundles);
    return plugin;
}

// Marks a bundle as quarantined under `root` with a fresh operation ID and
// returns the quarantine location.
inline std::string quarantine(PluginBundleRecord& record, const std::string& root) {
    const auto operationID = Uuid::random().string();
    const auto name = record.path.substr(record.path.rfind('/') + 1);
    record.originalPath = record.path;
    record.quarantineOperationID = operationID;
    record.quarantinePath = root + "/" + operationID + "/" + name;
    return *record.quarantinePath;
}

inline DiscoveredBundle discovered(std::string name, std::string format, std::string path, std::string version = "1.0",
                                   std::string manufacturer = "Acme", std::string architecture = "Universal",
                                   std::int64_t size = 1000) {
    return DiscoveredBundle{std::move(name),
                            std::move(manufacturer),
                            std::move(version),
                            std::move(format),
                            std::move(architecture),
                            size,
                            std::move(path),
                            {},
                            false};
}

}  // namespace kestrova::testing
