// The JSON records carried between the application and KestrovaHelper: one
// request and one result per transaction, in four kinds. Decoding a reply is
// strict and never throws past this file: anything but the expected record
// is an error value.
#pragma once

#include "model/JsonCoding.h"
#include "platform/Result.h"
#include "platform/SystemLayout.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

struct PrivilegedQuarantineItem {
    std::string sourcePath;       // the bundle in a standard plug-in folder
    std::string destinationPath;  // quarantine root / operation ID / bundle file name
    std::string operationID;

    friend bool operator==(const PrivilegedQuarantineItem&, const PrivilegedQuarantineItem&) = default;
};

struct PrivilegedRestoreItem {
    std::string sourcePath;       // the bundle in the quarantine root
    std::string destinationPath;  // its recorded original path
    std::string operationID;

    friend bool operator==(const PrivilegedRestoreItem&, const PrivilegedRestoreItem&) = default;
};

struct PrivilegedTrashItem {
    std::string sourcePath;       // the bundle in the quarantine root
    std::string destinationPath;  // the chosen path in the user's Trash
    std::string operationID;
    // Where the bundle was before its quarantine: the freedesktop Trash
    // record names it, so a file manager restores the bundle there.
    std::optional<std::string> originalPath{};

    friend bool operator==(const PrivilegedTrashItem&, const PrivilegedTrashItem&) = default;
};

struct PrivilegedTrashRestoreItem {
    std::string sourcePath;       // the bundle in the Trash
    std::string destinationPath;  // its exact recorded original path
    std::string recoveryRecordID;
    std::string originalBundleFilename;
    std::string format;

    friend bool operator==(const PrivilegedTrashRestoreItem&, const PrivilegedTrashRestoreItem&) = default;
};

struct PrivilegedQuarantineRequest {
    std::string transactionID;
    std::vector<PrivilegedQuarantineItem> items;
    // Which helper carries it out; recorded in the journal so recovery asks
    // the same one.
    BundleSide side = BundleSide::system;

    friend bool operator==(const PrivilegedQuarantineRequest&, const PrivilegedQuarantineRequest&) = default;
};

struct PrivilegedRestoreRequest {
    std::string transactionID;
    std::vector<PrivilegedRestoreItem> items;
    // Which helper carries it out; recorded in the journal so recovery asks
    // the same one.
    BundleSide side = BundleSide::system;

    friend bool operator==(const PrivilegedRestoreRequest&, const PrivilegedRestoreRequest&) = default;
};

struct PrivilegedTrashRequest {
    std::string transactionID;
    std::vector<PrivilegedTrashItem> items;
    // Which helper carries it out; recorded in the journal so recovery asks
    // the same one.
    BundleSide side = BundleSide::system;

    friend bool operator==(const PrivilegedTrashRequest&, const PrivilegedTrashRequest&) = default;
};

struct PrivilegedTrashRestoreRequest {
    std::string transactionID;
    std::vector<PrivilegedTrashRestoreItem> items;
    // Which helper carries it out; recorded in the journal so recovery asks
    // the same one.
    BundleSide side = BundleSide::system;

    friend bool operator==(const PrivilegedTrashRestoreRequest&, const PrivilegedTrashRestoreRequest&) = default;
};

struct PrivilegedQuarantineResult {
    std::string transactionID;
    bool succeeded = false;
    bool rollbackComplete = false;
    std::vector<std::string> movedDestinationPaths;
    std::string message;

    friend bool operator==(const PrivilegedQuarantineResult&, const PrivilegedQuarantineResult&) = default;
};

struct PrivilegedRestoreResult {
    std::string transactionID;
    bool succeeded = false;
    bool rollbackComplete = false;
    std::vector<std::string> restoredDestinationPaths;
    std::string message;

    friend bool operator==(const PrivilegedRestoreResult&, const PrivilegedRestoreResult&) = default;
};

struct PrivilegedTrashResult {
    std::string transactionID;
    bool succeeded = false;
    bool rollbackComplete = false;
    std::vector<std::string> trashedDestinationPaths;
    std::string message;

    friend bool operator==(const PrivilegedTrashResult&, const PrivilegedTrashResult&) = default;
};

struct PrivilegedTrashRestoreResult {
    std::string transactionID;
    bool succeeded = false;
    bool rollbackComplete = false;
    std::vector<std::string> restoredDestinationPaths;
    std::string message;

    friend bool operator==(const PrivilegedTrashRestoreResult&, const PrivilegedTrashRestoreResult&) = default;
};

