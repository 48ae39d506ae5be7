// The identity of the inventory's content. A plan or preview built against
// another token than the current one is stale.
#pragma once

#include "model/JsonCoding.h"
#include "platform/Uuid.h"

namespace kestrova {

struct InventoryRevisionToken {
    Uuid value;

    static InventoryRevisionToken random() { return InventoryRevisionToken{Uuid::random()}; }

    friend bool operator==(const InventoryRevisionToken&, const InventoryRevisionToken&) = default;
};

template <>
struct JsonCoder<InventoryRevisionToken> {
    static Json encode(const InventoryRevisionToken& token) {
        Json object = Json::object();
        putField(object, "value", token.value);
        return object;
    }
    static InventoryRevisionToken decode(const Json& json, const std::string& key) {
        requireObject(json, "value of “" + key + "”");
        return InventoryRevisionToken{requiredField<Uuid>(json, "value")};
    }
};

}  // namespace kestrova
