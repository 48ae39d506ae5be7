// The service against a scripted registration and connection, the records
// it sends and reads, and the deadlines.
#include "helperclient/HelperEnvironment.h"
#include "helperclient/PluginManagementService.h"
#include "protocol/HelperProtocol.h"
#include "protocol/PrivilegedRecords.h"
#include "support/HelperSession.h"
#include "support/ServiceCalls.h"

#include <sys/socket.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <deque>
#include <list>
#include <sstream>

namespace kestrova {
namespace {

using namespace kestrova::testing;

struct PendingCall {
    HelperCall call;
    Json argument;
    HelperConnection::ReplyHandler reply;
    HelperConnection::ErrorHandler error;
};

class ServiceTest : public ::testing::Test {
protected:
    // Calls wait in `calls` until the test answers them.
    class ScriptedConnection final : public HelperConnection {
    public:
        explicit ScriptedConnection(ServiceTest& test) : test_(test) { ++test_.opened; }
        void setInterruptionHandler(std::function<void()> handler) override { test_.interruption = std::move(handler); }
        void setInvalidationHandler(std::function<void()>) override {}
        void resume() override {}
        void invalidate() override {}
        bool call(HelperCall call, std::string argument, std::size_t, ReplyHandler onReply,
                  ErrorHandler onError) override {
            if (!test_.refuseCalls) {
                test_.calls.push_back({call, Json::parse(argument), std::move(onReply), std::move(onError)});
            }
            return !test_.refuseCalls;
        }

    private:
        ServiceTest& test_;
    };

    std::shared_ptr<PluginManagementService> makeService() {
        auto service = PluginManagementService::create(
            executor, registration, [this] { return std::make_unique<ScriptedConnection>(*this); }, {});
        service->observe([this](std::string_view field) { published.emplace_back(field); });
        return service;
    }
    PendingCall take() {
        auto call = std::move(calls.front());
        calls.pop_front();
        return call;
    }
    // Answers (or fails) the oldest call and lets the reply reach the main thread.
    void answer(const Json& reply) {
        take().reply(reply);
        executor.drain();
    }
    void fail(const std::string& message) {
        take().error(Error{message});
        executor.drain();
    }
    void handshakeWith(std::string identity, std::string build) {
        answer(encodeHandshakeReply({std::move(identity), std::move(build)}));
    }

    RunLoopExecutor executor;
    std::shared_ptr<ScriptedRegistration> registration = std::make_shared<ScriptedRegistration>();
    std::deque<PendingCall> calls;
    int opened = 0;
    bool refuseCalls = false;
    std::function<void()> interruption;
    std::vector<std::string> published;
};

const std::vector<PrivilegedQuarantineItem> oneItem{{"/Library/Audio/Plug-Ins/VST3/A.vst3", "/q/OP/A.vst3", "OP"}};

TEST_F(ServiceTest, HandshakeDecidesReachabilityAndItsTexts) {
    auto service = makeService();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls.front().call, HelperCall::handshake);
    EXPECT_EQ(calls.front().argument, "Kestrova 1.0.1 (Build 40)");
    handshakeWith("KestrovaHelper", "40");
    EXPECT_TRUE(service->helperIsReachable());
    EXPECT_TRUE(service->canSendPrivilegedRequest());

    service->handshake(true);
    handshakeWith("KestrovaHelper", "39");
    EXPECT_FALSE(service->helperIsReachable());
    EXPECT_TRUE(service->needsRepairOrUpdate());
    EXPECT_EQ(service->lastError(),
              "The registered helper is Build 39. Choose Update Plugin Management to install Build 40.");
    EXPECT_EQ(service->lastHandshakeNotice(), "Secure helper test failed. The registered helper reported Build 39.");
    EXPECT_EQ(service->blockingReason(TransactionKind::trashRestore),
              "The privileged helper is enabled but has not completed its secure handshake.");

    // The right build from an impostor identity is still not the helper.
    service->handshake(true);
    handshakeWith("SomethingElse", "40");
    EXPECT_FALSE(service->helperIsReachable());

    service->handshake(true);
    handshakeWith("KestrovaHelper", "40");
    EXPECT_EQ(service->lastError(), std::nullopt);

