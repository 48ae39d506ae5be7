#include "scan/LinuxProducts.h"

#include "model/Plugin.h"
#include "model/ProductGrouping.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace kestrova {

std::string withoutFormatSuffix(std::string_view stem) {
    static constexpr std::array<std::string_view, 5> suffixes{"-vst2", "-vst3", "-vst", "-lv2", "-clap"};
    const auto lower = lowercased(stem);
    for (const auto suffix : suffixes) {
        if (lower.size() > suffix.size() && lower.ends_with(suffix)) {
            return std::string(stem.substr(0, stem.size() - suffix.size()));
        }
    }
    return std::string(stem);
}

std::vector<DiscoveredBundle> linuxProductBundles(std::vector<LinuxDiscovery> discoveries) {
    // Names from descriptions win over file names: the first described
    // bundle of each file name lends its name, maker and version.
    std::unordered_map<std::string, std::size_t> describedByStem;
    for (std::size_t index = 0; index < discoveries.size(); ++index) {
        if (discoveries[index].isDescribed) {
            describedByStem.try_emplace(foldCase(discoveries[index].fileStem), index);
        }
    }
    if (!describedByStem.empty()) {
        for (auto& discovery : discoveries) {
            if (discovery.isDescribed || discovery.isSharedLibrary) {
                continue;
            }
            const auto found = describedByStem.find(foldCase(discovery.fileStem));
            if (found == describedByStem.end()) {
                continue;
            }
            const auto& described = discoveries[found->second].bundle;
            discovery.bundle.name = described.name;
            discovery.bundle.manufacturer = described.manufacturer;
            if (discovery.bundle.version == unavailableVersion) {
                discovery.bundle.version = described.version;
            }
        }
    }

    std::vector<DiscoveredBundle> bundles;
    bundles.reserve(discoveries.size());
    for (const auto& discovery : discoveries) {
        if (!discovery.isSharedLibrary) {
            bundles.push_back(discovery.bundle);
        }
    }
    for (auto& library : discoveries) {
        if (!library.isSharedLibrary) {
            continue;
        }
        const auto folder = deletingLastPathComponent(library.bundle.path);
        const auto fileName = lastPathComponent(library.bundle.path);
        std::vector<const DiscoveredBundle*> dependants;
        for (const auto& plugin : discoveries) {
            if (plugin.isSharedLibrary || plugin.bundle.format != library.bundle.format ||
                deletingLastPathComponent(plugin.bundle.path) != folder) {
                continue;
            }
            const bool loads = std::any_of(plugin.needed.begin(), plugin.needed.end(), [&](const std::string& name) {
                return name == fileName || (!library.soname.empty() && name == library.soname);
            });
            if (loads) {
                dependants.push_back(&plugin.bundle);
            }
        }
        if (dependants.empty()) {
            continue;  // nothing here loads it: not a product
        }
        auto component = std::move(library.bundle);
        component.isSharedComponent = true;
        component.manufacturer = dependants.front()->manufacturer;
        for (const auto* dependant : dependants) {
            if (std::find(component.pluginNames.begin(), component.pluginNames.end(), dependant->name) ==
                component.pluginNames.end()) {
                component.pluginNames.push_back(dependant->name);
            }
        }
        std::sort(component.pluginNames.begin(), component.pluginNames.end());
        bundles.push_back(std::move(component));
    }
    return bundles;
}

}  // namespace kestrova
