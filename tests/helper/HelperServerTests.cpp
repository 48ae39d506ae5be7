// The daemon's server code on a thread of the test, where a transaction can
// be held at an exact point or the daemon configured unlike a real one.
#include "HelperSandbox.h"
#include "helperclient/HelperWire.h"
#include "platform/Uuid.h"

#include <gtest/gtest.h>
#include <condition_variable>
#include <mutex>

namespace kestrova::testing {
namespace {

// Holds the first move until the test lets it go.
struct GatedOperations final : MoveOperations {
    std::mutex mutex;
    std::condition_variable changed;
    bool reached = false;
    bool released = false;

    void willMove(std::size_t, const ValidatedMove&) override {
        std::unique_lock lock(mutex);
        reached = true;
        changed.notify_all();
        changed.wait(lock, [&] { return released; });
    }
    void waitUntilReached() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return reached; });
    }
    void release() {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
};

Json quarantineCall(const HelperSandbox& sandbox, const std::string& name) {
    const auto op = Uuid::random().string();
    const auto source = sandbox.makeBundle(sandbox.pluginPath(name));
    return callEnvelope(HelperCall::quarantine,
                        JsonCoder<PrivilegedQuarantineRequest>::encode(
                            {Uuid::random().string(), {{source, sandbox.quarantinePath(op, name), op}}}));
}

TEST(HelperServer, AHelperOfAnotherBuildIsNotTrusted) {
    HelperSandbox sandbox;
    MoveOperations operations;
    InProcessHelper helper(sandbox, operations, [](HelperConfiguration& c) { c.build = "39"; });
    ServiceHarness harness(std::make_shared<FixedRegistration>(sandbox.endpoint()));
    auto& service = harness.service();
    EXPECT_EQ(service.helperVersion(), "39");
    EXPECT_FALSE(service.helperIsReachable());
    EXPECT_TRUE(service.needsRepairOrUpdate());
}

TEST(HelperServer, APeerOfAnotherUserIsRefused) {
    HelperSandbox sandbox;
    MoveOperations operations;
    InProcessHelper helper(sandbox, operations, [](HelperConfiguration& c) { c.allowedUid = ::getuid() + 1; });
    RawHelperClient client(sandbox.endpoint());
    const auto reply = client.receive();
    EXPECT_EQ(reply["error"]["code"], "peerRejected");
    EXPECT_NE(reply["error"]["message"].get<std::string>().find("may not use this helper"), std::string::npos);
}

TEST(HelperServer, OneTransactionAtATimeAcrossConnectionsAndInTheService) {
    HelperSandbox sandbox;
    GatedOperations operations;
    InProcessHelper helper(sandbox, operations);
    ServiceHarness harness(std::make_shared<FixedRegistration>(sandbox.endpoint()));
    auto& service = harness.service();
    ASSERT_TRUE(service.helperIsReachable()) << service.lastError().value_or("");

    const auto op = Uuid::random().string();
    const auto source = sandbox.makeBundle(sandbox.pluginPath("A.vst3"));
    std::vector<PrivilegedQuarantineResult> first;
    service.sendQuarantine(Uuid::random().string(), {{source, sandbox.quarantinePath(op, "A.vst3"), op}},
                           [&](auto r) { first.push_back(r); });
    operations.waitUntilReached();

    // The service refuses a second send without asking the helper.
    std::vector<PrivilegedRestoreResult> second;
    service.sendRestore("T2", {}, [&](auto r) { second.push_back(r); });
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].message, "A privileged plugin transaction is already in progress.");
    EXPECT_TRUE(service.isWorking());

    // Another connection reaching the daemon meanwhile is refused by it.
    RawHelperClient other(sandbox.endpoint());
    const auto refused = other.call(quarantineCall(sandbox, "B.vst3"));
    EXPECT_EQ(refused["reply"]["succeeded"], false);
    EXPECT_EQ(refused["reply"]["message"],
              "Another privileged plugin transaction is in progress. No files were moved.");
    // Handshakes are still answered while a transaction runs.
    EXPECT_EQ(other.call(callEnvelope(HelperCall::handshake, "x"))["reply"]["build"], "40");

    operations.release();
    harness.settle();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_TRUE(first[0].succeeded) << first[0].message;
    EXPECT_FALSE(service.isWorking());
    EXPECT_TRUE(sandbox.hasWholeBundle(sandbox.quarantinePath(op, "A.vst3"), source));
    EXPECT_TRUE(sandbox.exists(sandbox.pluginPath("B.vst3")));
}

}  // namespace
}  // namespace kestrova::testing
