// How scanned bundles become products: one product per manufacturer and
// name, represented by its first bundle in format order.
#pragma once

#include "model/DiscoveredBundle.h"
#include "model/Plugin.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <numeric>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kestrova {

namespace architectures {
inline constexpr std::string_view appleSilicon = "Apple Silicon";
inline constexpr std::string_view intel = "Intel";
inline constexpr std::string_view universal = "Universal";
inline constexpr std::string_view unknown = "Unknown";
inline constexpr std::string_view mixed = "Mixed";
inline constexpr std::string_view viaWaveShell = "Via WaveShell";
}  // namespace architectures

inline constexpr std::string_view unavailableVersion = "Unavailable";

using ByteCountFormatter = std::function<std::string(std::uint64_t)>;

// One text for a set of bundle architectures: the value itself when they
// agree, "Mixed" when Universal meets another value or Apple Silicon meets
// Intel, else the distinct values sorted and joined with ", ".
std::string architectureSummary(std::span<const std::string> architectures);

// Grouping key and product key agree: manufacturer, "|", name, lower-cased.
std::string groupingKey(const DiscoveredBundle& bundle);

// Products sorted by manufacturer, then name, in plain string order.
std::vector<Plugin> groupIntoProducts(std::span<const DiscoveredBundle> bundles);

// std::stable_sort's order, each product moved once: a Plugin is large, and
// moving it at every merge step cost more than the comparisons.
template <typename Less>
void stableSortProducts(std::vector<Plugin>& products, Less less) {
    std::vector<std::size_t> order(products.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return less(products[a], products[b]); });
    // Position i takes the product at order[i]; each cycle of the
    // permutation is followed once, so no second vector of products is held.
    for (std::size_t start = 0; start < order.size(); ++start) {
        if (order[start] == start) {
            continue;
        }
        Plugin held = std::move(products[start]);
        std::size_t current = start;
        while (order[current] != start) {
            const auto next = order[current];
            products[current] = std::move(products[next]);
            order[current] = current;
            current = next;
        }
        products[current] = std::move(held);
        order[current] = current;
    }
}

// Absent only for an empty group. Sizes are rendered by `formatter`.
std::optional<Plugin> makeProduct(std::span<const DiscoveredBundle> group, const ByteCountFormatter& formatter);

}  // namespace kestrova
