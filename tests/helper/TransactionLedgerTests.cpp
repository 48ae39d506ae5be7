// The daemon's transaction ledger on a real folder.
#include "helper/InterruptedRollback.h"
#include "helper/TransactionLedger.h"
#include "support/TemporaryDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>
#include <string>
#include <tuple>

namespace kestrova::testing {
namespace {

const Json succeeded{{"transactionID", "A"},
                     {"succeeded", true},
                     {"rollbackComplete", false},
                     {"movedDestinationPaths", Json::array({"/q/A/x.vst3"})},
                     {"message", "Moved 1 plugin bundle."}};

const auto connected = [] { return true; };
const auto gone = [] { return false; };

// Receives and starts `id`, as a daemon does before it moves anything.
void begin(TransactionLedger& ledger, const std::string& id, HelperCall call,
           const std::vector<LedgerMove>& moves = {}) {
    ASSERT_EQ(ledger.receive(id, call).admission, TransactionLedger::Admission::accepted) << id;
    ASSERT_EQ(ledger.start(id, connected, moves), TransactionLedger::Start::started) << id;
}

std::size_t lineCount(const std::string& path) {
    return static_cast<std::size_t>(std::ranges::count(readWholeFile(path), '\n'));
}

TEST(TransactionLedgerTest, EveryStepOutlivesTheDaemonThatWroteIt) {
    TemporaryDirectory folder;
    HelperLog log{-1};
    {
        TransactionLedger ledger(folder.path(), log);
        ASSERT_TRUE(ledger.isAvailable()) << ledger.unavailableReason();

        // Finished: the exact result is kept; the same ID again gets it back.
        begin(ledger, "A", HelperCall::quarantine);
        EXPECT_EQ(ledger.status("A").state, HelperTransactionState::running);
        ledger.finish("A", HelperCall::quarantine, succeeded);

        // Started, never finished: the daemon stops in the middle.
        begin(ledger, "B", HelperCall::restore, {{"/s/1", "/d/1"}, {"/s/2", "/d/2"}});
        // Received only.
        ASSERT_EQ(ledger.receive("C", HelperCall::moveToTrash).admission, TransactionLedger::Admission::accepted);

        // Its client left before it could start: fenced, nothing runs.
        ASSERT_EQ(ledger.receive("D", HelperCall::quarantine).admission, TransactionLedger::Admission::accepted);
        EXPECT_EQ(ledger.start("D", gone), TransactionLedger::Start::clientGone);
        EXPECT_EQ(ledger.status("D").state, HelperTransactionState::fenced);

        // Asked about before it arrived: fenced, and refused when it comes.
        EXPECT_EQ(ledger.status("E").state, HelperTransactionState::unknown);
        EXPECT_EQ(ledger.status("E").state, HelperTransactionState::fenced);
        EXPECT_EQ(ledger.receive("E", HelperCall::quarantine).admission, TransactionLedger::Admission::fenced);
    }

    TransactionLedger reopened(folder.path(), log);
    ASSERT_TRUE(reopened.isAvailable());
    const auto a = reopened.status("A");
    EXPECT_EQ(a.state, HelperTransactionState::finished);
    EXPECT_EQ(a.call, HelperCall::quarantine);
    EXPECT_EQ(a.result, succeeded);
    const auto again = reopened.receive("A", HelperCall::quarantine);
    EXPECT_EQ(again.admission, TransactionLedger::Admission::finished);
    EXPECT_EQ(again.previous, succeeded);

    EXPECT_EQ(reopened.status("B").state, HelperTransactionState::interrupted);
    // Its moves are there to be put back, once.
    using Moves = std::vector<LedgerMove>;
    ASSERT_EQ(reopened.interruptedWithMoves().size(), 1u);
    EXPECT_EQ(reopened.interruptedWithMoves().front().second, (Moves{{"/s/1", "/d/1"}, {"/s/2", "/d/2"}}));
    reopened.markRolledBack("B");
    EXPECT_TRUE(reopened.interruptedWithMoves().empty());
    EXPECT_TRUE(TransactionLedger(folder.path(), log).interruptedWithMoves().empty());
    EXPECT_EQ(reopened.status("C").state, HelperTransactionState::interrupted);
    EXPECT_EQ(reopened.receive("B", HelperCall::restore).admission, TransactionLedger::Admission::duplicate);
    EXPECT_EQ(reopened.status("D").state, HelperTransactionState::fenced);
    EXPECT_EQ(reopened.receive("E", HelperCall::quarantine).admission, TransactionLedger::Admission::fenced);
    // A fence written by a question also holds a start that was already in hand.
    EXPECT_EQ(reopened.start("E", connected), TransactionLedger::Start::fenced);
}

// The next daemon puts back what had moved and takes its Trash records with
// it, also the record of a bundle that never moved; other records stay.
TEST(TransactionLedgerTest, AnInterruptedTrashMoveLeavesNoTrashRecordBehind) {
    // The home Trash and another file system's $topdir/.Trash-$uid alike.
    for (const std::string trashName : {"Trash", ".Trash-1000"}) {
        SCOPED_TRACE(trashName);
        TemporaryDirectory folder;
        HelperLog log{-1};
        const auto trash = folder.makeDirectory(trashName);
        folder.makeDirectory(trashName + "/files");
        folder.makeDirectory(trashName + "/info");
        folder.makeDirectory("q/op");
        ::chmod(folder.makeDirectory("state").c_str(), 0700);
        folder.writeFile(trashName + "/files/Moved.clap", "bytes");
        folder.writeFile("q/op/Unmoved.clap", "bytes");
        folder.writeFile(trashName + "/files/Other.clap", "bytes");
        for (const std::string name : {"Moved", "Unmoved", "Other"}) {
            folder.writeFile(trashName + "/info/" + name + ".clap.trashinfo", "[Trash Info]\n");
        }
        {
            TransactionLedger ledger(folder / "state", log);
            begin(ledger, "T", HelperCall::moveToTrash,
                  {{folder / "q/op/Moved.clap", trash + "/files/Moved.clap"},
                   {folder / "q/op/Unmoved.clap", trash + "/files/Unmoved.clap"}});
        }
        TransactionLedger reopened(folder / "state", log);
        rollBackInterruptedTransactions(reopened, log);
        EXPECT_TRUE(folder.exists("q/op/Moved.clap"));
        EXPECT_TRUE(folder.exists("q/op/Unmoved.clap"));
        EXPECT_FALSE(folder.exists(trashName + "/info/Moved.clap.trashinfo"));
        EXPECT_FALSE(folder.exists(trashName + "/info/Unmoved.clap.trashinfo"));
        EXPECT_TRUE(folder.exists(trashName + "/info/Other.clap.trashinfo"));
    }
}

// Reopened, exactly the bound of settled entries is kept, and a running one.
TEST(TransactionLedgerTest, KeepsItsSizeByDroppingTheOldestSettledEntries) {
    EXPECT_EQ(TransactionLedgerLimits{}.keptEntries, 1024u);
    HelperLog log{-1};
    constexpr std::size_t kept = 8;
    for (const std::size_t settled : {kept, kept + 1, std::size_t{200}}) {
        SCOPED_TRACE(settled);
        TemporaryDirectory folder;
        {
            TransactionLedger ledger(folder.path(), log, {kept});
            const bool withRunning = settled > kept + 1;
            if (withRunning) {
                begin(ledger, "running", HelperCall::quarantine);
            }
            for (std::size_t index = 0; index < settled; ++index) {
                const auto id = "T" + std::to_string(index);
                begin(ledger, id, HelperCall::restore);
                ledger.finish(id, HelperCall::restore, succeeded);
                EXPECT_LE(lineCount(folder / std::string(transactionLedgerFileName)), 3 * kept + 1) << index;
                EXPECT_LE(ledger.entryCount(), 3 * kept + 1);
            }
            if (withRunning) {
                EXPECT_EQ(ledger.status("running").state, HelperTransactionState::running);
            }
        }
        TransactionLedger reopened(folder.path(), log, {kept});
        EXPECT_EQ(reopened.status("T" + std::to_string(settled - 1)).state, HelperTransactionState::finished);
        if (settled > kept + 1) {
            EXPECT_LE(reopened.entryCount(), kept + 1);
            EXPECT_EQ(reopened.status("running").state, HelperTransactionState::interrupted);
        } else {
            EXPECT_EQ(reopened.entryCount(), kept);
            EXPECT_EQ(reopened.status("T1").state, HelperTransactionState::finished);
            EXPECT_EQ(reopened.status("T0").state,
                      settled == kept ? HelperTransactionState::finished : HelperTransactionState::unknown);
        }
    }
}

TEST(TransactionLedgerTest, DamageIsSetAsideAndNeverReadsAsAFinishedTransaction) {
    // What is written after the good lines, and whether the file is set aside.
    const std::vector<std::tuple<std::string, std::string, bool>> cases{
        {"a torn last line is only dropped", R"({"id":"B","step":"fini)", false},
        {"a garbled line sets the file aside", "\x01\x02 not json\n", true},
        {"an unknown step sets the file aside",
         R"({"id":"B","step":"teleported"})"
         "\n",
         true},
    };
    for (const auto& [name, tail, damaged] : cases) {
        SCOPED_TRACE(name);
        TemporaryDirectory folder;
        HelperLog log{-1};
        {
            TransactionLedger ledger(folder.path(), log);
            begin(ledger, "A", HelperCall::quarantine);
            ledger.finish("A", HelperCall::quarantine, succeeded);
            begin(ledger, "B", HelperCall::quarantine);
        }
        {
            std::ofstream append(folder / std::string(transactionLedgerFileName), std::ios::app);
            append << tail;
        }
        TransactionLedger reopened(folder.path(), log);
        ASSERT_TRUE(reopened.isAvailable()) << reopened.unavailableReason();
        EXPECT_EQ(folder.exists(std::string(damagedLedgerFileName)), damaged);
        EXPECT_EQ(reopened.status("A").state, HelperTransactionState::finished);
        // Whatever the lost line said, B did not get its reply recorded.
        EXPECT_EQ(reopened.status("B").state, HelperTransactionState::interrupted);
        // The fresh file reads cleanly.
        TransactionLedger third(folder.path(), log);
        EXPECT_EQ(third.status("A").state, HelperTransactionState::finished);
    }
}

TEST(TransactionLedgerTest, WithoutAUsableFolderNothingMayStartButQuestionsAreAnswered) {
    TemporaryDirectory folder;
    HelperLog log{-1};
    const std::vector<std::pair<std::string, std::optional<std::string>>> unusable{
        {"a file where the folder belongs", folder.writeFile("state", "x")},
        {"a link for the folder", folder.makeSymlink(folder.makeDirectory("real"), "link")},
        {"a folder others can write",
         [&] {
             const auto open = folder.makeDirectory("open");
             ::chmod(open.c_str(), 0777);
             return open;
         }()},
        {"no folder at all", std::nullopt},
    };
    for (const auto& [name, path] : unusable) {
        SCOPED_TRACE(name);
        TransactionLedger ledger(path, log);
        EXPECT_FALSE(ledger.isAvailable());
        EXPECT_FALSE(ledger.unavailableReason().empty());
        EXPECT_EQ(ledger.receive("A", HelperCall::quarantine).admission, TransactionLedger::Admission::unrecorded);
        EXPECT_EQ(ledger.status("B").state, HelperTransactionState::unknown);
        EXPECT_EQ(ledger.receive("B", HelperCall::quarantine).admission, TransactionLedger::Admission::fenced);
    }
}

}  // namespace
}  // namespace kestrova::testing
