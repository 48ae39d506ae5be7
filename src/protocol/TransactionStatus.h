// The transactionStatus call: what the daemon knows of one transaction ID
// from its own ledger. A client that lost a reply (a crash, a deadline)
// asks before it reads the disk, because the disk alone cannot tell a
// transaction that never ran from one the daemon is still about to run.
#pragma once

#include "model/JsonCoding.h"
#include "platform/Result.h"
#include "protocol/HelperWire.h"

#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

enum class HelperTransactionState {
    // The daemon replied; the reply's result record is kept.
    finished,
    // Received or moving now; ask again later.
    running,
    // Never seen: the daemon has fenced the ID, so it will refuse it if it
    // ever arrives.
    unknown,
    // Fenced earlier (asked about before it arrived, or read from a client
    // that had gone): it never moved anything and never will.
    fenced,
    // A daemon that stopped mid-transaction: no reply was sent and no
    // rollback ran; each bundle is whole at its source or its destination.
    interrupted,
};

std::string_view rawValue(HelperTransactionState state);
std::optional<HelperTransactionState> helperTransactionStateFromRawValue(std::string_view raw);

struct TransactionStatusReply {
    std::string transactionID;
    HelperTransactionState state = HelperTransactionState::unknown;
    // finished: the call that ran and the result record it replied with.
    std::optional<HelperCall> call;
    std::optional<Json> result;

    friend bool operator==(const TransactionStatusReply&, const TransactionStatusReply&) = default;
};

// The argument: {"transactionID": "..."}.
Json encodeTransactionStatusArgument(std::string_view transactionID);
Result<std::string> decodeTransactionStatusArgument(const Json& argument);

Json encodeTransactionStatusReply(const TransactionStatusReply& reply);
Result<TransactionStatusReply> decodeTransactionStatusReply(const Json& payload);

}  // namespace kestrova
