// A format cleanup preview: the bundles a preset would quarantine, the
// targeted bundles it leaves alone and why, and what the user should know
// before confirming. Kept in memory only.
#pragma once

#include "model/FormatCleanupRun.h"
#include "model/InventoryRevisionToken.h"
#include "model/JsonCoding.h"
#include "model/PluginBundleSelection.h"
#include "platform/Uuid.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

enum class FormatCleanupExclusionReason {
    protectedBundle,
    mandatoryShell,
    unsafePath,
    missingBundle,
    staleInventory,
    alreadyQuarantined,
    pendingTransaction,
};

enum class FormatCleanupWarningKind { noActiveFormatRemaining, largeRunRequiresMultipleTransactions };

std::string_view rawValue(FormatCleanupExclusionReason reason);
std::optional<FormatCleanupExclusionReason> exclusionReasonFromRawValue(std::string_view raw);
std::string_view rawValue(FormatCleanupWarningKind kind);
std::optional<FormatCleanupWarningKind> warningKindFromRawValue(std::string_view raw);

struct FormatCleanupCandidate {
    PluginBundleSelection selection;
    std::string pluginName;
    std::string manufacturer;
    std::string format;  // normalized
    std::string path;    // link-resolved, as the safe location check yields it
    std::optional<std::int64_t> sizeInBytes;
    bool removesLastActiveFormat = false;
    bool selectedByDefault = true;

    friend bool operator==(const FormatCleanupCandidate&, const FormatCleanupCandidate&) = default;
};

struct FormatCleanupExclusion {
    std::optional<PluginBundleSelection> selection;  // absent for product-level and whole-preview exclusions
    std::string pluginName;
    std::optional<std::string> format;
    FormatCleanupExclusionReason reason = FormatCleanupExclusionReason::unsafePath;
    std::string detail;

    friend bool operator==(const FormatCleanupExclusion&, const FormatCleanupExclusion&) = default;
};

struct FormatCleanupWarning {
    FormatCleanupWarningKind kind = FormatCleanupWarningKind::noActiveFormatRemaining;
    std::optional<Uuid> pluginID;
    std::string detail;

    friend bool operator==(const FormatCleanupWarning&, const FormatCleanupWarning&) = default;
};

struct FormatCleanupPlan {
    Uuid id;
    FormatCleanupPresetKind preset = FormatCleanupPresetKind::auOnly;
    std::set<std::string> customFormatsToQuarantine;  // normalized
    InventoryRevisionToken inventoryRevision;
    std::vector<FormatCleanupCandidate> candidates;
    std::vector<FormatCleanupExclusion> exclusions;
    std::vector<FormatCleanupWarning> warnings;

    friend bool operator==(const FormatCleanupPlan&, const FormatCleanupPlan&) = default;
};

template <>
struct JsonCoder<FormatCleanupExclusionReason> {
    static Json encode(FormatCleanupExclusionReason reason) { return std::string(rawValue(reason)); }
    static FormatCleanupExclusionReason decode(const Json& json, const std::string& key);
};

template <>
struct JsonCoder<FormatCleanupWarningKind> {
    static Json encode(FormatCleanupWarningKind kind) { return std::string(rawValue(kind)); }
    static FormatCleanupWarningKind decode(const Json& json, const std::string& key);
};

template <>
struct JsonCoder<FormatCleanupCandidate> {
    static Json encode(const FormatCleanupCandidate& candidate);
    static FormatCleanupCandidate decode(const Json& json, const std::string& key);
};

template <>
struct JsonCoder<FormatCleanupExclusion> {
    static Json encode(const FormatCleanupExclusion& exclusion);
    static FormatCleanupExclusion decode(const Json& json, const std::string& key);
};

template <>
struct JsonCoder<FormatCleanupWarning> {
    static Json encode(const FormatCleanupWarning& warning);
    static FormatCleanupWarning decode(const Json& json, const std::string& key);
};

template <>
struct JsonCoder<FormatCleanupPlan> {
    static Json encode(const FormatCleanupPlan& plan);
    static FormatCleanupPlan decode(const Json& json, const std::string& key);
};

}  // namespace kestrova
