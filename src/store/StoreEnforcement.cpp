// Permanent-quarantine enforcement after a scan found exact replacements of
// quarantined bundles.
#include "store/PluginInventoryStore.h"

#include <fmt/format.h>

namespace kestrova {

// Without a management service that can send privileged requests nothing is
// moved, and the scan notice says what was found.
// TODO: with a ready service, retire the quarantined copies to the Finder
// Trash and quarantine the reinstalled ones, batch by batch.
void PluginInventoryStore::enforcePermanentQuarantine(std::vector<PermanentQuarantineMatch> matches,
                                                      PluginManagementService* /*service*/) {
    setLastScanNotice(
        fmt::format("Scan complete. {} exact permanent-quarantine replacements found, but Plugin "
                    "Management was unavailable; no files were moved.",
                    matches.size()));
    save();
}

}  // namespace kestrova
