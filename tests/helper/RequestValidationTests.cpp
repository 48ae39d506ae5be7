// What the daemon refuses from the request alone, whatever the client checked,
// on the macOS areas, the Linux system side and the Linux user side.
#include "helper/RequestValidation.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

const std::string op = "0F8D5F6E-7E0B-4B47-9D1C-2B0C6C1D2E3F";
const std::string tx = "A1B2C3D4-0000-4000-8000-000000000001";
const std::string vst3 = "/r/Library/Audio/Plug-Ins/VST3";
const std::string macRoot = "/r/Library/Application Support/Kestrova/Quarantine";
const std::string quarantine = macRoot + "/" + op;
const HelperAreas areas = HelperAreas::under("/r", "/home/u/.Trash");

const std::string linuxRoot = "/r/var/lib/kestrova/quarantine";
const std::string linuxQuarantine = linuxRoot + "/" + op;
const std::string trash = "/home/u/.local/share/Trash/files";
const HelperAreas linuxAreas = HelperAreas::under("/r", trash, PlatformProfile::gnuLinux);
const std::string userRoot = "/home/u/.local/share/Kestrova/Quarantine";
const std::string userQuarantine = userRoot + "/" + op;
const HelperAreas userAreas = HelperAreas::ofUser("/home/u", std::nullopt, trash);

Result<ValidatedTransaction> validate(const PrivilegedRequest& request, const HelperAreas& where) {
    return std::visit([&](const auto& record) { return validateRequest(record, where); }, request);
}
std::string refusal(const Result<ValidatedTransaction>& result) { return result ? "" : result.error().message; }

PrivilegedRequest quarantineOf(std::string from, std::string to, std::string operation = op) {
    return PrivilegedQuarantineRequest{tx, {{std::move(from), std::move(to), std::move(operation)}}};
}
// Into `root`/op/ under the source's own name.
PrivilegedRequest quarantineInto(const std::string& root, const std::string& from) {
    return quarantineOf(from, root + "/" + op + from.substr(from.rfind('/')));
}
PrivilegedRequest restoreOf(std::string from, std::string to) {
    return PrivilegedRestoreRequest{tx, {{std::move(from), std::move(to), op}}};
}
PrivilegedRequest trashOf(std::string from, std::string to, std::optional<std::string> origin = std::nullopt) {
    return PrivilegedTrashRequest{tx, {{std::move(from), std::move(to), op, std::move(origin)}}};
}
PrivilegedRequest backFromTrash(std::string from, std::string to = vst3 + "/A.vst3", std::string name = "A.vst3",
                                std::string format = "VST3", std::string record = op) {
    return PrivilegedTrashRestoreRequest{
        tx, {{std::move(from), std::move(to), std::move(record), std::move(name), std::move(format)}}};
}

// Each request is taken (nothing expected) or refused with a message naming
// the rule it broke ("*": any refusal).
struct Case {
    const HelperAreas* areas;
    PrivilegedRequest request;
    std::string expected;
};

void expectEach(const std::vector<Case>& cases) {
    for (const auto& [where, request, expected] : cases) {
        const auto result = validate(request, *where);
        const auto item = std::visit([](const auto& r) { return r.items.at(0).sourcePath; }, request);
        if (expected.empty()) {
            EXPECT_TRUE(result) << item << ": " << refusal(result);
        } else {
            ASSERT_FALSE(result) << item << " was taken, not refused for " << expected;
            EXPECT_TRUE(expected == "*" || refusal(result).find(expected) != std::string::npos)
                << item << ": “" << refusal(result) << "”, not " << expected;
        }
    }
}

