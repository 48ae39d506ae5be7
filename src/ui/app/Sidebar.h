// The sidebar: the brand header, the ten sections with their icons and
// counts, and the footer.
#pragma once

#include "ui/app/AppSection.h"

#include <QWidget>

#include <array>
#include <optional>

class QLabel;
class QListWidget;

namespace kestrova::ui {

class Pill;

struct SidebarCounts {
    int inventory = 0;
    int protectedCount = 0;
    int quarantine = 0;
    int trashRecovery = 0;
    int history = 0;

    friend bool operator==(const SidebarCounts&, const SidebarCounts&) = default;
};

class Sidebar final : public QWidget {
    Q_OBJECT
public:
    explicit Sidebar(QWidget* parent = nullptr);

    void setCounts(const SidebarCounts& counts);
    void setSection(AppSection section);
    std::optional<AppSection> section() const;

    // The count a section shows, or nothing for sections without a badge.
    std::optional<QString> badgeText(AppSection section) const;
    // Whether the brand header is the wordmark image (else the plain name).
    bool showsWordmark() const { return showsWordmark_; }
    QListWidget* list() const { return list_; }

signals:
    void sectionSelected(kestrova::ui::AppSection section);

private:
    QListWidget* list_;
    std::array<Pill*, allSections.size()> badges_{};
    bool showsWordmark_ = false;
};

}  // namespace kestrova::ui
