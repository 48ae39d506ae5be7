#include "store/journal/TransactionRoad.h"

#include "helperclient/PluginManagementService.h"
#include "store/PluginInventoryStore.h"

#include <string>
#include <utility>

namespace kestrova {

bool runTransaction(PluginInventoryStore& store, PluginManagementService& service, TransactionKind kind,
                    std::optional<BundleSide> side, const std::function<std::optional<PrivilegedRequest>()>& prepare,
                    TransactionDone done, std::optional<std::weak_ptr<const void>> callerAlive) {
    // No journal may be written for a request its helper cannot take.
    if (side) {
        if (const auto reason = service.blockingReason(kind, *side)) {
            store.showWarning(std::string(describe(kind).texts.blockedTitle), *reason);
            return false;
        }
    }
    auto request = prepare();
    if (!request) {
        return false;
    }
    service.send(*request, [&store, alive = store.lifetime(), callerAlive = std::move(callerAlive), request = *request,
                            done = std::move(done)](PrivilegedResult result) {
        if (alive.expired() || (callerAlive && callerAlive->expired())) {
            return;
        }
        const bool committed = store.complete(result);
        if (done) {
            done(request, committed);
        }
    });
    return true;
}

}  // namespace kestrova
