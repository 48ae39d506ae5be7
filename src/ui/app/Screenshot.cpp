#include "ui/app/Screenshot.h"

#include "store/runs/CleanupRunController.h"
#include "ui/app/AppSession.h"
#include "ui/app/MainWindow.h"
#include "ui/app/Prompter.h"
#include "ui/app/QtText.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QPixmap>
#include <QTimer>

namespace kestrova::ui {
namespace {

// Answers nothing and shows nothing: a screenshot must not wait for a person.
class SilentPrompter final : public Prompter {
public:
    bool confirm(QWidget*, const ConfirmationRequest&) override { return false; }
    void alert(QWidget*, const QString&, const QString&) override {}
    std::optional<std::string> savePath(QWidget*, const SaveRequest&) override { return std::nullopt; }
    std::optional<std::vector<std::string>> chooseFolders(QWidget*, const FolderChooserPrompt&) override {
        return std::nullopt;
    }
    void reveal(const std::string&) override {}
    void copyToClipboard(const QString&) override {}
};

}  // namespace

Status writeScreenshot(AppSession& session, AppSection section, const std::string& file, QSize size) {
    SilentPrompter prompter;
    MainWindow window(session, prompter);
    window.resize(size);
    // Format Cleanup is pictured with a preview under review, as it is used.
    if (section == AppSection::formatCleanup) {
        auto& runs = session.cleanupRuns();
        runs.buildPreview(runs.preset(), runs.customFormats());
    }
    window.showSection(section);
    window.show();
    // Layout and the first paint happen in the event loop; the store's
    // start-up work gets a moment too, and the service's first handshake
    // its answer (or a few seconds), so the picture shows the helper as it is.
    QDeadlineTimer deadline(3000);
    while (session.service().outstandingCalls() > 0 && !deadline.hasExpired()) {
        QEventLoop wait;
        QTimer::singleShot(20, &wait, &QEventLoop::quit);
        wait.exec();
    }
    for (int turn = 0; turn < 5; ++turn) {
        QApplication::processEvents();
    }
    const auto picture = window.grab();
    if (!picture.save(toQString(file), "PNG")) {
        return Error{"The screenshot could not be written to “" + file + "”."};
    }
    return {};
}

}  // namespace kestrova::ui
