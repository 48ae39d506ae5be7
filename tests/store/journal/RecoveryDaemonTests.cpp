// Start-up recovery that asks the real KestrovaHelper about a journal before
// it reads the disk: a daemon paused past the client's deadline, one still
// moving when the next start comes, one killed mid-transaction and started
// again, and a cleanup run closed too early. Whatever happened, nothing is
// stranded: every bundle is once on the disk, where the inventory says.
#include "DaemonStoreFixture.h"
#include "helperclient/TransactionLookup.h"
#include "platform/ChildProcess.h"
#include "store/runs/CleanupRunController.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fmt/format.h>
#include <signal.h>

#include <filesystem>
#include <fstream>

namespace kestrova::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;

// Short deadlines, so a paused daemon outlasts the client quickly.
HelperDeadlines fastDeadlines() {
    HelperDeadlines deadlines;
    deadlines.connect = 1500ms;
    deadlines.handshake = 1500ms;
    deadlines.transaction = 1500ms;
    deadlines.transactionPerItem = 0ms;
    return deadlines;
}

bool isStopped(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text(std::istreambuf_iterator<char>(stat), {});
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'T';
}

class RecoveryDaemonTest : public DaemonStoreFixture {
protected:
    void SetUp() override {
        ::unsetenv("KESTROVA_HELPER_PAUSE_AT");
        ::unsetenv("KESTROVA_HELPER_HOLD_AT");
        DaemonStoreFixture::SetUp();
        echo = productOnDisk(layout(), "Acme", "Echo", {"VST3"});
        source = echo.bundles->front().path;
        writeProducts({echo});
    }
    void TearDown() override {
        if (const auto pid = daemonPid()) {
            ::kill(pid, SIGCONT);
        }
        DaemonStoreFixture::TearDown();
    }

    pid_t daemonPid() const {
        std::ifstream in(helper.sessionFolder() + "/helper.pid");
        pid_t pid = 0;
        in >> pid;
        return pid;
    }
    // A daemon started afresh with a test hook in its environment.
    void restartDaemon(const std::string& variable, const std::string& value) {
        registration->unregisterService();
        ::setenv(variable.c_str(), value.c_str(), 1);
        ASSERT_TRUE(registration->registerService().ok());
        ::unsetenv(variable.c_str());
    }
    // Opens the store as a front end does, asking the daemon first.
    void openAsking(std::chrono::milliseconds wait) {
        store.reset();
        TransactionLookupWaiting waiting;
        waiting.limit = wait;
        waiting.interval = 50ms;
        waiting.progress = [this](const std::string&, std::chrono::milliseconds) { ++progressReports; };
        store = std::make_unique<PluginInventoryStore>(
            sandbox.layout, sandbox.disk, sandbox.executor, [](auto&&...) { return ScanSummary{}; },
            makeDaemonTransactionLookup(registration, fastDeadlines(), waiting));
    }

    // Quarantines Echo's VST3 through a daemon started with `variable` set
    // to `value`; the client gives up at its deadline and keeps the journal.
    void quarantineEchoUntilTheDeadline(const std::string& variable, const std::string& value) {
        restartDaemon(variable, value);
        open();
        connect(fastDeadlines());
        const auto request = QuarantineKind::prepare(*store, {selectionOf(*store, "Echo", "VST3")});
        ASSERT_TRUE(request);
        destination = request->items.front().destinationPath;
        transactionID = request->transactionID;
        EXPECT_FALSE(runTransaction(request));
        EXPECT_TRUE(QuarantineKind::pending(*store));
        EXPECT_EQ(store->notice()->title, "Quarantine Needs Attention");
    }
    // The journal is settled as the daemon says, and Echo is where the
    // inventory says, once, whole.
    void expectSettled(bool moved, HelperTransactionState state) {
        ASSERT_FALSE(store->hasPendingPrivilegedTransaction()) << store->lastOperationError().value_or("");
        const auto& record = *findBundle(store->plugins(), "Echo", "VST3");
        EXPECT_EQ(record.isQuarantined(), moved);
        EXPECT_EQ(bundleMarker(moved ? destination : source), source);
        EXPECT_FALSE(existsAt(moved ? source : destination));
        const auto asked = askTransactionStatus(registration->endpoint(), transactionID, fastDeadlines());
        ASSERT_TRUE(asked.ok());
        EXPECT_EQ(asked->state, state);
    }

    Plugin echo;
    std::string source;
    std::string destination;
    std::string transactionID;
    int progressReports = 0;
};

