// The figures above the Inventory list and the bar under it that acts on a
// multi-selection. Both only build and fill their widgets.
#pragma once

#include "planning/ProductSummaries.h"

#include <QString>

#include <array>
#include <cstddef>
#include <optional>
#include <string>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QWidget;

namespace kestrova::ui {

class Card;
class MetricCard;

class InventoryCards {
public:
    // `machine` names this computer's architecture on Linux ("x86-64"), where
    // native code is code built for it; empty under macOS.
    InventoryCards(QWidget* parent, const QString& machine);
    QHBoxLayout* layout() const { return layout_; }
    void showFor(const InventorySummary& summary);

private:
    QWidget* parent_;
    QHBoxLayout* layout_;
    std::array<MetricCard*, 4> cards_{};
};

class InventorySelectionBar {
public:
    explicit InventorySelectionBar(QWidget* parent);
    Card* bar() const { return bar_; }
    QPushButton* clearSelection() const { return clearSelection_; }
    QPushButton* quarantine() const { return quarantine_; }
    // Hidden without a selection; `reason` says why the batch cannot move.
    void showFor(std::size_t selected, const std::optional<std::string>& reason);

private:
    Card* bar_;
    QLabel* label_ = nullptr;
    QPushButton* clearSelection_ = nullptr;
    QPushButton* quarantine_ = nullptr;
    QLabel* reason_ = nullptr;
};

}  // namespace kestrova::ui
