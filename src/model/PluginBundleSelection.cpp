#include "model/PluginBundleSelection.h"

namespace kestrova {

bool storedSelectionOrder(const PluginBundleSelection& a, const PluginBundleSelection& b) {
    // Uuid::string() is upper-case hex of fixed width, so byte order of the
    // raw bytes is the same as the order of their text.
    if (a.pluginID != b.pluginID) {
        return a.pluginID < b.pluginID;
    }
    return a.bundleID < b.bundleID;
}

Json JsonCoder<PluginBundleSelection>::encode(const PluginBundleSelection& selection) {
    Json object = Json::object();
    putField(object, "pluginID", selection.pluginID);
    putField(object, "bundleID", selection.bundleID);
    return object;
}

PluginBundleSelection JsonCoder<PluginBundleSelection>::decode(const Json& json, const std::string& key) {
    requireObject(json, "value of “" + key + "”");
    return PluginBundleSelection{requiredField<Uuid>(json, "pluginID"), requiredField<std::string>(json, "bundleID")};
}

}  // namespace kestrova
