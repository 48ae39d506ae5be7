// What the daemon refuses from the request alone, whatever the client checked.
#include "helper/RequestValidation.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

const std::string op = "0F8D5F6E-7E0B-4B47-9D1C-2B0C6C1D2E3F";
const std::string tx = "A1B2C3D4-0000-4000-8000-000000000001";
const std::string vst3 = "/r/Library/Audio/Plug-Ins/VST3";
const std::string quarantine = "/r/Library/Application Support/Kestrova/Quarantine/" + op;
const HelperAreas areas = HelperAreas::under("/r", "/home/u/.Trash");

std::string refusal(const Result<ValidatedTransaction>& result) { return result ? "" : result.error().message; }

TEST(RequestValidation, QuarantineStaysInsideTheManagedFolders) {
    const auto ok = validateRequest(
        PrivilegedQuarantineRequest{tx, {{vst3 + "/Vendor/A.vst3", quarantine + "/A.vst3", op}}}, areas);
    ASSERT_TRUE(ok) << ok.error().message;
    EXPECT_EQ(ok->moves[0].createsFolder, quarantine);

    const std::vector<std::pair<PrivilegedQuarantineItem, std::string>> refused{
        {{"/home/u/Library/Audio/Plug-Ins/VST3/A.vst3", quarantine + "/A.vst3", op},
         "is not inside a standard system plug-in folder"},
        {{vst3, quarantine + "/VST3", op}, "is not a plug-in bundle"},
        {{vst3 + "/A.vst3/../../../../../etc/B.vst3", quarantine + "/B.vst3", op}, "not a standardized"},
        {{vst3 + "/A.dylib", quarantine + "/A.dylib", op}, "is not a plug-in bundle"},
        {{vst3 + "/A.vst3", quarantine + "/B.vst3", op}, "is not the quarantine location"},
        {{vst3 + "/A.vst3", "/r/Library/Application Support/Kestrova/Quarantine/x/A.vst3", "x"}, "is not a UUID"},
        {{"A.vst3", quarantine + "/A.vst3", op}, "not a standardized absolute path"},
    };
    for (const auto& [item, expected] : refused) {
        const auto message = refusal(validateRequest(PrivilegedQuarantineRequest{tx, {item}}, areas));
        EXPECT_NE(message.find(expected), std::string::npos) << item.sourcePath << ": " << message;
    }
}

TEST(RequestValidation, WholeRequestRules) {
    const PrivilegedQuarantineItem a{vst3 + "/A.vst3", quarantine + "/A.vst3", op};
    EXPECT_NE(refusal(validateRequest(PrivilegedQuarantineRequest{tx, {}}, areas)).find("no bundles"),
              std::string::npos);
    EXPECT_NE(refusal(validateRequest(PrivilegedQuarantineRequest{"not-a-uuid", {a}}, areas)).find("not a UUID"),
              std::string::npos);
    EXPECT_NE(refusal(validateRequest(PrivilegedQuarantineRequest{tx, {a, a}}, areas)).find("overlap"),
              std::string::npos);
    PrivilegedQuarantineRequest tooMany{tx, {}};
    for (int i = 0; i < 257; ++i) {
        const auto name = "P" + std::to_string(i) + ".vst3";
        tooMany.items.push_back({vst3 + "/" + name, quarantine + "/" + name, op});
    }
    EXPECT_NE(refusal(validateRequest(tooMany, areas)).find("at most 256"), std::string::npos);
    tooMany.items.pop_back();
    EXPECT_TRUE(validateRequest(tooMany, areas));
}

TEST(RequestValidation, RestoreTrashAndTrashRestoreKeepToTheirPlaces) {
    EXPECT_TRUE(validateRequest(PrivilegedRestoreRequest{tx, {{quarantine + "/A.vst3", vst3 + "/A.vst3", op}}}, areas));
    EXPECT_NE(
        refusal(validateRequest(PrivilegedRestoreRequest{tx, {{quarantine + "/A.vst3", "/etc/A.vst3", op}}}, areas))
            .find("standard system plug-in folder"),
        std::string::npos);
    EXPECT_NE(refusal(validateRequest(PrivilegedRestoreRequest{tx, {{vst3 + "/B.vst3", vst3 + "/A.vst3", op}}}, areas))
                  .find("quarantine folder of operation"),
              std::string::npos);
    EXPECT_NE(refusal(validateRequest(
                          PrivilegedRestoreRequest{tx, {{quarantine + "/A.vst3", vst3 + "/A.component", op}}}, areas))
                  .find("not the same kind"),
              std::string::npos);

    EXPECT_TRUE(
        validateRequest(PrivilegedTrashRequest{tx, {{quarantine + "/A.vst3", "/home/u/.Trash/A 2.vst3", op}}}, areas));
    EXPECT_NE(refusal(validateRequest(
                          PrivilegedTrashRequest{tx, {{quarantine + "/A.vst3", "/home/v/.Trash/A.vst3", op}}}, areas))
                  .find("Trash folder"),
              std::string::npos);
    EXPECT_NE(refusal(validateRequest(PrivilegedTrashRequest{tx, {{quarantine + "/A.vst3", "/tmp/A.vst3", op}}},
                                      HelperAreas::under("/r", std::nullopt)))
                  .find("Trash folder"),
              std::string::npos);

    const PrivilegedTrashRestoreItem back{"/home/u/.Trash/A 2.vst3", vst3 + "/A.vst3", op, "A.vst3", "VST3"};
    EXPECT_TRUE(validateRequest(PrivilegedTrashRestoreRequest{tx, {back}}, areas));
    auto wrongName = back;
    wrongName.originalBundleFilename = "B.vst3";
    EXPECT_FALSE(validateRequest(PrivilegedTrashRestoreRequest{tx, {wrongName}}, areas));
    auto wrongFormat = back;
    wrongFormat.format = "AU";
    EXPECT_FALSE(validateRequest(PrivilegedTrashRestoreRequest{tx, {wrongFormat}}, areas));
    auto badRecord = back;
    badRecord.recoveryRecordID = "x";
    EXPECT_FALSE(validateRequest(PrivilegedTrashRestoreRequest{tx, {badRecord}}, areas));
    auto fromElsewhere = back;
    fromElsewhere.sourcePath = vst3 + "/Z.vst3";
    EXPECT_FALSE(validateRequest(PrivilegedTrashRestoreRequest{tx, {fromElsewhere}}, areas));
}

}  // namespace
}  // namespace kestrova
