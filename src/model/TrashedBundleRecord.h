// The recovery record of one format bundle sent on to the Finder Trash, kept
// after the bundle is back so the history of the move stays explainable.
#pragma once

#include "model/Hashing.h"
#include "model/JsonCoding.h"
#include "platform/Date.h"
#include "platform/Uuid.h"

#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

enum class TrashRecoveryState {
    readyToRestore,
    alreadyRestored,
    destinationOccupied,
    missingFromTrash,
    needsVerification,
};

// The stored raw value, which is also the title shown ("Destination Occupied").
std::string_view rawValue(TrashRecoveryState state);
inline std::string_view title(TrashRecoveryState state) { return rawValue(state); }
std::optional<TrashRecoveryState> trashRecoveryStateFromRawValue(std::string_view raw);

struct TrashedBundleRecord {
    Uuid id;
    std::string pluginName;
    std::string manufacturer;
    std::string format;
    std::string originalPath;
    std::string trashPath;
    Date operationDate;
    std::optional<std::string> trashTransactionID;
    std::optional<Uuid> presetRunID;
    // Only these three change after creation.
    std::optional<Date> reconciledDate;
    std::optional<std::string> restoreTransactionID;
    std::optional<Date> missingDetectedDate;

    bool isOpen() const { return !reconciledDate.has_value(); }

    friend bool operator==(const TrashedBundleRecord&, const TrashedBundleRecord&) = default;
};

template <>
struct JsonCoder<TrashRecoveryState> {
    static Json encode(TrashRecoveryState state) { return std::string(rawValue(state)); }
    static TrashRecoveryState decode(const Json& json, const std::string& key);
};

template <>
struct JsonCoder<TrashedBundleRecord> {
    static Json encode(const TrashedBundleRecord& record);
    static TrashedBundleRecord decode(const Json& json, const std::string& key);
};

}  // namespace kestrova

template <>
struct std::hash<kestrova::TrashedBundleRecord> {
    std::size_t operator()(const kestrova::TrashedBundleRecord& record) const noexcept;
};
