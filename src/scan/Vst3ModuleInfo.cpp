#include "scan/Vst3ModuleInfo.h"

#include "platform/Text.h"

#include <nlohmann/json.hpp>

namespace kestrova {
namespace {

std::optional<std::string> nonBlankString(const nlohmann::json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_string()) {
        return std::nullopt;
    }
    auto value = trimmedWhitespace(found->get_ref<const std::string&>());
    if (value.empty()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

Vst3ModuleInfo parseVst3ModuleInfo(std::string_view text) {
    const auto json = nlohmann::json::parse(text, nullptr, false, true);
    if (json.is_discarded() || !json.is_object()) {
        return {};
    }
    Vst3ModuleInfo info;
    info.name = nonBlankString(json, "Name");
    info.version = nonBlankString(json, "Version");
    if (const auto factory = json.find("Factory Info"); factory != json.end() && factory->is_object()) {
        info.vendor = nonBlankString(*factory, "Vendor");
    }
    return info;
}

}  // namespace kestrova
