// duplicates and duplicates retire against the real helper daemon on a demo
// tree with a second copy of two plug-ins, and the REAPER list that still
// names the retired copy.
#include "CliProcess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace kestrova::testing {
namespace {

using ::testing::HasSubstr;

namespace fs = std::filesystem;

class DuplicateCommandTest : public DemoCliTest {
protected:
    void SetUp() override {
        DemoCliTest::SetUp();
        proQ = demo->system("/Library/Audio/Plug-Ins/VST3/FabFilter Pro-Q 3.vst3");
        vendorCopy = demo->system("/Library/Audio/Plug-Ins/VST3/FabFilter/FabFilter Pro-Q 3.vst3");
        userDecapitator = demo->layout().user("Library/Audio/Plug-Ins/VST3/Decapitator.vst3");
        systemDecapitator = demo->system("/Library/Audio/Plug-Ins/VST3/Decapitator.vst3");
        // A second Pro-Q 3 in a vendor folder and a system copy of the user's Decapitator.
        fs::create_directories(fs::path(vendorCopy).parent_path());
        fs::copy(proQ, vendorCopy, fs::copy_options::recursive);
        fs::copy(userDecapitator, systemDecapitator, fs::copy_options::recursive);
        const auto reaper = demo->layout().user("Library/Application Support/REAPER");
        fs::create_directories(reaper);
        std::ofstream(reaper + "/reaper-vstplugins_arm64.ini")
            << "[vstcache]\nFabFilter_Pro-Q_3.vst3=00,{0},FabFilter Pro-Q 3 (FabFilter)\n"
               "Ozone_11.vst3=00,{0},Ozone 11 (iZotope)\n";
        demo->expectSuccess({"scan"});
    }

    Json duplicates() const {
        const auto listed = demo->expectSuccess({"duplicates", "--json"});
        return Json::parse(listed.out);
    }

    std::string proQ;
    std::string vendorCopy;
    std::string userDecapitator;
    std::string systemDecapitator;
};

TEST_F(DuplicateCommandTest, ListsGroupsAndRetiresTheProposalAsOneReversibleQuarantine) {
    const auto listed = duplicates();
    // Which copy is kept is the planner's to test; here the document's shape.
    ASSERT_EQ(listed["groups"].size(), 2U) << listed.dump(2);
    EXPECT_EQ(listed["groups"][0]["pluginName"], "FabFilter Pro-Q 3");
    EXPECT_EQ(listed["groups"][0]["members"][1]["path"], vendorCopy);
    EXPECT_EQ(listed["groups"][0]["members"][1]["disposition"], "retire");
    EXPECT_TRUE(listed["groups"][1]["members"][1].contains("reason"));
    EXPECT_EQ(listed["proposedRetirements"].size(), 1U);

    const auto text = demo->expectSuccess({"duplicates"});
    EXPECT_THAT(text.out, HasSubstr("FabFilter Pro-Q 3 — FabFilter (VST3, the same version twice)\n"));
    EXPECT_THAT(text.out, HasSubstr("  retire  3.28          " + vendorCopy + "\n"));

    // Without consent nothing moves.
    const auto unconfirmed = demo->run({"duplicates", "retire"});
    EXPECT_EQ(unconfirmed.exitCode, 3);
    EXPECT_THAT(unconfirmed.err,
                HasSubstr("No plugin files were moved. Add --yes to quarantine the 1 proposed bundle."));
    EXPECT_TRUE(fs::exists(vendorCopy));

    const auto retired = demo->expectSuccess({"duplicates", "retire", "--yes", "--json"});
    const auto document = Json::parse(retired.out);  // exactly one document
    ASSERT_EQ(document["retired"].size(), 1U);
    EXPECT_EQ(document["retired"][0]["sourcePath"], vendorCopy);
    EXPECT_FALSE(fs::exists(vendorCopy));
    EXPECT_TRUE(fs::exists(proQ));
    EXPECT_THAT(retired.err, HasSubstr("Plugins Moved to Quarantine: "));
    EXPECT_THAT(retired.err, HasSubstr("Hosts Still List Moved Plug-ins: "));

    EXPECT_TRUE(duplicates()["proposedRetirements"].empty());
    const auto nothingLeft = demo->expectSuccess({"duplicates", "retire", "--yes"});
    EXPECT_EQ(nothingLeft.out, "No duplicate bundle can be retired.\n");
}

}  // namespace
}  // namespace kestrova::testing