// The path list of a result, whatever its key is called on the wire.
inline const std::vector<std::string>& destinationPaths(const PrivilegedQuarantineResult& r) {
    return r.movedDestinationPaths;
}
inline const std::vector<std::string>& destinationPaths(const PrivilegedRestoreResult& r) {
    return r.restoredDestinationPaths;
}
inline const std::vector<std::string>& destinationPaths(const PrivilegedTrashResult& r) {
    return r.trashedDestinationPaths;
}
inline const std::vector<std::string>& destinationPaths(const PrivilegedTrashRestoreResult& r) {
    return r.restoredDestinationPaths;
}
inline std::vector<std::string>& destinationPaths(PrivilegedQuarantineResult& r) { return r.movedDestinationPaths; }
inline std::vector<std::string>& destinationPaths(PrivilegedRestoreResult& r) { return r.restoredDestinationPaths; }
inline std::vector<std::string>& destinationPaths(PrivilegedTrashResult& r) { return r.trashedDestinationPaths; }
inline std::vector<std::string>& destinationPaths(PrivilegedTrashRestoreResult& r) {
    return r.restoredDestinationPaths;
}

// The result the application makes itself when it gets no real reply: the
// request's transaction ID, not succeeded, nothing moved (so rollback is
// complete), the failure text as the message.
template <typename ResultRecord>
ResultRecord madeUpFailureResult(std::string transactionID, std::string message) {
    ResultRecord result;
    result.transactionID = std::move(transactionID);
    result.succeeded = false;
    result.rollbackComplete = true;
    result.message = std::move(message);
    return result;
}

// The result the application makes itself when the request went out but no
// reply came in time: the daemon may have moved everything, something or
// nothing, so it claims no rollback. The store then keeps its journal and
// the next start decides from the disk, as after a crash.
template <typename ResultRecord>
ResultRecord unknownOutcomeResult(std::string transactionID, std::string message) {
    auto result = madeUpFailureResult<ResultRecord>(std::move(transactionID), std::move(message));
    result.rollbackComplete = false;
    return result;
}

// Which request goes with which item and result.
template <typename Request>
struct PrivilegedRequestTraits;

template <>
struct PrivilegedRequestTraits<PrivilegedQuarantineRequest> {
    using Item = PrivilegedQuarantineItem;
    using ResultRecord = PrivilegedQuarantineResult;
};
template <>
struct PrivilegedRequestTraits<PrivilegedRestoreRequest> {
    using Item = PrivilegedRestoreItem;
    using ResultRecord = PrivilegedRestoreResult;
};
template <>
struct PrivilegedRequestTraits<PrivilegedTrashRequest> {
    using Item = PrivilegedTrashItem;
    using ResultRecord = PrivilegedTrashResult;
};
template <>
struct PrivilegedRequestTraits<PrivilegedTrashRestoreRequest> {
    using Item = PrivilegedTrashRestoreItem;
    using ResultRecord = PrivilegedTrashRestoreResult;
};

#define KESTROVA_PRIVILEGED_CODER(Record)                               \
    template <>                                                         \
    struct JsonCoder<Record> {                                          \
        static Json encode(const Record& value);                        \
        static Record decode(const Json& json, const std::string& key); \
    };

KESTROVA_PRIVILEGED_CODER(PrivilegedQuarantineItem)
KESTROVA_PRIVILEGED_CODER(PrivilegedRestoreItem)
KESTROVA_PRIVILEGED_CODER(PrivilegedTrashItem)
KESTROVA_PRIVILEGED_CODER(PrivilegedTrashRestoreItem)
KESTROVA_PRIVILEGED_CODER(PrivilegedQuarantineRequest)
KESTROVA_PRIVILEGED_CODER(PrivilegedRestoreRequest)
KESTROVA_PRIVILEGED_CODER(PrivilegedTrashRequest)
KESTROVA_PRIVILEGED_CODER(PrivilegedTrashRestoreRequest)
KESTROVA_PRIVILEGED_CODER(PrivilegedQuarantineResult)
KESTROVA_PRIVILEGED_CODER(PrivilegedRestoreResult)
KESTROVA_PRIVILEGED_CODER(PrivilegedTrashResult)
KESTROVA_PRIVILEGED_CODER(PrivilegedTrashRestoreResult)

#undef KESTROVA_PRIVILEGED_CODER

// A record as compact JSON text, the form it travels in.
template <typename Record>
std::string encodePrivilegedRecord(const Record& record) {
    return JsonCoder<Record>::encode(record).dump();
}

// Decodes JSON text or an already parsed value into the expected record;
// invalid JSON, a missing key, a wrong type or another record's shape comes
// back as an error, never as an exception.
template <typename Record>
Result<Record> decodePrivilegedJson(const Json& json) {
    try {
        return JsonCoder<Record>::decode(json, "");
    } catch (const DecodingError& error) {
        return Error{error.what()};
    } catch (const nlohmann::json::exception& error) {
        return Error{error.what()};
    }
}

template <typename Record>
Result<Record> decodePrivilegedRecord(std::string_view text) {
    Json json = Json::parse(text, nullptr, false);
    if (json.is_discarded()) {
        return Error{"The data is not valid JSON."};
    }
    return decodePrivilegedJson<Record>(json);
}

}  // namespace kestrova
