// The real KestrovaHelper, started in session mode on a sandbox and reached
// through the management service or a raw socket.
#include "HelperSandbox.h"
#include "helperclient/HelperWire.h"
#include "platform/Uuid.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace kestrova::testing {
namespace {
namespace fs = std::filesystem;

class HelperDaemonTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::access(HelperSandbox::helperExecutable().c_str(), X_OK), 0)
            << "build KestrovaHelper first: " << HelperSandbox::helperExecutable();
    }

    // Enables the daemon through the service, as a user would.
    ServiceHarness& enabledService(std::vector<std::string> clients = {HelperSandbox::selfExecutable()}) {
        harness = std::make_unique<ServiceHarness>(sandbox.sessionRegistration(std::move(clients)));
        harness->service().enable();
        harness->settle();
        return *harness;
    }

    template <typename ResultRecord, typename Send>
    ResultRecord sendAndWait(Send send) {
        std::vector<ResultRecord> results;
        send([&](ResultRecord result) { results.push_back(std::move(result)); });
        harness->settle();
        EXPECT_EQ(results.size(), 1u);
        return results.empty() ? ResultRecord{} : results.front();
    }

    PrivilegedQuarantineResult quarantine(const std::vector<PrivilegedQuarantineItem>& items) {
        return sendAndWait<PrivilegedQuarantineResult>(
            [&](auto completion) { harness->service().sendQuarantine(Uuid::random().string(), items, completion); });
    }

    std::vector<PrivilegedQuarantineItem> quarantineItems(std::initializer_list<std::string> names) {
        std::vector<PrivilegedQuarantineItem> items;
        for (const auto& name : names) {
            items.push_back(
                {sandbox.makeBundle(sandbox.pluginPath(name)), sandbox.quarantinePath(operationID, name), operationID});
        }
        return items;
    }

    HelperSandbox sandbox;
    std::unique_ptr<ServiceHarness> harness;
    std::string operationID = Uuid::random().string();
};

TEST_F(HelperDaemonTest, EnableHandshakeAndAFullRoundTrip) {
    auto& service = enabledService().service();
    ASSERT_EQ(service.status(), PluginManagementStatus::enabled) << service.lastError().value_or("");
    ASSERT_TRUE(service.helperIsReachable()) << service.lastError().value_or("");
    EXPECT_EQ(service.helperVersion(), "40");

    const auto items = quarantineItems({"A.vst3", "B.vst3", "C.vst3"});
    const auto result = quarantine(items);
    ASSERT_TRUE(result.succeeded) << result.message;
    ASSERT_EQ(result.movedDestinationPaths.size(), 3u);
    for (const auto& item : items) {
        EXPECT_FALSE(sandbox.exists(item.sourcePath));
        EXPECT_TRUE(sandbox.hasWholeBundle(item.destinationPath, item.sourcePath));
    }

    // Restoring one of them; trash and its restore run the same way and are
    // driven through this daemon by the command-line tests.
    const auto restored = sendAndWait<PrivilegedRestoreResult>([&](auto completion) {
        service.sendRestore(Uuid::random().string(), {{items[2].destinationPath, items[2].sourcePath, operationID}},
                            completion);
    });
    ASSERT_TRUE(restored.succeeded) << restored.message;
    EXPECT_TRUE(sandbox.hasWholeBundle(items[2].sourcePath, items[2].sourcePath));
    EXPECT_FALSE(service.isWorking());
}

TEST_F(HelperDaemonTest, HostilePathsAreRefusedAndLeaveTheDiskAsItWas) {
    auto& service = enabledService().service();
    ASSERT_TRUE(service.helperIsReachable()) << service.lastError().value_or("");

    // A source in the user's own plug-in folder is never moved.
    const auto homeBundle = sandbox.makeBundle(sandbox.layout().user("Library/Audio/Plug-Ins/VST3/H.vst3"));
    auto refused = quarantine({{homeBundle, sandbox.quarantinePath(operationID, "H.vst3"), operationID}});
    EXPECT_FALSE(refused.succeeded);
    EXPECT_TRUE(refused.rollbackComplete);
    EXPECT_NE(refused.message.find("is not inside a standard system plug-in folder"), std::string::npos);
    EXPECT_EQ(service.lastError(), refused.message);
    EXPECT_TRUE(sandbox.hasWholeBundle(homeBundle, homeBundle));

    // (The transaction's own refusals are covered where it runs in-process.)

    // The plug-in folder swapped for a link after the client planned the
    // move: the daemon's own walk refuses it.
    const auto planned = quarantineItems({"S.vst3"});
    const auto decoy = sandbox.makeBundle(sandbox.path("decoy/S.vst3"));
    fs::rename(sandbox.pluginPath(""), sandbox.path("real-vst3"));
    fs::create_symlink(sandbox.path("decoy"), sandbox.pluginPath(""));
    refused = quarantine(planned);
    EXPECT_NE(refused.message.find("symbolic link"), std::string::npos) << refused.message;
    EXPECT_TRUE(sandbox.hasWholeBundle(decoy, decoy));
    EXPECT_FALSE(sandbox.exists(planned[0].destinationPath));
    EXPECT_TRUE(service.helperIsReachable());
}

