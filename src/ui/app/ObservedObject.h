// Turns the change notifications of one core object (the store, the folder
// access, the management service, the cleanup run controller) into a Qt
// signal carrying which published field changed as a value of one enum, so
// widgets connect to it like to any other Qt object and switch on a value
// the compiler checks rather than compare field names.
#pragma once

#include "platform/Observable.h"

#include <QObject>

#include <string_view>

namespace kestrova::ui {

// The published fields of the four observed objects.
enum class Change {
    // PluginInventoryStore
    plugins,
    isScanning,
    lastScanDate,
    inaccessibleLocations,
    history,
    lastStorageError,
    lastOperationError,
    scanProgress,
    lastScanNotice,
    lastReconciliation,
    fileActionsBlockedByStorage,
    notice,
    trashedBundles,
    formatCleanupRuns,
    permanentQuarantineRules,
    // PluginManagementService (lastError is shared with the folder access)
    status,
    helperIsReachable,
    helperVersion,
    lastError,
    lastHandshakeNotice,
    isWorking,
    // PluginFolderAccess
    authorizedFolders,
    // CleanupRunController
    plan,
    selected,
    activeRunID,
    pendingChunks,
    completedChunkCount,
    restoringRunID,
    restoreChunks,
    // A field this list does not know yet.
    other,
};

// The change a published field name stands for.
Change changeOf(std::string_view field);

class ObservedObject final : public QObject {
    Q_OBJECT
public:
    // `observed` must outlive this adapter.
    explicit ObservedObject(Observable& observed, QObject* parent = nullptr);
    ~ObservedObject() override;
    ObservedObject(const ObservedObject&) = delete;
    ObservedObject& operator=(const ObservedObject&) = delete;

signals:
    // The published field that was just assigned.
    void changed(kestrova::ui::Change change);

private:
    Observable& observed_;
    Observable::Token token_;
};

}  // namespace kestrova::ui
