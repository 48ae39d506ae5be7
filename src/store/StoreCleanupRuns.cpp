// Cleanup preset runs: the run journals and their closing at start-up.
#include "store/PluginInventoryStore.h"

namespace kestrova {

// A run left pending stays pending until it can be finished from what is
// still in quarantine.
// TODO: finish pending runs as completed, partially completed or canceled
// when no privileged journal is pending.
void PluginInventoryStore::closePendingCleanupRuns() {}

}  // namespace kestrova
