// What the cleanup-run and enforcement tests share: a sandbox served by the
// real KestrovaHelper in session mode, a management service whose connection
// lets a test act right before a call reaches the daemon (or change the reply
// it gets back), and a way to run a store in a child process that a crash
// point kills.
#pragma once

#include "KindAdapters.h"
#include "helperclient/HelperConnection.h"
#include "helperclient/PluginManagementService.h"
#include "store/journal/CrashPoint.h"
#include "store/journal/TransactionRoad.h"
#include "support/HelperSession.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kestrova::testing {

// Hooks are set while no call is outstanding: `beforeCall` runs on the main
// thread as the service sends, `reply` on the connection's thread.
struct CallHooks {
    std::function<void(HelperCall call, const Json& argument)> beforeCall;
    std::function<Json(HelperCall call, Json reply)> reply;
    // Every privileged call sent, with its item count, in order.
    std::vector<std::pair<HelperCall, std::size_t>> sent;
};

class HookedConnection final : public HelperConnection {
public:
    HookedConnection(std::unique_ptr<HelperConnection> inner, std::shared_ptr<CallHooks> hooks)
        : inner_(std::move(inner)), hooks_(std::move(hooks)) {}

    void setInterruptionHandler(std::function<void()> handler) override {
        inner_->setInterruptionHandler(std::move(handler));
    }
    void setInvalidationHandler(std::function<void()> handler) override {
        inner_->setInvalidationHandler(std::move(handler));
    }
    void resume() override { inner_->resume(); }
    void invalidate() override { inner_->invalidate(); }
    bool call(HelperCall call, std::string argument, std::size_t itemCount, ReplyHandler onReply,
              ErrorHandler onError) override {
        if (call != HelperCall::handshake) {
            const auto parsed = Json::parse(argument, nullptr, false);
            hooks_->sent.emplace_back(call, parsed.contains("items") ? parsed["items"].size() : 0);
            if (hooks_->beforeCall) {
                hooks_->beforeCall(call, parsed);
            }
        }
        auto tamper = hooks_->reply;
        return inner_->call(
            call, std::move(argument), itemCount,
            [call, tamper, onReply = std::move(onReply)](const Json& reply) {
                onReply(tamper && call != HelperCall::handshake ? tamper(call, reply) : reply);
            },
            std::move(onError));
    }

private:
    std::unique_ptr<HelperConnection> inner_;
    std::shared_ptr<CallHooks> hooks_;
};

// The real daemon over the sandbox, enabled and handshaken, and a store over
// the sandbox's state sharing the service's main thread.
class DaemonStoreFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::access(HelperSandbox::helperExecutable().c_str(), X_OK), 0)
            << "build KestrovaHelper first: " << HelperSandbox::helperExecutable();
        registration = helper.sessionRegistration();
        ASSERT_TRUE(registration->registerService().ok());
    }
    void TearDown() override {
        store.reset();
        service.reset();
        sandbox.executor.drain();
        registration->unregisterService();
    }

    const SystemLayout& layout() const { return sandbox.layout; }

    void connect(HelperDeadlines deadlines = {}) {
        auto connect = [registration = registration, hooks = hooks, deadlines] {
            return std::make_unique<HookedConnection>(makeSocketHelperConnection(registration->endpoint(), deadlines),
                                                      hooks);
        };
        service = PluginManagementService::create(sandbox.executor, registration, connect, {});
        runUntil([&] { return service->outstandingCalls() == 0; });
        ASSERT_TRUE(service->canSendPrivilegedRequest()) << service->lastError().value_or("");
    }

    void writeProducts(std::vector<Plugin> plugins, std::vector<PermanentQuarantineRule> rules = {}) {
        sandbox.writeProducts(std::move(plugins), std::move(rules));
    }
    PersistedInventory savedState() const { return sandbox.savedState(); }
    void open(ScanRunner runner = {}) { store = sandbox.open(std::move(runner)); }

    // Runs the main thread until `done`, giving up after a minute so a reply
    // that never comes fails the test instead of hanging it.
    void runUntil(const std::function<bool()>& done) {
        std::atomic<bool> finished = false;
        std::thread guard([&] {
            for (int tick = 0; tick < 6000 && !finished; ++tick) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            if (!finished) {
                sandbox.executor.stop();
            }
        });
        sandbox.executor.runUntil(done);
        finished = true;
        guard.join();
        ASSERT_TRUE(done()) << "the main thread gave up waiting";
    }
    void settle() {
        runUntil([&] { return service->outstandingCalls() == 0; });
    }

    // Sends a prepared request on the road every caller takes and runs the
    // main thread until the store has completed it.
    template <typename Request>
    bool runTransaction(const std::optional<Request>& request) {
        if (!request) {
            return false;
        }
        std::optional<bool> committed;
        kestrova::runTransaction(
            *store, *service, kindOf<Request>(), std::nullopt,
            [&] { return std::optional<PrivilegedRequest>(*request); },
            [&](const PrivilegedRequest&, bool done) { committed = done; });
        settle();
        EXPECT_TRUE(committed.has_value()) << "the completion never ran";
        return committed.value_or(false);
    }

    HelperSandbox helper;
    StoreSandbox sandbox{helper.layout()};
    std::shared_ptr<ServiceRegistration> registration;
    std::shared_ptr<CallHooks> hooks = std::make_shared<CallHooks>();
    std::shared_ptr<PluginManagementService> service;
    std::unique_ptr<PluginInventoryStore> store;
};

// The record of a bundle already moved into quarantine, with the bundle made
// on disk there.
inline PluginBundleRecord markedQuarantinedBundle(const SystemLayout& layout, PluginBundleRecord bundle,
                                                  const std::string& marker) {
    recordQuarantined(layout, bundle);
    makeBundleOnDisk(*bundle.quarantinePath, marker);
    return bundle;
}

// Runs `body` in a child process with KESTROVA_CRASH_AT set to `point` and
// returns the wait status. Fork before this process starts any thread of
// its own: the child builds its own store, service and connection.
inline int runUntilCrash(const std::string& point, const std::function<void()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("KESTROVA_CRASH_AT", point.c_str(), 1);
        ::alarm(60);  // a child that never reaches the point must not hang the test
        body();
        std::_Exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

inline bool killedByCrashPoint(int status) { return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL; }

}  // namespace kestrova::testing
