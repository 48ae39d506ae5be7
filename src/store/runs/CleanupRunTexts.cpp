#include "store/runs/CleanupRunTexts.h"

#include "platform/ByteCount.h"

#include <fmt/format.h>

#include <cstdint>
#include <unordered_set>

namespace kestrova {
namespace {

std::string_view plural(std::size_t count) { return count == 1 ? "" : "s"; }

}  // namespace

std::string cleanupConfirmationMessage(const FormatCleanupPlan& plan,
                                       const std::vector<PluginBundleSelection>& ticked) {
    const std::unordered_set<PluginBundleSelection> chosen(ticked.begin(), ticked.end());
    std::size_t bundles = 0;
    std::size_t leavingNoActiveFormat = 0;
    std::unordered_set<Uuid> products;
    std::int64_t bytes = 0;
    for (const auto& candidate : plan.candidates) {
        if (!chosen.contains(candidate.selection)) {
            continue;
        }
        ++bundles;
        products.insert(candidate.selection.pluginID);
        bytes += candidate.sizeInBytes.value_or(0);
        leavingNoActiveFormat += candidate.removesLastActiveFormat ? 1 : 0;
    }
    const auto size = bytes < 1 ? std::string("0 bytes") : formatFileByteCount(static_cast<std::uint64_t>(bytes));
    auto message = fmt::format(
        "Kestrova will move {} exact format bundle{} across {} product{} into reversible quarantine. This moves {}; "
        "it does not free disk space.",
        bundles, plural(bundles), products.size(), plural(products.size()), size);
    if (leavingNoActiveFormat > 0) {
        message += fmt::format(" You explicitly selected {} candidate{} that leave a product with no active format.",
                               leavingNoActiveFormat, plural(leavingNoActiveFormat));
    }
    return message;
}

std::string remainingInQuarantineText(std::size_t count) {
    return fmt::format("{} format {} remain in Quarantine", count, count == 1 ? "bundle" : "bundles");
}

std::string runRestoredText(std::size_t bundles, std::size_t transactions) {
    return fmt::format(
        "{} format bundles returned through the administrator-approved helper in {} verified "
        "transactions.",
        bundles, transactions);
}

}  // namespace kestrova
