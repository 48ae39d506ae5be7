// Quarantine: the products with bundles taken out of service, the batch
// restore and batch move to the Finder Trash, and per-format restore and
// Trash from the inspector.
#pragma once

// moc cannot parse the standard headers the core's records pull in, and
// needs nothing from them.
#ifndef Q_MOC_RUN
#include "model/Plugin.h"
#endif
#include "ui/app/Prompter.h"
#include "ui/screens/Screen.h"
#include "ui/screens/quarantine/QuarantineDetails.h"

#include <array>
#include <memory>
#include <vector>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace kestrova::ui {

class DetailPanel;
class MetricCard;
class ProductList;

class QuarantineScreen final : public Screen {
    Q_OBJECT
public:
    explicit QuarantineScreen(ScreenContext context, QWidget* parent = nullptr);
    ProductList& list() const { return *list_; }

    void becameVisible() override;

private:
    void reload();
    void updateActions();
    void showSelectedProduct();
    void restoreSelected();
    void trashSelected();

    ProductList* list_ = nullptr;
    DetailPanel* inspector_ = nullptr;
    std::unique_ptr<QuarantineDetails> details_;
    QLabel* statusLine_ = nullptr;
    QLabel* statusIcon_ = nullptr;
    std::array<MetricCard*, 3> cards_{};
    QWidget* selectionBar_ = nullptr;
    QLabel* selectedLabel_ = nullptr;
    QPushButton* restoreSelected_ = nullptr;
    QPushButton* trashSelected_ = nullptr;
    QLabel* restoreReason_ = nullptr;
    QLabel* trashReason_ = nullptr;
};

}  // namespace kestrova::ui
