// A checked file action: what may be carried out, with exact source and
// destination paths, and what is blocked and why. Plans are values; building
// one changes nothing.
#pragma once

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

enum class BundleActionKind { protect, removeProtection, quarantine, restore, trash };

enum class BundleActionBlockingReason {
    staleInventory,
    missingBundle,
    protectedBundle,
    mandatoryProtection,
    unsafePath,
    pendingTransaction,
    invalidState,
    destinationExists,
    duplicateSelection,
    tooManyItems,
};

std::string_view rawValue(BundleActionKind kind);
std::optional<BundleActionKind> bundleActionKindFromRawValue(std::string_view raw);
std::string_view rawValue(BundleActionBlockingReason reason);
std::optional<BundleActionBlockingReason> blockingReasonFromRawValue(std::string_view raw);

// One plan, one helper transaction, at most this many format bundles.
inline constexpr std::size_t maximumBundlesPerTransaction = 256;

struct BundleActionBlockedSelection {
    PluginBundleSelection selection;
    BundleActionBlockingReason reason = BundleActionBlockingReason::invalidState;
    std::string detail;

    friend bool operator==(const BundleActionBlockedSelection&, const BundleActionBlockedSelection&) = default;
};

struct BundleActionPlanItem {
    PluginBundleSelection selection;
    std::string pluginName;
    std::string manufacturer;
    std::string format;
    std::string sourcePath;
    std::optional<std::string> destinationPath;
    std::optional<std::int64_t> sizeInBytes;
    std::optional<std::string> operationID;

    friend bool operator==(const BundleActionPlanItem&, const BundleActionPlanItem&) = default;
};

struct BundleActionPlan {
    Uuid id;
    BundleActionKind operation = BundleActionKind::quarantine;
    InventoryRevisionToken inventoryRevision;
    std::vector<BundleActionPlanItem> items;
    std::vector<BundleActionBlockedSelection> blockedSelections;
    std::optional<Uuid> presetRunID;
    std::set<Uuid> productsLosingAllActiveFormats;

    bool isExecutable() const { return blockedSelections.empty() && !items.empty(); }

    friend bool operator==(const BundleActionPlan&, const BundleActionPlan&) = default;
};

template <>
struct JsonCoder<BundleActionKind> {
    static Json encode(BundleActionKind kind) { return std::string(rawValue(kind)); }
    static BundleActionKind decode(const Json& json, const std::string& key);
};

template <>
struct JsonCoder<BundleActionBlockingReason> {
    static Json encode(BundleActionBlockingReason reason) { return std::string(rawValue(reason)); }
    static BundleActionBlockingReason decode(const Json& json, const std::string& key);
};

template <>
struct JsonCoder<BundleActionBlockedSelection> {
    static Json encode(const BundleActionBlockedSelection& blocked);
    static BundleActionBlockedSelection decode(const Json& json, const std::string& key);
};

template <>
struct JsonCoder<BundleActionPlanItem> {
    static Json encode(const BundleActionPlanItem& item);
    static BundleActionPlanItem decode(const Json& json, const std::string& key);
};

template <>
struct JsonCoder<BundleActionPlan> {
    static Json encode(const BundleActionPlan& plan);
    static BundleActionPlan decode(const Json& json, const std::string& key);
};

}  // namespace kestrova
