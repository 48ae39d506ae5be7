#include "model/PermanentQuarantineRule.h"

#include "platform/Text.h"

namespace kestrova {

std::string manufacturerKey(std::string_view manufacturer) {
    auto key = unicodeLowercased(foldCaseAndDiacritics(trimmedWhitespace(manufacturer)));
    if (key == "uad" || key == "universal audio" || key == "universal audio inc." || key == "universal audio, inc.") {
        return "universal audio";
    }
    return key;
}

std::string PermanentQuarantineRule::id() const { return manufacturerKey(manufacturer); }

Json JsonCoder<PermanentQuarantineRule>::encode(const PermanentQuarantineRule& rule) {
    Json object = Json::object();
    putField(object, "manufacturer", rule.manufacturer);
    putField(object, "enabledAt", rule.enabledAt);
    return object;
}

PermanentQuarantineRule JsonCoder<PermanentQuarantineRule>::decode(const Json& json, const std::string& key) {
    requireObject(json, "value of “" + key + "”");
    return PermanentQuarantineRule{requiredField<std::string>(json, "manufacturer"),
                                   requiredField<Date>(json, "enabledAt")};
}

}  // namespace kestrova
