#include "model/TrashedBundleRecord.h"

#include "model/RawValueCoding.h"

#include <array>

namespace kestrova {
namespace {

constexpr std::array<std::string_view, 5> stateRawValues{
    "Ready to Restore", "Already Restored", "Destination Occupied", "Missing from Trash", "Needs Verification",
};

}  // namespace

std::string_view rawValue(TrashRecoveryState state) { return rawValueIn(stateRawValues, state); }

std::optional<TrashRecoveryState> trashRecoveryStateFromRawValue(std::string_view raw) {
    return caseForRawValue<TrashRecoveryState>(stateRawValues, raw);
}

TrashRecoveryState JsonCoder<TrashRecoveryState>::decode(const Json& json, const std::string& key) {
    return decodeRawValue<TrashRecoveryState>(stateRawValues, json, key, "a Trash recovery state");
}

Json JsonCoder<TrashedBundleRecord>::encode(const TrashedBundleRecord& record) {
    Json object = Json::object();
    putField(object, "id", record.id);
    putField(object, "pluginName", record.pluginName);
    putField(object, "manufacturer", record.manufacturer);
    putField(object, "format", record.format);
    putField(object, "originalPath", record.originalPath);
    putField(object, "trashPath", record.trashPath);
    putField(object, "operationDate", record.operationDate);
    putField(object, "trashTransactionID", record.trashTransactionID);
    putField(object, "presetRunID", record.presetRunID);
    putField(object, "reconciledDate", record.reconciledDate);
    putField(object, "restoreTransactionID", record.restoreTransactionID);
    putField(object, "missingDetectedDate", record.missingDetectedDate);
    return object;
}

TrashedBundleRecord JsonCoder<TrashedBundleRecord>::decode(const Json& json, const std::string& key) {
    requireObject(json, "value of “" + key + "”");
    return TrashedBundleRecord{requiredField<Uuid>(json, "id"),
                               requiredField<std::string>(json, "pluginName"),
                               requiredField<std::string>(json, "manufacturer"),
                               requiredField<std::string>(json, "format"),
                               requiredField<std::string>(json, "originalPath"),
                               requiredField<std::string>(json, "trashPath"),
                               requiredField<Date>(json, "operationDate"),
                               optionalField<std::string>(json, "trashTransactionID"),
                               optionalField<Uuid>(json, "presetRunID"),
                               optionalField<Date>(json, "reconciledDate"),
                               optionalField<std::string>(json, "restoreTransactionID"),
                               optionalField<Date>(json, "missingDetectedDate")};
}

}  // namespace kestrova

std::size_t std::hash<kestrova::TrashedBundleRecord>::operator()(
    const kestrova::TrashedBundleRecord& record) const noexcept {
    std::size_t seed = 0;
    kestrova::hashCombine(seed, record.id);
    kestrova::hashCombine(seed, record.pluginName);
    kestrova::hashCombine(seed, record.manufacturer);
    kestrova::hashCombine(seed, record.format);
    kestrova::hashCombine(seed, record.originalPath);
    kestrova::hashCombine(seed, record.trashPath);
    kestrova::hashCombine(seed, record.operationDate);
    kestrova::hashCombine(seed, record.trashTransactionID);
    kestrova::hashCombine(seed, record.presetRunID);
    kestrova::hashCombine(seed, record.reconciledDate);
    kestrova::hashCombine(seed, record.restoreTransactionID);
    kestrova::hashCombine(seed, record.missingDetectedDate);
    return seed;
}
