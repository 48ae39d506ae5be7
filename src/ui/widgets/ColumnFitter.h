// Keeps a product table's columns inside its viewport: every column but the
// name takes the width its header and its widest shown text need, the name
// takes what is left, and when the view is too narrow for that the yielding
// columns (the manufacturer first) give way, elided, so the Status column
// never leaves the view and the table never scrolls sideways.
#pragma once

#include <QObject>

#include <vector>

class QTableView;

namespace kestrova::ui {

class ColumnFitter final : public QObject {
    Q_OBJECT
public:
    // The narrowest the name column gets before a yielding column gives way.
    static constexpr int nameMinimum = 150;

    ColumnFitter(QTableView& table, int stretchColumn, std::vector<int> yieldingColumns);

    // Sizes the columns now.
    void fit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void scheduleFit();

    QTableView& table_;
    int stretchColumn_;
    std::vector<int> yielding_;
    bool scheduled_ = false;
};

}  // namespace kestrova::ui
