#include "ui/screens/history/HistoryScreen.h"

#include "store/reports/StoreExports.h"
#include "ui/app/AppSession.h"
#include "ui/app/ScreenExport.h"
#include "ui/models/HistoryOperationModel.h"
#include "ui/screens/history/HistoryRowDelegate.h"
#include "ui/widgets/Accents.h"
#include "ui/widgets/MetricCard.h"
#include "ui/widgets/PageHeader.h"
#include "ui/widgets/PageScaffold.h"
#include "ui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrova::ui {
namespace {

QWidget* emptyHistory(QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* layout = new QVBoxLayout(box);
    layout->addStretch(1);
    auto* icon = new QLabel(box);
    icon->setPixmap(tintedSymbol("clock.arrow.circlepath", colors::secondaryText(), 44));
    icon->setAlignment(Qt::AlignCenter);
    auto* title = new QLabel(QStringLiteral("No Operation History"), box);
    makeTitle(*title, 1.25);
    title->setAlignment(Qt::AlignCenter);
    auto* text = new QLabel(QStringLiteral("Run a scan to begin this session's local history."), box);
    makeSecondary(*text);
    text->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);
    layout->addSpacing(6);
    layout->addWidget(title);
    layout->addWidget(text);
    layout->addStretch(2);
    return box;
}

int countOf(const std::vector<HistoryOperation>& operations, std::initializer_list<HistoryKind> kinds) {
    return static_cast<int>(std::count_if(operations.begin(), operations.end(), [&](const HistoryOperation& operation) {
        return std::find(kinds.begin(), kinds.end(), operation.kind) != kinds.end();
    }));
}

}  // namespace

HistoryScreen::HistoryScreen(ScreenContext context, QWidget* parent)
    : Screen(context, parent), model_(new HistoryOperationModel(session().layout().profile, this)) {
    auto* layout = makePage(*this, PageScroll::none, 16);

    auto* header = new PageHeader(QStringLiteral("Operation History"),
                                  QStringLiteral("One product action per row, with every affected plugin format kept "
                                                 "visible."),
                                  this);
    exportButton_ = new QPushButton(symbolIcon("square.and.arrow.up"), QStringLiteral("Export History…"));
    exportButton_->setObjectName(QStringLiteral("exportHistory"));
    connect(exportButton_, &QPushButton::clicked, this, &HistoryScreen::exportHistory);
    header->addTrailing(exportButton_);
    layout->addWidget(header);

    layout->addWidget(symbolLine("info.circle", colors::secondaryText(),
                                 QStringLiteral("History is stored locally. Multi-format moves appear as one product "
                                                "action while preserving AU, VST2, VST3, AAX, and CLAP details."),
                                 this));

    auto* cards = new QHBoxLayout;
    cards->setSpacing(12);
    operationsCard_ = new MetricCard("waveform.path.ecg", QStringLiteral("Product Actions"),
                                     QStringLiteral("Grouped transactions"), this);
    restoredCard_ = new MetricCard("arrow.uturn.backward", QStringLiteral("Restored"),
                                   QStringLiteral("Quarantine + Trash recovery"), this);
    quarantinedCard_ =
        new MetricCard("shippingbox", QStringLiteral("Quarantined"), QStringLiteral("Products quarantined"), this);
    trashedCard_ =
        new MetricCard("trash", QStringLiteral("Trashed"), words(QStringLiteral("Products in Finder Trash")), this);
    for (auto* card : {operationsCard_, restoredCard_, quarantinedCard_, trashedCard_}) {
        cards->addWidget(card, 1);
    }
    layout->addLayout(cards);

    list_ = new QListView(this);
    list_->setObjectName(QStringLiteral("historyList"));
    list_->setModel(model_);
    list_->setItemDelegate(new HistoryRowDelegate(list_));
    list_->setFrameShape(QFrame::NoFrame);
    list_->setUniformItemSizes(true);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setMouseTracking(true);
    auto listPalette = list_->palette();
    listPalette.setColor(QPalette::Base, palette().color(QPalette::Window));
    list_->setPalette(listPalette);
    emptyState_ = emptyHistory(this);
    body_ = new QStackedWidget(this);
    body_->addWidget(list_);
    body_->addWidget(emptyState_);
    layout->addWidget(body_, 1);

    connect(&session().storeEvents(), &ObservedObject::changed, this, [this](Change change) {
        if (change == Change::history) {
            whenShown(0, [this] { redraw(); });
        }
    });
    redraw();
}

bool HistoryScreen::showsEmptyState() const { return body_->currentWidget() == emptyState_; }

void HistoryScreen::redraw() {
    auto operations = groupedHistoryOperations(session().store().history());
    operationsCard_->setValue(QString::number(operations.size()));
    restoredCard_->setValue(QString::number(countOf(operations, {HistoryKind::restore, HistoryKind::trashRestore})));
    quarantinedCard_->setValue(QString::number(countOf(operations, {HistoryKind::quarantine})));
    trashedCard_->setValue(QString::number(countOf(operations, {HistoryKind::trash})));
    body_->setCurrentWidget(operations.empty() ? emptyState_ : static_cast<QWidget*>(list_));
    model_->setOperations(std::move(operations));
}

void HistoryScreen::exportHistory() {
    exportError_ = runScreenExport(this, session(), prompter(), ExportKind::history,
                                   [this] { return historyCSV(session().store()); });
}

}  // namespace kestrova::ui
