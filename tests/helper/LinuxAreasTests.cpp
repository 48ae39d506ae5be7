// The helper's reading of requests on the Linux profile: the Linux system
// plug-in folders, single-file bundles, and the freedesktop Trash records a
// move into or out of the Trash carries.
#include "helper/RequestValidation.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

const std::string op = "0F8D5F6E-7E0B-4B47-9D1C-2B0C6C1D2E3F";
const std::string tx = "A1B2C3D4-0000-4000-8000-000000000001";
const std::string quarantine = "/r/var/lib/kestrova/quarantine/" + op;
const std::string trash = "/home/u/.local/share/Trash/files";
const HelperAreas linuxAreas = HelperAreas::under("/r", trash, PlatformProfile::gnuLinux);

std::string refusal(const Result<ValidatedTransaction>& result) { return result ? "" : result.error().message; }

TEST(LinuxAreas, TheLinuxSystemFoldersAndSingleFileBundlesAreAccepted) {
    for (const auto& source : {"/r/usr/lib/clap/Synth.clap", "/r/usr/lib/vst/Old.so", "/r/usr/local/lib/vst/Old.so",
                               "/r/usr/lib/vst3/V.vst3", "/r/usr/local/lib/vst3/Vendor/V.vst3", "/r/usr/lib/lv2/eq.lv2",
                               "/r/usr/local/lib/lv2/eq.lv2"}) {
        const std::string name = source + std::string_view(source).rfind('/') + 1;
        const auto ok =
            validateRequest(PrivilegedQuarantineRequest{tx, {{source, quarantine + "/" + name, op}}}, linuxAreas);
        EXPECT_TRUE(ok) << source << ": " << refusal(ok);
    }
    const std::pair<std::string, std::string> refused[] = {
        {"/r/Library/Audio/Plug-Ins/CLAP/Synth.clap", "not inside a standard system plug-in folder"},
        {"/home/u/.clap/Synth.clap", "not inside a standard system plug-in folder"},
        {"/r/usr/lib/Old.so", "not inside a standard system plug-in folder"},
        {"/r/usr/lib/vst/Old.component", "is not a plug-in bundle"},
        {"/r/usr/lib/vst/libhelper.a", "is not a plug-in bundle"},
    };
    for (const auto& [source, expected] : refused) {
        const auto name = source.substr(source.rfind('/') + 1);
        const auto message = refusal(
            validateRequest(PrivilegedQuarantineRequest{tx, {{source, quarantine + "/" + name, op}}}, linuxAreas));
        EXPECT_NE(message.find(expected), std::string::npos) << source << ": " << message;
    }
    // The macOS areas do not take Linux shared objects.
    EXPECT_FALSE(validateRequest(
        PrivilegedQuarantineRequest{tx,
                                    {{"/r/Library/Audio/Plug-Ins/VST/Old.so",
                                      "/r/Library/Application Support/Kestrova/Quarantine/" + op + "/Old.so", op}}},
        HelperAreas::under("/r", "/home/u/.Trash")));
}

TEST(LinuxAreas, TrashMovesCarryTheirTrashRecords) {
    const auto trashed = validateRequest(
        PrivilegedTrashRequest{tx, {{quarantine + "/Synth.clap", trash + "/Synth 2.clap", op}}}, linuxAreas);
    ASSERT_TRUE(trashed) << refusal(trashed);
    EXPECT_EQ(trashed->moves[0].createsTrashInfo, "/home/u/.local/share/Trash/info/Synth 2.clap.trashinfo");
    EXPECT_FALSE(trashed->moves[0].removesTrashInfo);

    const auto restored = validateRequest(
        PrivilegedTrashRestoreRequest{
            tx,
            {{trash + "/Old 2.so", "/r/usr/lib/vst/Old.so", "B1B2C3D4-0000-4000-8000-000000000002", "Old.so", "VST2"}}},
        linuxAreas);
    ASSERT_TRUE(restored) << refusal(restored);
    EXPECT_EQ(restored->moves[0].removesTrashInfo, "/home/u/.local/share/Trash/info/Old 2.so.trashinfo");
    EXPECT_FALSE(restored->moves[0].createsTrashInfo);

    // Trash items go straight into files/, never into info/ or elsewhere.
    EXPECT_FALSE(validateRequest(
        PrivilegedTrashRequest{tx, {{quarantine + "/Synth.clap", "/home/u/.local/share/Trash/info/Synth.clap", op}}},
        linuxAreas));
    // On macOS nothing but the move itself is asked for.
    const auto mac = validateRequest(
        PrivilegedTrashRequest{
            tx,
            {{"/r/Library/Application Support/Kestrova/Quarantine/" + op + "/A.clap", "/home/u/.Trash/A.clap", op}}},
        HelperAreas::under("/r", "/home/u/.Trash"));
    ASSERT_TRUE(mac) << refusal(mac);
    EXPECT_FALSE(mac->moves[0].createsTrashInfo);
}

}  // namespace
}  // namespace kestrova
