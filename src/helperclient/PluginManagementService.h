// The application's one gateway to KestrovaHelper: registers the daemon,
// reads its status, opens the peer-checked connection, proves the helper's
// build with a handshake, sends transactions one at a time and turns every
// failure on the way into a result the store can handle. All state lives on
// the main thread (the executor); connection callbacks hop there first and
// do nothing once the service is gone.
#pragma once

#include "helperclient/ApplicationBundle.h"
#include "helperclient/HelperConnection.h"
#include "helperclient/ReleaseReadiness.h"
#include "platform/Executor.h"
#include "platform/Observable.h"
#include "platform/ServiceRegistration.h"
#include "protocol/PrivilegedRecords.h"
#include "protocol/TransactionKinds.h"
#include "protocol/TransactionStatus.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

enum class PluginManagementStatus { notRegistered, requiresApproval, enabled, notFound, unavailable };

// "Not Enabled", "Approval Required", "Enabled", "Helper Missing", "Status Unavailable".
std::string_view title(PluginManagementStatus status);
PluginManagementStatus managementStatus(ServiceRegistrationState state);

class PluginManagementService final : public Observable, public std::enable_shared_from_this<PluginManagementService> {
public:
    // Published field names, as observers are told them.
    static constexpr std::string_view statusField = "status";
    static constexpr std::string_view helperIsReachableField = "helperIsReachable";
    static constexpr std::string_view helperVersionField = "helperVersion";
    static constexpr std::string_view lastErrorField = "lastError";
    static constexpr std::string_view lastHandshakeNoticeField = "lastHandshakeNotice";
    static constexpr std::string_view isWorkingField = "isWorking";

    // Makes the service and reads the status once (which starts a handshake
    // when the daemon is enabled).
    static std::shared_ptr<PluginManagementService> create(Executor& executor,
                                                           std::shared_ptr<ServiceRegistration> registration,
                                                           HelperConnectionFactory connect,
                                                           ApplicationBundleInfo bundle);
    ~PluginManagementService();
    PluginManagementService(const PluginManagementService&) = delete;
    PluginManagementService& operator=(const PluginManagementService&) = delete;

    PluginManagementStatus status() const { return status_; }
    bool helperIsReachable() const { return helperIsReachable_; }
    const std::optional<std::string>& helperVersion() const { return helperVersion_; }
    const std::optional<std::string>& lastError() const { return lastError_; }
    const std::optional<std::string>& lastHandshakeNotice() const { return lastHandshakeNotice_; }
    bool isWorking() const { return isWorking_; }
    bool hasConnection() const { return connection_ != nullptr; }
    // Whether the last handshake or transaction ended because the helper
    // did not answer in time (its text is in lastError): a helper that is
    // stuck or busy, not one that is missing.
    bool lastCallTimedOut() const { return lastCallTimedOut_; }
    const ApplicationBundleInfo& bundle() const { return bundle_; }

    void refreshStatus();
    void enable();
    void repairOrUpdate();
    bool needsRepairOrUpdate() const;
    void openSystemSettingsLoginItems();
    void handshake(bool showNotice);
    // Whether a request can go now to this helper or, on Linux, to the user
    // side's: with either one free the front ends offer their actions, and
    // each transaction is checked against its own side before it is written.
    bool canSendPrivilegedRequest() const;
    void closeConnection();

    // Sends one transaction to the helper of its side (on Linux the user
    // side's when any of its paths is the user's). Every failure on the way
    // comes back through `completion` as a result of the request's kind.
    void send(const PrivilegedRequest& request, std::function<void(PrivilegedResult)> completion);

    // Asks the daemon what became of one transaction; the completion gets
    // its answer, or the connection's error, on the main thread. Asking
    // about an ID the daemon has never seen fences it there. Needs only an
    // open connection, not a free transaction slot.
    void queryTransactionStatus(const std::string& transactionID,
                                std::function<void(Result<TransactionStatusReply>)> completion);

    // Why no request of the kind can go now to either helper, if none can.
    std::optional<std::string> blockingReason(TransactionKind kind) const;
    // Why a request of one side cannot go now, if it cannot.
    std::optional<std::string> blockingReason(TransactionKind kind, BundleSide side) const;

    std::vector<DirectDistributionReadinessCheck> readinessChecks() const;
    static std::string readinessSummary(const std::vector<DirectDistributionReadinessCheck>& checks);
    std::string statusReport() const;

    // Replies and errors still to come back from the helper (and the user
    // side's); a front end without an event loop runs its executor until
    // this is zero.
    std::size_t outstandingCalls() const { return outstandingCalls_ + (userSide_ ? userSide_->outstandingCalls() : 0); }

    // Linux: the service of the helper that runs as the user and moves the
    // bundles of the user's own plug-in folders. A request any of whose
    // paths `isUserSidePath` claims is sent there instead, marked as the
    // user side's; everything else stays with this (the system) helper.
    void setUserSide(std::shared_ptr<PluginManagementService> userSide,
                     std::function<bool(std::string_view path)> isUserSidePath);
    const std::shared_ptr<PluginManagementService>& userSide() const { return userSide_; }

private:
    struct Token {};

public:
    PluginManagementService(Token, Executor& executor, std::shared_ptr<ServiceRegistration> registration,
                            HelperConnectionFactory connect, ApplicationBundleInfo bundle);

private:
    template <typename Request>
    void sendRecord(Request request, std::function<void(PrivilegedResult)> completion);

    // Runs `work` on the main thread with the service, unless it has gone by
    // then. Connection callbacks use it, so they hold the service weakly.
    static void onMainThread(Executor& executor, std::weak_ptr<PluginManagementService> service,
                             std::function<void(PluginManagementService&)> work);

    bool canSendOwnRequests() const;
    std::optional<std::string> ownBlockingReason(TransactionKind kind) const;
    void setStatus(PluginManagementStatus value);
    void setHelperIsReachable(bool value);
    void setHelperVersion(std::optional<std::string> value);
    void setLastError(std::optional<std::string> value);
    void setLastHandshakeNotice(std::optional<std::string> value);
    void setIsWorking(bool value);

    Executor& executor_;
    std::shared_ptr<ServiceRegistration> service_;
    HelperConnectionFactory connect_;
    ApplicationBundleInfo bundle_;
    std::unique_ptr<HelperConnection> connection_;
    // Bumped whenever the connection is replaced, so a late handshake answer
    // from an old connection cannot speak for the new one.
    std::uint64_t connectionGeneration_ = 0;
    std::size_t outstandingCalls_ = 0;

    PluginManagementStatus status_ = PluginManagementStatus::notRegistered;
    bool helperIsReachable_ = false;
    std::optional<std::string> helperVersion_;
    std::optional<std::string> lastError_;
    std::optional<std::string> lastHandshakeNotice_;
    bool isWorking_ = false;
    bool lastCallTimedOut_ = false;
    std::shared_ptr<PluginManagementService> userSide_;
    std::function<bool(std::string_view)> isUserSidePath_;
};

}  // namespace kestrova