    service->handshake(true);
    fail("The connection to KestrovaHelper was interrupted.");
    EXPECT_FALSE(service->helperIsReachable());
    EXPECT_EQ(service->helperVersion(), std::nullopt);
    EXPECT_EQ(service->lastHandshakeNotice(),
              "Secure helper test failed: The connection to KestrovaHelper was interrupted.");
    EXPECT_FALSE(service->hasConnection());

    service->handshake(true);
    answer(Json{{"identity", "KestrovaHelper"}});
    EXPECT_EQ(service->lastError(), "Kestrova could not verify the helper response.");

    refuseCalls = true;
    service->handshake(true);
    EXPECT_EQ(service->lastError(), "Kestrova could not create the helper communication channel.");
    EXPECT_EQ(service->lastHandshakeNotice(), "Secure helper test failed.");
    EXPECT_EQ(service->outstandingCalls(), 0u);
}

// Each kind's request and its own texts: not enabled, no channel, an
// unreadable reply. A request journaled for the user side names no side on
// the wire.
struct KindCase {
    PrivilegedRequest request;
    std::string notEnabled;
    std::string noChannel;
    std::string unverified;
};
const std::vector<KindCase> kindCases{
    {PrivilegedQuarantineRequest{"Q", oneItem, BundleSide::user},
     "Enable Plugin Management before moving system plugin bundles.",
     "Kestrova could not create the privileged quarantine channel.", "Kestrova could not verify the helper response."},
    {PrivilegedRestoreRequest{"R", {{"/q/OP/A.vst3", "/Library/A.vst3", "OP"}, {"/q/OP/B.vst3", "/B.vst3", "OP"}}},
     "Enable Plugin Management before restoring system plugin bundles.",
     "Kestrova could not create the privileged restore channel.",
     "Kestrova could not verify the helper restore response."},
    {PrivilegedTrashRequest{"T", {}, BundleSide::user},
     "Enable Plugin Management before moving quarantined bundles to Finder Trash.",
     "Kestrova could not create the privileged Finder Trash channel.",
     "Kestrova could not verify the helper Finder Trash response."},
    {PrivilegedTrashRestoreRequest{"TR", {{"/h/.Trash/A.vst3", "/Library/A.vst3", "ID", "A.vst3", "VST3"}}},
     "Enable Plugin Management before restoring bundles from Finder Trash.",
     "Kestrova could not create the privileged Finder Trash recovery channel.",
     "Kestrova could not verify the helper Finder Trash recovery response."},
};

Json encoded(const PrivilegedResult& result) {
    return std::visit([](const auto& record) { return JsonCoder<std::decay_t<decltype(record)>>::encode(record); },
                      result);
}

TEST_F(ServiceTest, StatusOtherThanEnabledBlocksWithTheKindsOwnText) {
    registration->state = ServiceRegistrationState::requiresApproval;
    auto service = makeService();
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(service->status(), PluginManagementStatus::requiresApproval);
    service->handshake(true);
    EXPECT_EQ(service->lastHandshakeNotice(), "Secure helper test unavailable until Plugin Management is enabled.");
    for (const auto& [request, notEnabled, noChannel, unverified] : kindCases) {
        const auto kind = kindOf(request);
        EXPECT_EQ(service->blockingReason(kind), notEnabled);
        std::optional<PrivilegedResult> result;
        service->send(request, [&](PrivilegedResult reply) { result = std::move(reply); });
        ASSERT_TRUE(result);
        EXPECT_EQ(*result, madeUpFailure(kind, transactionIDOf(request), notEnabled));
    }
    EXPECT_FALSE(service->needsRepairOrUpdate());
    EXPECT_EQ(managementStatus(ServiceRegistrationState::notRegistered), PluginManagementStatus::notRegistered);
    EXPECT_EQ(managementStatus(ServiceRegistrationState::notFound), PluginManagementStatus::notFound);
    EXPECT_EQ(managementStatus(ServiceRegistrationState::unknown), PluginManagementStatus::unavailable);
    EXPECT_EQ(managementStatus(ServiceRegistrationState::enabled), PluginManagementStatus::enabled);
}

// A refusal that decodes is handed on with its message; another kind's
// record, not a record, or no channel is the kind's own failure.
TEST_F(ServiceTest, AnyRequestGoesOutAsItsKindsCallAndComesBackAsItsKindsResult) {
    auto service = makeService();
    handshakeWith("KestrovaHelper", "40");
    for (std::size_t index = 0; index < kindCases.size(); ++index) {
        const auto& [request, notEnabled, noChannel, unverified] = kindCases[index];
        const auto kind = kindOf(request);
        const auto id = transactionIDOf(request);
        SCOPED_TRACE(describe(kind).action);
        EXPECT_EQ(sideOf(request), index % 2 == 0 ? BundleSide::user : BundleSide::system);

        std::optional<PrivilegedResult> result;
        const auto send = [&] {
            result.reset();
            service->send(request, [&](PrivilegedResult reply) { result = std::move(reply); });
        };
        send();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls.front().call, describe(kind).call);
        EXPECT_FALSE(calls.front().argument.contains("side"));
        EXPECT_EQ(calls.front().argument.at("transactionID"), id);
        EXPECT_EQ(calls.front().argument.at("items").size(), itemCount(request));
        const auto refusal = madeUpFailure(kind, id, "Something already exists at “/q”.");
        answer(encoded(refusal));
        ASSERT_TRUE(result);
        EXPECT_EQ(*result, refusal);
        EXPECT_EQ(service->lastError(), "Something already exists at “/q”.");

        const auto other = madeUpFailure(transactionKinds.at((index + 1) % 4), id, "");
        for (const auto& reply : {kind == TransactionKind::quarantine ? encoded(other) : Json::array(), Json()}) {
            send();
            answer(reply);
            ASSERT_TRUE(result);
            EXPECT_EQ(*result, madeUpFailure(kind, id, unverified)) << reply;
            EXPECT_EQ(service->lastError(), unverified);
        }
        send();
        fail("The connection to KestrovaHelper was interrupted.");
        EXPECT_EQ(*result, madeUpFailure(kind, id, "The connection to KestrovaHelper was interrupted."));
        EXPECT_FALSE(service->isWorking());

        refuseCalls = true;
        send();
        EXPECT_EQ(*result, madeUpFailure(kind, id, noChannel));
        EXPECT_EQ(service->lastError(), noChannel);
        refuseCalls = false;
        service->handshake(false);
        handshakeWith("KestrovaHelper", "40");
        EXPECT_EQ(service->outstandingCalls(), 0u);
    }
}

