#include "ui/widgets/DetailPanel.h"

#include "ui/app/QtText.h"
#include "ui/models/PluginTableModel.h"
#include "ui/widgets/ColumnFitter.h"
#include "ui/widgets/KestrovaStyle.h"
#include "ui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace kestrova::ui {

DetailPanel::DetailPanel(QWidget* parent) : QScrollArea(parent) {
    setObjectName(QStringLiteral("Inspector"));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto palette = this->palette();
    palette.setColor(QPalette::Window, colors::cardBackground().darker(108));
    setPalette(palette);
    setAutoFillBackground(true);
    viewport()->setAutoFillBackground(false);
}

QVBoxLayout* DetailPanel::replaceContent() {
    if (auto* old = takeWidget()) {
        old->hide();
        old->deleteLater();
    }
    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(16, 18, 16, 18);
    layout->setSpacing(10);
    setWidget(content);
    return layout;
}

void addEmptyState(QVBoxLayout& layout, const QString& title, const QString& text) {
    layout.addStretch(1);
    auto* heading = new QLabel(title);
    makeTitle(*heading, 1.25);
    heading->setAlignment(Qt::AlignCenter);
    layout.addWidget(heading);
    auto* line = new QLabel(text);
    makeSecondary(*line);
    line->setWordWrap(true);
    line->setAlignment(Qt::AlignCenter);
    layout.addWidget(line);
    layout.addStretch(1);
}

void addProductHeading(QVBoxLayout& layout, const QString& name, const QString& manufacturer) {
    auto* title = new QLabel(name);
    title->setObjectName(QStringLiteral("InspectorTitle"));
    makeTitle(*title, 1.35);
    title->setWordWrap(true);
    title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout.addWidget(title);
    auto* maker = new QLabel(manufacturer);
    makeSecondary(*maker);
    layout.addWidget(maker);
}

QLabel* addSectionTitle(QVBoxLayout& layout, const QString& title) {
    auto* label = new QLabel(title);
    makeSemibold(*label);
    layout.addSpacing(6);
    layout.addWidget(label);
    return label;
}

QWidget* addLabelledRow(QVBoxLayout& layout, const QString& label, const QString& value, QWidget* trailing) {
    auto* row = new QWidget;
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    auto* caption = new QLabel(label, row);
    makeCaption(*caption);
    texts->addWidget(caption);
    auto* text = new QLabel(value, row);
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    texts->addWidget(text);
    rowLayout->addLayout(texts, 1);
    if (trailing) {
        trailing->setParent(row);
        rowLayout->addWidget(trailing, 0, Qt::AlignVCenter);
    }
    layout.addWidget(row);
    return row;
}

QLabel* addNote(QVBoxLayout& layout, const QString& text) {
    auto* note = new QLabel(text);
    note->setWordWrap(true);
    makeSecondary(*note);
    layout.addWidget(note);
    return note;
}

QLabel* addReason(QVBoxLayout& layout, const std::optional<std::string>& reason) {
    if (!reason) {
        return nullptr;
    }
    auto* label = new QLabel(toQString(*reason));
    label->setObjectName(QStringLiteral("BlockingReason"));
    label->setWordWrap(true);
    makeCaption(*label);
    auto palette = label->palette();
    palette.setColor(QPalette::WindowText, colors::warning());
    label->setPalette(palette);
    layout.addWidget(label);
    return label;
}

Card::Card(QWidget* parent) : CardFrame(parent), body_(new QVBoxLayout(this)) {
    setObjectName(QStringLiteral("Card"));
    body_->setContentsMargins(14, 12, 14, 12);
    body_->setSpacing(6);
}

QPushButton* makeButton(const QString& text, std::string_view symbol, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    if (!symbol.empty()) {
        button->setIcon(symbolIcon(symbol));
    }
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

ConfirmationRequest confirmation(QString title, QString message, QString confirmButton) {
    ConfirmationRequest request;
    request.title = std::move(title);
    request.message = std::move(message);
    request.confirmButton = std::move(confirmButton);
    return request;
}

std::optional<std::string> firstReason(std::optional<std::string> store, std::optional<std::string> service) {
    return store ? std::move(store) : std::move(service);
}

void retainSpace(QWidget& bar) {
    auto policy = bar.sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    bar.setSizePolicy(policy);
}

void configureProductTable(QTableView& table) {
    table.setSelectionBehavior(QAbstractItemView::SelectRows);
    table.setSelectionMode(QAbstractItemView::ExtendedSelection);
    table.setSortingEnabled(true);
    table.sortByColumn(-1, Qt::AscendingOrder);
    table.setAlternatingRowColors(true);
    table.setShowGrid(false);
    table.setWordWrap(false);
    table.setFrameShape(QFrame::NoFrame);
    table.verticalHeader()->hide();
    table.verticalHeader()->setDefaultSectionSize(30);
    table.horizontalHeader()->setHighlightSections(false);
    table.horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The name takes what the other columns leave, so the table never scrolls sideways.
    // A step smaller than the window's text, as lists of many rows are.
    auto font = table.font();
    font.setPointSizeF(font.pointSizeF() * 0.92);
    table.setFont(font);
    new ColumnFitter(table, PluginTableModel::plugin,
                     {PluginTableModel::manufacturer, PluginTableModel::moved, PluginTableModel::architecture});
}

}  // namespace kestrova::ui
