#include "protocol/TransactionStatus.h"

#include <array>
#include <utility>

namespace kestrova {
namespace {

constexpr std::array<std::pair<HelperTransactionState, std::string_view>, 5> stateNames{{
    {HelperTransactionState::finished, "finished"},
    {HelperTransactionState::running, "running"},
    {HelperTransactionState::unknown, "unknown"},
    {HelperTransactionState::fenced, "fenced"},
    {HelperTransactionState::interrupted, "interrupted"},
}};

}  // namespace

std::string_view rawValue(HelperTransactionState state) {
    for (const auto& [value, name] : stateNames) {
        if (value == state) {
            return name;
        }
    }
    return "unknown";
}

std::optional<HelperTransactionState> helperTransactionStateFromRawValue(std::string_view raw) {
    for (const auto& [value, name] : stateNames) {
        if (name == raw) {
            return value;
        }
    }
    return std::nullopt;
}

Json encodeTransactionStatusArgument(std::string_view transactionID) { return Json{{"transactionID", transactionID}}; }

Result<std::string> decodeTransactionStatusArgument(const Json& argument) {
    if (!argument.is_object()) {
        return Error{"The transactionStatus argument is not an object."};
    }
    const auto id = argument.find("transactionID");
    if (id == argument.end() || !id->is_string() || id->get_ref<const std::string&>().empty()) {
        return Error{"The transactionStatus argument has no transactionID string."};
    }
    return id->get<std::string>();
}

Json encodeTransactionStatusReply(const TransactionStatusReply& reply) {
    Json json{{"transactionID", reply.transactionID}, {"state", rawValue(reply.state)}};
    if (reply.call) {
        json["call"] = callName(*reply.call);
    }
    if (reply.result) {
        json["result"] = *reply.result;
    }
    return json;
}

Result<TransactionStatusReply> decodeTransactionStatusReply(const Json& payload) {
    if (!payload.is_object()) {
        return Error{"The transactionStatus reply is not an object."};
    }
    TransactionStatusReply reply;
    const auto id = payload.find("transactionID");
    const auto state = payload.find("state");
    if (id == payload.end() || !id->is_string() || state == payload.end() || !state->is_string()) {
        return Error{"The transactionStatus reply has no transactionID or state."};
    }
    reply.transactionID = id->get<std::string>();
    const auto known = helperTransactionStateFromRawValue(state->get_ref<const std::string&>());
    if (!known) {
        return Error{"The transactionStatus reply names an unknown state."};
    }
    reply.state = *known;
    if (const auto call = payload.find("call"); call != payload.end()) {
        if (!call->is_string() || !helperCallFromName(call->get_ref<const std::string&>())) {
            return Error{"The transactionStatus reply names an unknown call."};
        }
        reply.call = helperCallFromName(call->get_ref<const std::string&>());
    }
    if (const auto result = payload.find("result"); result != payload.end() && result->is_object()) {
        reply.result = *result;
    }
    if (reply.state == HelperTransactionState::finished && (!reply.call || !reply.result)) {
        return Error{"A finished transaction's status carries no call or result."};
    }
    return reply;
}

}  // namespace kestrova
