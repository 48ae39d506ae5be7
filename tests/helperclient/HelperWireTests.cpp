#include "helperclient/PluginManagementService.h"
#include "protocol/HelperWire.h"
#include "protocol/TransactionStatus.h"
#include "support/NameTables.h"

#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace kestrova {
namespace {

TEST(HelperWire, CallsStatesAndStatusTitlesMapBothWays) {
    testing::expectNamesBothWays<HelperCall>(
        {"handshake", "quarantine", "restore", "moveToTrash", "restoreFromTrash", "transactionStatus"}, callName,
        helperCallFromName);
    testing::expectNamesBothWays<HelperTransactionState>(
        {"finished", "running", "unknown", "fenced", "interrupted"}, [](auto state) { return rawValue(state); },
        helperTransactionStateFromRawValue);
    const std::vector<std::string_view> titles{"Not Enabled", "Approval Required", "Enabled", "Helper Missing",
                                               "Status Unavailable"};
    for (std::size_t i = 0; i < titles.size(); ++i) {
        EXPECT_EQ(title(static_cast<PluginManagementStatus>(i)), titles[i]);
    }
}

struct SocketPair {
    SocketPair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0); }
    ~SocketPair() {
        ::close(fds[0]);
        ::close(fds[1]);
    }
    int fds[2] = {-1, -1};
};

TEST(HelperWire, AFrameAtTheLimitIsReadAndOneByteMoreIsRefused) {
    {
        SocketPair pair;
        ASSERT_EQ(::write(pair.fds[0], encodeFrame("12345").data(), 9), 9);
        EXPECT_EQ(*readFrame(pair.fds[1], 5), "12345");
        ASSERT_EQ(::write(pair.fds[0], encodeFrame("123456").data(), 10), 10);
        EXPECT_EQ(readFrame(pair.fds[1], 5).error().failure, FrameFailure::tooLarge);
    }
    SocketPair pair;
    const std::string largest(helperwire::maximumFrameSize, 'x');
    EXPECT_FALSE(writeFrame(pair.fds[0], largest + "x").ok());
    std::thread writer([&] { EXPECT_TRUE(writeFrame(pair.fds[0], largest).ok()); });
    const auto read = readFrame(pair.fds[1]);
    writer.join();
    ASSERT_TRUE(read.ok()) << read.error().message;
    EXPECT_EQ(read->size(), helperwire::maximumFrameSize);
    // A header announcing one byte more is refused before its payload is read.
    const auto header = encodeFrame(largest + "x").substr(0, helperwire::frameHeaderSize);
    ASSERT_EQ(::write(pair.fds[0], header.data(), header.size()), 4);
    EXPECT_EQ(readFrame(pair.fds[1]).error().failure, FrameFailure::tooLarge);
}

TEST(HelperWire, AReplyIsTakenOnlyForTheCallItAnswers) {
    const Json payload{{"transactionID", "T"}, {"succeeded", true}};
    EXPECT_EQ(*replyPayload(replyEnvelope(HelperCall::restore, payload).dump(), HelperCall::restore), payload);
    auto withError = replyEnvelope(HelperCall::restore, payload);
    withError["error"] = {{"code", "malformedRequest"}, {"message", "No."}};
    auto withoutCall = replyEnvelope(HelperCall::restore, payload);
    withoutCall.erase("call");
    auto withoutReply = replyEnvelope(HelperCall::restore, payload);
    withoutReply.erase("reply");
    const std::vector<std::pair<std::string, std::string>> refused{
        {replyEnvelope(HelperCall::quarantine, payload).dump(), "answered a different call"},
        {replyEnvelope(HelperCall::moveToTrash, payload).dump(), "answered a different call"},
        {errorEnvelope("peerRejected", "Go away.").dump(), "Go away."},
        {withError.dump(), "No."},
        {Json{{"error", "text"}}.dump(), "refused the request"},
        {withoutCall.dump(), "answered a different call"},
        {withoutReply.dump(), "without a payload"},
        {"[1]", "not a JSON object"},
        {"{\"call\":\"restore\",\"reply\":", "not a JSON object"},
    };
    for (const auto& [frame, expected] : refused) {
        const auto result = replyPayload(frame, HelperCall::restore);
        ASSERT_FALSE(result.ok()) << frame;
        EXPECT_NE(result.error().message.find(expected), std::string::npos) << frame << ": " << result.error().message;
    }
}

// A known state, a known call, and for a finished transaction its result.
TEST(HelperWire, ATransactionStatusReplyIsTakenOnlyWhole) {
    const TransactionStatusReply finished{"T", HelperTransactionState::finished, HelperCall::moveToTrash,
                                          Json{{"succeeded", true}}};
    const auto encoded = encodeTransactionStatusReply(finished);
    EXPECT_EQ(*decodeTransactionStatusReply(encoded), finished);
    EXPECT_EQ(*decodeTransactionStatusArgument(encodeTransactionStatusArgument("T")), "T");
    EXPECT_FALSE(decodeTransactionStatusArgument(Json{{"id", "T"}}).ok());
    const auto without = [&](const char* key) {
        auto json = encoded;
        json.erase(key);
        return json;
    };
    const auto with = [&](const char* key, Json value) {
        auto json = encoded;
        json[key] = std::move(value);
        return json;
    };
    for (const auto& payload :
         {Json::array(), without("transactionID"), without("state"), without("call"), without("result"),
          with("state", "done"), with("call", "delete"), with("call", 3), with("transactionID", 7)}) {
        EXPECT_FALSE(decodeTransactionStatusReply(payload).ok()) << payload;
    }
    EXPECT_TRUE(decodeTransactionStatusReply(Json{{"transactionID", "T"}, {"state", "fenced"}}).ok());
}

}  // namespace
}  // namespace kestrova
