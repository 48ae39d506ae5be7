// The daemon's transaction on a real disk, with system calls that fail or
// change the disk at chosen moments.
#include "HelperSandbox.h"
#include "helper/RequestValidation.h"
#include "helper/TransactionRunner.h"
#include "platform/Uuid.h"

#include <sys/stat.h>

#include <gtest/gtest.h>
#include <filesystem>
#include <set>

namespace kestrova::testing {
namespace {
namespace fs = std::filesystem;

// Fails chosen renames (counted from 1, rollback renames included).
struct FailingOperations final : MoveOperations {
    std::set<int> failingRenames;
    int renames = 0;
    std::function<void(std::size_t, const ValidatedMove&)> beforeMove;

    void willMove(std::size_t index, const ValidatedMove& move) override {
        if (beforeMove) {
            beforeMove(index, move);
        }
    }
    int renameNoReplace(int fromDirectory, const std::string& fromName, int toDirectory,
                        const std::string& toName) override {
        if (failingRenames.contains(++renames)) {
            return EIO;
        }
        return MoveOperations::renameNoReplace(fromDirectory, fromName, toDirectory, toName);
    }
};

class TransactionRunnerTest : public ::testing::Test {
protected:
    struct Prepared {
        ValidatedTransaction transaction;
        std::vector<std::string> sources;
        std::vector<std::string> destinations;
    };

    Prepared quarantineOf(std::initializer_list<std::string> names) {
        Prepared prepared;
        PrivilegedQuarantineRequest request{Uuid::random().string(), {}};
        for (const auto& name : names) {
            const auto source = sandbox.makeBundle(sandbox.pluginPath(name));
            const auto destination = sandbox.quarantinePath(operationID, name);
            request.items.push_back({source, destination, operationID});
            prepared.sources.push_back(source);
            prepared.destinations.push_back(destination);
        }
        auto validated = validateRequest(request, areas());
        EXPECT_TRUE(validated.ok()) << validated.error().message;
        prepared.transaction = *validated;
        return prepared;
    }

    HelperAreas areas() const {
        return HelperAreas::under(sandbox.layout().systemRoot, sandbox.layout().trashFolder());
    }

    TransactionOutcome run(const ValidatedTransaction& transaction) {
        return TransactionRunner(operations, log).run(transaction);
    }
    // Quarantines whatever stands at `source`, under `name`, into `operation`'s folder.
    TransactionOutcome quarantine(const std::string& source, const std::string& name, const std::string& operation) {
        const PrivilegedQuarantineRequest request{Uuid::random().string(),
                                                  {{source, sandbox.quarantinePath(operation, name), operation}}};
        return run(*validateRequest(request, areas()));
    }

