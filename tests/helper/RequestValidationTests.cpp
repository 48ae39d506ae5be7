// What the daemon refuses from the request alone, whatever the client checked,
// on the macOS areas, the Linux system side and the Linux user side.
#include "helper/RequestValidation.h"

#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

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
// The Linux system side once the daemon has found another file system's Trash.
const HelperAreas topdirAreas = [] {
    auto found = linuxAreas;
    found.topdirTrashFolders = {"/r/.Trash-1000/files"};
    return found;
}();

Result<ValidatedTransaction> validate(const PrivilegedRequest& request, const HelperAreas& where) {
    return std::visit([&](const auto& record) { return validateRequest(record, where); }, request);
}
std::string refusal(const Result<ValidatedTransaction>& result) { return result ? "" : result.error().message; }

PrivilegedRequest quarantineOf(std::string from, std::string to, std::string operation = op) {
    return PrivilegedQuarantineRequest{tx, {{std::move(from), std::move(to), std::move(operation)}}};
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

// The rows of tests/data/helper/`file` (its head says how they read).
std::vector<Case> casesFrom(const std::string& file) {
    static const auto noTrash = HelperAreas::under("/r", std::nullopt);
    const std::map<std::string, const HelperAreas*> named{{"macos", &areas},
                                                          {"linux", &linuxAreas},
                                                          {"user", &userAreas},
                                                          {"topdir", &topdirAreas},
                                                          {"notrash", &noTrash}};
    const std::pair<std::string, std::string> variables[] = {{"$MACQ", macRoot},   {"$SYSQ", linuxRoot},
                                                             {"$USERQ", userRoot}, {"$TRASH", trash},
                                                             {"$VST3", vst3},      {"$OP", op}};
    std::vector<Case> cases;
    std::istringstream lines(testing::readWholeFile(std::string(KESTROVA_SOURCE_DIR) + "/tests/data/helper/" + file));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line.starts_with('#')) {
            continue;
        }
        std::vector<std::string> cells;
        std::istringstream row(line);
        for (std::string cell; std::getline(row, cell, '\t');) {
            for (const auto& [name, value] : variables) {
                for (auto at = cell.find(name); at != std::string::npos; at = cell.find(name)) {
                    cell.replace(at, name.size(), value);
                }
            }
            cells.push_back(cell);
        }
        cells.resize(6);
        const auto& [kind, from, to, extra] = std::tie(cells[1], cells[2], cells[3], cells[4]);
        std::istringstream record(extra);
        std::string name, format, id;
        record >> name >> format >> id;
        const auto request = kind == "quarantine" ? quarantineOf(from, to, extra.empty() ? op : extra)
                             : kind == "restore"  ? restoreOf(from, to)
                             : kind == "trash" ? trashOf(from, to, extra.empty() ? std::nullopt : std::optional(extra))
                                               : backFromTrash(from, to, name, format, id);
        cases.push_back({named.at(cells[0]), request, cells[5]});
    }
    EXPECT_GT(cases.size(), 20u) << file;
    return cases;
}

TEST(RequestValidation, EachKindKeepsToItsPlacesOnEitherProfile) { expectEach(casesFrom("requests.tsv")); }

TEST(RequestValidation, WholeRequestRules) {
    const PrivilegedQuarantineItem a{vst3 + "/A.vst3", quarantine + "/A.vst3", op};
    for (const auto& [request, expected] : {std::pair{PrivilegedQuarantineRequest{tx, {}}, "no bundles"},
                                            {PrivilegedQuarantineRequest{"not-a-uuid", {a}}, "not a UUID"},
                                            {PrivilegedQuarantineRequest{tx, {a, a}}, "overlap"}}) {
        EXPECT_NE(refusal(validateRequest(request, areas)).find(expected), std::string::npos) << expected;
    }
    PrivilegedQuarantineRequest tooMany{tx, {}};
    for (int i = 0; i < 257; ++i) {
        const auto name = "P" + std::to_string(i) + ".vst3";
        tooMany.items.push_back({vst3 + "/" + name, quarantine + "/" + name, op});
    }
    EXPECT_NE(refusal(validateRequest(tooMany, areas)).find("at most 256"), std::string::npos);
    tooMany.items.pop_back();
    EXPECT_TRUE(validateRequest(tooMany, areas));
}

// The same shapes inside the folders are taken.
TEST(RequestValidation, SiblingFoldersSharingAPrefixAndDotDotAreOutside) {
    expectEach(casesFrom("sibling-requests.tsv"));
}

// On Linux the Trash record names the bundle's place before its quarantine,
// relative to the top of another file system's Trash.
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
    const auto topdir =
        move(trashOf(fromLinux, "/r/.Trash-1000/files/Synth.clap", "/r/usr/lib/clap/Synth.clap"), topdirAreas);
    EXPECT_EQ(topdir.createsTrashInfo, "/r/.Trash-1000/info/Synth.clap.trashinfo");
    EXPECT_EQ(topdir.trashInfoOriginalPath, "usr/lib/clap/Synth.clap");
    EXPECT_FALSE(validate(trashOf(fromLinux, "/r/.Trash-1001/files/Synth.clap"), topdirAreas));
    EXPECT_FALSE(validate(trashOf(fromLinux, "/r/.Trash-1000/files/Synth.clap"), linuxAreas));
    // On macOS nothing but the move itself is asked for.
    EXPECT_FALSE(
        move(trashOf(macRoot + "/" + op + "/A.clap", "/home/u/.Trash/A.clap", std::nullopt), areas).createsTrashInfo);
}

}  // namespace
}  // namespace kestrova
