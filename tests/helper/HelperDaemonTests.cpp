// The real KestrovaHelper in session mode on a sandbox, and its server code on
// a thread of the test where a transaction can be held at an exact point.
#include "HelperSandbox.h"
#include "platform/Uuid.h"
#include "protocol/HelperWire.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <future>
#include <list>

namespace kestrova::testing {
namespace {

TEST(HelperDaemon, OnlyTheAllowedFrontEndIsServedAndOnlyATrustedSocketIsUsed) {
    ASSERT_EQ(::access(HelperSandbox::helperExecutable().c_str(), X_OK), 0)
        << "build KestrovaHelper first: " << HelperSandbox::helperExecutable();
    // The daemon accepts /bin/true's process only; this test program is refused.
    HelperSandbox sandbox;
    ServiceHarness harness(sandbox.sessionRegistration({"/bin/true"}));
    auto& service = harness.service();
    service.enable();
    harness.settle();
    EXPECT_EQ(service.status(), PluginManagementStatus::enabled);
    EXPECT_FALSE(service.helperIsReachable());
    EXPECT_NE(service.lastError().value_or("").find("is not a Kestrova front end"), std::string::npos)
        << service.lastError().value_or("");
    RawHelperClient raw(sandbox.endpoint());
    EXPECT_EQ(raw.receive()["error"]["code"], "peerRejected");
    EXPECT_TRUE(raw.receive().is_null());
    EXPECT_NE(readWholeFile(sandbox.sessionFolder() + "/helper.log").find("refused a client"), std::string::npos);

    // The client side: a socket folder others can write, or a daemon
    // running as another user, is not trusted.
    auto endpoint = sandbox.endpoint();
    endpoint.daemonUid = ::getuid() + 1;
    EXPECT_FALSE(connectToVerifiedHelper(endpoint).ok());
    ::chmod(sandbox.sessionFolder().c_str(), 0770);
    const auto loose = connectToVerifiedHelper(sandbox.endpoint());
    ASSERT_FALSE(loose.ok());
    EXPECT_NE(loose.error().message.find("does not trust"), std::string::npos);
    ::chmod(sandbox.sessionFolder().c_str(), 0700);
    EXPECT_TRUE(connectToVerifiedHelper(sandbox.endpoint()).ok());
}

TEST(HelperDaemon, UnregisteringStopsTheDaemonAndAMissingOneIsNotRegistered) {
    HelperSandbox sandbox;
    auto registration = sandbox.sessionRegistration();
    ASSERT_TRUE(registration->registerService().ok());
    ASSERT_TRUE(registration->unregisterService().ok());
    EXPECT_FALSE(connectToVerifiedHelper(registration->endpoint()).ok());

    ServiceRegistrationConfiguration missing;
    missing.helperExecutable = sandbox.path("nothing/KestrovaHelper");
    missing.sessionFolder = sandbox.path("other-session");
    missing.layout = sandbox.layout();
    EXPECT_FALSE(makeServiceRegistration(missing)->registerService().ok());
}

// Holds the first move until the test lets it go.
struct GatedOperations final : MoveOperations {
    std::promise<void> reached;
    std::promise<void> released;
    void willMove(std::size_t, const ValidatedMove&) override {
        reached.set_value();
        released.get_future().wait();
    }
};

Json quarantineCall(const HelperSandbox& sandbox, const std::string& name) {
    const auto op = Uuid::random().string();
    const auto source = sandbox.makeBundle(sandbox.pluginPath(name));
    return callEnvelope(HelperCall::quarantine,
                        JsonCoder<PrivilegedQuarantineRequest>::encode(
                            {Uuid::random().string(), {{source, sandbox.quarantinePath(op, name), op}}}));
}

TEST(HelperServer, PeersAndConnectionsAreRefusedAtTheirLimits) {
    const auto handshake = callEnvelope(HelperCall::handshake, "x");
    const HelperConfiguration defaults;
    const struct {
        uid_t uid;
        std::size_t perClient;
        std::size_t served;
        std::string refusal;
    } cases[] = {
        {::getuid() + 1, defaults.maximumConnectionsPerClient, 0, "peerRejected"},
        {::getuid(), defaults.maximumConnectionsPerClient, defaults.maximumConnectionsPerClient, "tooManyConnections"},
        {::getuid(), 100, std::min<std::size_t>(100, defaults.maximumConnections), "tooManyConnections"},
    };
    for (const auto& [uid, perClient, served, refusal] : cases) {
        HelperSandbox sandbox;
        MoveOperations operations;
        InProcessHelper helper(sandbox, operations, [&](HelperConfiguration& c) {
            c.allowedUid = uid;
            c.maximumConnectionsPerClient = perClient;
        });
        std::list<RawHelperClient> open;
        for (std::size_t index = 0; index < served; ++index) {
            EXPECT_EQ(open.emplace_back(sandbox.endpoint()).call(handshake)["reply"]["build"], "40") << index;
        }
        EXPECT_EQ(RawHelperClient(sandbox.endpoint()).receive()["error"]["code"], refusal) << served;
    }
}

TEST(HelperServer, OneTransactionAtATimeAcrossConnections) {
    HelperSandbox sandbox;
    GatedOperations operations;
    auto reached = operations.reached.get_future();
    InProcessHelper helper(sandbox, operations);
    RawHelperClient first(sandbox.endpoint());
    first.sendBytes(encodeFrame(quarantineCall(sandbox, "A.vst3").dump()));
    reached.wait();

    // Another connection reaching the daemon meanwhile is refused by it.
    RawHelperClient other(sandbox.endpoint());
    const auto refused = other.call(quarantineCall(sandbox, "B.vst3"));
    EXPECT_EQ(refused["reply"]["succeeded"], false);
    EXPECT_EQ(refused["reply"]["message"],
              "Another privileged plugin transaction is in progress. No files were moved.");
    // Handshakes are still answered while a transaction runs.
    EXPECT_EQ(other.call(callEnvelope(HelperCall::handshake, "x"))["reply"]["build"], "40");

    operations.released.set_value();
    EXPECT_EQ(first.receive()["reply"]["succeeded"], true);
    EXPECT_TRUE(sandbox.exists(sandbox.pluginPath("B.vst3")));
}

}  // namespace
}  // namespace kestrova::testing
