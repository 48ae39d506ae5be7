// What the daemon refuses from the request alone, whatever the client checked.
#include "helper/RequestValidation.h"

#include <gtest/gtest.h>

#include <functional>

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

// The refusal names the rule that was broken.
void expectRefused(const Result<ValidatedTransaction>& result, std::string_view expected) {
    EXPECT_NE(refusal(result).find(expected), std::string::npos) << "“" << refusal(result) << "”, not " << expected;
}

TEST(RequestValidation, WholeRequestRules) {
    const PrivilegedQuarantineItem a{vst3 + "/A.vst3", quarantine + "/A.vst3", op};
    expectRefused(validateRequest(PrivilegedQuarantineRequest{tx, {}}, areas), "no bundles");
    expectRefused(validateRequest(PrivilegedQuarantineRequest{"not-a-uuid", {a}}, areas), "not a UUID");
    expectRefused(validateRequest(PrivilegedQuarantineRequest{tx, {a, a}}, areas), "overlap");
    PrivilegedQuarantineRequest tooMany{tx, {}};
    for (int i = 0; i < 257; ++i) {
        const auto name = "P" + std::to_string(i) + ".vst3";
        tooMany.items.push_back({vst3 + "/" + name, quarantine + "/" + name, op});
    }
    expectRefused(validateRequest(tooMany, areas), "at most 256");
    tooMany.items.pop_back();
    EXPECT_TRUE(validateRequest(tooMany, areas));
}

TEST(RequestValidation, RestoreTrashAndTrashRestoreKeepToTheirPlaces) {
    const auto restore = [](std::string from, std::string to) {
        return validateRequest(PrivilegedRestoreRequest{tx, {{std::move(from), std::move(to), op}}}, areas);
    };
    EXPECT_TRUE(restore(quarantine + "/A.vst3", vst3 + "/A.vst3"));
    expectRefused(restore(quarantine + "/A.vst3", "/etc/A.vst3"), "standard system plug-in folder");
    expectRefused(restore(vst3 + "/B.vst3", vst3 + "/A.vst3"), "quarantine folder of operation");
    expectRefused(restore(quarantine + "/A.vst3", vst3 + "/A.component"), "not the same kind");

    const auto trash = [](std::string to, std::optional<std::string> trashFolder = "/home/u/.Trash") {
        return validateRequest(PrivilegedTrashRequest{tx, {{quarantine + "/A.vst3", std::move(to), op}}},
                               HelperAreas::under("/r", std::move(trashFolder)));
    };
    EXPECT_TRUE(trash("/home/u/.Trash/A 2.vst3"));
    expectRefused(trash("/home/v/.Trash/A.vst3"), "Trash folder");
    expectRefused(trash("/tmp/A.vst3", std::nullopt), "Trash folder");

    const PrivilegedTrashRestoreItem back{"/home/u/.Trash/A 2.vst3", vst3 + "/A.vst3", op, "A.vst3", "VST3"};
    EXPECT_TRUE(validateRequest(PrivilegedTrashRestoreRequest{tx, {back}}, areas));
    // Another name or format than the record's, a record id that is no UUID,
    // or a source outside the Trash.
    const std::vector<std::function<void(PrivilegedTrashRestoreItem&)>> spoilers{
        [](auto& item) { item.originalBundleFilename = "B.vst3"; },
        [](auto& item) { item.format = "AU"; },
        [](auto& item) { item.recoveryRecordID = "x"; },
        [](auto& item) { item.sourcePath = vst3 + "/Z.vst3"; },
    };
    for (const auto& spoil : spoilers) {
        auto item = back;
        spoil(item);
        EXPECT_FALSE(validateRequest(PrivilegedTrashRestoreRequest{tx, {item}}, areas)) << item.sourcePath;
    }
}

// A folder whose name merely starts with an allowed folder's name is
// outside it, and ".." never climbs out of one.
TEST(RequestValidation, SiblingFoldersSharingAPrefixAndDotDotAreOutside) {
    const std::string root = "/r/Library/Application Support/Kestrova/Quarantine";
    const auto quarantineOf = [](std::string from, std::string to) {
        return validateRequest(PrivilegedQuarantineRequest{tx, {{std::move(from), std::move(to), op}}}, areas);
    };
    const auto restoreOf = [](std::string from, std::string to) {
        return validateRequest(PrivilegedRestoreRequest{tx, {{std::move(from), std::move(to), op}}}, areas);
    };
    const auto trashOf = [](std::string from, std::string to) {
        return validateRequest(PrivilegedTrashRequest{tx, {{std::move(from), std::move(to), op}}}, areas);
    };
    const auto backFromTrash = [](std::string from) {
        return validateRequest(
            PrivilegedTrashRestoreRequest{tx, {{std::move(from), vst3 + "/A.vst3", op, "A.vst3", "VST3"}}}, areas);
    };
    const std::vector<std::pair<Result<ValidatedTransaction>, std::string>> cases{
        {quarantineOf(vst3 + "x/A.vst3", quarantine + "/A.vst3"), "not inside a standard system plug-in folder"},
        {quarantineOf(vst3 + "/../VST3x/A.vst3", quarantine + "/A.vst3"), "not a standardized"},
        {quarantineOf(vst3 + "/A.vst3", root + "-evil/" + op + "/A.vst3"), "is not the quarantine location"},
        {quarantineOf(vst3 + "/A.vst3", quarantine + "/../" + op + "/A.vst3"), "not a standardized"},
        {restoreOf(root + "-evil/" + op + "/A.vst3", vst3 + "/A.vst3"), "quarantine folder of operation"},
        {restoreOf(quarantine + "/A.vst3", vst3 + "x/A.vst3"), "standard system plug-in folder"},
        {restoreOf(quarantine + "/A.vst3", vst3 + "/../../../../../etc/A.vst3"), "not a standardized"},
        {trashOf(quarantine + "/A.vst3", "/home/u/.Trash-evil/A.vst3"), "Trash folder"},
        {trashOf(quarantine + "/A.vst3", "/home/u/.Trash/../A.vst3"), "not a standardized"},
        {trashOf(quarantine + "/A.vst3", "/home/u/.Trash/Sub/A.vst3"), "Trash folder"},
        {backFromTrash("/home/u/.Trash-evil/A.vst3"), "Trash folder"},
        {backFromTrash("/home/u/.Trash/../.Trash/A.vst3"), "not a standardized"},
    };
    for (const auto& [result, expected] : cases) {
        expectRefused(result, expected);
    }
    // The same shapes inside the folders are taken.
    EXPECT_TRUE(quarantineOf(vst3 + "/Vendor/A.vst3", quarantine + "/A.vst3"));
    EXPECT_TRUE(trashOf(quarantine + "/A.vst3", "/home/u/.Trash/A.vst3"));
    EXPECT_TRUE(backFromTrash("/home/u/.Trash/A.vst3"));
}

}  // namespace
}  // namespace kestrova
