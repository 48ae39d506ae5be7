// A local program that talks to the daemon's socket directly, without the
// service, and sends what no front end would: the daemon refuses each with a
// clear error, moves nothing it should not, and goes on serving the real
// client.
#include "HelperSandbox.h"
#include "platform/Uuid.h"
#include "protocol/HelperWire.h"
#include "support/ServiceCalls.h"

#include <unistd.h>

#include <gtest/gtest.h>
#include <filesystem>
#include <list>
#include <tuple>

namespace kestrova::testing {
namespace {
namespace fs = std::filesystem;

TEST(HostileClient, IsRefusedClearlyMovesNothingAndTheRealClientIsStillServed) {
    ASSERT_EQ(::access(HelperSandbox::helperExecutable().c_str(), X_OK), 0)
        << "build KestrovaHelper first: " << HelperSandbox::helperExecutable();
    HelperSandbox sandbox;
    ServiceHarness harness(sandbox.sessionRegistration());
    auto& service = harness.service();
    service.enable();
    harness.settle();
    ASSERT_TRUE(service.helperIsReachable()) << service.lastError().value_or("");

    const auto operationID = Uuid::random().string();
    const auto bundle = sandbox.makeBundle(sandbox.pluginPath("Echo.vst3"));
    const auto outside = sandbox.makeBundle(sandbox.path("outside/Echo.vst3"));
    fs::create_symlink(outside, sandbox.pluginPath("Linked.vst3"));
    const auto item = [&](const std::string& source, const std::string& destination) {
        return Json{{"sourcePath", source}, {"destinationPath", destination}, {"operationID", operationID}};
    };
    const auto request = [&](const Json& only) {
        return Json{{"transactionID", Uuid::random().string()}, {"items", Json::array({only})}};
    };
    const auto envelope = [](const Json& protocol, const Json& call, const Json& argument) {
        return Json{{"protocol", protocol}, {"call", call}, {"argument", argument}};
    };
    const auto ask = [&](const RawHelperClient& to, const Json& call, const Json& argument) {
        return to.call(envelope(1, call, argument));
    };

    RawHelperClient client(sandbox.endpoint());
    ASSERT_TRUE(client.connected());
    EXPECT_EQ(ask(client, "handshake", "raw test")["reply"], Json({{"identity", "KestrovaHelper"}, {"build", "40"}}));

    // Well-formed requests for moves the daemon must not make: the rules
    // applied with the areas the daemon derives, and a link only the disk shows.
    const std::vector<std::tuple<std::string, Json, std::string>> refusedMoves{
        {"quarantine",
         request(item(sandbox.path("root") + "/Library/Audio/Plug-Ins/VST3/../../../../outside/Echo.vst3",
                      sandbox.quarantinePath(operationID, "Echo.vst3"))),
         "standardized"},
        {"quarantine",
         request(item(sandbox.pluginPath("Linked.vst3"), sandbox.quarantinePath(operationID, "Linked.vst3"))),
         "symbolic link"},
        {"restore", request(item(outside, sandbox.pluginPath("Restored.vst3"))), "quarantine folder of operation"},
        {"moveToTrash", request(item(sandbox.quarantinePath(operationID, "Echo.vst3"), sandbox.path("Echo.vst3"))),
         "Trash folder"},
    };
    for (const auto& [call, argument, reason] : refusedMoves) {
        const auto reply = ask(client, call, argument)["reply"];
        EXPECT_EQ(reply["succeeded"], false) << argument;
        EXPECT_EQ(reply["rollbackComplete"], true) << argument;
        const auto message = reply["message"].get<std::string>();
        EXPECT_NE(message.find(reason), std::string::npos) << argument << " → " << message;
        EXPECT_TRUE(message.ends_with("No files were moved.")) << message;
    }

    // Bad frames and envelopes of the wrong shape or types: one error reply
    // each, with the code that says why, and the connection stays in step.
    const std::vector<std::pair<Json, std::string>> badRequests{
        {"{not json", "malformedRequest"},
        {"[1,2,3]", "malformedRequest"},
        {envelope(2, "handshake", ""), "unsupportedProtocol"},
        {envelope("1", "handshake", "x"), "unsupportedProtocol"},
        {envelope(1, "format", ""), "unknownCall"},
        {envelope(1, 7, "x"), "unknownCall"},
        {envelope(1, "handshake", Json::array()), "malformedRequest"},
        {envelope(1, "quarantine", 7), "malformedRequest"},
        {envelope(1, "quarantine", Json{{"transactionID", 5}, {"items", Json::array()}}), "malformedRequest"},
    };
    for (const auto& [bytes, code] : badRequests) {
        client.sendBytes(encodeFrame(bytes.is_string() ? bytes.get<std::string>() : bytes.dump()));
        const auto reply = client.receive();
        EXPECT_EQ(reply["error"]["code"], code) << bytes;
        EXPECT_FALSE(reply["error"]["message"].get<std::string>().empty());
    }
    // A request that names its transaction but not readable items gets a
    // refusal result it can match.
    const std::vector<std::pair<std::string, Json>> unreadableItems{
        {"restore", {{"transactionID", "T-1"}, {"items", "nope"}}},
        {"quarantine", {{"transactionID", "T-2"}, {"items", {{"a", 1}}}}},
        {"quarantine", request(Json{{"sourcePath", 1}, {"destinationPath", true}})},
    };
    for (const auto& [call, argument] : unreadableItems) {
        const auto reply = ask(client, call, argument)["reply"];
        EXPECT_EQ(reply["transactionID"], argument["transactionID"]) << reply;
        EXPECT_EQ(reply["succeeded"], false);
        EXPECT_EQ(reply["rollbackComplete"], true);
        EXPECT_TRUE(reply[call == "restore" ? "restoredDestinationPaths" : "movedDestinationPaths"].empty());
        EXPECT_TRUE(reply["message"].get<std::string>().ends_with("No files were moved.")) << reply;
    }

    // Deeply nested JSON, as the whole payload and inside a request.
    const std::size_t depth = 500'000;
    const auto nested = std::string(depth, '[') + std::string(depth, ']');
    client.sendBytes(encodeFrame(nested));
    EXPECT_EQ(client.receive()["error"]["code"], "malformedRequest");
    client.sendBytes(
        encodeFrame(R"({"protocol":1,"call":"quarantine","argument":{"transactionID":"T-2","items":)" + nested + "}}"));
    EXPECT_EQ(client.receive()["reply"]["succeeded"], false);
    // A transaction ID that fills the frame still gets a reply that fits one.
    EXPECT_FALSE(ask(client, "quarantine",
                     {{"transactionID", std::string(helperwire::maximumFrameSize - 200, 'T')}, {"items", 1}})
                     .is_null());
    EXPECT_EQ(ask(client, "handshake", "x")["reply"]["build"], "40");

    // A version string that tries to write a log line of its own.
    ask(client, "handshake", "x\nKestrovaHelper[1]: forged");

    // Oversized and empty frames end only their own connection.
    for (const auto& [frame, code] : {std::pair{std::string{'\x7f', '\xff', '\xff', '\xff'}, "frameTooLarge"},
                                      std::pair{std::string(4, '\0'), "malformedFrame"}}) {
        RawHelperClient ended(sandbox.endpoint());
        ended.sendBytes(frame);
        EXPECT_EQ(ended.receive()["error"]["code"], code);
        EXPECT_TRUE(ended.receive().is_null());
    }

    // A flood of connections that each stop halfway through a frame: one
    // client cannot take every connection the daemon serves.
    std::list<RawHelperClient> flood;
    for (int index = 0; index < 24; ++index) {
        flood.emplace_back(sandbox.endpoint()).sendBytes(std::string{'\0', '\0'});
    }

    // Nothing moved, and the real client is served during the flood.
    EXPECT_TRUE(sandbox.hasWholeBundle(bundle, bundle));
    EXPECT_TRUE(sandbox.hasWholeBundle(outside, outside));
    EXPECT_FALSE(sandbox.exists(sandbox.quarantinePath(operationID, "")));
    std::vector<PrivilegedQuarantineResult> results;
    sendAs<PrivilegedQuarantineRequest>(
        service, Uuid::random().string(), {{bundle, sandbox.quarantinePath(operationID, "Echo.vst3"), operationID}},
        [&](PrivilegedQuarantineResult result) { results.push_back(std::move(result)); });
    harness.settle();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results.front().succeeded) << results.front().message;

    // The few it took are dropped once their frames stall; the rest were
    // refused at once.
    std::size_t refusedConnections = 0;
    for (auto& connection : flood) {
        const auto reply = connection.receive();
        if (!reply.is_null()) {
            EXPECT_EQ(reply["error"]["code"], "tooManyConnections");
            ++refusedConnections;
        }
    }
    EXPECT_GE(refusedConnections, 20u);
    flood.clear();
    EXPECT_EQ(ask(RawHelperClient(sandbox.endpoint()), "handshake", "after")["reply"]["identity"], "KestrovaHelper");

    const auto log = readWholeFile(sandbox.sessionFolder() + "/helper.log");
    EXPECT_EQ(("\n" + log).find("\nKestrovaHelper[1]"), std::string::npos) << log;
}

}  // namespace
}  // namespace kestrova::testing
