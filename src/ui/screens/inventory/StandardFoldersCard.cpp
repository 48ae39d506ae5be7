#include "ui/screens/inventory/StandardFoldersCard.h"

#include "store/DisplayPath.h"
#include "store/FolderGrants.h"
#include "ui/app/AppSession.h"
#include "ui/app/Prompter.h"
#include "ui/app/QtText.h"
#include "ui/widgets/DetailPanel.h"
#include "ui/widgets/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrova::ui {

StandardFoldersCard::StandardFoldersCard(ScreenContext context, QWidget* parent) : QWidget(parent), context_(context) {
    setObjectName(QStringLiteral("StandardFolders"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* card = new Card(this);
    outer->addWidget(card);
    auto& body = card->body();
    auto* title = new QLabel(QStringLiteral("Start with the Standard Plug-in Folders"), card);
    makeSemibold(*title);
    body.addWidget(title);
    detail_ = addNote(body, QStringLiteral("Grant read access to the standard plug-in folders that exist here, and to "
                                           "those the plug-in path variables name. Scans only read them."));
    outcome_ = new QLabel(card);
    outcome_->setObjectName(QStringLiteral("StandardFoldersGranted"));
    outcome_->setWordWrap(true);
    outcome_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    body.addWidget(outcome_);
    auto* buttons = new QHBoxLayout;
    grant_ = makeButton(QStringLiteral("Grant Standard Folders…"), "folder", card);
    connect(grant_, &QPushButton::clicked, this, &StandardFoldersCard::grantStandardFolders);
    done_ = makeButton(QStringLiteral("Done"), {}, card);
    connect(done_, &QPushButton::clicked, this, [this] {
        showingOutcome_ = false;
        redraw();
    });
    buttons->addWidget(grant_);
    buttons->addWidget(done_);
    buttons->addStretch(1);
    body.addLayout(buttons);

    connect(&context_.session.folderAccessEvents(), &ObservedObject::changed, this, [this] { redraw(); });
    redraw();
}

void StandardFoldersCard::grantStandardFolders() {
    auto& session = context_.session;
    auto& access = session.folderAccess();
    const auto plan = planStandardFolderGrants(session.layout(), session.fileSystem(), access.authorizedFolders());
    if (plan.toGrant.empty()) {
        context_.prompter.alert(this, QStringLiteral("No Standard Folders to Grant"),
                                plan.alreadyAuthorized.empty()
                                    ? QStringLiteral("None of the standard plug-in folders exists here.")
                                    : QStringLiteral("Every standard plug-in folder is granted already."));
        return;
    }
    auto request = confirmation(
        QStringLiteral("Grant Standard Folders?"),
        QStringLiteral("Kestrova will read these plug-in folders in every scan. Nothing in them is changed."),
        plan.toGrant.size() == 1 ? QStringLiteral("Grant 1 Folder")
                                 : QStringLiteral("Grant %1 Folders").arg(plan.toGrant.size()));
    for (const auto& folder : plan.toGrant) {
        request.rows.emplace_back(QStringLiteral("Folder"), toQString(displayPath(folder, session.layout().home)));
    }
    if (!context_.prompter.confirm(this, request)) {
        return;
    }
    access.authorize(plan.toGrant);
    granted_ = grantedFolders(plan, access.authorizedFolders());
    showingOutcome_ = true;
    redraw();
}

void StandardFoldersCard::redraw() {
    const auto& access = context_.session.folderAccess();
    setVisible(showingOutcome_ || access.authorizedFolders().empty());
    detail_->setVisible(!showingOutcome_);
    grant_->setVisible(!showingOutcome_);
    done_->setVisible(showingOutcome_);
    outcome_->setVisible(showingOutcome_);
    if (!showingOutcome_) {
        return;
    }
    QString text = granted_.empty() ? QStringLiteral("No folder was granted.")
                   : granted_.size() == 1
                       ? QStringLiteral("Granted 1 folder; scan to read it:")
                       : QStringLiteral("Granted %1 folders; scan to read them:").arg(granted_.size());
    for (const auto& folder : granted_) {
        text += QStringLiteral("\n") + toQString(displayPath(folder, context_.session.layout().home));
    }
    outcome_->setText(text);
}

}  // namespace kestrova::ui