TEST_F(ServiceTest, OneTransactionAtATime) {
    auto service = makeService();
    handshakeWith("KestrovaHelper", "40");
    published.clear();
    std::vector<PrivilegedQuarantineResult> first;
    sendAs<PrivilegedQuarantineRequest>(*service, "T1", oneItem, [&](auto r) { first.push_back(r); });
    EXPECT_TRUE(service->isWorking());
    EXPECT_EQ(published, (std::vector<std::string>{"isWorking", "lastError"}));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(decodePrivilegedJson<PrivilegedQuarantineRequest>(calls.front().argument)->items, oneItem);

    std::vector<PrivilegedTrashResult> second;
    sendAs<PrivilegedTrashRequest>(*service, "T2", {{"/q/OP/A.vst3", "/h/.Trash/A.vst3", "OP"}},
                                   [&](auto r) { second.push_back(r); });
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0], (PrivilegedTrashResult{
                             "T2", false, true, {}, "A privileged plugin transaction is already in progress."}));
    EXPECT_EQ(calls.size(), 1u);
    service->enable();
    service->repairOrUpdate();
    EXPECT_TRUE(registration->calls.empty());

    answer(JsonCoder<PrivilegedQuarantineResult>::encode({"T1", true, false, {"/q/OP/A.vst3"}, "Moved."}));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_TRUE(first[0].succeeded);
    EXPECT_EQ(service->lastError(), std::nullopt);
    EXPECT_FALSE(service->isWorking());
}

TEST_F(ServiceTest, InterruptionsLateAnswersAndCompletionsOutlivingTheServiceAreHarmless) {
    auto service = makeService();
    // The answer from a connection since replaced is ignored.
    auto stale = take();
    service->handshake(false);
    handshakeWith("KestrovaHelper", "40");
    stale.error(Error{"late"});
    executor.drain();
    EXPECT_TRUE(service->helperIsReachable());
    EXPECT_EQ(service->lastError(), std::nullopt);
    EXPECT_EQ(service->outstandingCalls(), 0u);

    interruption();
    executor.drain();
    EXPECT_FALSE(service->helperIsReachable());
    std::optional<PrivilegedQuarantineResult> result;
    sendAs<PrivilegedQuarantineRequest>(*service, "T1", oneItem, [&](auto r) { result = r; });
    EXPECT_EQ(result->message, "The privileged helper is enabled but has not completed its secure handshake.");

    service->handshake(false);
    handshakeWith("KestrovaHelper", "40");
    result.reset();
    sendAs<PrivilegedQuarantineRequest>(*service, "T2", oneItem, [&](auto r) { result = r; });
    auto pending = take();
    service.reset();
    pending.reply(JsonCoder<PrivilegedQuarantineResult>::encode({"T2", true, false, {"/q/OP/A.vst3"}, ""}));
    executor.drain();
    EXPECT_FALSE(result);
}