TEST_F(RecoveryDaemonTest, ADaemonPausedPastTheDeadlineNeverActsOnTheAbandonedRequest) {
    // Paused right after the handshake, or after the request is read.
    for (const auto point : {"handshake-answered", "request-read"}) {
        SCOPED_TRACE(point);
        quarantineEchoUntilTheDeadline("KESTROVA_HELPER_PAUSE_AT", point);
        ASSERT_TRUE(isStopped(daemonPid()));

        // A daemon that takes the connection but does not answer has not
        // stopped: the journal stays and nothing is read from the disk.
        openAsking(2s);
        EXPECT_TRUE(QuarantineKind::pending(*store));
        EXPECT_THAT(store->lastOperationError().value_or(""), HasSubstr("kestrova-cli helper repair"));

        // Resumed, it finds the client gone (or the ID fenced by the question
        // below) and moves nothing; the next start drops the journal.
        ::kill(daemonPid(), SIGCONT);
        openAsking(5s);
        std::this_thread::sleep_for(300ms);
        expectSettled(false, HelperTransactionState::fenced);
    }
}

TEST_F(RecoveryDaemonTest, AHeldTransactionIsWaitedForOrAskedAboutAgainAfterAKill) {
    // Still running when the wait runs out: kept, and said so; then it
    // finishes while the next start waits and is committed as the reply
    // would have been.
    const auto release = helper.path("release");
    quarantineEchoUntilTheDeadline("KESTROVA_HELPER_HOLD_AT", "transaction-started:" + release);
    openAsking(300ms);
    EXPECT_TRUE(QuarantineKind::pending(*store));
    EXPECT_THAT(store->lastOperationError().value_or(""), HasSubstr("still carrying out the pending privileged"));
    EXPECT_GT(progressReports, 0);
    std::thread releaser([&] {
        std::this_thread::sleep_for(500ms);
        std::ofstream(release) << "go";
    });
    openAsking(10s);
    releaser.join();
    expectSettled(true, HelperTransactionState::finished);
    EXPECT_EQ(store->history().front().transactionID, transactionID);
    EXPECT_EQ(store->notice()->title, "Plugins Moved to Quarantine");

    // Killed before or after moving: the registration starts it again and
    // its ledger says how far it got.
    for (const auto& [point, moved] :
         {std::pair{"transaction-finished", true}, std::pair{"transaction-started", false}}) {
        SCOPED_TRACE(point);
        writeProducts({echo});
        moveBundle(destination, source);
        quarantineEchoUntilTheDeadline("KESTROVA_HELPER_HOLD_AT", std::string(point) + ":" + helper.path("never"));
        const auto killed = daemonPid();
        ::kill(killed, SIGKILL);
        while (isProcessRunning(killed)) {
            std::this_thread::sleep_for(10ms);
        }
        openAsking(5s);
        EXPECT_NE(daemonPid(), killed);
        expectSettled(moved, moved ? HelperTransactionState::finished : HelperTransactionState::interrupted);
    }
}

TEST_F(RecoveryDaemonTest, ARunClosedAsCanceledIsCorrectedWhenItsChunkTurnsOutToHaveMoved) {
    std::vector<Plugin> synths;
    for (int index = 1; index <= 3; ++index) {
        synths.push_back(productOnDisk(layout(), "Acme", fmt::format("Synth {}", index), {"AU", "VST3"}));
    }
    writeProducts(synths);
    const auto release = helper.path("release");
    restartDaemon("KESTROVA_HELPER_HOLD_AT", "transaction-started:" + release);
    open();
    connect(fastDeadlines());
    CleanupRunController controller(*store, *service);
    ASSERT_TRUE(controller.buildPreview(FormatCleanupPresetKind::auOnly, {}));
    controller.start();
    runUntil([&] { return !controller.isBusy() && service->outstandingCalls() == 0; });
    ASSERT_EQ(store->formatCleanupRuns().front().status, FormatCleanupRunStatus::canceled);
    EXPECT_TRUE(QuarantineKind::pending(*store));

    std::ofstream(release) << "go";
    openAsking(10s);
    ASSERT_FALSE(store->hasPendingPrivilegedTransaction()) << store->lastOperationError().value_or("");
    const auto& run = store->formatCleanupRuns().front();
    EXPECT_EQ(run.status, FormatCleanupRunStatus::completed);
    // The old item stays; the newest says what really happened.
    const auto& history = store->history();
    EXPECT_EQ(history.front().kind, HistoryKind::cleanupPresetCompleted);
    EXPECT_EQ(history.front().detail,
              "Outcome corrected from canceled: 3 reviewed format bundles moved into reversible quarantine");
    EXPECT_EQ(std::count_if(history.begin(), history.end(),
                            [](const HistoryItem& item) { return item.kind == HistoryKind::cleanupPresetCanceled; }),
              1);
    EXPECT_EQ(store->notice()->title, "Cleanup Preset Corrected");
    EXPECT_EQ(savedState().formatCleanupRuns, store->formatCleanupRuns());
}

}  // namespace
}  // namespace kestrova::testing
