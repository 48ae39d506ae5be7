// The parts of Plugin Management that show the helper's state: the row of
// status cards, the card with the one action that state calls for, and the
// release-readiness checks. Each builds its widgets once and redraws them
// from the management service; the screen wires them to the service.
#pragma once

#include <QString>

#include <functional>
#include <vector>

class QGridLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace kestrova {
class PluginManagementService;
}

namespace kestrova::ui {

class CardPanel;
class MetricCard;

// What the profile calls the desktop's services (see Screen::words).
using Wording = std::function<QString(const QString&)>;

class HelperStatusCards {
public:
    HelperStatusCards(QWidget* parent, Wording words);
    QGridLayout* layout() const { return layout_; }
    void showFor(const PluginManagementService& service);

    MetricCard* status = nullptr;
    MetricCard* registration = nullptr;
    MetricCard* handshake = nullptr;
    MetricCard* build = nullptr;

private:
    Wording words_;
    QGridLayout* layout_;
};

class HelperActionCard {
public:
    HelperActionCard(QWidget* parent, Wording words);
    CardPanel* card() const { return card_; }
    QPushButton* primary() const { return primary_; }
    void showFor(const PluginManagementService& service);

private:
    Wording words_;
    CardPanel* card_;
    QLabel* title_ = nullptr;
    QLabel* detail_ = nullptr;
    QLabel* hint_ = nullptr;
    QLabel* working_ = nullptr;
    QPushButton* primary_ = nullptr;
};

class ReadinessChecksCard {
public:
    ReadinessChecksCard(QWidget* parent, Wording words);
    CardPanel* card() const { return card_; }
    QString summaryText() const;
    void showFor(const PluginManagementService& service);

private:
    struct CheckRow {
        QLabel* icon;
        QLabel* title;
        QLabel* detail;
    };

    Wording words_;
    CardPanel* card_;
    QLabel* summary_ = nullptr;
    QVBoxLayout* checksLayout_ = nullptr;
    std::vector<CheckRow> rows_;
};

}  // namespace kestrova::ui
