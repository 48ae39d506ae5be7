// Plugin Management: the helper daemon's registration and handshake, the one
// action its state calls for, the setup steps and the release-readiness
// checks. Everything it shows is read from the management service and
// redrawn whenever the service publishes a change; its buttons only call the
// service, whose work finishes later through the event loop.
#pragma once

#include "ui/screens/Screen.h"
#include "ui/screens/plugin-management/HelperStatusLooks.h"

#include <memory>

class QPushButton;
class QVBoxLayout;

namespace kestrova::ui {

class HelperActionCard;
class HelperStatusCards;
class InlineMessage;
class MetricCard;
class ReadinessChecksCard;

class PluginManagementScreen final : public Screen {
    Q_OBJECT
public:
    explicit PluginManagementScreen(ScreenContext context, QWidget* parent = nullptr);
    ~PluginManagementScreen() override;

    QPushButton* primaryButton() const;
    MetricCard* statusCard() const;
    MetricCard* registrationCard() const;
    MetricCard* handshakeCard() const;
    MetricCard* buildCard() const;
    QString readinessSummaryText() const;

private:
    void buildContent(QVBoxLayout& page);
    void redraw();
    void runPrimaryAction();
    void testHelper();

    InlineMessage* error_ = nullptr;
    InlineMessage* handshakeNotice_ = nullptr;
    std::unique_ptr<HelperStatusCards> cards_;
    std::unique_ptr<HelperActionCard> action_;
    std::unique_ptr<ReadinessChecksCard> readiness_;
    // Set when the person asked for a helper test; its result is then shown
    // as an alert once the service publishes it.
    bool awaitingHandshakeNotice_ = false;
};

}  // namespace kestrova::ui
