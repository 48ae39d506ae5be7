// One kind's send, as the tests speak of it: the request made from an ID and
// items, the completion given that kind's result.
#pragma once

#include "helperclient/PluginManagementService.h"

#include <functional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace kestrova::testing {

template <typename Request>
void sendAs(PluginManagementService& service, std::string transactionID,
            std::vector<typename PrivilegedRequestTraits<Request>::Item> items,
            std::function<void(typename PrivilegedRequestTraits<Request>::ResultRecord)> completion) {
    using ResultRecord = typename PrivilegedRequestTraits<Request>::ResultRecord;
    service.send(Request{std::move(transactionID), std::move(items)},
                 [completion = std::move(completion)](PrivilegedResult result) {
                     completion(std::get<ResultRecord>(std::move(result)));
                 });
}

inline void sendQuarantine(PluginManagementService& service, std::string transactionID,
                           std::vector<PrivilegedQuarantineItem> items,
                           std::function<void(PrivilegedQuarantineResult)> completion) {
    sendAs<PrivilegedQuarantineRequest>(service, std::move(transactionID), std::move(items), std::move(completion));
}
inline void sendRestore(PluginManagementService& service, std::string transactionID,
                        std::vector<PrivilegedRestoreItem> items,
                        std::function<void(PrivilegedRestoreResult)> completion) {
    sendAs<PrivilegedRestoreRequest>(service, std::move(transactionID), std::move(items), std::move(completion));
}
inline void sendTrash(PluginManagementService& service, std::string transactionID,
                      std::vector<PrivilegedTrashItem> items, std::function<void(PrivilegedTrashResult)> completion) {
    sendAs<PrivilegedTrashRequest>(service, std::move(transactionID), std::move(items), std::move(completion));
}
inline void sendTrashRestore(PluginManagementService& service, std::string transactionID,
                             std::vector<PrivilegedTrashRestoreItem> items,
                             std::function<void(PrivilegedTrashRestoreResult)> completion) {
    sendAs<PrivilegedTrashRestoreRequest>(service, std::move(transactionID), std::move(items), std::move(completion));
}

}  // namespace kestrova::testing
