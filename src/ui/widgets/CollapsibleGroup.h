// A titled group whose content folds away under a disclosure arrow, for
// the secondary lists of a screen (warnings, exclusions, recent runs).
#pragma once

#include "ui/widgets/KestrovaStyle.h"

#include <QFrame>

class QToolButton;
class QVBoxLayout;

namespace kestrova::ui {

class CollapsibleGroup final : public CardFrame {
    Q_OBJECT
public:
    explicit CollapsibleGroup(const QString& title, bool expanded = false, QWidget* parent = nullptr);

    void setTitle(const QString& title);
    QString title() const;
    void setExpanded(bool expanded);
    bool isExpanded() const;
    // Where the group's rows go.
    QVBoxLayout* contentLayout() const { return contentLayout_; }
    QToolButton* toggle() const { return toggle_; }

private:
    QToolButton* toggle_;
    QWidget* content_;
    QVBoxLayout* contentLayout_;
};

}  // namespace kestrova::ui
