// Cleanup presets and the journal of one preset run. The preview itself is
// kept in memory only; what is persisted about a run is its record here.
#pragma once

#include "model/JsonCoding.h"
#include "model/PluginBundleSelection.h"
#include "platform/Date.h"
#include "platform/Uuid.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

enum class FormatCleanupPresetKind { auOnly, auAndVST3, retireVST2, noAAX, custom };

inline constexpr std::array<FormatCleanupPresetKind, 5> allFormatCleanupPresets{
    FormatCleanupPresetKind::auOnly, FormatCleanupPresetKind::auAndVST3, FormatCleanupPresetKind::retireVST2,
    FormatCleanupPresetKind::noAAX, FormatCleanupPresetKind::custom};

std::string_view rawValue(FormatCleanupPresetKind preset);
std::optional<FormatCleanupPresetKind> formatCleanupPresetFromRawValue(std::string_view raw);
std::string_view title(FormatCleanupPresetKind preset);
std::string_view presetDescription(FormatCleanupPresetKind preset);

// Only a pending run changes; the other three are final.
enum class FormatCleanupRunStatus { pending, completed, partiallyCompleted, canceled };

std::string_view rawValue(FormatCleanupRunStatus status);
std::optional<FormatCleanupRunStatus> formatCleanupRunStatusFromRawValue(std::string_view raw);

struct FormatCleanupRunRecord {
    Uuid id;
    Uuid planID;
    FormatCleanupPresetKind preset = FormatCleanupPresetKind::auOnly;
    Date createdAt;
    FormatCleanupRunStatus status = FormatCleanupRunStatus::pending;
    // Without duplicates, in storedSelectionOrder.
    std::vector<PluginBundleSelection> selections;
    // In the order their journals were written.
    std::vector<Uuid> childTransactionIDs;

    friend bool operator==(const FormatCleanupRunRecord&, const FormatCleanupRunRecord&) = default;
};

template <>
struct JsonCoder<FormatCleanupPresetKind> {
    static Json encode(FormatCleanupPresetKind preset) { return std::string(rawValue(preset)); }
    static FormatCleanupPresetKind decode(const Json& json, const std::string& key);
};

template <>
struct JsonCoder<FormatCleanupRunStatus> {
    static Json encode(FormatCleanupRunStatus status) { return std::string(rawValue(status)); }
    static FormatCleanupRunStatus decode(const Json& json, const std::string& key);
};

template <>
struct JsonCoder<FormatCleanupRunRecord> {
    static Json encode(const FormatCleanupRunRecord& run);
    static FormatCleanupRunRecord decode(const Json& json, const std::string& key);
};

}  // namespace kestrova
