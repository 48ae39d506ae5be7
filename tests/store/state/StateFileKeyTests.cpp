// Every key of the state file and every stored name, held against a document
// an earlier build wrote (tests/data/store, not produced by today's writer): a key
// or a name renamed in the reader and writer together would still round-trip
// and pass every other test, but would lose that field in every user's file.
#include "../StateSamples.h"
#include "store/state/PersistedInventory.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace kestrova {
namespace {

TEST(StateFileKeys, AFileOfAnEarlierBuildIsReadFieldByField) {
    const auto text = testing::storeTestData("earlier-build-state.json");
    const auto earlier = Json::parse(text);
    const auto decoded = decodePersistedInventory(text);
    ASSERT_TRUE(decoded) << decoded.error().message;
    // Each key is read into its field and written back under its name.
    const auto written = Json::parse(encodePersistedInventory(*decoded));
    EXPECT_EQ(written, earlier) << Json::diff(earlier, written).dump();
    EXPECT_EQ(decoded->pendingPrivilegedTrash->side, BundleSide::user);

    // What is absent is not written, not even as null.
    const auto minimal = encodePersistedInventory(testing::minimalState());
    EXPECT_EQ(Json::parse(minimal), Json::parse(R"({"history":[],"plugins":[],"protectedKeys":[],"schemaVersion":3})"));
    EXPECT_EQ(decodePersistedInventory(minimal).value(), testing::minimalState());
}

// Each stored name of an enumeration, as earlier builds wrote it, in the
// order of its cases (tests/data/store/stored-names.json); every case is read
// from it and written back as it.
TEST(StateFileKeys, EveryStoredNameOfEveryCaseIsReadBack) {
    const auto names = Json::parse(testing::storeTestData("stored-names.json"));
    const auto earlier = Json::parse(testing::storeTestData("earlier-build-state.json"));
    const auto check = [&](const std::string& pointer, std::size_t cases, auto caseIn) {
        using Enum = std::invoke_result_t<decltype(caseIn), const PersistedInventory&>;
        const auto& list = names.at(pointer);
        ASSERT_EQ(list.size(), cases) << pointer;
        for (std::size_t index = 0; index < list.size(); ++index) {
            const auto name = list[index].get<std::string>();
            auto document = earlier;
            document[Json::json_pointer(pointer)] = name;
            const auto decoded = decodePersistedInventory(document.dump());
            ASSERT_TRUE(decoded) << name;
            EXPECT_EQ(caseIn(*decoded), static_cast<Enum>(index)) << name;
            EXPECT_EQ(rawValue(static_cast<Enum>(index)), name);
        }
    };
    check("/history/0/kind", historyKindCount, [](const PersistedInventory& s) { return s.history.at(0).kind; });
    check("/plugins/0/status", 8, [](const PersistedInventory& s) { return s.plugins.at(0).status; });
    check("/formatCleanupRuns/0/preset", allFormatCleanupPresets.size(),
          [](const PersistedInventory& s) { return s.formatCleanupRuns->at(0).preset; });
    check("/formatCleanupRuns/0/status", 4,
          [](const PersistedInventory& s) { return s.formatCleanupRuns->at(0).status; });
}

}  // namespace
}  // namespace kestrova
