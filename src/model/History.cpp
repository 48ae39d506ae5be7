#include "model/History.h"

#include "model/RawValueCoding.h"
#include "platform/LocaleText.h"

#include <array>

namespace kestrova {
namespace {

constexpr std::array<std::string_view, historyKindCount> kindRawValues{
    "Scan Completed",
    "Scan Canceled",
    "Restored",
    "Moved to Quarantine",
    "Moved to macOS Trash",
    "Restored from Finder Trash",
    "Protection Enabled",
    "Protection Removed",
    "Format Protection Enabled",
    "Format Protection Removed",
    "Move to Trash Canceled",
    "Inventory Reconciled",
    "Manual Restore Detected",
    "Missing Trash Item Detected",
    "Cleanup Preset Started",
    "Cleanup Preset Completed",
    "Cleanup Preset Partially Completed",
    "Cleanup Preset Canceled",
};

constexpr std::array<std::string_view, historyKindCount> kindIcons{
    "waveform.path.ecg",
    "xmark.circle",
    "arrow.uturn.backward.circle",
    "shippingbox",
    "trash",
    "arrow.uturn.backward.circle",
    "shield.checkered",
    "shield.checkered",
    "shield.checkered",
    "shield.checkered",
    "minus.circle",
    "arrow.triangle.2.circlepath",
    "arrow.uturn.backward.square",
    "trash.slash",
    "slider.horizontal.3",
    "checkmark.circle",
    "exclamationmark.circle",
    "xmark.circle",
};

}  // namespace

std::string_view rawValue(HistoryKind kind) { return rawValueIn(kindRawValues, kind); }

std::optional<HistoryKind> historyKindFromRawValue(std::string_view raw) {
    return caseForRawValue<HistoryKind>(kindRawValues, raw);
}

std::string_view iconName(HistoryKind kind) { return rawValueIn(kindIcons, kind); }

bool isProductTransaction(HistoryKind kind) {
    return kind == HistoryKind::restore || kind == HistoryKind::quarantine || kind == HistoryKind::trash ||
           kind == HistoryKind::trashRestore;
}

std::string historyTimeText(Date when) { return shortTimeText(when); }

HistoryItem makeHistoryItem(std::string plugin, HistoryKind kind, std::string detail, std::string time,
                            std::optional<std::string> transactionID, std::optional<std::string> format,
                            std::optional<Uuid> presetRunID) {
    return HistoryItem{Uuid::random(),           std::move(plugin), kind,       std::move(detail), std::move(time),
                       std::move(transactionID), std::move(format), presetRunID};
}

HistoryKind JsonCoder<HistoryKind>::decode(const Json& json, const std::string& key) {
    return decodeRawValue<HistoryKind>(kindRawValues, json, key, "a history kind");
}

Json JsonCoder<HistoryItem>::encode(const HistoryItem& item) {
    Json object = Json::object();
    putField(object, "id", item.id);
    putField(object, "plugin", item.plugin);
    putField(object, "kind", item.kind);
    putField(object, "detail", item.detail);
    putField(object, "time", item.time);
    putField(object, "transactionID", item.transactionID);
    putField(object, "format", item.format);
    putField(object, "presetRunID", item.presetRunID);
    return object;
}

HistoryItem JsonCoder<HistoryItem>::decode(const Json& json, const std::string& key) {
    requireObject(json, "value of “" + key + "”");
    return HistoryItem{requiredField<Uuid>(json, "id"),
                       requiredField<std::string>(json, "plugin"),
                       requiredField<HistoryKind>(json, "kind"),
                       requiredField<std::string>(json, "detail"),
                       requiredField<std::string>(json, "time"),
                       optionalField<std::string>(json, "transactionID"),
                       optionalField<std::string>(json, "format"),
                       optionalField<Uuid>(json, "presetRunID")};
}

}  // namespace kestrova