TEST_F(ServiceTest, EnableAndRepairRegisterAndReportFailures) {
    registration->state = ServiceRegistrationState::notRegistered;
    auto service = makeService();
    registration->failure = "pkexec was dismissed";
    service->enable();
    EXPECT_EQ(service->lastError(), "pkexec was dismissed");
    EXPECT_EQ(service->status(), PluginManagementStatus::notRegistered);
    EXPECT_FALSE(service->isWorking());

    registration->failure.reset();
    service->enable();
    EXPECT_EQ(service->lastError(), std::nullopt);
    handshakeWith("KestrovaHelper", "40");

    // Already enabled: enable only refreshes.
    registration->calls.clear();
    service->enable();
    EXPECT_TRUE(registration->calls.empty());
    handshakeWith("KestrovaHelper", "40");

    // A failed repair's error stays while the status is not enabled.
    registration->calls.clear();
    registration->state = ServiceRegistrationState::notFound;
    registration->failure = "systemd did not accept the change";
    service->repairOrUpdate();
    EXPECT_EQ(registration->calls, (std::vector<std::string>{"unregister"}));
    EXPECT_EQ(service->lastError(), "systemd did not accept the change");
}

TEST(ReleaseReadiness, EachCheckSaysWhatWasExpectedAndFailuresAreCounted) {
    DirectDistributionReadinessInput input{"40", "40", "40", true, true, true, true, true};
    const std::vector<std::array<std::string, 3>> table{
        {"App Build", "Kestrova reports Build 40.", "Expected Build 40, but the app reports Build 41."},
        {"Installed Helper", "The helper executable is installed with Kestrova.",
         "The helper executable is missing from the installation."},
        {"systemd Units", "The helper’s systemd units are installed.", "The helper’s systemd units are missing."},
        {"Helper Approval", "Plugin Management is approved and enabled in systemd.",
         "Plugin Management still requires registration or approval."},
        {"Secure Handshake", "The peer-checked helper socket connection is active.",
         "The secure helper handshake is not connected."},
        {"Helper Build", "KestrovaHelper reports Build 40.", "Expected helper Build 40, but received 39."},
    };
    const auto passed = evaluateReadiness(input);
    input = {"41", "40", "39", false, false, false, false, true};
    const auto failed = evaluateReadiness(input);
    ASSERT_EQ(passed.size(), table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(passed[i].title, table[i][0]);
        EXPECT_EQ(passed[i].detail, table[i][1]);
        EXPECT_EQ(failed[i].detail, table[i][2]);
        EXPECT_FALSE(failed[i].passed);
    }
    EXPECT_EQ(readinessSummary(failed), "6 release-readiness checks require attention.");
    input = {"40", "40", "40", true, false, true, true};
    EXPECT_EQ(readinessSummary(evaluateReadiness(input)), "1 release-readiness check requires attention.");
    // The bundle's checks keep their ids and name what a bundle embeds.
    input.packagedInstallation = false;
    const auto bundle = evaluateReadiness(input);
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(passed[i].id, bundle[i].id);
    }
    EXPECT_EQ(bundle[1].title, "Embedded Helper");
    EXPECT_EQ(bundle[2].detail, "The launch daemon property list is missing.");
}

