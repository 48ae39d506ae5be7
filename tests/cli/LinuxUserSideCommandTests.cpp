// The Linux profile from the command line: plug-ins in the user's own
// folders moved by the user side's helper (its own socket, ledger and
// quarantine in the data home) while system-folder bundles go through the
// system side's, one product spanning both; the one end-to-end cycle of
// quarantine, restore, Trash and Trash restore; a preset run over both
// sides; the user side's crash points; and the freedesktop Trash of both
// sides as a file manager and trash-cli read it, also on a second file system.
#include "CliProcess.h"

#include "platform/Elf.h"
#include "platform/FreedesktopTrash.h"
#include "platform/Text.h"
#include "store/journal/CrashPoint.h"
#include "store/state/PersistedInventoryFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace kestrova::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace fs = std::filesystem;

class LinuxUserSideTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::access(cliExecutable().c_str(), X_OK), 0) << "build kestrova_app_bundle first";
        layout.dataHome = layout.home + "/data";
        install(layout.systemRoot + "/usr/lib/clap/Echo.clap");
        install(layout.systemRoot + "/usr/lib/vst/Tape.so");
        install(layout.home + "/.vst/Echo.so");
        install(layout.home + "/.vst/Drive.so");
        install(layout.home + "/.clap/Alpha.clap");
        install(layout.home + "/.clap/Beta.clap");
        install(layout.systemRoot + "/usr/lib/vst3/Wide Verb 100%.vst3/Contents/x86_64-linux/Wide Verb 100%.so");
        writeFile(layout.systemRoot + "/usr/lib/vst3/Wide Verb 100%.vst3/Contents/Resources/moduleinfo.json",
                  R"({"Name": "Wide Verb", "Version": "2.0", "Factory Info": {"Vendor": "Acme"}})");
        writeFile(layout.home + "/.lv2/gate.lv2/manifest.ttl",
                  "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n<urn:gate> a lv2:Plugin ; lv2:binary <gate.so> .\n");
        fs::create_directories(layout.dataHome);
    }
    void TearDown() override { run({"helper", "disable"}); }

    void install(const std::string& path) const {
        writeFile(path, syntheticElfHeader(elf::machineX86_64, true) + path);  // unique bytes per file
    }
    static void writeFile(const std::string& path, std::string_view contents) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << contents;
    }
    std::vector<std::string> environment() const {
        return {"HOME=" + layout.home, "XDG_DATA_HOME=" + layout.dataHome, "KESTROVA_HELPER_MODE=session",
                "KESTROVA_HELPER_SESSION_DIR=" + (directory / "session")};
    }
    ProcessOutcome run(std::vector<std::string> arguments, std::vector<std::string> extra = {}) const {
        arguments.insert(arguments.begin(), {cliExecutable(), "--root", layout.systemRoot, "--profile", "linux"});
        auto variables = environment();
        variables.insert(variables.end(), extra.begin(), extra.end());
        return runProcess(arguments, variables, directory.path());
    }
    ProcessOutcome expectSuccess(std::vector<std::string> arguments) const {
        auto outcome = run(arguments);
        EXPECT_EQ(outcome.exitCode, 0) << "kestrova-cli " << arguments.front() << ": " << outcome.err;
        return outcome;
    }
    // trash-cli, as a desktop user would run it in the same session.
    ProcessOutcome trashCli(const std::string& command) const {
        return runProcess({"/bin/sh", "-c", command}, environment(), directory.path());
    }
    void scanWithHelpers() const {
        expectSuccess({"authorize", layout.systemRoot + "/usr", layout.home});
        expectSuccess({"scan"});
        expectSuccess({"helper", "enable"});
    }
    PersistedInventory savedState() const {
        auto loaded = readPersistedInventory(inventoryStateURL(layout), realFileSystem());
        EXPECT_TRUE(loaded.ok());
        return loaded.ok() ? loaded->state : PersistedInventory{};
    }
    std::string ledger(std::string_view side) const {
        const auto path = directory / (side == "user" ? "session-user" : "session") + "/transactions.ledger";
        return fs::exists(path) ? readWholeFile(path) : std::string();
    }
    // Every bundle file below the home's plug-in folders, both quarantines
    // and the home Trash, by name, with its bytes: a move keeps it.
    std::map<std::string, std::string> bundleFiles() const {
        std::map<std::string, std::string> files;
        for (const auto& folder : {layout.home + "/.vst", layout.home + "/.clap", layout.home + "/.lv2",
                                   layout.dataHome + "/Kestrova/Quarantine", layout.dataHome + "/Trash/files",
                                   layout.systemRoot + "/usr/lib", layout.systemRoot + "/var/lib/kestrova"}) {
            if (!fs::exists(folder)) {
                continue;
            }
            for (const auto& entry : fs::recursive_directory_iterator(folder)) {
                if (entry.is_regular_file()) {
                    files[entry.path().filename().string()] += readWholeFile(entry.path().string());
                }
            }
        }
        return files;
    }

    TemporaryDirectory directory;
    SystemLayout layout{directory / "root", directory / "home", PlatformProfile::gnuLinux};
};