TEST_F(HelperDaemonTest, MalformedAndOversizedFramesGetOneErrorReplyEach) {
    enabledService();
    RawHelperClient client(sandbox.endpoint());
    ASSERT_TRUE(client.connected());

    auto reply = client.call(Json{{"protocol", 1}, {"call", "handshake"}, {"argument", "raw test"}});
    EXPECT_EQ(reply["reply"], Json({{"identity", "KestrovaHelper"}, {"build", "40"}}));

    client.sendBytes(encodeFrame("{not json"));
    EXPECT_EQ(client.receive()["error"]["code"], "malformedRequest");
    EXPECT_EQ(client.call(Json{{"protocol", 2}, {"call", "handshake"}, {"argument", ""}})["error"]["code"],
              "unsupportedProtocol");
    EXPECT_EQ(client.call(Json{{"protocol", 1}, {"call", "format"}, {"argument", ""}})["error"]["code"], "unknownCall");
    EXPECT_EQ(client.call(Json{{"protocol", 1}, {"call", "quarantine"}, {"argument", 7}})["error"]["code"],
              "malformedRequest");

    // A request that names its transaction gets a refusal result it can match.
    const auto named = client.call(
        Json{{"protocol", 1}, {"call", "restore"}, {"argument", {{"transactionID", "T-1"}, {"items", "nope"}}}});
    EXPECT_EQ(named["reply"]["transactionID"], "T-1");
    EXPECT_EQ(named["reply"]["succeeded"], false);
    EXPECT_EQ(named["reply"]["rollbackComplete"], true);
    EXPECT_TRUE(named["reply"]["restoredDestinationPaths"].empty());

    // Still in step after all that.
    EXPECT_EQ(client.call(Json{{"protocol", 1}, {"call", "handshake"}, {"argument", "x"}})["reply"]["build"], "40");

    // A length beyond the limit ends the connection after one error.
    const std::string oversized = {'\x7f', '\xff', '\xff', '\xff'};
    client.sendBytes(oversized);
    EXPECT_EQ(client.receive()["error"]["code"], "frameTooLarge");
    EXPECT_TRUE(client.receive().is_null());

    RawHelperClient empty(sandbox.endpoint());
    empty.sendBytes(std::string(4, '\0'));
    EXPECT_EQ(empty.receive()["error"]["code"], "malformedFrame");
    EXPECT_TRUE(empty.receive().is_null());

    // A client that stops halfway through a frame leaves the daemon serving.
    {
        RawHelperClient partial(sandbox.endpoint());
        partial.sendBytes(std::string{'\0', '\0', '\1', '\0'} + "{\"protocol\"");
    }
    RawHelperClient after(sandbox.endpoint());
    EXPECT_EQ(after.call(Json{{"protocol", 1}, {"call", "handshake"}, {"argument", "x"}})["reply"]["identity"],
              "KestrovaHelper");
}

TEST_F(HelperDaemonTest, OnlyTheAllowedFrontEndIsServedAndOnlyATrustedSocketIsUsed) {
    // The daemon accepts /bin/true's process only; this test program is refused.
    auto& service = enabledService({"/bin/true"}).service();
    EXPECT_EQ(service.status(), PluginManagementStatus::enabled);
    EXPECT_FALSE(service.helperIsReachable());
    EXPECT_NE(service.lastError().value_or("").find("is not a Kestrova front end"), std::string::npos)
        << service.lastError().value_or("");
    RawHelperClient raw(sandbox.endpoint());
    EXPECT_EQ(raw.receive()["error"]["code"], "peerRejected");
    EXPECT_TRUE(raw.receive().is_null());
    std::ifstream log(sandbox.sessionFolder() + "/helper.log");
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("refused a client"), std::string::npos);

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

