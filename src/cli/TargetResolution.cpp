#include "cli/TargetResolution.h"

#include "model/ProductStatus.h"
#include "platform/Paths.h"
#include "platform/Text.h"

#include <fmt/format.h>

#include <algorithm>
#include <set>

namespace kestrova::cli {
namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) { return foldCase(a) == foldCase(b); }

std::string describe(const ProductTarget& target) {
    return target.manufacturer ? fmt::format("“{}” by “{}”", target.name, *target.manufacturer)
                               : fmt::format("“{}”", target.name);
}

std::string joined(const std::vector<std::string>& values, std::string_view separator = ", ") {
    std::string text;
    for (const auto& value : values) {
        text += text.empty() ? value : std::string(separator) + value;
    }
    return text;
}

std::vector<std::string> quoted(const std::vector<std::string>& values) {
    std::vector<std::string> result;
    for (const auto& value : values) {
        result.push_back("“" + value + "”");
    }
    return result;
}

std::vector<const Plugin*> matching(const std::vector<Plugin>& plugins, const ProductTarget& target, bool exact) {
    std::vector<const Plugin*> found;
    for (const auto& product : plugins) {
        const bool nameMatches = exact ? product.name == target.name : sameIgnoringCase(product.name, target.name);
        const bool manufacturerMatches =
            !target.manufacturer || (exact ? product.manufacturer == *target.manufacturer
                                           : sameIgnoringCase(product.manufacturer, *target.manufacturer));
        if (nameMatches && manufacturerMatches) {
            found.push_back(&product);
        }
    }
    return found;
}

Error unknownProduct(const std::vector<Plugin>& plugins, const ProductTarget& target) {
    // Names that contain what was typed are offered, never chosen.
    std::vector<std::string> suggestions;
    for (const auto& product : plugins) {
        if (localizedCaseInsensitiveContains(product.name, target.name) &&
            std::find(suggestions.begin(), suggestions.end(), product.name) == suggestions.end()) {
            suggestions.push_back(product.name);
        }
    }
    if (!suggestions.empty() && suggestions.size() <= 5) {
        return Error{fmt::format("No product named {} is in the inventory. Did you mean {}?", describe(target),
                                 joined(quoted(suggestions), " or "))};
    }
    return Error{
        fmt::format("No product named {} is in the inventory. “kestrova-cli list” shows the names.", describe(target))};
}

}  // namespace

std::vector<const Plugin*> matchingProducts(const std::vector<Plugin>& plugins, const ProductTarget& target) {
    auto exact = matching(plugins, target, true);
    return exact.empty() ? matching(plugins, target, false) : exact;
}

Result<const Plugin*> resolveProduct(const std::vector<Plugin>& plugins, const ProductTarget& target) {
    const auto found = matchingProducts(plugins, target);
    if (found.empty()) {
        return unknownProduct(plugins, target);
    }
    std::vector<std::string> distinct;
    std::set<std::string> keys;
    for (const auto* product : found) {
        if (keys.insert(productKey(*product)).second) {
            distinct.push_back(product->manufacturer + " — " + product->name);
        }
    }
    if (distinct.size() > 1) {
        return Error{fmt::format("{} names {} products: {}. Add --manufacturer to choose one.", describe(target),
                                 distinct.size(), joined(distinct))};
    }
    return found.front();
}

Result<ResolvedBundle> resolveBundle(const std::vector<Plugin>& plugins, const BundleTarget& target,
                                     const BundleFilter& filter) {
    const auto found = matchingProducts(plugins, target.product);
    if (found.empty()) {
        return unknownProduct(plugins, target.product);
    }
    const auto format = unicodeUppercased(trimmedWhitespace(target.format));
    const auto wantedPath = target.path ? std::optional(standardizedPath(*target.path)) : std::nullopt;
    std::vector<ResolvedBundle> candidates;
    std::set<std::string> formatsHeld;
    for (const auto* product : found) {
        for (auto& bundle : bundleRecords(*product)) {
            if (filter && !filter(bundle)) {
                continue;
            }
            formatsHeld.insert(bundle.format);
            if (unicodeUppercased(trimmedWhitespace(bundle.format)) != format) {
                continue;
            }
            const bool pathMatches = !wantedPath || standardizedPath(bundle.path) == *wantedPath ||
                                     (bundle.originalPath && standardizedPath(*bundle.originalPath) == *wantedPath);
            if (pathMatches) {
                auto selection = PluginBundleSelection{product->id, bundle.id()};
                candidates.push_back(ResolvedBundle{product, std::move(bundle), std::move(selection)});
            }
        }
    }
    if (candidates.size() == 1) {
        return std::move(candidates.front());
    }
    if (candidates.empty()) {
        if (wantedPath) {
            return Error{fmt::format("{} has no {} bundle at “{}”.", describe(target.product), format, *wantedPath)};
        }
        if (std::all_of(found.begin(), found.end(),
                        [](const Plugin* product) { return product->status == PluginStatus::hostedByShell; })) {
            return Error{fmt::format("{} lives inside the Waves shell and has no format bundle of its own.",
                                     describe(target.product))};
        }
        if (formatsHeld.empty()) {
            return Error{fmt::format("{} has no format bundle this command can act on.", describe(target.product))};
        }
        return Error{fmt::format("{} has no {} bundle this command can act on; it has {}.", describe(target.product),
                                 format, joined({formatsHeld.begin(), formatsHeld.end()}))};
    }
    std::vector<std::string> paths;
    for (const auto& candidate : candidates) {
        paths.push_back(candidate.bundle.path);
    }
    return Error{fmt::format("{} has {} {} bundles: {}. Add --path to choose one.", describe(target.product),
                             candidates.size(), format, joined(paths))};
}

}  // namespace kestrova::cli
