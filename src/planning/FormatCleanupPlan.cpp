#include "planning/FormatCleanupPlan.h"

#include "model/RawValueCoding.h"
#include "planning/Int64Coding.h"

namespace kestrova {
namespace {

constexpr std::array<std::string_view, 7> reasonRawValues{
    "protectedBundle", "mandatoryShell",     "unsafePath",         "missingBundle",
    "staleInventory",  "alreadyQuarantined", "pendingTransaction",
};
constexpr std::array<std::string_view, 2> warningRawValues{"noActiveFormatRemaining",
                                                           "largeRunRequiresMultipleTransactions"};

}  // namespace

std::string_view rawValue(FormatCleanupExclusionReason reason) { return rawValueIn(reasonRawValues, reason); }

std::optional<FormatCleanupExclusionReason> exclusionReasonFromRawValue(std::string_view raw) {
    return caseForRawValue<FormatCleanupExclusionReason>(reasonRawValues, raw);
}

std::string_view rawValue(FormatCleanupWarningKind kind) { return rawValueIn(warningRawValues, kind); }

std::optional<FormatCleanupWarningKind> warningKindFromRawValue(std::string_view raw) {
    return caseForRawValue<FormatCleanupWarningKind>(warningRawValues, raw);
}

FormatCleanupExclusionReason JsonCoder<FormatCleanupExclusionReason>::decode(const Json& json, const std::string& key) {
    return decodeRawValue<FormatCleanupExclusionReason>(reasonRawValues, json, key, "an exclusion reason");
}

FormatCleanupWarningKind JsonCoder<FormatCleanupWarningKind>::decode(const Json& json, const std::string& key) {
    return decodeRawValue<FormatCleanupWarningKind>(warningRawValues, json, key, "a cleanup warning");
}

Json JsonCoder<FormatCleanupCandidate>::encode(const FormatCleanupCandidate& candidate) {
    Json object = Json::object();
    putField(object, "selection", candidate.selection);
    putField(object, "pluginName", candidate.pluginName);
    putField(object, "manufacturer", candidate.manufacturer);
    putField(object, "format", candidate.format);
    putField(object, "path", candidate.path);
    putOptionalInt64(object, "sizeInBytes", candidate.sizeInBytes);
    putField(object, "removesLastActiveFormat", candidate.removesLastActiveFormat);
    putField(object, "selectedByDefault", candidate.selectedByDefault);
    return object;
}

FormatCleanupCandidate JsonCoder<FormatCleanupCandidate>::decode(const Json& json, const std::string& key) {
    requireObject(json, "value of “" + key + "”");
    return FormatCleanupCandidate{requiredField<PluginBundleSelection>(json, "selection"),
                                  requiredField<std::string>(json, "pluginName"),
                                  requiredField<std::string>(json, "manufacturer"),
                                  requiredField<std::string>(json, "format"),
                                  requiredField<std::string>(json, "path"),
                                  optionalInt64Field(json, "sizeInBytes"),
                                  requiredField<bool>(json, "removesLastActiveFormat"),
                                  requiredField<bool>(json, "selectedByDefault")};
}

Json JsonCoder<FormatCleanupExclusion>::encode(const FormatCleanupExclusion& exclusion) {
    Json object = Json::object();
    putField(object, "selection", exclusion.selection);
    putField(object, "pluginName", exclusion.pluginName);
    putField(object, "format", exclusion.format);
    putField(object, "reason", exclusion.reason);
    putField(object, "detail", exclusion.detail);
    return object;
}

FormatCleanupExclusion JsonCoder<FormatCleanupExclusion>::decode(const Json& json, const std::string& key) {
    requireObject(json, "value of “" + key + "”");
    return FormatCleanupExclusion{
        optionalField<PluginBundleSelection>(json, "selection"), requiredField<std::string>(json, "pluginName"),
        optionalField<std::string>(json, "format"), requiredField<FormatCleanupExclusionReason>(json, "reason"),
        requiredField<std::string>(json, "detail")};
}

Json JsonCoder<FormatCleanupWarning>::encode(const FormatCleanupWarning& warning) {
    Json object = Json::object();
    putField(object, "kind", warning.kind);
    putField(object, "pluginID", warning.pluginID);
    putField(object, "detail", warning.detail);
    return object;
}

FormatCleanupWarning JsonCoder<FormatCleanupWarning>::decode(const Json& json, const std::string& key) {
    requireObject(json, "value of “" + key + "”");
    return FormatCleanupWarning{requiredField<FormatCleanupWarningKind>(json, "kind"),
                                optionalField<Uuid>(json, "pluginID"), requiredField<std::string>(json, "detail")};
}

Json JsonCoder<FormatCleanupPlan>::encode(const FormatCleanupPlan& plan) {
    Json object = Json::object();
    putField(object, "id", plan.id);
    putField(object, "preset", plan.preset);
    putField(object, "customFormatsToQuarantine",
             std::vector<std::string>(plan.customFormatsToQuarantine.begin(), plan.customFormatsToQuarantine.end()));
    putField(object, "inventoryRevision", plan.inventoryRevision);
    putField(object, "candidates", plan.candidates);
    putField(object, "exclusions", plan.exclusions);
    putField(object, "warnings", plan.warnings);
    return object;
}

FormatCleanupPlan JsonCoder<FormatCleanupPlan>::decode(const Json& json, const std::string& key) {
    requireObject(json, "value of “" + key + "”");
    const auto custom = requiredField<std::vector<std::string>>(json, "customFormatsToQuarantine");
    return FormatCleanupPlan{requiredField<Uuid>(json, "id"),
                             requiredField<FormatCleanupPresetKind>(json, "preset"),
                             std::set<std::string>(custom.begin(), custom.end()),
                             requiredField<InventoryRevisionToken>(json, "inventoryRevision"),
                             requiredField<std::vector<FormatCleanupCandidate>>(json, "candidates"),
                             requiredField<std::vector<FormatCleanupExclusion>>(json, "exclusions"),
                             requiredField<std::vector<FormatCleanupWarning>>(json, "warnings")};
}

}  // namespace kestrova