TEST(RequestValidation, EachKindKeepsToItsPlacesOnEitherProfile) {
    const auto* mac = &areas;
    const auto* sys = &linuxAreas;
    const auto* user = &userAreas;
    const std::string notInside = "not inside a standard system plug-in folder";
    const auto noTrash = HelperAreas::under("/r", std::nullopt);
    expectEach({
        // Quarantine, macOS.
        {mac, quarantineOf(vst3 + "/Vendor/A.vst3", quarantine + "/A.vst3"), ""},
        {mac, quarantineOf("/home/u/Library/Audio/Plug-Ins/VST3/A.vst3", quarantine + "/A.vst3"), notInside},
        {mac, quarantineOf(vst3, quarantine + "/VST3"), "is not a plug-in bundle"},
        {mac, quarantineOf(vst3 + "/A.vst3/../../../../../etc/B.vst3", quarantine + "/B.vst3"), "not a standardized"},
        {mac, quarantineOf(vst3 + "/A.dylib", quarantine + "/A.dylib"), "is not a plug-in bundle"},
        {mac, quarantineOf(vst3 + "/A.vst3", quarantine + "/B.vst3"), "is not the quarantine location"},
        {mac, quarantineOf(vst3 + "/A.vst3", macRoot + "/x/A.vst3", "x"), "is not a UUID"},
        {mac, quarantineOf("A.vst3", quarantine + "/A.vst3"), "not a standardized absolute path"},
        {mac, quarantineInto(macRoot, "/r/Library/Audio/Plug-Ins/VST/Old.so"), "*"},
        // Quarantine, the Linux system folders and single-file bundles.
        {sys, quarantineInto(linuxRoot, "/r/usr/lib/clap/Synth.clap"), ""},
        {sys, quarantineInto(linuxRoot, "/r/usr/lib/vst/Old.so"), ""},
        {sys, quarantineInto(linuxRoot, "/r/usr/local/lib/vst/Old.so"), ""},
        {sys, quarantineInto(linuxRoot, "/r/usr/lib/vst3/V.vst3"), ""},
        {sys, quarantineInto(linuxRoot, "/r/usr/local/lib/vst3/Vendor/V.vst3"), ""},
        {sys, quarantineInto(linuxRoot, "/r/usr/lib/lv2/eq.lv2"), ""},
        {sys, quarantineInto(linuxRoot, "/r/usr/local/lib/lv2/eq.lv2"), ""},
        {sys, quarantineInto(linuxRoot, "/r/Library/Audio/Plug-Ins/CLAP/Synth.clap"), notInside},
        {sys, quarantineInto(linuxRoot, "/home/u/.clap/Synth.clap"), notInside},
        {sys, quarantineInto(linuxRoot, "/r/usr/lib/Old.so"), notInside},
        {sys, quarantineInto(linuxRoot, "/r/usr/lib/vst/Old.component"), "is not a plug-in bundle"},
        {sys, quarantineInto(linuxRoot, "/r/usr/lib/vst/libhelper.a"), "is not a plug-in bundle"},
        // Quarantine, the user side: the home's folders and the user's quarantine only.
        {user, quarantineInto(userRoot, "/home/u/.clap/Synth.clap"), ""},
        {user, quarantineInto(userRoot, "/home/u/.vst3/V.vst3"), ""},
        {user, quarantineInto(userRoot, "/home/u/.vst3/Vendor/V.vst3"), ""},
        {user, quarantineInto(userRoot, "/home/u/.vst/Old.so"), ""},
        {user, quarantineInto(userRoot, "/home/u/.lxvst/Old.so"), ""},
        {user, quarantineInto(userRoot, "/home/u/.lv2/eq.lv2"), ""},
        {user, quarantineInto(userRoot, "/r/usr/lib/clap/Synth.clap"), "not inside"},
        {user, quarantineInto(userRoot, "/home/u/Music/Synth.clap"), "not inside"},
        {user, quarantineInto(linuxRoot, "/home/u/.clap/Synth.clap"), "is not the quarantine location"},
        // Restore.
        {mac, restoreOf(quarantine + "/A.vst3", vst3 + "/A.vst3"), ""},
        {mac, restoreOf(quarantine + "/A.vst3", "/etc/A.vst3"), "standard system plug-in folder"},
        {mac, restoreOf(vst3 + "/B.vst3", vst3 + "/A.vst3"), "quarantine folder of operation"},
        {mac, restoreOf(quarantine + "/A.vst3", vst3 + "/A.component"), "not the same kind"},
        {sys, restoreOf(linuxQuarantine + "/Synth.clap", "/home/u/.clap/Synth.clap"), "*"},
        // Into the Trash: the requesting user's own, straight into files/.
        {mac, trashOf(quarantine + "/A.vst3", "/home/u/.Trash/A 2.vst3"), ""},
        {mac, trashOf(quarantine + "/A.vst3", "/home/v/.Trash/A.vst3"), "Trash folder"},
        {&noTrash, trashOf(quarantine + "/A.vst3", "/tmp/A.vst3"), "Trash folder"},
        {sys, trashOf(linuxQuarantine + "/Synth.clap", "/home/u/.local/share/Trash/info/Synth.clap"), "*"},
        {user, trashOf(userQuarantine + "/Synth.clap", trash + "/Synth.clap", "/home/u/.clap/Synth.clap"), ""},
        {user, trashOf(userQuarantine + "/Synth.clap", trash + "/Synth.clap", "/r/usr/lib/clap/Synth.clap"), "*"},
        // The origin a Trash record names is one the bundle could have come from.
        {sys, trashOf(linuxQuarantine + "/Synth.clap", trash + "/Synth.clap", "/etc/cron.d/Synth.clap"), notInside},
        {sys, trashOf(linuxQuarantine + "/Synth.clap", trash + "/Synth.clap", "/r/usr/lib/clap/Other.clap"),
         "is not the original location of"},
        {sys,
         trashOf(linuxQuarantine + "/Synth.clap", trash + "/Synth.clap", "/r/usr/lib/clap/../../../etc/Synth.clap"),
         "is not a standardized absolute path"},
        {sys, trashOf(linuxQuarantine + "/Synth.clap", trash + "/Synth.clap", "usr/lib/clap/Synth.clap"),
         "is not a standardized absolute path"},
        // Back from the Trash: the record's name, format and UUID, from the Trash.
        {mac, backFromTrash("/home/u/.Trash/A 2.vst3"), ""},
        {mac, backFromTrash("/home/u/.Trash/A 2.vst3", vst3 + "/A.vst3", "B.vst3"), "*"},
        {mac, backFromTrash("/home/u/.Trash/A 2.vst3", vst3 + "/A.vst3", "A.vst3", "AU"), "*"},
        {mac, backFromTrash("/home/u/.Trash/A 2.vst3", vst3 + "/A.vst3", "A.vst3", "VST3", "x"), "*"},
        {mac, backFromTrash(vst3 + "/Z.vst3"), "*"},
        {user, backFromTrash(trash + "/Synth.clap", "/home/u/.clap/Synth.clap", "Synth.clap", "CLAP"), ""},
    });
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

// A folder whose name merely starts with an allowed folder's name is
// outside it, and ".." never climbs out of one.
TEST(RequestValidation, SiblingFoldersSharingAPrefixAndDotDotAreOutside) {
    const auto* mac = &areas;
    const auto* sys = &linuxAreas;
    const auto* user = &userAreas;
    auto withTopdir = linuxAreas;
    withTopdir.topdirTrashFolders = {"/r/.Trash-1000/files"};
    const auto fromLinux = linuxQuarantine + "/Synth.clap";
    expectEach({
        {mac, quarantineOf(vst3 + "x/A.vst3", quarantine + "/A.vst3"), "not inside a standard system plug-in folder"},
        {mac, quarantineOf(vst3 + "/../VST3x/A.vst3", quarantine + "/A.vst3"), "not a standardized"},
        {mac, quarantineOf(vst3 + "/A.vst3", macRoot + "-evil/" + op + "/A.vst3"), "is not the quarantine location"},
        {mac, quarantineOf(vst3 + "/A.vst3", quarantine + "/../" + op + "/A.vst3"), "not a standardized"},
        {mac, restoreOf(macRoot + "-evil/" + op + "/A.vst3", vst3 + "/A.vst3"), "quarantine folder of operation"},
        {mac, restoreOf(quarantine + "/A.vst3", vst3 + "x/A.vst3"), "standard system plug-in folder"},
        {mac, restoreOf(quarantine + "/A.vst3", vst3 + "/../../../../../etc/A.vst3"), "not a standardized"},
        {mac, trashOf(quarantine + "/A.vst3", "/home/u/.Trash-evil/A.vst3"), "Trash folder"},
        {mac, trashOf(quarantine + "/A.vst3", "/home/u/.Trash/../A.vst3"), "not a standardized"},
        {mac, trashOf(quarantine + "/A.vst3", "/home/u/.Trash/Sub/A.vst3"), "Trash folder"},
        {mac, backFromTrash("/home/u/.Trash-evil/A.vst3"), "Trash folder"},
        {mac, backFromTrash("/home/u/.Trash/../.Trash/A.vst3"), "not a standardized"},
        {sys, quarantineInto(linuxRoot, "/r/usr/lib/vst3x/V.vst3"), "*"},
        {sys, quarantineInto(linuxRoot, "/r/usr/lib/lv2-evil/eq.lv2"), "*"},
        {sys, quarantineInto(linuxRoot, "/r/usr/local/lib/vstx/Old.so"), "*"},
        {sys, quarantineInto(linuxRoot, "/r/usr/lib/clap2/S.clap"), "*"},
        {sys, quarantineInto(linuxRoot, "/r/usr/lib/vst3/../vst3x/V.vst3"), "*"},
        {user, quarantineInto(userRoot, "/home/u/.vst3x/V.vst3"), "*"},
        {user, quarantineInto(userRoot, "/home/u/.clap-evil/S.clap"), "*"},
        {user, quarantineInto(userRoot, "/home/u/.lv2x/eq.lv2"), "*"},
        {user, quarantineInto(userRoot + "-evil", "/home/u/.clap/S.clap"), "*"},
        {sys, trashOf(fromLinux, trash + "/Synth.clap", "/r/usr/lib/clapx/Synth.clap"), "*"},
        {&withTopdir, trashOf(fromLinux, "/r/.Trash-10000/files/Synth.clap"), "*"},
        {&withTopdir, trashOf(fromLinux, "/r/.Trash-1000/files-x/Synth.clap"), "*"},
        {&withTopdir, trashOf(fromLinux, "/home/u/.local/share/Trash/files2/Synth.clap"), "*"},
        // The same shapes inside the folders are taken.
        {mac, quarantineOf(vst3 + "/Vendor/A.vst3", quarantine + "/A.vst3"), ""},
        {mac, trashOf(quarantine + "/A.vst3", "/home/u/.Trash/A.vst3"), ""},
        {mac, backFromTrash("/home/u/.Trash/A.vst3"), ""},
        {user, quarantineInto(userRoot, "/home/u/.clap/S.clap"), ""},
    });
}

// What the daemon makes beside a move: the operation folder, and on Linux
// the freedesktop Trash record (naming the bundle's place before its
// quarantine, relative to the top of another file system's Trash).
TEST(RequestValidation, MovesCarryTheirFolderAndTrashRecords) {
    const auto move = [](const PrivilegedRequest& request, const HelperAreas& where) {
        const auto result = validate(request, where);
        EXPECT_TRUE(result) << refusal(result);
        return result ? result->moves.at(0) : ValidatedMove{};
    };
    EXPECT_EQ(move(quarantineOf(vst3 + "/Vendor/A.vst3", quarantine + "/A.vst3"), areas).createsFolder, quarantine);
    EXPECT_EQ(HelperAreas::ofUser("/home/u", "/d", trash).quarantineRoot, "/d/Kestrova/Quarantine");

    const auto fromLinux = linuxQuarantine + "/Synth.clap";
    const auto trashed = move(trashOf(fromLinux, trash + "/Synth 2.clap"), linuxAreas);
    EXPECT_EQ(trashed.createsTrashInfo, "/home/u/.local/share/Trash/info/Synth 2.clap.trashinfo");
    EXPECT_FALSE(trashed.removesTrashInfo);
    EXPECT_EQ(trashed.trashInfoOriginalPath, fromLinux) << "an older front end names no origin";
    EXPECT_EQ(
        move(trashOf(fromLinux, trash + "/Synth.clap", "/r/usr/lib/clap/Synth.clap"), linuxAreas).trashInfoOriginalPath,
        "/r/usr/lib/clap/Synth.clap");
    EXPECT_EQ(
        move(trashOf(userQuarantine + "/Synth.clap", trash + "/Synth.clap", "/home/u/.clap/Synth.clap"), userAreas)
            .trashInfoOriginalPath,
        "/home/u/.clap/Synth.clap");
    const auto restored =
        move(backFromTrash(trash + "/Old 2.so", "/r/usr/lib/vst/Old.so", "Old.so", "VST2"), linuxAreas);
    EXPECT_EQ(restored.removesTrashInfo, "/home/u/.local/share/Trash/info/Old 2.so.trashinfo");
    EXPECT_FALSE(restored.createsTrashInfo);

    // Another file system's Trash only when the daemon found it for this request.
    auto withTopdir = linuxAreas;
    withTopdir.topdirTrashFolders = {"/r/.Trash-1000/files"};
    const auto topdir =
        move(trashOf(fromLinux, "/r/.Trash-1000/files/Synth.clap", "/r/usr/lib/clap/Synth.clap"), withTopdir);
    EXPECT_EQ(topdir.createsTrashInfo, "/r/.Trash-1000/info/Synth.clap.trashinfo");
    EXPECT_EQ(topdir.trashInfoOriginalPath, "usr/lib/clap/Synth.clap");
    EXPECT_FALSE(validate(trashOf(fromLinux, "/r/.Trash-1001/files/Synth.clap"), withTopdir));
    EXPECT_FALSE(validate(trashOf(fromLinux, "/r/.Trash-1000/files/Synth.clap"), linuxAreas));
    // On macOS nothing but the move itself is asked for.
    EXPECT_FALSE(
        move(trashOf(macRoot + "/" + op + "/A.clap", "/home/u/.Trash/A.clap", std::nullopt), areas).createsTrashInfo);
}

}  // namespace
}  // namespace kestrova
