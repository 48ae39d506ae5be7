// What the window keeps across its screens: the selected section, the product
// shown in the Inventory, Protected and Quarantine inspectors, and the
// Inventory search text. Changing the section leaves the other two alone.
// The selection is a product id, and a scan gives every product a new one,
// so a selection does not survive a scan.
#pragma once

#include "platform/Uuid.h"
#include "ui/app/AppSection.h"

#include <QObject>
#include <QString>

#include <optional>

namespace kestrova::ui {

class WindowState final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    AppSection section() const { return section_; }
    const std::optional<Uuid>& selectedPluginID() const { return selectedPluginID_; }
    const QString& query() const { return query_; }

    void setSection(AppSection section);
    void setSelectedPluginID(std::optional<Uuid> id);
    void setQuery(const QString& query);

signals:
    void sectionChanged(kestrova::ui::AppSection section);
    void selectedPluginChanged();
    void queryChanged(const QString& query);

private:
    AppSection section_ = AppSection::inventory;
    std::optional<Uuid> selectedPluginID_;
    QString query_;
};

}  // namespace kestrova::ui
