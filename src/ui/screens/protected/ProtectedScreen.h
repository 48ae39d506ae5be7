// Protected: every product locked in part or in full, why, and the controls
// to protect or release single formats or the whole product.
#pragma once

// moc cannot parse the standard headers the core's records pull in, and
// needs nothing from them.
#ifndef Q_MOC_RUN
#include "model/Plugin.h"
#endif
#include "ui/screens/Screen.h"

#include <array>

class QVBoxLayout;

namespace kestrova::ui {

class DetailPanel;
class MetricCard;
class ProductList;

class ProtectedScreen final : public Screen {
    Q_OBJECT
public:
    explicit ProtectedScreen(ScreenContext context, QWidget* parent = nullptr);
    ProductList& list() const { return *list_; }

private:
    void reload();
    void showSelectedProduct();
    void addFormatCard(QVBoxLayout& layout, const Plugin& product, const PluginBundleRecord& record, bool mandatory);

    ProductList* list_ = nullptr;
    DetailPanel* inspector_ = nullptr;
    std::array<MetricCard*, 3> cards_{};
};

}  // namespace kestrova::ui
