// What a product's bundles say about the whole product: its effective bundle
// records, whether it is a shared shell, how far it is protected and the
// status it must carry after any change to its bundles.
#pragma once

#include "model/Plugin.h"

#include <vector>

namespace kestrova {

enum class ProtectionCoverage { none, partial, full, mandatory };

// The product's bundles sorted by format, then path. Older records without
// bundles yield one synthesized record when they have exactly one format;
// products that only live inside the Waves shell have none.
std::vector<PluginBundleRecord> bundleRecords(const Plugin& product);

bool isSharedShell(const Plugin& product);
ProtectionCoverage protectionCoverage(const Plugin& product);
// ok, legacy, sharedShell or hostedByShell: the status before protection and
// quarantine are taken into account.
PluginStatus baseStatus(const Plugin& product);
// The status the product must carry after any change to its bundles'
// protection or location.
PluginStatus derivedStatus(const Plugin& product);
// Whether some format of the product is still installed (not quarantined):
// what the Inventory lists.
bool hasActiveFormat(const Plugin& product);

}  // namespace kestrova
