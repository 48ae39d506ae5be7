// The per-product figures the list screens show, from the records alone.
#include "planning/ProductSummaries.h"

#include "PlanningFixtures.h"

#include <gtest/gtest.h>

#include <map>

namespace kestrova {
namespace {

// A product named "Pro" with a record per format; "q" formats quarantined.
Plugin product(std::vector<PluginBundleRecord> records, std::string architecture = "Universal") {
    auto plugin = testing::product("Pro", "Acme", std::move(records));
    plugin.architecture = std::move(architecture);
    return plugin;
}

PluginBundleRecord record(std::string format, std::string size, bool quarantined) {
    const auto path = "/Library/Audio/Plug-Ins/" + format + "/Pro.bundle";
    auto made = testing::bundleRecord(std::move(format), path, std::move(size));
    if (quarantined) {
        testing::quarantine(made, "/Quarantine");
    }
    return made;
}

TEST(ProductSummaries, InventoryFiguresAndArchitectureTints) {
    const std::vector<Plugin> products{
        product({record("AU", "1 MB", false), record("VST3", "2 MB", false)}, "Apple Silicon"),
        product({record("VST3", "2 MB", false)}, "Universal"),
        product({record("VST2", "2 MB", false)}, "Intel"),
        product({record("CLAP", "2 MB", false), record("VST3", "1 MB", false)}, "Unknown"),
        product({record("AAX", "2 MB", false)}, "Mixed"),
    };
    EXPECT_EQ(summarizeInventory(products), (InventorySummary{5, 2, 2, 2}));
    const std::map<std::string, ArchitectureTint> tints{{"Apple Silicon", ArchitectureTint::native},
                                                        {"Universal", ArchitectureTint::native},
                                                        {"Intel", ArchitectureTint::review},
                                                        {"Unknown", ArchitectureTint::review},
                                                        {"Mixed", ArchitectureTint::neutral},
                                                        {"Intel, Unknown", ArchitectureTint::neutral},
                                                        {"", ArchitectureTint::neutral}};
    for (const auto& [architecture, tint] : tints) {
        EXPECT_EQ(architectureTint(architecture), tint) << architecture;
    }

    // On Linux native means built for this computer; Apple's names mean nothing there.
    const std::vector<Plugin> linux{
        product({record("VST3", "1 MB", false)}, "x86-64"), product({record("CLAP", "1 MB", false)}, "ARM64"),
        product({record("LV2", "1 MB", false)}, "Unknown"), product({record("VST3", "1 MB", false)}, "Universal")};
    EXPECT_EQ(summarizeInventory(linux, "x86-64"), (InventorySummary{4, 0, 1, 1}));
    EXPECT_EQ(summarizeInventory(linux, "ARM64").nativeOrUniversal, 1);
    EXPECT_EQ(architectureTint("Apple Silicon", "x86-64"), ArchitectureTint::neutral);
}

TEST(ProductSummaries, QuarantinedPartAndRecordsNameOnlyTheMovedFormatsFirst) {
    const auto mixed = product({record("AU", "1.5 MB", false), record("VST3", "2.5 MB", true),
                                record("CLAP", "1 MB", true), record("VST2", "odd", true)});
    const auto operationOf = [&](std::size_t index) { return *mixed.bundles->at(index).quarantineOperationID; };
    const std::map<std::string, Date> moved{{operationOf(1), Date{200}}, {operationOf(2), Date{100}}};
    const auto part = quarantinedPart(mixed, [&](const PluginBundleRecord& bundle) -> std::optional<Date> {
        const auto found = moved.find(*bundle.quarantineOperationID);
        return found == moved.end() ? std::nullopt : std::optional(found->second);
    });
    // bundleRecords sorts by format; an unreadable size adds nothing.
    EXPECT_EQ(part.formats, (std::vector<std::string>{"CLAP", "VST2", "VST3"}));
    EXPECT_EQ(part.bytes, 3'500'000);
    EXPECT_EQ(part.movedAt, Date{100});
    EXPECT_EQ(quarantinedPart(mixed).movedAt, std::nullopt);
    EXPECT_TRUE(hasQuarantinedFormat(mixed));
    std::vector<std::string> order;  // the details panes list what is away first
    for (const auto& bundle : quarantinedRecordsFirst(mixed)) {
        order.push_back(bundle.format);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"CLAP", "VST2", "VST3", "AU"}));

    const auto active = product({record("AU", "1 MB", false)});
    EXPECT_EQ(quarantinedPart(active), QuarantinedPart{});
    EXPECT_FALSE(hasQuarantinedFormat(active));
}

}  // namespace
}  // namespace kestrova
