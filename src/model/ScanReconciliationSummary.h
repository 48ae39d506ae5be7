// What the last completed scan changed, kept with the state.
#pragma once

#include "model/JsonCoding.h"

namespace kestrova {

struct ScanReconciliationSummary {
    int addedBundles = 0;
    int missingBundles = 0;
    int manuallyRestoredBundles = 0;
    bool missingCheckWasLimited = false;

    friend bool operator==(const ScanReconciliationSummary&, const ScanReconciliationSummary&) = default;
};

template <>
struct JsonCoder<ScanReconciliationSummary> {
    static Json encode(const ScanReconciliationSummary& summary) {
        Json object = Json::object();
        putField(object, "addedBundles", summary.addedBundles);
        putField(object, "missingBundles", summary.missingBundles);
        putField(object, "manuallyRestoredBundles", summary.manuallyRestoredBundles);
        putField(object, "missingCheckWasLimited", summary.missingCheckWasLimited);
        return object;
    }
    static ScanReconciliationSummary decode(const Json& json, const std::string& key) {
        requireObject(json, "value of “" + key + "”");
        return ScanReconciliationSummary{
            requiredField<int>(json, "addedBundles"), requiredField<int>(json, "missingBundles"),
            requiredField<int>(json, "manuallyRestoredBundles"), requiredField<bool>(json, "missingCheckWasLimited")};
    }
};

}  // namespace kestrova
