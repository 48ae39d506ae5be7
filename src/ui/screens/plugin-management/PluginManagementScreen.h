// Plugin Management: the helper daemon's registration and handshake, the one
// action its state calls for, the setup steps and the release-readiness
// checks. Everything it shows is read from the management service and
// redrawn whenever the service publishes a change; its buttons only call the
// service, whose work finishes later through the event loop.
#pragma once

#include "ui/screens/Screen.h"

#include <vector>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace kestrova {
enum class PluginManagementStatus;
}

namespace kestrova::ui {

class InlineMessage;
class MetricCard;

// The action the primary button takes for a status.
enum class HelperAction { test, repairOrUpdate, openSystemSettings, enable };
HelperAction primaryHelperAction(PluginManagementStatus status, bool needsRepairOrUpdate);

class PluginManagementScreen final : public Screen {
    Q_OBJECT
public:
    explicit PluginManagementScreen(ScreenContext context, QWidget* parent = nullptr);

    QPushButton* primaryButton() const { return primary_; }
    MetricCard* statusCard() const { return statusCard_; }
    MetricCard* registrationCard() const { return registrationCard_; }
    MetricCard* handshakeCard() const { return handshakeCard_; }
    MetricCard* buildCard() const { return buildCard_; }
    QString readinessSummaryText() const;

private:
    struct CheckRow {
        QLabel* icon;
        QLabel* title;
        QLabel* detail;
    };

    void buildContent(QVBoxLayout& page);
    void redraw();
    void redrawReadiness();
    void runPrimaryAction();
    void testHelper();

    MetricCard* statusCard_ = nullptr;
    MetricCard* registrationCard_ = nullptr;
    MetricCard* handshakeCard_ = nullptr;
    MetricCard* buildCard_ = nullptr;
    InlineMessage* error_ = nullptr;
    InlineMessage* handshakeNotice_ = nullptr;
    QLabel* actionTitle_ = nullptr;
    QLabel* actionDetail_ = nullptr;
    QPushButton* primary_ = nullptr;
    QLabel* hint_ = nullptr;
    QLabel* working_ = nullptr;
    QVBoxLayout* checksLayout_ = nullptr;
    std::vector<CheckRow> checkRows_;
    QLabel* readinessSummary_ = nullptr;
    // Set when the person asked for a helper test; its result is then shown
    // as an alert once the service publishes it.
    bool awaitingHandshakeNotice_ = false;
};

}  // namespace kestrova::ui
