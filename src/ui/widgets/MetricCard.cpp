#include "ui/widgets/MetricCard.h"

#include "ui/widgets/KestrovaStyle.h"
#include "ui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace kestrova::ui {
namespace {

// A dotted or slashed name ("com.tolvanek.Kestrova.helper") is one word to
// the line breaker and would run out of a narrow card; a zero-width space
// after each separator lets it wrap there instead.
QString breakable(const QString& text) {
    QString result;
    result.reserve(text.size() + 8);
    for (qsizetype index = 0; index < text.size(); ++index) {
        result += text[index];
        const bool separator = text[index] == u'.' || text[index] == u'/';
        if (separator && index + 1 < text.size() && text[index + 1].isLetter()) {
            result += QChar(0x200B);
        }
    }
    return result;
}

}  // namespace

MetricCard::MetricCard(std::string_view symbol, const QString& title, const QString& detail, QWidget* parent)
    : CardFrame(parent),
      icon_(new QLabel(this)),
      title_(new QLabel(title, this)),
      value_(new QLabel(QStringLiteral("–"), this)),
      detail_(new QLabel(breakable(detail), this)),
      detailText_(detail),
      valueText_(value_->text()) {
    setObjectName(QStringLiteral("MetricCard"));
    setMinimumWidth(150);
    setSymbol(symbol);
    makeSecondary(*title_);
    makeTitle(*value_, valueScale_);
    makeCaption(*detail_);
    value_->setWordWrap(true);
    detail_->setWordWrap(true);
    auto* top = new QHBoxLayout;
    top->addWidget(icon_);
    top->addWidget(title_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addWidget(value_);
    layout->addWidget(detail_);
    // Cards in a row share a height; their texts stay at the top of it.
    layout->addStretch(1);
}

void MetricCard::setValue(const QString& value) {
    // A figure reads large; a sentence-long value ("Registered with macOS")
    // drops to a size that keeps it on as few lines as the card's title.
    const double scale = value.size() > 12 ? 1.15 : 1.5;
    if (scale != valueScale_) {
        auto font = this->font();
        font.setBold(true);
        font.setPointSizeF(font.pointSizeF() * scale);
        value_->setFont(font);
        valueScale_ = scale;
    }
    valueText_ = value;
    value_->setText(breakable(value));
}
void MetricCard::setDetail(const QString& detail) {
    detailText_ = detail;
    detail_->setText(breakable(detail));
}
void MetricCard::setSymbol(std::string_view symbol) { icon_->setPixmap(symbolIcon(symbol).pixmap(18, 18)); }
void MetricCard::setTint(const QColor& color) {
    auto palette = value_->palette();
    palette.setColor(QPalette::WindowText, color);
    value_->setPalette(palette);
}
QString MetricCard::title() const { return title_->text(); }
QString MetricCard::value() const { return valueText_; }
QString MetricCard::detail() const { return detailText_; }

}  // namespace kestrova::ui
