#include "ui/screens/about/AboutScreen.h"

#include "platform/LocaleText.h"
#include "protocol/HelperProtocol.h"
#include "store/DisplayPath.h"
#include "store/reports/StoreExports.h"
#include "store/rules/ScanMerge.h"
#include "ui/app/AppSession.h"
#include "ui/app/QtText.h"
#include "ui/app/ScreenExport.h"
#include "ui/widgets/Accents.h"
#include "ui/widgets/MetricCard.h"
#include "ui/widgets/PageHeader.h"
#include "ui/widgets/PageScaffold.h"
#include "ui/widgets/Theme.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrova::ui {
namespace {

void setTextColor(QLabel& label, const QColor& color) {
    auto palette = label.palette();
    palette.setColor(QPalette::WindowText, color);
    label.setPalette(palette);
}

void clearLayout(QVBoxLayout& layout) {
    while (auto* item = layout.takeAt(0)) {
        delete item->widget();
        delete item;
    }
}

}  // namespace

AboutScreen::AboutScreen(ScreenContext context, QWidget* parent) : Screen(context, parent) {
    buildContent(*makePage(*this, PageScroll::vertical, 18));

    connect(&session().storeEvents(), &ObservedObject::changed, this, [this](Change change) {
        if (change == Change::plugins || change == Change::history || change == Change::lastScanDate ||
            change == Change::lastReconciliation || change == Change::inaccessibleLocations) {
            whenShown(0, [this] { redraw(); });
        }
    });
    connect(&session().serviceEvents(), &ObservedObject::changed, this, [this] { whenShown(0, [this] { redraw(); }); });
    redraw();
}

void AboutScreen::buildContent(QVBoxLayout& page) {
    auto* content = page.parentWidget();
    auto* layout = &page;

    auto* header = new PageHeader(QStringLiteral("About Kestrova"),
                                  QStringLiteral("Build information, scan health, and support diagnostics."), content);
    exportButton_ = new QPushButton(symbolIcon("square.and.arrow.up"), QStringLiteral("Export Diagnostic Report…"));
    exportButton_->setObjectName(QStringLiteral("exportDiagnosticReport"));
    connect(exportButton_, &QPushButton::clicked, this, &AboutScreen::exportReport);
    header->addTrailing(exportButton_);
    layout->addWidget(header);

    auto* promise = new QLabel(
        QStringLiteral("Find Plugins. Not Frustration. Kestrova never permanently deletes plugin bundles."), content);
    promise->setWordWrap(true);
    makeSemibold(*promise);
    setTextColor(*promise, colors::accent());
    layout->addWidget(promise);

    auto* cards = new QHBoxLayout;
    cards->setSpacing(12);
    versionCard_ = new MetricCard("app.badge", QStringLiteral("Version"), {}, content);
    checksCard_ = new MetricCard("checkmark.seal", QStringLiteral("Release Checks"), {}, content);
    productsCard_ = new MetricCard("puzzlepiece.extension", QStringLiteral("Products"),
                                   QStringLiteral("Current inventory"), content);
    operationsCard_ = new MetricCard("clock.arrow.circlepath", QStringLiteral("Operations"),
                                     QStringLiteral("Product actions stored locally"), content);
    for (auto* card : {versionCard_, checksCard_, productsCard_, operationsCard_}) {
        cards->addWidget(card, 1);
    }
    layout->addLayout(cards);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(16);
    auto* release = new CardPanel("checkmark.shield", QStringLiteral("Direct Distribution Release Candidate"), content);
    release->body()->setSpacing(2);
    const std::pair<const char*, QLabel**> rows[] = {
        {"Application", &application_},
        {"Helper Build", &helperBuild_},
        {"Secure Handshake", &handshake_},
        {"Last Scan", &lastScan_},
        {"Last Reconciliation", &reconciliation_},
        {"Quarantined Bundles", &quarantined_},
    };
    for (const auto& [label, value] : rows) {
        release->body()->addWidget(labelledRow(toQString(label), *value, release));
    }
    release->body()->addStretch(1);
    columns->addWidget(release, 1);

    auto* access = new CardPanel("folder", QStringLiteral("Folder Access"), content);
    folderAccess_ = access;
    folderRows_ = new QVBoxLayout;
    folderRows_->setSpacing(8);
    access->body()->addLayout(folderRows_);
    access->body()->addStretch(1);
    auto* omits = new QLabel(
        QStringLiteral("Diagnostic reports omit the full plugin inventory and quarantine operation IDs."), access);
    omits->setWordWrap(true);
    makeCaption(*omits);
    access->body()->addWidget(omits);
    columns->addWidget(access, 1);
    // The two cards take the rest of the page; their notes stay at the top
    // and the report's note at the bottom.
    layout->addLayout(columns, 1);
}

