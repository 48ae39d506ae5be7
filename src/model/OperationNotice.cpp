#include "model/OperationNotice.h"

#include "model/RawValueCoding.h"

namespace kestrova {
namespace {

constexpr std::array<std::string_view, 2> styleRawValues{"success", "warning"};

}  // namespace

std::string_view rawValue(NoticeStyle style) { return rawValueIn(styleRawValues, style); }

std::optional<NoticeStyle> noticeStyleFromRawValue(std::string_view raw) {
    return caseForRawValue<NoticeStyle>(styleRawValues, raw);
}

NoticeStyle JsonCoder<NoticeStyle>::decode(const Json& json, const std::string& key) {
    return decodeRawValue<NoticeStyle>(styleRawValues, json, key, "a notice style");
}

Json JsonCoder<OperationNotice>::encode(const OperationNotice& notice) {
    Json object = Json::object();
    putField(object, "id", notice.id);
    putField(object, "title", notice.title);
    putField(object, "message", notice.message);
    putField(object, "style", notice.style);
    return object;
}

OperationNotice JsonCoder<OperationNotice>::decode(const Json& json, const std::string& key) {
    requireObject(json, "value of “" + key + "”");
    return OperationNotice{requiredField<Uuid>(json, "id"), requiredField<std::string>(json, "title"),
                           requiredField<std::string>(json, "message"), requiredField<NoticeStyle>(json, "style")};
}

}  // namespace kestrova
