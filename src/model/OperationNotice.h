// The one user-facing notice slot of the store. Every notice gets a new id, so
// two notices with the same text are still distinct.
#pragma once

#include "model/JsonCoding.h"
#include "platform/Uuid.h"

#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

enum class NoticeStyle { success, warning };

std::string_view rawValue(NoticeStyle style);
std::optional<NoticeStyle> noticeStyleFromRawValue(std::string_view raw);

struct OperationNotice {
    Uuid id;
    std::string title;
    std::string message;
    NoticeStyle style = NoticeStyle::success;

    static OperationNotice success(std::string title, std::string message) {
        return {Uuid::random(), std::move(title), std::move(message), NoticeStyle::success};
    }
    static OperationNotice warning(std::string title, std::string message) {
        return {Uuid::random(), std::move(title), std::move(message), NoticeStyle::warning};
    }

    friend bool operator==(const OperationNotice&, const OperationNotice&) = default;
};

template <>
struct JsonCoder<NoticeStyle> {
    static Json encode(NoticeStyle style) { return std::string(rawValue(style)); }
    static NoticeStyle decode(const Json& json, const std::string& key);
};

template <>
struct JsonCoder<OperationNotice> {
    static Json encode(const OperationNotice& notice);
    static OperationNotice decode(const Json& json, const std::string& key);
};

}  // namespace kestrova
