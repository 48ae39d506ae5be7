// Bringing bundles back from the Finder Trash: one privileged transaction,
// the same sequence kestrova-cli runs. The store writes the journal before
// the request leaves and commits the helper's reply on the main thread.
#pragma once

#include "platform/Uuid.h"

#include <functional>
#include <vector>

namespace kestrova {
class PluginInventoryStore;
class PluginManagementService;
}  // namespace kestrova

namespace kestrova::ui {

// Sends the restore of `recordIDs` and returns true, or returns false having
// sent nothing (the helper cannot take a request, or the store refused with a
// notice). `finished` runs after the reply was committed or refused, with
// whether the commit succeeded. The store and the service must outlive the
// reply; the session guarantees that.
bool startTrashRestore(PluginInventoryStore& store, PluginManagementService& service,
                       const std::vector<Uuid>& recordIDs, std::function<void(bool committed)> finished = {});

}  // namespace kestrova::ui
