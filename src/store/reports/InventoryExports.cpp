#include "store/reports/InventoryExports.h"

#include "model/HistoryOperation.h"
#include "model/ProductStatus.h"

#include <vector>

namespace kestrova {
namespace {

constexpr std::string_view inventoryHeader =
    "Plugin,Manufacturer,Version,Formats,Architecture,Size,Status,Protected,Bundle Locations\n";
constexpr std::string_view duplicatesHeader = "Plugin,Manufacturer,Format,Kind,Proposal,Version,Path,Reason\n";
constexpr std::string_view historyHeader = "Time,Operation,Product,Formats,Format Bundles,Detail,Result\n";
constexpr std::string_view listSeparator = " | ";

std::string joined(const std::vector<std::string>& values, std::string_view separator) {
    std::string result;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) {
            result += separator;
        }
        result += values[i];
    }
    return result;
}

void appendRecord(std::string& text, const std::vector<std::string>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            text += ',';
        }
        text += csvField(fields[i]);
    }
    text += '\n';
}

std::string_view protectionText(ProtectionCoverage coverage) {
    switch (coverage) {
        case ProtectionCoverage::none:
            return "Not Protected";
        case ProtectionCoverage::partial:
            return "Partially Protected";
        case ProtectionCoverage::full:
            return "All Formats Protected";
        case ProtectionCoverage::mandatory:
            return "Mandatory Protection";
    }
    return {};
}

std::string bundleLocations(const Plugin& product) {
    std::vector<std::string> entries;
    for (const auto& bundle : bundleRecords(product)) {
        entries.push_back(bundle.format + " [" + (bundle.isProtected ? "Protected" : "Not Protected") +
                          "]: " + bundle.quarantinePath.value_or(bundle.path));
    }
    return joined(entries, listSeparator);
}

}  // namespace

std::string csvField(std::string_view value) {
    std::string escaped;
    escaped.reserve(value.size());
    bool needsQuotes = false;
    for (const char c : value) {
        if (c == '"') {
            escaped += '"';
        }
        needsQuotes = needsQuotes || c == '"' || c == ',' || c == '\n';
        escaped += c;
    }
    return needsQuotes ? '"' + escaped + '"' : escaped;
}

std::string duplicatesCSV(const std::vector<DuplicateGroup>& groups) {
    std::string text(duplicatesHeader);
    for (const auto& group : groups) {
        for (const auto& member : group.members) {
            appendRecord(text, {group.pluginName, group.manufacturer, group.format, std::string(rawValue(group.kind)),
                                std::string(rawValue(member.disposition)), member.version, member.path, member.reason});
        }
    }
    return text;
}

std::string inventoryCSV(std::span<const Plugin> activeProducts) {
    std::string text(inventoryHeader);
    for (const auto& product : activeProducts) {
        appendRecord(text, {product.name, product.manufacturer, product.version, joined(product.formats, listSeparator),
                            product.architecture, product.size, std::string(rawValue(product.status)),
                            std::string(protectionText(protectionCoverage(product))), bundleLocations(product)});
    }
    return text;
}

std::string historyCSV(const std::vector<HistoryItem>& history) {
    std::string text(historyHeader);
    for (const auto& operation : groupedHistoryOperations(history)) {
        const bool countsBundles = isProductTransaction(operation.kind) && !operation.items.empty();
        appendRecord(text, {operation.time, std::string(title(operation.kind)), operation.plugin,
                            joined(operationFormats(operation), " + "),
                            countsBundles ? std::to_string(operation.items.size()) : std::string(),
                            operationSummary(operation), std::string(operationResult(operation.kind))});
    }
    return text;
}

}  // namespace kestrova
