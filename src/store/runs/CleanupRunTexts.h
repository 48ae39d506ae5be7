// The sentences the Format Cleanup screen and kestrova-cli show around a
// cleanup run, built in one place so both say exactly the same.
#pragma once

#include "model/PluginBundleSelection.h"
#include "planning/FormatCleanupPlan.h"

#include <cstddef>
#include <string>
#include <vector>

namespace kestrova {

// What confirming the ticked candidates will do: how many bundles of how many
// products move, how much they weigh, and how many of them leave a product
// with no active format.
std::string cleanupConfirmationMessage(const FormatCleanupPlan& plan, const std::vector<PluginBundleSelection>& ticked);

// "<n> format bundles remain in Quarantine", "bundle" when n is 1.
std::string remainingInQuarantineText(std::size_t count);

// What a run restore of more than one transaction returned, said once when
// it ends: "<n> format bundles returned through the administrator-approved
// helper in <k> verified transactions."
std::string runRestoredText(std::size_t bundles, std::size_t transactions);

}  // namespace kestrova