    HelperSandbox sandbox;
    FailingOperations operations;
    HelperLog log{-1};
    std::string operationID = Uuid::random().string();
};

TEST_F(TransactionRunnerTest, AFailedMoveRollsBackAndARollbackThatCannotSaysSo) {
    {
        const auto prepared = quarantineOf({"A.vst3", "B.vst3", "C.vst3", "D.vst3"});
        operations.failingRenames = {3};
        const auto outcome = run(prepared.transaction);
        EXPECT_FALSE(outcome.succeeded);
        EXPECT_TRUE(outcome.rollbackComplete);
        EXPECT_TRUE(outcome.movedDestinations.empty());
        EXPECT_NE(outcome.message.find("The 2 bundles moved before it were put back. No files were moved."),
                  std::string::npos)
            << outcome.message;
        EXPECT_EQ(operations.renames, 5);  // two moves, the failure, two moves back
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_TRUE(sandbox.hasWholeBundle(prepared.sources[i], prepared.sources[i]));
        }
        EXPECT_FALSE(sandbox.exists(sandbox.quarantinePath(operationID, "")));
    }
    operationID = Uuid::random().string();
    operations.renames = 0;
    const auto prepared = quarantineOf({"E.vst3", "F.vst3", "G.vst3"});
    operations.failingRenames = {3, 4};  // the failure, then the first move back (F)
    const auto outcome = run(prepared.transaction);
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_FALSE(outcome.rollbackComplete);
    EXPECT_NE(outcome.message.find(prepared.destinations[1]), std::string::npos);
    EXPECT_NE(outcome.message.find("Stop before retrying."), std::string::npos);
    EXPECT_TRUE(sandbox.hasWholeBundle(prepared.sources[0], prepared.sources[0]));
    EXPECT_TRUE(sandbox.hasWholeBundle(prepared.destinations[1], prepared.sources[1]));
    // The operation folder still holds F, so it stays.
    EXPECT_TRUE(sandbox.exists(sandbox.quarantinePath(operationID, "")));
}

TEST_F(TransactionRunnerTest, RefusesBeforeMovingAnything) {
    // Destination taken: the second item's original place is occupied again.
    {
        const auto prepared = quarantineOf({"A.vst3", "B.vst3"});
        ASSERT_TRUE(run(prepared.transaction).succeeded);
        sandbox.makeBundle(prepared.sources[1]);
        PrivilegedRestoreRequest restore{Uuid::random().string(),
                                         {{prepared.destinations[0], prepared.sources[0], operationID},
                                          {prepared.destinations[1], prepared.sources[1], operationID}}};
        const auto outcome = run(*validateRequest(restore, areas()));
        EXPECT_FALSE(outcome.succeeded);
        EXPECT_TRUE(outcome.rollbackComplete);
        EXPECT_EQ(outcome.message, "Something already exists at “" + prepared.sources[1] + "”. No files were moved.");
        EXPECT_EQ(operations.renames, 2);
        EXPECT_TRUE(sandbox.exists(prepared.destinations[0]));
    }
    // A folder on the way is a symbolic link.
    {
        const auto outside = sandbox.makeBundle(sandbox.path("outside/Vendor/X.vst3"));
        fs::create_symlink(sandbox.path("outside/Vendor"), sandbox.pluginPath("Vendor"));
        const auto outcome = quarantine(sandbox.pluginPath("Vendor/X.vst3"), "X.vst3", operationID);
        EXPECT_FALSE(outcome.succeeded);
        EXPECT_NE(outcome.message.find("symbolic link"), std::string::npos) << outcome.message;
        EXPECT_TRUE(sandbox.hasWholeBundle(outside, outside));
    }
    // The operation folder already exists.
    {
        const auto existing = Uuid::random().string();
        fs::create_directories(sandbox.quarantinePath(existing, ""));
        const auto source = sandbox.makeBundle(sandbox.pluginPath("E.vst3"));
        const auto outcome = quarantine(source, "E.vst3", existing);
        EXPECT_NE(outcome.message.find("already exists"), std::string::npos);
        EXPECT_TRUE(sandbox.exists(source));
    }
}

TEST_F(TransactionRunnerTest, AFolderSwappedForALinkAfterTheChecksRedirectsNothing) {
    // Between the checks and the move, the VST3 folder is renamed away and a
    // link to a decoy folder put in its place.
    const auto prepared = quarantineOf({"A.vst3"});
    const auto decoy = sandbox.makeBundle(sandbox.path("decoy/A.vst3"));
    const auto folder = fs::path(prepared.sources[0]).parent_path();
    operations.beforeMove = [&](std::size_t, const ValidatedMove&) {
        fs::rename(folder, sandbox.path("moved-away"));
        fs::create_symlink(sandbox.path("decoy"), folder);
    };
    const auto outcome = run(prepared.transaction);
    EXPECT_TRUE(outcome.succeeded) << outcome.message;
    EXPECT_TRUE(sandbox.hasWholeBundle(decoy, decoy));
    EXPECT_TRUE(sandbox.hasWholeBundle(prepared.destinations[0], prepared.sources[0]));
    EXPECT_FALSE(sandbox.exists(sandbox.path("moved-away/A.vst3")));
}

TEST_F(TransactionRunnerTest, AcrossFileSystemsIsRefusedNotCopied) {
    // /dev/shm is a separate file system where it exists.
    struct stat tmp {
    }, shm{};
    if (::stat(sandbox.layout().systemRoot.c_str(), &tmp) != 0 || ::stat("/dev/shm", &shm) != 0 ||
        tmp.st_dev == shm.st_dev) {
        GTEST_SKIP() << "no second file system to move across";
    }
    const auto trash = fs::path("/dev/shm") / ("kestrova-trash-" + Uuid::random().string());
    fs::create_directories(trash);
    const auto prepared = quarantineOf({"A.vst3"});
    ASSERT_TRUE(run(prepared.transaction).succeeded);
    PrivilegedTrashRequest request{Uuid::random().string(),
                                   {{prepared.destinations[0], (trash / "A.vst3").string(), operationID}}};
    const auto outcome =
        run(*validateRequest(request, HelperAreas::under(sandbox.layout().systemRoot, trash.string())));
    fs::remove_all(trash);
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_NE(outcome.message.find("different file systems"), std::string::npos) << outcome.message;
    EXPECT_TRUE(sandbox.hasWholeBundle(prepared.destinations[0], prepared.sources[0]));
}

}  // namespace
}  // namespace kestrova::testing
