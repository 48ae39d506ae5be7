#include "ui/app/AppSession.h"

#include "helperclient/HelperEnvironment.h"
#include "platform/PlatformWording.h"
#include "session/InstalledSession.h"
#include "ui/app/QtText.h"

#include <iostream>

namespace kestrova::ui {

QString AppSession::words(const QString& text) const {
    return toQString(platformWording(text.toStdString(), layout().profile));
}

std::optional<std::string> AppSession::wordedReason(const std::optional<std::string>& reason) const {
    if (!reason) {
        return std::nullopt;
    }
    return platformWording(*reason, layout().profile);
}

AppSession::AppSession(Parts parts)
    : session_(std::move(parts), executor_),
      storeEvents_(std::make_unique<ObservedObject>(session_.store())),
      folderAccessEvents_(std::make_unique<ObservedObject>(session_.folderAccess())),
      serviceEvents_(std::make_unique<ObservedObject>(session_.service())),
      cleanupRunEvents_(std::make_unique<ObservedObject>(session_.cleanupRuns())) {}

AppSession::~AppSession() {
    // Adapters go before what they observe.
    cleanupRunEvents_.reset();
    serviceEvents_.reset();
    folderAccessEvents_.reset();
    storeEvents_.reset();
}

Result<std::unique_ptr<AppSession>> openAppSession(const AppOptions& options) {
    // The window is not up yet while a running transaction is waited for, so
    // the wait is told on stderr, as the command line tells it.
    auto parts = session::installedSessionParts(options, session::recoveryWaitReport(std::cerr));
    if (!parts) {
        return parts.error();
    }
    // The registration backend is read before anything is built, so a wrong
    // KESTROVA_HELPER_MODE is reported instead of half a window.
    if (auto probe = helperRegistrationConfiguration(parts->layout, runningApplicationBundle()); !probe) {
        return probe.error();
    }
    parts->makeService = session::helperServiceFactory(parts->layout);
    return std::make_unique<AppSession>(std::move(*parts));
}

}  // namespace kestrova::ui
