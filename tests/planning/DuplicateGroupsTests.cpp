// Which installed copies of a plug-in are duplicates, and which of them the
// proposal keeps, over inventories built the way a scan builds them.
#include "planning/DuplicateGroups.h"

#include "PlanningFixtures.h"
#include "model/ProductGrouping.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace kestrova {
namespace {

using testing::discovered;

constexpr std::string_view systemVst3 = "/Library/Audio/Plug-Ins/VST3";
constexpr std::string_view userVst3 = "/Users/me/Library/Audio/Plug-Ins/VST3";

std::string vst3At(std::string_view folder, std::string_view name) {
    return std::string(folder) + "/" + std::string(name) + ".vst3";
}

// System folders are movable, the home is not; a path through "/Linked" is
// the system VST3 folder reached again.
DuplicatePlaces fakePlaces() {
    return {{std::string(systemVst3), "/Library/Audio/Plug-Ins/Components"},
            [](const std::string& path) -> std::optional<std::string> {
                if (path.starts_with("/Linked/")) {
                    return std::string(systemVst3) + path.substr(std::string_view("/Linked").size());
                }
                if (path.starts_with("/Library/")) {
                    return path;
                }
                return std::nullopt;
            }};
}

// Each group's members as "path:disposition", a group ending with "|".
std::vector<std::string> proposal(const std::vector<DuplicateGroup>& groups) {
    std::vector<std::string> members;
    for (const auto& group : groups) {
        for (const auto& member : group.members) {
            members.push_back(member.path + ":" + std::string(rawValue(member.disposition)));
        }
        members.emplace_back("|");
    }
    return members;
}

TEST(DuplicateGroups, VersionsCompareAsNumbersRunByRun) {
    struct Case {
        std::string a;
        std::string b;
        int order;
    };
    const std::vector<Case> cases{
        {"3.10.0", "3.9.2", 1},
        {"1.2", "1.2.0", 0},
        {"2.0", "10.0", -1},
        {"1.02", "1.2", 0},
        {"1.0 (b5)", "1.0.5", 1},
        {"Unavailable", "0.1", -1},
        {"Unavailable", "", 0},
        {"v2", "1.9", 1},
        {"1.0.0.1", "1.0", 1},
        {"1.0b", "1.0", 1},
        {"99999999999999999999", "1", 1},
    };
    for (const auto& [a, b, order] : cases) {
        EXPECT_EQ(compareVersions(a, b), order) << a << " vs " << b;
        EXPECT_EQ(compareVersions(b, a), -order) << b << " vs " << a;
    }
}

// A system and a home copy of one version are in the recorded `duplicates
// --json`; the order test below keeps the system one.
TEST(DuplicateGroups, KindsExclusionsAndTheKeptCopyOverGeneratedInventories) {
    struct Case {
        std::string title;
        std::vector<DiscoveredBundle> bundles;
        std::optional<DuplicateKind> kind = std::nullopt;  // no group when absent
        std::vector<std::string> members = {};             // "path:disposition", in order
    };
    const auto sys = [](std::string_view name) { return vst3At(systemVst3, name); };
    const auto user = [](std::string_view name) { return vst3At(userVst3, name); };
    const std::vector<Case> cases{
        {"three versions: the newest stays, the older two go",
         {discovered("Pro", "VST3", sys("Pro 1"), "1.0"), discovered("Pro", "VST3", sys("Pro 3"), "3.0"),
          discovered("Pro", "VST3", sys("Pro 2"), "2.0")},
         DuplicateKind::versions,
         {sys("Pro 3") + ":keep", sys("Pro 2") + ":retire", sys("Pro 1") + ":retire"}},
        {"the same folder reached twice is one bundle",
         {discovered("Pro", "VST3", sys("Pro")), discovered("Pro", "VST3", "/Linked/Pro.vst3")}},
        {"the same path recorded in another letter case is one bundle",
         {discovered("Pro", "VST3", user("Pro")), discovered("Pro", "VST3", user("PRO"))}},
        {"a shared shell is never grouped",
         {discovered("WaveShell", "VST3", sys("WaveShell1")), discovered("WaveShell", "VST3", sys("WaveShell2"))}},
    };
    for (const auto& [title, bundles, kind, members] : cases) {
        SCOPED_TRACE(title);
        auto products = groupIntoProducts(bundles);
        for (auto& product : products) {
            if (product.name == "WaveShell") {
                product.manufacturer = "Waves";
                product.status = PluginStatus::sharedShell;
            }
        }
        const auto groups = findDuplicateGroups(products, fakePlaces());
        ASSERT_EQ(groups.size(), kind ? 1U : 0U);
        if (!kind) {
            continue;
        }
        EXPECT_EQ(groups[0].kind, *kind);
        auto expected = members;
        expected.emplace_back("|");
        EXPECT_EQ(proposal(groups), expected);
    }
}

TEST(DuplicateGroups, ProtectedAndQuarantinedCopiesAreNeverProposed) {
    auto pro = groupIntoProducts(std::vector<DiscoveredBundle>{
        discovered("Pro", "VST3", vst3At(systemVst3, "A"), "2.0"), discovered("Pro", "VST3", vst3At(systemVst3, "B")),
        discovered("Pro", "VST3", vst3At(systemVst3, "C")), discovered("Pro", "VST3", vst3At(systemVst3, "D"))});
    auto& records = *pro[0].bundles;
    records[1].isProtected = true;
    testing::quarantine(records[2], "/Quarantine");
    const auto groups = findDuplicateGroups(pro, fakePlaces());
    ASSERT_EQ(groups.size(), 1U);
    ASSERT_EQ(groups[0].members.size(), 3U);
    EXPECT_EQ(groups[0].members[0].path, vst3At(systemVst3, "A"));
    EXPECT_EQ(groups[0].members[1].disposition, DuplicateDisposition::protectedCopy);
    EXPECT_EQ(groups[0].members[2].path, vst3At(systemVst3, "D"));
    EXPECT_EQ(proposedRetirements(groups),
              (std::vector<PluginBundleSelection>{{pro[0].id, bundleKey("VST3", vst3At(systemVst3, "D"))}}));
}

TEST(DuplicateGroups, TheProposalDoesNotDependOnDiscoveryOrder) {
    // A generated inventory: every fourth product also has an older copy in
    // a vendor folder and every seventh a copy in the home.
    std::vector<DiscoveredBundle> bundles;
    for (int i = 0; i < 60; ++i) {
        const auto name = "Unit " + std::to_string(i);
        bundles.push_back(discovered(name, "VST3", vst3At(systemVst3, name), "2.10"));
        bundles.push_back(discovered(name, "AU", "/Library/Audio/Plug-Ins/Components/" + name + ".component"));
        if (i % 4 == 0) {
            bundles.push_back(discovered(name, "VST3", vst3At(systemVst3, "Vendor/" + name), "2.9"));
        }
        if (i % 7 == 0) {
            bundles.push_back(discovered(name, "VST3", vst3At(userVst3, name), "2.10"));
        }
    }
    const auto baseline = findDuplicateGroups(groupIntoProducts(bundles), fakePlaces());
    EXPECT_EQ(baseline.size(), 15U + 9U - 3U);
    std::mt19937 random(22);
    for (int round = 0; round < 5; ++round) {
        std::shuffle(bundles.begin(), bundles.end(), random);
        EXPECT_EQ(proposal(findDuplicateGroups(groupIntoProducts(bundles), fakePlaces())), proposal(baseline));
    }
    for (const auto& group : baseline) {
        EXPECT_EQ(group.members.front().version, "2.10") << group.pluginName;
        EXPECT_TRUE(group.members.front().inSystemFolder) << group.pluginName;
    }
}

}  // namespace
}  // namespace kestrova
