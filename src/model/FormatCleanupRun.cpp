#include "model/FormatCleanupRun.h"

#include "model/RawValueCoding.h"

namespace kestrova {
namespace {

constexpr std::array<std::string_view, 5> presetRawValues{"auOnly", "auAndVST3", "retireVST2", "noAAX", "custom"};
constexpr std::array<std::string_view, 5> presetTitles{"AU Only", "AU + VST3", "Retire VST2", "No AAX", "Custom"};
constexpr std::array<std::string_view, 5> presetDescriptions{
    "Keep AU active; propose every other installed format.",
    "Keep AU and VST3 active; propose all other formats.",
    "Propose legacy VST2 bundles only.",
    "Propose AAX bundles when Pro Tools is not part of the workflow.",
    "Choose the exact formats to propose for quarantine.",
};
constexpr std::array<std::string_view, 4> statusRawValues{"pending", "completed", "partiallyCompleted", "canceled"};

}  // namespace

std::string_view rawValue(FormatCleanupPresetKind preset) { return rawValueIn(presetRawValues, preset); }

std::optional<FormatCleanupPresetKind> formatCleanupPresetFromRawValue(std::string_view raw) {
    return caseForRawValue<FormatCleanupPresetKind>(presetRawValues, raw);
}

std::string_view title(FormatCleanupPresetKind preset) { return rawValueIn(presetTitles, preset); }

std::string_view presetDescription(FormatCleanupPresetKind preset) { return rawValueIn(presetDescriptions, preset); }

std::string_view rawValue(FormatCleanupRunStatus status) { return rawValueIn(statusRawValues, status); }

std::optional<FormatCleanupRunStatus> formatCleanupRunStatusFromRawValue(std::string_view raw) {
    return caseForRawValue<FormatCleanupRunStatus>(statusRawValues, raw);
}

FormatCleanupPresetKind JsonCoder<FormatCleanupPresetKind>::decode(const Json& json, const std::string& key) {
    return decodeRawValue<FormatCleanupPresetKind>(presetRawValues, json, key, "a cleanup preset");
}

FormatCleanupRunStatus JsonCoder<FormatCleanupRunStatus>::decode(const Json& json, const std::string& key) {
    return decodeRawValue<FormatCleanupRunStatus>(statusRawValues, json, key, "a cleanup run status");
}

Json JsonCoder<FormatCleanupRunRecord>::encode(const FormatCleanupRunRecord& run) {
    Json object = Json::object();
    putField(object, "id", run.id);
    putField(object, "planID", run.planID);
    putField(object, "preset", run.preset);
    putField(object, "createdAt", run.createdAt);
    putField(object, "status", run.status);
    putField(object, "selections", run.selections);
    putField(object, "childTransactionIDs", run.childTransactionIDs);
    return object;
}

FormatCleanupRunRecord JsonCoder<FormatCleanupRunRecord>::decode(const Json& json, const std::string& key) {
    requireObject(json, "value of “" + key + "”");
    return FormatCleanupRunRecord{requiredField<Uuid>(json, "id"),
                                  requiredField<Uuid>(json, "planID"),
                                  requiredField<FormatCleanupPresetKind>(json, "preset"),
                                  requiredField<Date>(json, "createdAt"),
                                  requiredField<FormatCleanupRunStatus>(json, "status"),
                                  requiredField<std::vector<PluginBundleSelection>>(json, "selections"),
                                  requiredField<std::vector<Uuid>>(json, "childTransactionIDs")};
}

}  // namespace kestrova
