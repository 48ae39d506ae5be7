// The operation history: one item per user action or automatic correction,
// newest first. Kinds are stored and shown by their titles.
#pragma once

#include "model/JsonCoding.h"
#include "platform/Date.h"
#include "platform/Uuid.h"

#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

enum class HistoryKind {
    scan,
    scanCanceled,
    restore,
    quarantine,
    trash,
    trashRestore,
    protection,
    protectionRemoved,
    formatProtection,
    formatProtectionRemoved,
    canceled,
    reconciliation,
    externalRestore,
    missingTrashItem,
    cleanupPresetStarted,
    cleanupPresetCompleted,
    cleanupPresetPartiallyCompleted,
    cleanupPresetCanceled,
};

inline constexpr int historyKindCount = 18;

// The stored raw value, which is also the title shown ("Moved to Quarantine").
std::string_view rawValue(HistoryKind kind);
inline std::string_view title(HistoryKind kind) { return rawValue(kind); }
std::optional<HistoryKind> historyKindFromRawValue(std::string_view raw);
// The system symbol name shown next to the kind.
std::string_view iconName(HistoryKind kind);
// The kinds a privileged move writes one item per bundle for.
bool isProductTransaction(HistoryKind kind);

struct HistoryItem {
    Uuid id;
    std::string plugin;
    HistoryKind kind = HistoryKind::scan;
    std::string detail;
    std::string time;  // a short local time of day, for display only
    std::optional<std::string> transactionID;
    std::optional<std::string> format;
    std::optional<Uuid> presetRunID;

    friend bool operator==(const HistoryItem&, const HistoryItem&) = default;
};

// The time text of an item written at `when`: the time of day in the short
// style of the user's locale, without a date.
std::string historyTimeText(Date when);

// A new item with a fresh id; `time` is the caller's, so items written by one
// operation share the moment it took once.
HistoryItem makeHistoryItem(std::string plugin, HistoryKind kind, std::string detail, std::string time,
                            std::optional<std::string> transactionID = std::nullopt,
                            std::optional<std::string> format = std::nullopt,
                            std::optional<Uuid> presetRunID = std::nullopt);

template <>
struct JsonCoder<HistoryKind> {
    static Json encode(HistoryKind kind) { return std::string(rawValue(kind)); }
    static HistoryKind decode(const Json& json, const std::string& key);
};

template <>
struct JsonCoder<HistoryItem> {
    static Json encode(const HistoryItem& item);
    static HistoryItem decode(const Json& json, const std::string& key);
};

}  // namespace kestrova
