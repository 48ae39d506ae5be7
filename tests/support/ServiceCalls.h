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

}  // namespace kestrova::testing
