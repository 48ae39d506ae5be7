#include "ui/widgets/Accents.h"

#include "ui/widgets/KestrovaStyle.h"
#include "ui/widgets/Theme.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrova::ui {

QPixmap tintedSymbol(std::string_view symbol, const QColor& color, int size) {
    // Drawn at twice the size so it stays sharp on high-density screens.
    auto pixmap = symbolIcon(symbol).pixmap(size * 2, size * 2);
    {
        QPainter painter(&pixmap);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), color);
    }
    pixmap.setDevicePixelRatio(2.0);
    return pixmap;
}

CardPanel::CardPanel(std::string_view symbol, const QString& title, QWidget* parent)
    : QFrame(parent), body_(new QVBoxLayout) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 16, 18, 16);
    layout->setSpacing(12);
    if (!title.isEmpty()) {
        auto* header = new QHBoxLayout;
        header->setSpacing(8);
        if (!symbol.empty()) {
            auto* icon = new QLabel(this);
            icon->setPixmap(tintedSymbol(symbol, colors::accent(), 18));
            header->addWidget(icon);
        }
        title_ = new QLabel(title, this);
        makeTitle(*title_, 1.15);
        header->addWidget(title_, 1);
        layout->addLayout(header);
    }
    body_->setSpacing(10);
    layout->addLayout(body_);
}

void CardPanel::paintEvent(QPaintEvent*) { paintCard(*this); }

InlineMessage::InlineMessage(std::string_view symbol, const QColor& tint, QWidget* parent)
    : QFrame(parent), tint_(tint), text_(new QLabel(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 10, 14, 10);
    layout->setSpacing(10);
    auto* icon = new QLabel(this);
    icon->setPixmap(tintedSymbol(symbol, tint, 18));
    layout->addWidget(icon, 0, Qt::AlignTop);
    text_->setWordWrap(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(text_, 1);
    hide();
}

void InlineMessage::setMessage(const QString& text) {
    text_->setText(text);
    setVisible(!text.isEmpty());
}

QString InlineMessage::message() const { return text_->text(); }

void InlineMessage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    auto fill = tint_;
    fill.setAlpha(30);
    painter.fillPath(path, fill);
    auto edge = tint_;
    edge.setAlpha(90);
    painter.setPen(QPen(edge, 1));
    painter.drawPath(path);
}

namespace {

QLabel* wrappedText(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

class StepNumber final : public QWidget {
public:
    StepNumber(int number, QWidget* parent) : QWidget(parent), number_(number) { setFixedSize(22, 22); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        auto fill = colors::accent();
        fill.setAlpha(46);
        painter.setBrush(fill);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(rect());
        auto font = painter.font();
        font.setWeight(QFont::DemiBold);
        font.setPointSizeF(font.pointSizeF() * 0.9);
        painter.setFont(font);
        painter.setPen(colors::accent());
        painter.drawText(rect(), Qt::AlignCenter, QString::number(number_));
    }

private:
    int number_;
};

}  // namespace

QWidget* numberedStep(int number, const QString& text, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->addWidget(new StepNumber(number, row), 0, Qt::AlignTop);
    layout->addWidget(wrappedText(text, row), 1);
    return row;
}

QWidget* symbolLine(std::string_view symbol, const QColor& tint, const QString& text, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    auto* icon = new QLabel(row);
    icon->setPixmap(tintedSymbol(symbol, tint, 18));
    icon->setFixedSize(22, 22);
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon, 0, Qt::AlignTop);
    layout->addWidget(wrappedText(text, row), 1);
    return row;
}

QWidget* labelledRow(const QString& label, QLabel*& value, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 4, 0, 4);
    layout->setSpacing(16);
    auto* name = new QLabel(label, row);
    makeSecondary(*name);
    layout->addWidget(name, 0, Qt::AlignTop);
    value = new QLabel(row);
    value->setAlignment(Qt::AlignRight | Qt::AlignTop);
    value->setWordWrap(true);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setAccessibleName(label);
    layout->addWidget(value, 1);
    return row;
}

}  // namespace kestrova::ui