// Operation folders hold the bundle under its own name; the one moved there.
std::vector<std::string> quarantined(const std::string& root) {
    std::vector<std::string> found;
    if (fs::exists(root)) {
        for (const auto& operation : fs::directory_iterator(root)) {
            for (const auto& bundle : fs::directory_iterator(operation.path())) {
                found.push_back(bundle.path().filename().string());
            }
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

// Home-folder plug-ins need no administrator: with the system helper never
// enabled, the user's helper still moves them, and a system bundle is refused
// before anything is written.
TEST_F(LinuxUserSideTest, WithoutTheSystemHelperOnlyTheUsersOwnBundlesMove) {
    expectSuccess({"authorize", layout.systemRoot + "/usr", layout.home});
    expectSuccess({"scan"});
    const auto before = bundleFiles();
    const auto stateBefore = readWholeFile(inventoryStateURL(layout));

    const auto refused = run({"quarantine", "Tape", "VST2"});
    EXPECT_EQ(refused.exitCode, 3) << refused.err;
    EXPECT_THAT(refused.out + refused.err, HasSubstr("Enable Plugin Management"));
    EXPECT_EQ(bundleFiles(), before);
    EXPECT_EQ(readWholeFile(inventoryStateURL(layout)), stateBefore);

    // One product on both sides: the system side goes first and is refused, so nothing moves.
    const auto mixed = run({"quarantine", "Echo", "CLAP", "VST2"});
    EXPECT_EQ(mixed.exitCode, 3) << mixed.err;
    EXPECT_EQ(bundleFiles(), before);

    const auto moved = expectSuccess({"quarantine", "Drive", "VST2"});
    EXPECT_THAT(moved.out, HasSubstr("the helper that runs as you"));
    EXPECT_THAT(quarantined(layout.dataHome + "/Kestrova/Quarantine"), ::testing::Contains("Drive.so"));
    expectSuccess({"restore", "Drive", "VST2"});
    EXPECT_TRUE(fs::exists(layout.home + "/.vst/Drive.so"));
}

TEST_F(LinuxUserSideTest, BothSidesThroughQuarantineRestoreTrashAndTrashRestore) {
    scanWithHelpers();
    const auto before = bundleFiles();
    const auto echoClap = layout.systemRoot + "/usr/lib/clap/Echo.clap";
    const auto echoVst2 = layout.home + "/.vst/Echo.so";
    const auto systemQuarantine = layout.systemRoot + "/var/lib/kestrova/quarantine";
    const auto userQuarantine = layout.dataHome + "/Kestrova/Quarantine";

    auto status = expectSuccess({"helper", "status"});
    EXPECT_THAT(status.out, HasSubstr("User-folder helper"));
    const auto statusJson = Json::parse(expectSuccess({"helper", "status", "--json"}).out);
    EXPECT_EQ(statusJson.at("status"), "Enabled");
    EXPECT_EQ(statusJson.at("userSide").at("status"), "Enabled");
    EXPECT_EQ(statusJson.at("userSide").at("secureHandshake"), true);

    // One product, a bundle on each side: two transactions, one per helper.
    auto step = expectSuccess({"quarantine", "Echo", "CLAP", "VST2"});
    EXPECT_THAT(step.out, HasSubstr("administrator-approved helper as one verified transaction.\n  " + echoClap));
    EXPECT_THAT(step.out, HasSubstr("the helper that runs as you as one verified transaction.\n  " + echoVst2));
    EXPECT_EQ(quarantined(systemQuarantine), std::vector<std::string>{"Echo.clap"});
    EXPECT_EQ(quarantined(userQuarantine), std::vector<std::string>{"Echo.so"});
    const auto history = savedState().history;
    ASSERT_GE(history.size(), 2u);
    const auto userID = history[0].transactionID;
    const auto systemID = history[1].transactionID;
    ASSERT_TRUE(userID && systemID);
    EXPECT_THAT(ledger("user"), HasSubstr(*userID));
    EXPECT_THAT(ledger("user"), Not(HasSubstr(*systemID)));
    EXPECT_THAT(ledger("system"), HasSubstr(*systemID));
    EXPECT_THAT(ledger("system"), Not(HasSubstr(*userID)));

    // A home-only bundle, refused before the user side existed.
    step = expectSuccess({"quarantine", "gate", "LV2"});
    EXPECT_THAT(step.out, HasSubstr("the helper that runs as you"));
    EXPECT_FALSE(fs::exists(layout.home + "/.lv2/gate.lv2"));
    expectSuccess({"restore", "gate", "LV2"});
    expectSuccess({"restore", "Echo", "CLAP", "VST2"});
    EXPECT_EQ(bundleFiles(), before);
    EXPECT_TRUE(quarantined(userQuarantine).empty());

    const auto wideVerb = layout.systemRoot + "/usr/lib/vst3/Wide Verb 100%.vst3";
    for (const auto& command : {"quarantine", "trash"}) {
        expectSuccess({command, "Echo", "CLAP", "VST2"});
        expectSuccess({command, "Wide Verb", "VST3"});
    }
    const auto trash = layout.dataHome + "/Trash";
    for (const auto& [name, original] : {std::pair{"Echo.clap", echoClap}, std::pair{"Echo.so", echoVst2}}) {
        EXPECT_TRUE(fs::exists(trash + "/files/" + name)) << name;
        const auto info = parseTrashInfo(readWholeFile(trash + "/info/" + name + ".trashinfo"));
        ASSERT_TRUE(info) << name;
        EXPECT_EQ(info->path, original);
    }
    // How a record is spelled is the platform's to test; it reads back here.
    EXPECT_EQ(parseTrashInfo(readWholeFile(trash + "/info/Wide Verb 100%.vst3.trashinfo"))->path, wideVerb);
    EXPECT_FALSE(fs::exists(layout.home + "/.local"));
    // An independent reader of the freedesktop Trash sees both at home.
    const auto listed = trashCli("trash-list");
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_THAT(listed.out, HasSubstr(" " + echoClap + "\n"));
    EXPECT_THAT(listed.out, HasSubstr(" " + echoVst2 + "\n"));

    // One record by the start of its id, in any letter case; the rest as ready.
    const auto trashed = savedState().trashedBundles.value();
    for (const auto& record : trashed) {
        if (record.pluginName == "Wide Verb") {
            expectSuccess({"trash-restore", lowercased(record.id.string().substr(0, 8))});
        }
    }
    EXPECT_TRUE(fs::exists(wideVerb));
    EXPECT_FALSE(fs::exists(trash + "/info/Wide Verb 100%.vst3.trashinfo"));
    expectSuccess({"trash-restore", "--all-ready"});
    EXPECT_EQ(bundleFiles(), before);
    EXPECT_TRUE(fs::is_empty(trash + "/files"));
    EXPECT_TRUE(fs::is_empty(trash + "/info"));
    EXPECT_THAT(trashCli("trash-list").out, Not(HasSubstr(echoVst2)));
    // Texts name the Trash as the desktop does.
    const auto none = run({"trash-restore", "--all-ready"});
    EXPECT_EQ(none.exitCode, 3);
    EXPECT_THAT(none.err, HasSubstr("No Trash recovery record"));
    EXPECT_THAT(expectSuccess({"trash", "--help"}).out, HasSubstr("on to the Trash (recoverable)"));
}

TEST_F(LinuxUserSideTest, APresetRunSendsEachSidesChunksToItsOwnHelper) {
    scanWithHelpers();
    const auto before = bundleFiles();
    auto step = expectSuccess({"cleanup", "run", "retireVST2", "--include-unsafe-defaults"});
    EXPECT_THAT(step.out, HasSubstr("Cleanup Preset Completed: 3 reviewed format bundles"));
    EXPECT_EQ(quarantined(layout.systemRoot + "/var/lib/kestrova/quarantine"), std::vector<std::string>{"Tape.so"});
    EXPECT_EQ(quarantined(layout.dataHome + "/Kestrova/Quarantine"), (std::vector<std::string>{"Drive.so", "Echo.so"}));
    const auto runs = *savedState().formatCleanupRuns;
    ASSERT_EQ(runs.size(), 1u);
    ASSERT_EQ(runs[0].childTransactionIDs.size(), 2u);
    EXPECT_THAT(ledger("system"), HasSubstr(runs[0].childTransactionIDs[0].string()));
    EXPECT_THAT(ledger("user"), HasSubstr(runs[0].childTransactionIDs[1].string()));

    step = expectSuccess({"cleanup", "restore-run", runs[0].id.string()});
    EXPECT_EQ(bundleFiles(), before);
}

// kestrova-cli killed at every crash point of every kind of user-side
// transaction: the next start asks the user side's helper (never the
// system's) and ends with every bundle once and no journal left.
TEST_F(LinuxUserSideTest, UserSideCrashPointsRecoverThroughTheUserHelper) {
    if (!crashPointsEnabled()) {
        GTEST_SKIP() << "this build has no crash points (KESTROVA_FAULT_INJECTION is off)";
    }
    scanWithHelpers();
    const auto before = bundleFiles();
    enum class Place { active, quarantined, trashed };
    struct Bundle {
        std::string product;
        std::string format;
        Place place = Place::active;
    };
    std::vector<Bundle> bundles{{"Alpha", "CLAP"}, {"Beta", "CLAP"}, {"gate", "LV2"}};
    const auto openRecord = [&](const Bundle& bundle) {
        for (const auto& record : savedState().trashedBundles.value_or(std::vector<TrashedBundleRecord>{})) {
            if (record.pluginName == bundle.product && record.format == bundle.format && record.isOpen()) {
                return record.id.string();
            }
        }
        ADD_FAILURE() << "no open Trash record of " << bundle.product;
        return std::string();
    };
    // The plain commands that take a bundle from where it is to `place`.
    const auto bringTo = [&](Bundle& bundle, Place place) {
        while (bundle.place != place) {
            if (bundle.place == Place::active) {
                expectSuccess({"quarantine", bundle.product, bundle.format});
                bundle.place = Place::quarantined;
            } else if (bundle.place == Place::trashed) {
                expectSuccess({"trash-restore", openRecord(bundle)});
                bundle.place = Place::active;
            } else if (place == Place::trashed) {
                expectSuccess({"trash", bundle.product, bundle.format});
                bundle.place = Place::trashed;
            } else {
                expectSuccess({"restore", bundle.product, bundle.format});
                bundle.place = Place::active;
            }
        }
    };
    struct Kind {
        std::string name;
        Place from;
        Place to;
    };
    const std::vector<Kind> kinds{{"quarantine", Place::active, Place::quarantined},
                                  {"restore", Place::quarantined, Place::active},
                                  {"trash", Place::quarantined, Place::trashed},
                                  {"trash-restore", Place::trashed, Place::active}};
    const std::vector<std::string_view> points{crashPoints::journalSaved, crashPoints::helperReplied,
                                               crashPoints::commitApplied};
    for (std::size_t p = 0; p < points.size(); ++p) {
        auto& bundle = bundles[p];
        for (const auto& kind : kinds) {
            SCOPED_TRACE(kind.name + "." + std::string(points[p]) + " on " + bundle.product);
            bringTo(bundle, kind.from);
            const auto command = kind.name == "trash-restore"
                                     ? std::vector<std::string>{"trash-restore", openRecord(bundle)}
                                     : std::vector<std::string>{kind.name, bundle.product, bundle.format};
            const auto crashed = run(command, {"KESTROVA_CRASH_AT=" + kind.name + "." + std::string(points[p])});
            ASSERT_EQ(crashed.killedBySignal, SIGKILL) << "exit " << crashed.exitCode << ": " << crashed.err;
            const auto state = savedState();
            std::string journalID;
            for (const auto* id :
                 {state.pendingPrivilegedQuarantine ? &state.pendingPrivilegedQuarantine->transactionID : nullptr,
                  state.pendingPrivilegedRestore ? &state.pendingPrivilegedRestore->transactionID : nullptr,
                  state.pendingPrivilegedTrash ? &state.pendingPrivilegedTrash->transactionID : nullptr,
                  state.pendingPrivilegedTrashRestore ? &state.pendingPrivilegedTrashRestore->transactionID
                                                      : nullptr}) {
                if (id) {
                    journalID = *id;
                }
            }
            ASSERT_FALSE(journalID.empty()) << "the crashed run left no journal";

            expectSuccess({"list"});  // the next start settles the journal
            const auto settled = savedState();
            EXPECT_FALSE(settled.pendingPrivilegedQuarantine || settled.pendingPrivilegedRestore ||
                         settled.pendingPrivilegedTrash || settled.pendingPrivilegedTrashRestore);
            // Asked about (or carried out by) the user side's helper only.
            EXPECT_THAT(ledger("user"), HasSubstr(journalID));
            EXPECT_THAT(ledger("system"), Not(HasSubstr(journalID)));
            if (points[p] != crashPoints::journalSaved) {
                bundle.place = kind.to;
            }
            auto files = bundleFiles();
            EXPECT_EQ(files, before) << "a bundle was lost, copied or changed";
        }
    }
    for (auto& bundle : bundles) {
        bringTo(bundle, Place::active);
    }
    EXPECT_EQ(bundleFiles(), before);
}

// The system side's plug-ins on a file system of their own (a tmpfs mounted
// for the test): trashed there into $topdir/.Trash-$uid, the user side's into
// the home Trash, and trash-cli lists both at their original paths and puts
// each back where it was installed.
class LinuxSecondFileSystemTest : public LinuxUserSideTest {
protected:
    void SetUp() override {
        mountPoint = directory.makeDirectory("mnt");
        if (::mount("kestrova-test", mountPoint.c_str(), "tmpfs", 0, "size=16m") != 0) {
            GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << ")";
        }
        mounted = true;
        layout.systemRoot = mountPoint + "/root";
        LinuxUserSideTest::SetUp();
    }
    void TearDown() override {
        if (mounted) {
            LinuxUserSideTest::TearDown();
            ::umount2(mountPoint.c_str(), MNT_DETACH);
        }
    }

    std::string mountPoint;
    bool mounted = false;
};

TEST_F(LinuxSecondFileSystemTest, KestrovaAndTrashCliRestoreBothSidesAtTheirOriginalPaths) {
    scanWithHelpers();
    const auto before = bundleFiles();
    const auto echoClap = layout.systemRoot + "/usr/lib/clap/Echo.clap";
    const auto echoVst2 = layout.home + "/.vst/Echo.so";
    const auto topdirTrash = mountPoint + "/.Trash-" + std::to_string(::getuid());
    const auto trashBoth = [&] {
        expectSuccess({"quarantine", "Echo", "CLAP", "VST2"});
        expectSuccess({"trash", "Echo", "CLAP", "VST2"});
    };
    trashBoth();
    EXPECT_TRUE(fs::exists(topdirTrash + "/files/Echo.clap"));
    EXPECT_TRUE(fs::exists(layout.dataHome + "/Trash/files/Echo.so"));
    struct stat folder {};
    ASSERT_EQ(::lstat(topdirTrash.c_str(), &folder), 0);
    EXPECT_TRUE(S_ISDIR(folder.st_mode));
    EXPECT_EQ(folder.st_uid, ::getuid());
    EXPECT_EQ(folder.st_mode & 07777, 0700u);
    // Below a top folder the record names the place relative to it.
    const auto info = parseTrashInfo(readWholeFile(topdirTrash + "/info/Echo.clap.trashinfo"));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->path, echoClap.substr(mountPoint.size() + 1));
    expectSuccess({"trash-restore", "--all-ready"});
    EXPECT_EQ(bundleFiles(), before);
    EXPECT_TRUE(fs::is_empty(topdirTrash + "/info"));

    expectSuccess({"scan"});  // the inventory learns of the restored bundles
    trashBoth();
    const auto listed = trashCli("trash-list");
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_THAT(listed.out, HasSubstr(" " + echoClap + "\n"));
    EXPECT_THAT(listed.out, HasSubstr(" " + echoVst2 + "\n"));
    for (const auto& original : {echoClap, echoVst2}) {
        const auto restored = trashCli("echo 0 | trash-restore '" + fs::path(original).parent_path().string() + "'");
        EXPECT_EQ(restored.exitCode, 0) << restored.err;
        EXPECT_TRUE(fs::exists(original)) << original << ": " << restored.out;
    }
    EXPECT_TRUE(fs::is_empty(topdirTrash + "/info"));
    EXPECT_TRUE(fs::is_empty(layout.dataHome + "/Trash/info"));
    EXPECT_EQ(bundleFiles(), before);
}

}  // namespace
}  // namespace kestrova::testing