TEST_F(HelperDaemonTest, RegistrationStatesAndRestartOnDemand) {
    auto registration = sandbox.sessionRegistration();
    EXPECT_EQ(registration->status(), ServiceRegistrationState::notRegistered);
    ASSERT_TRUE(registration->registerService().ok());
    EXPECT_EQ(registration->status(), ServiceRegistrationState::enabled);

    // A registered daemon that died is started again when asked for.
    std::ifstream pidFile(sandbox.sessionFolder() + "/helper.pid");
    pid_t pid = 0;
    pidFile >> pid;
    ASSERT_GT(pid, 0);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    EXPECT_EQ(registration->status(), ServiceRegistrationState::enabled);
    EXPECT_TRUE(connectToVerifiedHelper(registration->endpoint()).ok());

    ASSERT_TRUE(registration->unregisterService().ok());
    EXPECT_EQ(registration->status(), ServiceRegistrationState::notRegistered);
    EXPECT_FALSE(connectToVerifiedHelper(registration->endpoint()).ok());

    ServiceRegistrationConfiguration missing;
    missing.helperExecutable = sandbox.path("nothing/KestrovaHelper");
    missing.sessionFolder = sandbox.path("other-session");
    missing.layout = sandbox.layout();
    EXPECT_FALSE(makeServiceRegistration(missing)->registerService().ok());
}

// The daemon with its log on a pipe nobody reads: it blocks in the middle of
// a transaction once the pipe is full, so the test can kill it there.
class StalledDaemon {
public:
    explicit StalledDaemon(const HelperSandbox& sandbox) {
        int fds[2];
        EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        reader_.reset(fds[0]);
        FileDescriptor writer(fds[1]);
        EXPECT_EQ(::fcntl(writer.get(), F_SETPIPE_SZ, 4096), 4096);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, writer.get(), 2);
        const auto exe = HelperSandbox::helperExecutable();
        const auto self = HelperSandbox::selfExecutable();
        const auto socket = sandbox.socketPath();
        std::vector<std::string> arguments{
            exe,      "--session",           "--socket",       socket, "--root", sandbox.layout().systemRoot,
            "--home", sandbox.layout().home, "--allow-client", self};
        std::vector<char*> argv;
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        EXPECT_EQ(::posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        for (int tick = 0; tick < 500 && !sandbox.exists(socket); ++tick) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~StalledDaemon() { kill(); }

    // The bytes of log waiting in the pipe.
    int queued() const {
        int bytes = 0;
        ::ioctl(reader_.get(), FIONREAD, &bytes);
        return bytes;
    }
    // Waits until the daemon has logged more than `before` and then can no
    // longer write: the pipe stops filling (a write that does not fit in
    // the one-page pipe waits).
    bool waitUntilStalled(int before) const {
        int previous = -1;
        int steady = 0;
        for (int tick = 0; tick < 1000; ++tick) {
            const int now = queued();
            steady = now > before && now == previous ? steady + 1 : 0;
            if (steady == 6) {
                return true;
            }
            previous = now;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    void kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = 0;
        }
    }

private:
    FileDescriptor reader_;
    pid_t pid_ = 0;
};

TEST_F(HelperDaemonTest, KilledMidTransactionGivesOneFailureAndOnlyWholeBundles) {
    StalledDaemon daemon(sandbox);
    harness = std::make_unique<ServiceHarness>(std::make_shared<FixedRegistration>(sandbox.endpoint()));
    auto& service = harness->service();
    ASSERT_TRUE(service.helperIsReachable()) << service.lastError().value_or("");

    std::vector<PrivilegedQuarantineItem> items;
    for (int i = 0; i < 256; ++i) {
        const auto name = "Plugin " + std::to_string(i) + ".vst3";
        items.push_back(
            {sandbox.makeBundle(sandbox.pluginPath(name)), sandbox.quarantinePath(operationID, name), operationID});
    }
    std::vector<PrivilegedQuarantineResult> results;
    const int logged = daemon.queued();
    service.sendQuarantine(Uuid::random().string(), items, [&](auto result) { results.push_back(result); });
    ASSERT_TRUE(daemon.waitUntilStalled(logged));
    daemon.kill();
    harness->settle();
    harness->executor().drain();

    ASSERT_EQ(results.size(), 1u);
    EXPECT_FALSE(results[0].succeeded);
    EXPECT_EQ(results[0].message, "The connection to KestrovaHelper was interrupted.");
    EXPECT_FALSE(service.isWorking());
    EXPECT_FALSE(service.helperIsReachable());
    std::size_t moved = 0;
    for (const auto& item : items) {
        const bool atSource = sandbox.hasWholeBundle(item.sourcePath, item.sourcePath);
        const bool atDestination = sandbox.hasWholeBundle(item.destinationPath, item.sourcePath);
        EXPECT_NE(atSource, atDestination) << item.sourcePath;
        moved += atDestination ? 1 : 0;
    }
    // It really died in the middle: some moved, not all.
    EXPECT_GT(moved, 0u);
    EXPECT_LT(moved, items.size());
}

}  // namespace
}  // namespace kestrova::testing
