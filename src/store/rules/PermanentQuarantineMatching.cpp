#include "store/rules/PermanentQuarantineMatching.h"

#include "model/ProductStatus.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <algorithm>
#include <map>
#include <unordered_set>

namespace kestrova {
namespace {

struct Candidate {
    PluginBundleSelection selection;
    const Plugin* product;
    const PluginBundleRecord* bundle;
};

struct Group {
    std::vector<Candidate> active;
    std::vector<Candidate> retired;
};

}  // namespace

std::string bundleIdentityKey(const Plugin& product, const PluginBundleRecord& bundle) {
    const auto& location = bundle.originalPath ? *bundle.originalPath : bundle.path;
    return manufacturerKey(product.manufacturer) + "|" +
           unicodeLowercased(foldCaseAndDiacritics(trimmedWhitespace(product.name))) + "|" +
           unicodeUppercased(bundle.format) + "|" + unicodeLowercased(lastPathComponent(location));
}

std::vector<PermanentQuarantineMatch> findPermanentQuarantineMatches(
    const std::vector<Plugin>& plugins, const std::vector<PermanentQuarantineRule>& rules) {
    std::unordered_set<std::string> ruleKeys;
    for (const auto& rule : rules) {
        ruleKeys.insert(rule.id());
    }
    if (ruleKeys.empty()) {
        return {};
    }

    std::map<std::string, Group> groups;
    for (const auto& product : plugins) {
        if (isSharedShell(product) || product.status == PluginStatus::hostedByShell || product.isProtected ||
            !product.bundles || !ruleKeys.contains(manufacturerKey(product.manufacturer))) {
            continue;
        }
        for (const auto& bundle : *product.bundles) {
            if (bundle.isProtected) {
                continue;
            }
            auto& group = groups[bundleIdentityKey(product, bundle)];
            Candidate candidate{PluginBundleSelection{product.id, bundle.id()}, &product, &bundle};
            (bundle.isQuarantined() ? group.retired : group.active).push_back(std::move(candidate));
        }
    }

    std::vector<PermanentQuarantineMatch> matches;
    for (const auto& [key, group] : groups) {
        if (group.active.size() != 1 || group.retired.size() != 1) {
            continue;  // nothing to replace, or ambiguous duplicates
        }
        const auto& active = group.active.front();
        matches.push_back(PermanentQuarantineMatch{active.selection, group.retired.front().selection,
                                                   active.product->name, active.product->manufacturer,
                                                   active.bundle->format});
    }
    std::stable_sort(matches.begin(), matches.end(), [](const auto& a, const auto& b) {
        return a.manufacturer != b.manufacturer ? a.manufacturer < b.manufacturer : a.pluginName < b.pluginName;
    });
    return matches;
}

}  // namespace kestrova
