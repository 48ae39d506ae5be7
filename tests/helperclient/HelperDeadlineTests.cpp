// The socket connection gives up on a daemon that stalls: a connect to a
// listener that never accepts, and a handshake that is never answered.
#include "support/HelperSession.h"
#include "support/StandInHelper.h"

#include <sys/socket.h>

#include <gtest/gtest.h>
#include <cerrno>
#include <list>

namespace kestrova::testing {
namespace {

TEST(HelperDeadlines, ACallToADaemonThatNeverAnswersEndsWithAnError) {
    HelperSandbox sandbox;
    HelperDeadlines deadlines;
    deadlines.handshake = std::chrono::milliseconds(300);
    {
        StandInHelper standIn(sandbox, StandInHelper::Stall::onHandshake);
        ServiceHarness harness(std::make_shared<FixedRegistration>(sandbox.endpoint()), deadlines);
        EXPECT_FALSE(harness.service().helperIsReachable());
        EXPECT_EQ(harness.service().lastError(),
                  "KestrovaHelper did not answer the handshake request within 0.3 seconds.");
        EXPECT_FALSE(harness.service().hasConnection());
    }

    // A listener that never accepts, with its queue full.
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

}  // namespace
}  // namespace kestrova::testing
