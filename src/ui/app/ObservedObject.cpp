#include "ui/app/ObservedObject.h"

#include <array>
#include <utility>

namespace kestrova::ui {
namespace {

constexpr std::array<std::pair<std::string_view, Change>, static_cast<std::size_t>(Change::other)> fields{{
    {"plugins", Change::plugins},
    {"isScanning", Change::isScanning},
    {"lastScanDate", Change::lastScanDate},
    {"inaccessibleLocations", Change::inaccessibleLocations},
    {"history", Change::history},
    {"lastStorageError", Change::lastStorageError},
    {"lastOperationError", Change::lastOperationError},
    {"scanProgress", Change::scanProgress},
    {"lastScanNotice", Change::lastScanNotice},
    {"lastReconciliation", Change::lastReconciliation},
    {"fileActionsBlockedByStorage", Change::fileActionsBlockedByStorage},
    {"notice", Change::notice},
    {"trashedBundles", Change::trashedBundles},
    {"formatCleanupRuns", Change::formatCleanupRuns},
    {"permanentQuarantineRules", Change::permanentQuarantineRules},
    {"status", Change::status},
    {"helperIsReachable", Change::helperIsReachable},
    {"helperVersion", Change::helperVersion},
    {"lastError", Change::lastError},
    {"lastHandshakeNotice", Change::lastHandshakeNotice},
    {"isWorking", Change::isWorking},
    {"authorizedFolders", Change::authorizedFolders},
    {"plan", Change::plan},
    {"selected", Change::selected},
    {"activeRunID", Change::activeRunID},
    {"pendingChunks", Change::pendingChunks},
    {"completedChunkCount", Change::completedChunkCount},
    {"restoringRunID", Change::restoringRunID},
    {"restoreChunks", Change::restoreChunks},
}};

}  // namespace

Change changeOf(std::string_view field) {
    for (const auto& [name, change] : fields) {
        if (name == field) {
            return change;
        }
    }
    return Change::other;
}

ObservedObject::ObservedObject(Observable& observed, QObject* parent)
    : QObject(parent),
      observed_(observed),
      token_(observed.observe([this](std::string_view field) { emit changed(changeOf(field)); })) {}

ObservedObject::~ObservedObject() { observed_.removeObserver(token_); }

}  // namespace kestrova::ui