// The wire keys are the field names. Decoding is strict (another kind's
// result, wrong types, missing keys, junk); unknown keys are ignored.
TEST(PrivilegedRecords, KeysAreTheFieldNamesAndDecodingIsStrict) {
    EXPECT_EQ(Json::parse(encodePrivilegedRecord(PrivilegedTrashResult{"T", true, false, {"/p"}, "m"})),
              Json::parse(R"({"transactionID":"T","succeeded":true,"rollbackComplete":false,
                              "trashedDestinationPaths":["/p"],"message":"m"})"));
    EXPECT_EQ(Json::parse(encodePrivilegedRecord(PrivilegedTrashRestoreRequest{"T", {{"/t", "/d", "R", "A", "VST3"}}})),
              Json::parse(R"({"transactionID":"T","items":[{"sourcePath":"/t","destinationPath":"/d",
                              "recoveryRecordID":"R","originalBundleFilename":"A","format":"VST3"}]})"));

    EXPECT_FALSE(decodePrivilegedRecord<PrivilegedQuarantineResult>("").ok());
    std::istringstream malformed(testing::readWholeFile(std::string(KESTROVA_SOURCE_DIR) +
                                                        "/tests/data/helperclient/malformed-quarantine-results.txt"));
    for (std::string text; std::getline(malformed, text);) {
        EXPECT_TRUE(text.starts_with('#') || !decodePrivilegedRecord<PrivilegedQuarantineResult>(text).ok()) << text;
    }
    const auto lenient = decodePrivilegedRecord<PrivilegedQuarantineResult>(
        R"({"transactionID":"T","succeeded":true,"rollbackComplete":false,"movedDestinationPaths":["/a"],
            "message":"ok","extra":{"x":1}})");
    ASSERT_TRUE(lenient.ok());
    EXPECT_EQ(lenient->movedDestinationPaths, std::vector<std::string>{"/a"});
}

// A connect to a listener that never accepts, with its queue full, gives up.
TEST(HelperDeadlines, AConnectToAListenerThatNeverAcceptsGivesUp) {
    testing::HelperSandbox sandbox;
    auto listener = listenOnUnixSocket(sandbox.socketPath(), 0);
    ASSERT_TRUE(listener.ok()) << listener.error().message;
    std::list<FileDescriptor> queued;
    for (int index = 0; index < 8; ++index) {
        if (auto connected = connectToUnixSocket(sandbox.socketPath(), std::chrono::milliseconds(0))) {
            queued.push_back(std::move(*connected));
        }
    }
    const auto refused = connectToVerifiedHelper(sandbox.endpoint(), std::chrono::milliseconds(200));
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().code, ETIMEDOUT) << refused.error().message;
}

// Anything but a positive figure is refused rather than read as "wait forever"
// or "never". Without it, a transaction waits its own time plus one per bundle.
TEST(HelperDeadlines, TheEnvironmentSetsEveryDeadlineOrIsRefused) {
    const char* saved = std::getenv("KESTROVA_HELPER_TIMEOUT_MS");
    const std::string previous = saved ? saved : "";
    using std::chrono::milliseconds;
    const struct {
        std::optional<std::string> given;
        std::optional<milliseconds> every;  // nothing: refused
    } cases[] = {
        {std::nullopt, milliseconds(0)},
        {"", milliseconds(0)},
        {"1", milliseconds(1)},
        {"1500", milliseconds(1500)},
        {"0", std::nullopt},
        {"-5", std::nullopt},
        {"12x", std::nullopt},
        {"99999999999999999999", std::nullopt},
    };
    for (const auto& test : cases) {
        test.given ? ::setenv("KESTROVA_HELPER_TIMEOUT_MS", test.given->c_str(), 1)
                   : ::unsetenv("KESTROVA_HELPER_TIMEOUT_MS");
        const auto deadlines = helperDeadlinesFromEnvironment();
        ASSERT_EQ(deadlines.ok(), test.every.has_value()) << test.given.value_or("(unset)");
        if (!deadlines.ok()) {
            EXPECT_NE(deadlines.error().message.find("positive number of milliseconds"), std::string::npos);
        } else if (*test.every == milliseconds(0)) {
            EXPECT_EQ(replyDeadline(*deadlines, HelperCall::quarantine, 3), milliseconds(63'000));
            EXPECT_EQ(replyDeadline(*deadlines, HelperCall::handshake, 0), milliseconds(10'000));
        } else {
            EXPECT_EQ(replyDeadline(*deadlines, HelperCall::restore, 200), *test.every);
            EXPECT_EQ(deadlines->connect, *test.every);
        }
    }
    saved ? ::setenv("KESTROVA_HELPER_TIMEOUT_MS", previous.c_str(), 1) : ::unsetenv("KESTROVA_HELPER_TIMEOUT_MS");
}

}  // namespace
}  // namespace kestrova
