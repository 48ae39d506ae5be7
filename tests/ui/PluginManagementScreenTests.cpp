// The Plugin Management screen over stand-ins for a registration macOS has
// not approved and a helper of another build: what it shows, and that its
// one button always does what the helper's state calls for.
#include "UiSandbox.h"

#include "protocol/HelperWire.h"
#include "ui/screens/plugin-management/PluginManagementScreen.h"
#include "ui/widgets/Accents.h"
#include "ui/widgets/MetricCard.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace kestrova::testing {
namespace {

using ui::AppSection;
using ui::PluginManagementScreen;

QString message(QWidget& screen, const char* name) {
    auto* banner = screen.findChild<ui::InlineMessage*>(name);
    return banner && banner->isVisibleTo(&screen) ? banner->message() : QString();
}

// Answers every handshake at once as KestrovaHelper of `build`.
class StandInConnection final : public HelperConnection {
public:
    explicit StandInConnection(std::string build) : build_(std::move(build)) {}
    void setInterruptionHandler(std::function<void()>) override {}
    void setInvalidationHandler(std::function<void()>) override {}
    void resume() override {}
    void invalidate() override {}
    bool call(HelperCall call, std::string, std::size_t, ReplyHandler onReply, ErrorHandler onError) override {
        if (call != HelperCall::handshake) {
            onError(Error{"This stand-in only answers handshakes."});
        } else {
            onReply(encodeHandshakeReply({"KestrovaHelper", build_}));
        }
        return true;
    }

private:
    std::string build_;
};

TEST(PluginManagementScreen, ThePrimaryActionFollowsApprovalAndTheHelperBuild) {
    UiSandbox sandbox;
    auto registration = std::make_shared<ScriptedRegistration>();
    auto build = std::make_shared<std::string>("39");
    sandbox.serviceFactory = [registration, build](Executor& executor) {
        return PluginManagementService::create(executor, registration,
                                               [build] { return std::make_unique<StandInConnection>(*build); }, {});
    };
    sandbox.open();
    auto& screen = sandbox.show<PluginManagementScreen>(AppSection::pluginManagement);
    auto* primary = screen.primaryButton();

    // Enabled, but the helper that answers is an older build.
    ASSERT_TRUE(waitFor([&] { return screen.buildCard()->value() == "Build 39"; }));
    EXPECT_EQ(screen.buildCard()->detail(), "Expected Build 40");
    EXPECT_EQ(screen.statusCard()->value(), "Enabled");
    EXPECT_EQ(screen.handshakeCard()->value(), "Not Connected");
    EXPECT_EQ(primary->text(), "Repair / Update Plugin Management");
    EXPECT_FALSE(message(screen, "helperError").isEmpty());

    // Repairing installs the embedded build, which then answers correctly.
    *build = "40";
    QTest::mouseClick(primary, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return primary->text() == "Test Secure Helper"; }));
    EXPECT_EQ(registration->calls, (std::vector<std::string>{"unregister", "register"}));
    EXPECT_EQ(screen.handshakeCard()->value(), "Connected");
    EXPECT_TRUE(message(screen, "helperError").isEmpty());

    // Waiting for approval: the approval detail and the Login Items hint
    // come with the button that opens System Settings.
    registration->state = ServiceRegistrationState::requiresApproval;
    QTest::mouseClick(findByText<QPushButton>(screen, "Refresh Status"), Qt::LeftButton);
    EXPECT_EQ(screen.statusCard()->value(), "Approval Required");
    EXPECT_EQ(screen.statusCard()->detail(),
              "Approve Kestrova under System Settings → General → Login Items & Extensions.");
    EXPECT_EQ(screen.registrationCard()->value(), "Action required");
    EXPECT_EQ(screen.buildCard()->value(), "No helper response");
    EXPECT_EQ(primary->text(), "Open System Settings");
    auto* hint = &named<QLabel>(screen, "approvalHint");
    EXPECT_TRUE(hint->isVisibleTo(&screen));
    EXPECT_EQ(hint->text(),
              "In Login Items & Extensions, allow Kestrova under App Background Activity, then return here and "
              "refresh.");
    QTest::mouseClick(primary, Qt::LeftButton);
    EXPECT_EQ(registration->calls, (std::vector<std::string>{"unregister", "register", "settings"}));

    // Unregistered again: back to enabling, without the approval hint.
    registration->state = ServiceRegistrationState::notRegistered;
    QTest::mouseClick(findByText<QPushButton>(screen, "Refresh Status"), Qt::LeftButton);
    EXPECT_EQ(screen.statusCard()->value(), "Not Enabled");
    EXPECT_EQ(primary->text(), "Enable Plugin Management");
    EXPECT_FALSE(hint->isVisibleTo(&screen));

    // Enabling registers, and the test is a person's to start: only it alerts.
    QTest::mouseClick(primary, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return screen.handshakeCard()->value() == "Connected"; }));
    EXPECT_EQ(screen.registrationCard()->value(), "Registered with macOS");
    EXPECT_EQ(screen.registrationCard()->detail(), "Launch daemon com.tolvanek.Kestrova.helper");
    EXPECT_EQ(primary->text(), "Test Secure Helper");
    EXPECT_TRUE(sandbox.prompter.alerts.empty());
    QTest::mouseClick(primary, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return !sandbox.prompter.alerts.empty(); }));
    EXPECT_EQ(sandbox.prompter.alerts.front().first, "Secure Helper Test");
    EXPECT_EQ(message(screen, "handshakeNotice"), sandbox.prompter.alerts.front().second);
}

}  // namespace
}  // namespace kestrova::testing
