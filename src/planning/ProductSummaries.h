// What the list screens show about products beyond their own fields, worked
// out from the records alone: the summary figures over a list, how an
// architecture reads, whether a product belongs on the Quarantine list, and
// the quarantined part of a product (which formats, how much, since when).
#pragma once

#include "model/Plugin.h"
#include "platform/Date.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

struct InventorySummary {
    int products = 0;
    int multipleFormats = 0;    // two or more formats
    int nativeOrUniversal = 0;  // "Apple Silicon" or "Universal"; on Linux, this machine's code
    int needsReview = 0;        // "Intel" or "Unknown"

    friend bool operator==(const InventorySummary&, const InventorySummary&) = default;
};

// `machine` is the architecture name this computer runs under the Linux
// profile ("x86-64"), empty under macOS, where Apple Silicon and Universal
// code is native.
InventorySummary summarizeInventory(const std::vector<Plugin>& products, std::string_view machine = {});

// How an architecture summary reads beside the others: native code, code
// worth a look, or neither (a mixed or other value).
enum class ArchitectureTint { native, review, neutral };
ArchitectureTint architectureTint(std::string_view architecture, std::string_view machine = {});

// Whether the product has anything in quarantine: what the Quarantine screen lists.
bool hasQuarantinedFormat(const Plugin& product);

// When a quarantined bundle was moved, if that can be told.
using MoveDateLookup = std::function<std::optional<Date>(const PluginBundleRecord&)>;

struct QuarantinedPart {
    std::vector<std::string> formats;  // in bundle record order
    // The sum of the quarantined bundles' display sizes; a size that cannot
    // be read counts as nothing.
    std::int64_t bytes = 0;
    // The earliest move the lookup could date.
    std::optional<Date> movedAt;

    friend bool operator==(const QuarantinedPart&, const QuarantinedPart&) = default;
};

QuarantinedPart quarantinedPart(const Plugin& product, const MoveDateLookup& movedAt = {});

// The product's bundle records with the quarantined ones first, each group
// in bundle record order.
std::vector<PluginBundleRecord> quarantinedRecordsFirst(const Plugin& product);

}  // namespace kestrova
