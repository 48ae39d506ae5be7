// The direct writer against the previous one (OldStateWriter.h), byte for
// byte, over every shape the state file has had: a save of an unchanged
// state must not rewrite a single byte, or every user's file would change
// under them at the first save after the upgrade. The demo tree's state is
// compared the same way in the command-line tests.
#include "../OldStateWriter.h"
#include "../StateSamples.h"
#include "store/state/InventoryStateMigration.h"
#include "store/state/PersistedInventoryFile.h"
#include "support/TemporaryDirectory.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace kestrova {
namespace {

using testing::fullState;
using testing::minimalState;
using testing::oldWriterText;
using testing::TemporaryDirectory;

std::string corpusDocument(const std::string& name) {
    std::ifstream file(std::string(KESTROVA_SOURCE_DIR) + "/fuzz/corpus/state/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// As the store has it after loading: decoded and, where the version allows,
// upgraded.
PersistedInventory loaded(const std::string& text) {
    auto decoded = decodePersistedInventory(text);
    if (!decoded) {
        throw std::runtime_error(decoded.error().message);
    }
    auto migrated = InventoryStateMigration::migrate(*decoded);
    return migrated ? std::move(migrated->state) : std::move(*decoded);
}

// Products with three bundles each, some quarantined by a preset run, some
// protected, names with quotes, slashes, control characters and non-ASCII
// text, and a history ten times as long.
PersistedInventory generatedState(int products) {
    PersistedInventory state = minimalState();
    state.lastScanDate = Date{786543210.125};
    const std::array<std::string, 3> formats{"AU", "VST3", "CLAP"};
    for (int i = 0; i < products; ++i) {
        const auto name = fmt::format(fmt::runtime(i % 7 == 0 ? "Ünïcødé “{}” \"quoted\"\t/" : "Product {}"), i);
        auto product = testing::sampleProduct(fmt::format("Maker {}", i % 97), name, {"AU", "CLAP", "VST3"},
                                              i % 5 == 0 ? PluginStatus::partiallyQuarantined : PluginStatus::ok);
        product.isProtected = i % 11 == 0;
        product.bundles.emplace();
        for (const auto& format : formats) {
            auto bundle = testing::sampleBundle(format, fmt::format("/Library/Audio/Plug-Ins/{}/{}.x", format, name),
                                                product.isProtected);
            if (i % 5 == 0 && format == "VST3") {
                bundle = testing::quarantinedBundle(format, bundle.path, fmt::format("OP-{}", i));
                bundle.presetRunID = Uuid::random();
            }
            if (i % 13 == 0 && format == "CLAP") {
                bundle.pluginNames = std::vector<std::string>{"Suite “A”", "Suite\\B", name};
            }
            product.bundles->push_back(std::move(bundle));
        }
        if (product.isProtected) {
            state.protectedKeys.push_back(productKey(product));
        }
        state.plugins.push_back(std::move(product));
    }
    for (int i = 0; i < products * 10; ++i) {
        auto item =
            makeHistoryItem(fmt::format("Product {}", i % products), static_cast<HistoryKind>(i % historyKindCount),
                            fmt::format("Detail {} with a \\ backslash and a\nsecond line", i), "10:42 AM");
        if (i % 3 == 0) {
            item.transactionID = Uuid::random().string();
            item.format = "VST3";
            item.presetRunID = Uuid::random();
        }
        state.history.push_back(std::move(item));
    }
    state.inaccessibleLocations = std::vector<std::string>{"/Library/Audio/Plug-Ins/Locked"};
    return state;
}

// Strings the writer must repair rather than refuse: broken UTF-8 from a
// file name, a lone control character.
PersistedInventory brokenTextState() {
    auto state = fullState();
    state.plugins[0].name = "Broken \xff\xc3 name \x01";
    state.plugins[0].bundles->at(0).path = "/Library/\xed\xa0\x80/x.vst3";
    state.history[0].detail = "\xf4\x90\x80\x80 over the top";
    return state;
}

std::string writtenFile(const PersistedInventory& state) {
    TemporaryDirectory directory;
    const SystemLayout layout{directory / "root", directory / "home"};
    if (auto written = writePersistedInventory(state, layout); !written) {
        throw std::runtime_error(written.error().message);
    }
    std::ifstream file(inventoryStateURL(layout), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(StateWriterComparison, TheDirectWriterWritesWhatTheOldOneWrote) {
    auto v4 = corpusDocument("every-record.json");
    const auto version = v4.find("\"schemaVersion\": 3");
    ASSERT_NE(version, std::string::npos);
    v4.replace(version, 18, "\"schemaVersion\": 4");

    const std::vector<std::pair<std::string, PersistedInventory>> states{
        {"v1, upgraded", loaded(corpusDocument("unversioned-legacy.json"))},
        {"v3", loaded(corpusDocument("every-record.json"))},
        {"v3 by the original encoder", loaded(corpusDocument("original-encoder.json"))},
        {"v4, kept as read", loaded(v4)},
        {"every optional field", fullState()},
        {"nothing optional", minimalState()},
        {"broken text", brokenTextState()},
        {"10,000 products", generatedState(10'000)},
    };
    ASSERT_EQ(states[3].second.schemaVersion, 4);
    for (const auto& [name, state] : states) {
        const auto expected = oldWriterText(state);
        EXPECT_EQ(encodePersistedInventory(state), expected) << name;
        // Through the file, in the pieces the writer hands on.
        EXPECT_EQ(writtenFile(state), expected) << name;
    }
}

}  // namespace
}  // namespace kestrova
