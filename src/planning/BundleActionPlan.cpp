#include "planning/BundleActionPlan.h"

#include "model/RawValueCoding.h"
#include "planning/Int64Coding.h"

namespace kestrova {
namespace {

constexpr std::array<std::string_view, 5> kindRawValues{"protect", "removeProtection", "quarantine", "restore",
                                                        "trash"};
constexpr std::array<std::string_view, 10> reasonRawValues{
    "staleInventory",     "missingBundle", "protectedBundle",   "mandatoryProtection", "unsafePath",
    "pendingTransaction", "invalidState",  "destinationExists", "duplicateSelection",  "tooManyItems",
};

}  // namespace

std::string_view rawValue(BundleActionKind kind) { return rawValueIn(kindRawValues, kind); }

std::optional<BundleActionKind> bundleActionKindFromRawValue(std::string_view raw) {
    return caseForRawValue<BundleActionKind>(kindRawValues, raw);
}

std::string_view rawValue(BundleActionBlockingReason reason) { return rawValueIn(reasonRawValues, reason); }

std::optional<BundleActionBlockingReason> blockingReasonFromRawValue(std::string_view raw) {
    return caseForRawValue<BundleActionBlockingReason>(reasonRawValues, raw);
}

BundleActionKind JsonCoder<BundleActionKind>::decode(const Json& json, const std::string& key) {
    return decodeRawValue<BundleActionKind>(kindRawValues, json, key, "a bundle action");
}

BundleActionBlockingReason JsonCoder<BundleActionBlockingReason>::decode(const Json& json, const std::string& key) {
    return decodeRawValue<BundleActionBlockingReason>(reasonRawValues, json, key, "a blocking reason");
}

Json JsonCoder<BundleActionBlockedSelection>::encode(const BundleActionBlockedSelection& blocked) {
    Json object = Json::object();
    putField(object, "selection", blocked.selection);
    putField(object, "reason", blocked.reason);
    putField(object, "detail", blocked.detail);
    return object;
}

BundleActionBlockedSelection JsonCoder<BundleActionBlockedSelection>::decode(const Json& json, const std::string& key) {
    requireObject(json, "value of “" + key + "”");
    return BundleActionBlockedSelection{requiredField<PluginBundleSelection>(json, "selection"),
                                        requiredField<BundleActionBlockingReason>(json, "reason"),
                                        requiredField<std::string>(json, "detail")};
}

Json JsonCoder<BundleActionPlanItem>::encode(const BundleActionPlanItem& item) {
    Json object = Json::object();
    putField(object, "selection", item.selection);
    putField(object, "pluginName", item.pluginName);
    putField(object, "manufacturer", item.manufacturer);
    putField(object, "format", item.format);
    putField(object, "sourcePath", item.sourcePath);
    putField(object, "destinationPath", item.destinationPath);
    putOptionalInt64(object, "sizeInBytes", item.sizeInBytes);
    putField(object, "operationID", item.operationID);
    return object;
}

BundleActionPlanItem JsonCoder<BundleActionPlanItem>::decode(const Json& json, const std::string& key) {
    requireObject(json, "value of “" + key + "”");
    return BundleActionPlanItem{requiredField<PluginBundleSelection>(json, "selection"),
                                requiredField<std::string>(json, "pluginName"),
                                requiredField<std::string>(json, "manufacturer"),
                                requiredField<std::string>(json, "format"),
                                requiredField<std::string>(json, "sourcePath"),
                                optionalField<std::string>(json, "destinationPath"),
                                optionalInt64Field(json, "sizeInBytes"),
                                optionalField<std::string>(json, "operationID")};
}

Json JsonCoder<BundleActionPlan>::encode(const BundleActionPlan& plan) {
    Json object = Json::object();
    putField(object, "id", plan.id);
    putField(object, "operation", plan.operation);
    putField(object, "inventoryRevision", plan.inventoryRevision);
    putField(object, "items", plan.items);
    putField(object, "blockedSelections", plan.blockedSelections);
    putField(object, "presetRunID", plan.presetRunID);
    putField(object, "productsLosingAllActiveFormats",
             std::vector<Uuid>(plan.productsLosingAllActiveFormats.begin(), plan.productsLosingAllActiveFormats.end()));
    return object;
}

BundleActionPlan JsonCoder<BundleActionPlan>::decode(const Json& json, const std::string& key) {
    requireObject(json, "value of “" + key + "”");
    const auto losing = requiredField<std::vector<Uuid>>(json, "productsLosingAllActiveFormats");
    return BundleActionPlan{requiredField<Uuid>(json, "id"),
                            requiredField<BundleActionKind>(json, "operation"),
                            requiredField<InventoryRevisionToken>(json, "inventoryRevision"),
                            requiredField<std::vector<BundleActionPlanItem>>(json, "items"),
                            requiredField<std::vector<BundleActionBlockedSelection>>(json, "blockedSelections"),
                            optionalField<Uuid>(json, "presetRunID"),
                            std::set<Uuid>(losing.begin(), losing.end())};
}

}  // namespace kestrova
