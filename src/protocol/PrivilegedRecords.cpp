#include "protocol/PrivilegedRecords.h"

#include "protocol/TransactionKinds.h"

namespace kestrova {

namespace {

template <typename Item>
Json encodeMoveItem(const Item& item) {
    Json json = Json::object();
    putField(json, "sourcePath", item.sourcePath);
    putField(json, "destinationPath", item.destinationPath);
    putField(json, "operationID", item.operationID);
    return json;
}

template <typename Item>
Item decodeMoveItem(const Json& json) {
    requireObject(json, "helper request item");
    Item item;
    item.sourcePath = requiredField<std::string>(json, "sourcePath");
    item.destinationPath = requiredField<std::string>(json, "destinationPath");
    item.operationID = requiredField<std::string>(json, "operationID");
    return item;
}

template <typename Request>
Json encodeRequest(const Request& request) {
    Json json = Json::object();
    putField(json, "transactionID", request.transactionID);
    putField(json, "items", request.items);
    // Written only for the user side, so a system request reads as it
    // always has.
    if (request.side == BundleSide::user) {
        putField(json, "side", std::string(sideName(request.side)));
    }
    return json;
}

template <typename Request>
Request decodeRequest(const Json& json) {
    requireObject(json, "helper request");
    Request request;
    request.transactionID = requiredField<std::string>(json, "transactionID");
    request.items = requiredField<std::vector<typename PrivilegedRequestTraits<Request>::Item>>(json, "items");
    if (const auto side = optionalField<std::string>(json, "side")) {
        if (*side != sideName(BundleSide::user) && *side != sideName(BundleSide::system)) {
            throw DecodingError("side: not a helper side");
        }
        request.side = *side == sideName(BundleSide::user) ? BundleSide::user : BundleSide::system;
    }
    return request;
}

template <typename Request>
Json encodeResult(const typename PrivilegedRequestTraits<Request>::ResultRecord& result) {
    Json json = Json::object();
    putField(json, "transactionID", result.transactionID);
    putField(json, "succeeded", result.succeeded);
    putField(json, "rollbackComplete", result.rollbackComplete);
    putField(json, std::string(describe<Request>().resultPathsKey), destinationPaths(result));
    putField(json, "message", result.message);
    return json;
}

template <typename Request>
typename PrivilegedRequestTraits<Request>::ResultRecord decodeResult(const Json& json) {
    requireObject(json, "helper result");
    typename PrivilegedRequestTraits<Request>::ResultRecord result;
    result.transactionID = requiredField<std::string>(json, "transactionID");
    result.succeeded = requiredField<bool>(json, "succeeded");
    result.rollbackComplete = requiredField<bool>(json, "rollbackComplete");
    destinationPaths(result) =
        requiredField<std::vector<std::string>>(json, std::string(describe<Request>().resultPathsKey));
    result.message = requiredField<std::string>(json, "message");
    return result;
}

}  // namespace

Json JsonCoder<PrivilegedQuarantineItem>::encode(const PrivilegedQuarantineItem& value) {
    return encodeMoveItem(value);
}
PrivilegedQuarantineItem JsonCoder<PrivilegedQuarantineItem>::decode(const Json& json, const std::string&) {
    return decodeMoveItem<PrivilegedQuarantineItem>(json);
}

Json JsonCoder<PrivilegedRestoreItem>::encode(const PrivilegedRestoreItem& value) { return encodeMoveItem(value); }
PrivilegedRestoreItem JsonCoder<PrivilegedRestoreItem>::decode(const Json& json, const std::string&) {
    return decodeMoveItem<PrivilegedRestoreItem>(json);
}

// The original path is written only when known, so a macOS request reads
// exactly as it always has.
Json JsonCoder<PrivilegedTrashItem>::encode(const PrivilegedTrashItem& value) {
    auto json = encodeMoveItem(value);
    putField(json, "originalPath", value.originalPath);
    return json;
}
PrivilegedTrashItem JsonCoder<PrivilegedTrashItem>::decode(const Json& json, const std::string&) {
    auto item = decodeMoveItem<PrivilegedTrashItem>(json);
    item.originalPath = optionalField<std::string>(json, "originalPath");
    return item;
}

Json JsonCoder<PrivilegedTrashRestoreItem>::encode(const PrivilegedTrashRestoreItem& value) {
    Json json = Json::object();
    putField(json, "sourcePath", value.sourcePath);
    putField(json, "destinationPath", value.destinationPath);
    putField(json, "recoveryRecordID", value.recoveryRecordID);
    putField(json, "originalBundleFilename", value.originalBundleFilename);
    putField(json, "format", value.format);
    return json;
}
PrivilegedTrashRestoreItem JsonCoder<PrivilegedTrashRestoreItem>::decode(const Json& json, const std::string&) {
    requireObject(json, "helper request item");
    PrivilegedTrashRestoreItem item;
    item.sourcePath = requiredField<std::string>(json, "sourcePath");
    item.destinationPath = requiredField<std::string>(json, "destinationPath");
    item.recoveryRecordID = requiredField<std::string>(json, "recoveryRecordID");
    item.originalBundleFilename = requiredField<std::string>(json, "originalBundleFilename");
    item.format = requiredField<std::string>(json, "format");
    return item;
}

#define KESTROVA_REQUEST_CODER(Request)                                                    \
    Json JsonCoder<Request>::encode(const Request& value) { return encodeRequest(value); } \
    Request JsonCoder<Request>::decode(const Json& json, const std::string&) { return decodeRequest<Request>(json); }

KESTROVA_REQUEST_CODER(PrivilegedQuarantineRequest)
KESTROVA_REQUEST_CODER(PrivilegedRestoreRequest)
KESTROVA_REQUEST_CODER(PrivilegedTrashRequest)
KESTROVA_REQUEST_CODER(PrivilegedTrashRestoreRequest)

#undef KESTROVA_REQUEST_CODER

#define KESTROVA_RESULT_CODER(Request, ResultRecord)                                                         \
    Json JsonCoder<ResultRecord>::encode(const ResultRecord& value) { return encodeResult<Request>(value); } \
    ResultRecord JsonCoder<ResultRecord>::decode(const Json& json, const std::string&) {                     \
        return decodeResult<Request>(json);                                                                  \
    }

KESTROVA_RESULT_CODER(PrivilegedQuarantineRequest, PrivilegedQuarantineResult)
KESTROVA_RESULT_CODER(PrivilegedRestoreRequest, PrivilegedRestoreResult)
KESTROVA_RESULT_CODER(PrivilegedTrashRequest, PrivilegedTrashResult)
KESTROVA_RESULT_CODER(PrivilegedTrashRestoreRequest, PrivilegedTrashRestoreResult)

#undef KESTROVA_RESULT_CODER

}  // namespace kestrova