QString AboutScreen::rowValue(const QString& label) const {
    for (auto* value : findChildren<QLabel*>()) {
        if (value->accessibleName() == label) {
            return value->text();
        }
    }
    return {};
}

QStringList AboutScreen::folderAccessTexts() const {
    QStringList texts;
    for (auto* label : folderAccess_->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            texts << label->text();
        }
    }
    return texts;
}

void AboutScreen::redraw() {
    const auto& store = session().store();
    const auto& service = session().service();
    const auto& bundle = service.bundle();

    versionCard_->setValue(toQString(bundle.shortVersionText()));
    versionCard_->setDetail(QStringLiteral("Build %1").arg(toQString(bundle.appBuild())));

    const auto checks = service.readinessChecks();
    const auto passed = std::count_if(checks.begin(), checks.end(), [](const auto& check) { return check.passed; });
    const bool ready = passed == static_cast<std::ptrdiff_t>(checks.size());
    checksCard_->setValue(QStringLiteral("%1/%2").arg(passed).arg(checks.size()));
    checksCard_->setDetail(ready ? QStringLiteral("Ready for archive test") : QStringLiteral("Action required"));
    checksCard_->setTint(ready ? colors::success() : colors::warning());
    productsCard_->setValue(QString::number(store.plugins().size()));
    operationsCard_->setValue(QString::number(store.historyOperationCount()));

    application_->setText(toQString(bundle.clientVersion()));
    helperBuild_->setText(toQString(service.helperVersion().value_or("No response")));
    handshake_->setText(service.helperIsReachable() ? QStringLiteral("Connected") : QStringLiteral("Not Connected"));
    setTextColor(*handshake_, service.helperIsReachable() ? colors::success() : colors::warning());
    lastScan_->setText(store.lastScanDate() ? toQString(abbreviatedDateShortTimeText(*store.lastScanDate()))
                                            : QStringLiteral("Never"));
    if (const auto& summary = store.lastReconciliation()) {
        reconciliation_->setText(
            toQString(reconciliationSummaryText(summary->addedBundles, summary->missingBundles,
                                                summary->manuallyRestoredBundles, summary->missingCheckWasLimited)));
    } else {
        reconciliation_->setText(QStringLiteral("No reconciliation result recorded."));
    }
    quarantined_->setText(QString::number(store.quarantinedBundleCount()));
    redrawFolderAccess();
}

void AboutScreen::redrawFolderAccess() {
    const auto& store = session().store();
    clearLayout(*folderRows_);
    const auto& locations = store.inaccessibleLocations();
    if (locations.empty()) {
        folderRows_->addWidget(symbolLine("checkmark.circle.fill", colors::success(),
                                          QStringLiteral("No unreadable plugin folders were reported by the last "
                                                         "scan."),
                                          folderAccess_));
        return;
    }
    folderRows_->addWidget(symbolLine("exclamationmark.triangle.fill", colors::warning(),
                                      QStringLiteral("These locations could not be read. Kestrova did not request "
                                                     "broader access or stop the rest of the scan."),
                                      folderAccess_));
    for (const auto& location : locations) {
        QLabel* value = nullptr;
        folderRows_->addWidget(labelledRow(QStringLiteral("Unreadable Location"), value, folderAccess_));
        value->setText(toQString(displayPath(location, store.layout().home)));
    }
}

void AboutScreen::exportReport() {
    exportError_ = runScreenExport(this, session(), prompter(), ExportKind::diagnosticReport, [this] {
        auto& service = session().service();
        return diagnosticReport(session().store(), service.statusReport(), service.bundle().clientVersion());
    });
}

}  // namespace kestrova::ui
