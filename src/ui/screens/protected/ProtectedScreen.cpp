#include "ui/screens/protected/ProtectedScreen.h"

#include "model/ProductStatus.h"
#include "ui/app/AppSession.h"
#include "ui/app/Prompter.h"
#include "ui/app/WindowState.h"
#include "ui/widgets/DetailPanel.h"
#include "ui/widgets/DetailSplit.h"
#include "ui/widgets/MetricCard.h"
#include "ui/widgets/PageHeader.h"
#include "ui/widgets/PageScaffold.h"
#include "ui/widgets/Pill.h"
#include "ui/widgets/ProductList.h"
#include "ui/widgets/StatusDelegate.h"
#include "ui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include <set>

namespace kestrova::ui {
namespace {

bool isListed(const Plugin& product) { return protectionCoverage(product) != ProtectionCoverage::none; }

}  // namespace

ProtectedScreen::ProtectedScreen(ScreenContext context, QWidget* parent) : Screen(context, parent) {
    auto* layout = makePage(*this, PageScroll::none, 14);
    layout->addWidget(
        new PageHeader(QStringLiteral("Protected Plugins"),
                       QStringLiteral("Protect one format or every detected format without moving files."), this));
    auto* info = new QLabel(QStringLiteral("An all-formats action is blocked when any included format is protected. "
                                           "Unprotected formats can now be quarantined individually from Inventory."),
                            this);
    info->setWordWrap(true);
    makeSecondary(*info);
    layout->addWidget(info);

    auto* cardRow = new QHBoxLayout;
    cardRow->setSpacing(12);
    cards_ = {new MetricCard("shield.checkered", QStringLiteral("Protected Products"),
                             QStringLiteral("Full or partial protection"), this),
              new MetricCard("lock.shield", QStringLiteral("Protected Formats"),
                             QStringLiteral("Individual format bundles"), this),
              new MetricCard("person.badge.key", QStringLiteral("Manufacturers"), QStringLiteral("Represented"), this)};
    for (auto* card : cards_) {
        cardRow->addWidget(card, 1);
    }
    layout->addLayout(cardRow);

    list_ = new ProductList(
        {PluginTableModel::plugin, PluginTableModel::manufacturer, PluginTableModel::format, PluginTableModel::status},
        this);
    list_->table()->setObjectName(QStringLiteral("ProtectedTable"));
    inspector_ = new DetailPanel(this);
    layout->addWidget(new DetailSplit(list_, inspector_, this), 1);

    connect(list_, &ProductList::currentProductChanged, &window(), &WindowState::setSelectedPluginID);
    connect(&window(), &WindowState::selectedPluginChanged, this, [this] {
        list_->selectProduct(window().selectedPluginID());
        showSelectedProduct();
    });
    connect(&session().storeEvents(), &ObservedObject::changed, this, [this](Change change) {
        if (change == Change::plugins) {
            followInventory([this] { reload(); });
        }
    });
    reload();
}

void ProtectedScreen::reload() {
    std::vector<Plugin> listed;
    int formats = 0;
    std::set<std::string> manufacturers;
    for (const auto& product : session().store().plugins()) {
        if (!isListed(product)) {
            continue;
        }
        for (const auto& record : bundleRecords(product)) {
            formats += record.isProtected ? 1 : 0;
        }
        manufacturers.insert(product.manufacturer);
        listed.push_back(product);
    }
    cards_[0]->setValue(QString::number(listed.size()));
    cards_[1]->setValue(QString::number(formats));
    cards_[2]->setValue(QString::number(manufacturers.size()));
    list_->setProducts(std::move(listed), window().selectedPluginID());
    showSelectedProduct();
}

void ProtectedScreen::showSelectedProduct() {
    const auto* selected = list_->product(window().selectedPluginID());
    auto* layout = inspector_->replaceContent();
    if (!selected) {
        addEmptyState(*layout, QStringLiteral("Select a Plugin"),
                      QStringLiteral("Choose a protected product to see what is locked."));
        return;
    }
    const Plugin product = *selected;
    addProductHeading(*layout, toQString(product.name), toQString(product.manufacturer));
    auto* status = new Pill(toQString(rawValue(product.status)));
    status->setTint(statusTint(product.status));
    layout->addWidget(status, 0, Qt::AlignLeft);

    const auto coverage = protectionCoverage(product);
    const bool hosted = product.status == PluginStatus::hostedByShell;
    if (coverage == ProtectionCoverage::mandatory) {
        addNote(*layout, hosted ? QStringLiteral("Hosted by WaveShell: mandatory protection cannot be removed.")
                                : QStringLiteral("Shared shell: mandatory protection cannot be removed."));
    } else {
        addNote(*layout, coverage == ProtectionCoverage::full
                             ? QStringLiteral("All detected formats are protected.")
                             : QStringLiteral("Some formats are protected. Use each format card for precision, or "
                                              "change every format together."));
        auto* removeAll = makeButton(QStringLiteral("Remove All Protection…"), "lock.shield");
        connect(removeAll, &QPushButton::clicked, this, [this, product] {
            const auto request =
                confirmation(QStringLiteral("Remove All Protection?"),
                             QStringLiteral("Protection will be removed from every ") + toQString(product.name) +
                                 QStringLiteral(" format. No files will be moved now."),
                             QStringLiteral("Remove All Protection"));
            if (prompter().confirm(this, request)) {
                session().store().setProtection(product, false);
            }
        });
        layout->addWidget(removeAll, 0, Qt::AlignLeft);
    }
    if (hosted) {
        addSectionTitle(*layout, QStringLiteral("Protected Bundle"));
        addNote(*layout, QStringLiteral("Hosted product: automatically protected with its shared WaveShell. There is "
                                        "no independent plugin bundle to reveal or move."));
    } else {
        addSectionTitle(*layout, QStringLiteral("Format Bundles"));
        for (const auto& record : bundleRecords(product)) {
            addFormatCard(*layout, product, record, coverage == ProtectionCoverage::mandatory);
        }
    }
    layout->addStretch(1);
}

void ProtectedScreen::addFormatCard(QVBoxLayout& layout, const Plugin& product, const PluginBundleRecord& record,
                                    bool mandatory) {
    const auto format = toQString(record.format);
    auto* card = new Card;
    card->setObjectName(QStringLiteral("FormatCard-") + format);
    auto* top = new QHBoxLayout;
    auto* title = new QLabel(format + QStringLiteral(" Format"), card);
    makeSemibold(*title);
    top->addWidget(title);
    top->addStretch(1);
    auto* state = new Pill(record.isProtected ? QStringLiteral("Protected") : QStringLiteral("Not Protected"), card);
    state->setTint(record.isProtected ? colors::accent() : colors::secondaryText());
    top->addWidget(state);
    card->body().addLayout(top);
    auto* where = new QLabel(toQString(record.path), card);
    where->setWordWrap(true);
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    makeCaption(*where);
    card->body().addWidget(where);
    if (!mandatory) {
        const PluginBundleSelection selection{product.id, record.id()};
        if (record.isProtected) {
            auto* remove = makeButton(QStringLiteral("Remove ") + format + QStringLiteral(" Protection…"));
            connect(remove, &QPushButton::clicked, this, [this, selection, format] {
                const auto request = confirmation(
                    QStringLiteral("Remove ") + format + QStringLiteral(" Protection?"),
                    format + QStringLiteral(" format will become eligible for future file actions. No files will be "
                                            "moved now."),
                    QStringLiteral("Remove Protection"));
                if (prompter().confirm(this, request)) {
                    session().store().setBundleProtection(selection, false);
                }
            });
            card->body().addWidget(remove);
        } else {
            auto* protect = makeButton(QStringLiteral("Protect ") + format + QStringLiteral(" Format"), "lock.shield");
            connect(protect, &QPushButton::clicked, this,
                    [this, selection] { session().store().setBundleProtection(selection, true); });
            card->body().addWidget(protect);
        }
    }
    layout.addWidget(card);
}

}  // namespace kestrova::ui
