#include "helperclient/PluginManagementService.h"

#include "protocol/HelperProtocol.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace kestrova {
namespace {

struct SendTexts {
    std::string_view notEnabled;
    std::string_view encode;
    std::string_view channel;
    std::string_view verify;
};

SendTexts textsFor(TransactionKind kind) {
    switch (kind) {
        case TransactionKind::quarantine:
            return {"Enable Plugin Management before moving system plugin bundles.",
                    "Kestrova could not encode the quarantine request.",
                    "Kestrova could not create the privileged quarantine channel.",
                    "Kestrova could not verify the helper response."};
        case TransactionKind::restore:
            return {"Enable Plugin Management before restoring system plugin bundles.",
                    "Kestrova could not encode the restore request.",
                    "Kestrova could not create the privileged restore channel.",
                    "Kestrova could not verify the helper restore response."};
        case TransactionKind::trash:
            return {"Enable Plugin Management before moving quarantined bundles to Finder Trash.",
                    "Kestrova could not encode the Finder Trash request.",
                    "Kestrova could not create the privileged Finder Trash channel.",
                    "Kestrova could not verify the helper Finder Trash response."};
        case TransactionKind::trashRestore:
            return {"Enable Plugin Management before restoring bundles from Finder Trash.",
                    "Kestrova could not encode the Finder Trash recovery request.",
                    "Kestrova could not create the privileged Finder Trash recovery channel.",
                    "Kestrova could not verify the helper Finder Trash recovery response."};
    }
    return {};
}

constexpr std::string_view unreachableText = "Kestrova could not reach the privileged helper.";
constexpr std::string_view inProgressText = "A privileged plugin transaction is already in progress.";
constexpr std::string_view noHandshakeText =
    "The privileged helper is enabled but has not completed its secure handshake.";
constexpr std::string_view noChannelText = "Kestrova could not create the helper communication channel.";
constexpr std::string_view unverifiedHandshakeText = "Kestrova could not verify the helper response.";
constexpr std::string_view unknownOutcomeText =
    " The request reached the helper, which may still be moving the bundles, so Kestrova cannot tell yet whether "
    "any moved; it settles the transaction the next time it starts.";

bool isExecutableFile(const std::optional<std::string>& path) {
    struct stat info {};
    return path && ::stat(path->c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path->c_str(), X_OK) == 0;
}

bool isFile(const std::optional<std::string>& path) {
    struct stat info {};
    return path && ::stat(path->c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::string_view title(PluginManagementStatus status) {
    switch (status) {
        case PluginManagementStatus::notRegistered:
            return "Not Enabled";
        case PluginManagementStatus::requiresApproval:
            return "Approval Required";
        case PluginManagementStatus::enabled:
            return "Enabled";
        case PluginManagementStatus::notFound:
            return "Helper Missing";
        case PluginManagementStatus::unavailable:
            return "Status Unavailable";
    }
    return "Status Unavailable";
}

PluginManagementStatus managementStatus(ServiceRegistrationState state) {
    switch (state) {
        case ServiceRegistrationState::notRegistered:
            return PluginManagementStatus::notRegistered;
        case ServiceRegistrationState::requiresApproval:
            return PluginManagementStatus::requiresApproval;
        case ServiceRegistrationState::enabled:
            return PluginManagementStatus::enabled;
        case ServiceRegistrationState::notFound:
            return PluginManagementStatus::notFound;
        case ServiceRegistrationState::unknown:
            return PluginManagementStatus::unavailable;
    }
    return PluginManagementStatus::unavailable;
}

std::shared_ptr<PluginManagementService> PluginManagementService::create(
    Executor& executor, std::shared_ptr<ServiceRegistration> registration, HelperConnectionFactory connect,
    ApplicationBundleInfo bundle) {
    auto service = std::make_shared<PluginManagementService>(Token{}, executor, std::move(registration),
                                                             std::move(connect), std::move(bundle));
    service->refreshStatus();
    return service;
}

PluginManagementService::PluginManagementService(Token, Executor& executor,
                                                 std::shared_ptr<ServiceRegistration> registration,
                                                 HelperConnectionFactory connect, ApplicationBundleInfo bundle)
    : executor_(executor),
      service_(std::move(registration)),
      connect_(std::move(connect)),
      bundle_(std::move(bundle)) {}

PluginManagementService::~PluginManagementService() { closeConnection(); }

void PluginManagementService::onMainThread(Executor& executor, std::weak_ptr<PluginManagementService> service,
                                           std::function<void(PluginManagementService&)> work) {
    executor.post([weak = std::move(service), work = std::move(work)] {
        if (const auto self = weak.lock()) {
            work(*self);
        }
    });
}

void PluginManagementService::refreshStatus() {
    setStatus(managementStatus(service_->status()));
    if (status_ == PluginManagementStatus::enabled) {
        handshake(false);
    } else {
        setHelperIsReachable(false);
        setHelperVersion(std::nullopt);
        closeConnection();
    }
}

void PluginManagementService::enable() {
    if (isWorking_) {
        return;
    }
    if (status_ != PluginManagementStatus::enabled) {
        setIsWorking(true);
        setLastError(std::nullopt);
        if (const auto registered = service_->registerService(); !registered) {
            setLastError(registered.error().message);
        }
        setIsWorking(false);
    }
    refreshStatus();
}

void PluginManagementService::repairOrUpdate() {
    if (isWorking_) {
        return;
    }
    setIsWorking(true);
    setLastError(std::nullopt);
    setHelperIsReachable(false);
    closeConnection();
    if (const auto unregistered = service_->unregisterService(); !unregistered) {
        setLastError(unregistered.error().message);
    } else if (const auto registered = service_->registerService(); !registered) {
        setLastError(registered.error().message);
    }
    setIsWorking(false);
    refreshStatus();
}

bool PluginManagementService::needsRepairOrUpdate() const {
    return status_ == PluginManagementStatus::enabled &&
           (!helperIsReachable_ || !helperVersion_ || *helperVersion_ != helperprotocol::expectedHelperBuild);
}

void PluginManagementService::openSystemSettingsLoginItems() {
    if (const auto opened = service_->openSettings(); !opened) {
        setLastError(opened.error().message);
    }
}

void PluginManagementService::closeConnection() {
    if (!connection_) {
        return;
    }
    auto connection = std::move(connection_);
    ++connectionGeneration_;
    connection->setInterruptionHandler(nullptr);
    connection->setInvalidationHandler(nullptr);
    connection->invalidate();
}

void PluginManagementService::handshake(bool showNotice) {
    if (status_ != PluginManagementStatus::enabled) {
        setHelperIsReachable(false);
        setHelperVersion(std::nullopt);
        if (showNotice) {
            setLastHandshakeNotice("Secure helper test unavailable until Plugin Management is enabled.");
        }
        return;
    }
    closeConnection();
    setLastError(std::nullopt);
    lastCallTimedOut_ = false;
    if (showNotice) {
        setLastHandshakeNotice(std::nullopt);
    }
    connection_ = connect_();
    if (!connection_) {
        setHelperIsReachable(false);
        setHelperVersion(std::nullopt);
        setLastError(std::string(noChannelText));
        if (showNotice) {
            setLastHandshakeNotice("Secure helper test failed.");
        }
        return;
    }
    const auto generation = connectionGeneration_;
    auto& executor = executor_;
    const auto weak = weak_from_this();
    const auto lost = [&executor, weak] {
        onMainThread(executor, weak, [](PluginManagementService& self) { self.setHelperIsReachable(false); });
    };
    connection_->setInterruptionHandler(lost);
    connection_->setInvalidationHandler(lost);
    connection_->resume();

    const auto failed = [showNotice, generation](PluginManagementService& self, const std::string& description,
                                                 bool timedOut = false) {
        if (generation != self.connectionGeneration_) {
            return;  // an answer for a connection that has since been replaced
        }
        self.lastCallTimedOut_ = timedOut;
        self.setHelperIsReachable(false);
        self.setHelperVersion(std::nullopt);
        self.setLastError(description);
        if (showNotice) {
            self.setLastHandshakeNotice("Secure helper test failed: " + description);
        }
        self.closeConnection();
    };
    ++outstandingCalls_;
    const bool queued = connection_->call(
        HelperCall::handshake, Json(bundle_.clientVersion()).dump(-1, ' ', false, Json::error_handler_t::replace), 0,
        [&executor, weak, failed, showNotice, generation](const Json& reply) {
            onMainThread(executor, weak, [reply, failed, showNotice, generation](PluginManagementService& self) {
                --self.outstandingCalls_;
                const auto decoded = decodeHandshakeReply(reply);
                if (!decoded) {
                    failed(self, std::string(unverifiedHandshakeText));
                    return;
                }
                if (generation != self.connectionGeneration_) {
                    return;
                }
                const auto& build = decoded->build;
                const bool reachable = decoded->identity == helperprotocol::expectedHelperIdentity &&
                                       build == helperprotocol::expectedHelperBuild;
                const std::string expected(helperprotocol::expectedHelperBuild);
                self.setHelperVersion(build);
                self.setHelperIsReachable(reachable);
                self.setLastError(reachable ? std::nullopt
                                            : std::optional<std::string>("The registered helper is Build " + build +
                                                                         ". Choose Update Plugin Management to "
                                                                         "install Build " +
                                                                         expected + "."));
                if (showNotice) {
                    self.setLastHandshakeNotice(reachable ? "Secure helper test passed. KestrovaHelper Build " + build +
                                                                " is connected."
                                                          : "Secure helper test failed. The registered helper "
                                                            "reported Build " +
                                                                build + ".");
                }
            });
        },
        [&executor, weak, failed](const Error& error) {
            onMainThread(executor, weak, [error, failed](PluginManagementService& self) {
                --self.outstandingCalls_;
                failed(self, error.message, error.code == replyTimedOutCode);
            });
        });
    if (!queued) {
        --outstandingCalls_;
        setHelperIsReachable(false);
        setHelperVersion(std::nullopt);
        setLastError(std::string(noChannelText));
        if (showNotice) {
            setLastHandshakeNotice("Secure helper test failed.");
        }
        closeConnection();
    }
}

bool PluginManagementService::canSendOwnRequests() const {
    return status_ == PluginManagementStatus::enabled && helperIsReachable_ && !isWorking_;
}

bool PluginManagementService::canSendPrivilegedRequest() const {
    return canSendOwnRequests() || (userSide_ && userSide_->canSendPrivilegedRequest());
}

void PluginManagementService::setUserSide(std::shared_ptr<PluginManagementService> userSide,
                                          std::function<bool(std::string_view path)> isUserSidePath) {
    userSide_ = std::move(userSide);
    isUserSidePath_ = std::move(isUserSidePath);
}

void PluginManagementService::send(const PrivilegedRequest& request, std::function<void(PrivilegedResult)> completion) {
    std::visit(
        [&](auto record) {
            // The wire names a side only when the routing below chooses the user's.
            record.side = BundleSide::system;
            sendRecord(std::move(record), std::move(completion));
        },
        request);
}

template <typename Request>
void PluginManagementService::sendRecord(Request request, std::function<void(PrivilegedResult)> completion) {
    using ResultRecord = typename PrivilegedRequestTraits<Request>::ResultRecord;
    constexpr auto kind = kindOf<Request>();
    if (userSide_ && isUserSidePath_ && std::any_of(request.items.begin(), request.items.end(), [&](const auto& item) {
            return isUserSidePath_(item.sourcePath) || isUserSidePath_(item.destinationPath);
        })) {
        request.side = BundleSide::user;
        userSide_->sendRecord(std::move(request), std::move(completion));
        return;
    }
    const auto texts = textsFor(kind);
    const auto transactionID = request.transactionID;
    if (!canSendOwnRequests() || !connection_) {
        completion(madeUpFailureResult<ResultRecord>(transactionID,
                                                     blockingReason(kind).value_or(std::string(unreachableText))));
        return;
    }
    std::string argument;
    try {
        argument = JsonCoder<Request>::encode(request).dump();  // throws on invalid UTF-8
    } catch (const std::exception&) {
        completion(madeUpFailureResult<ResultRecord>(transactionID, std::string(texts.encode)));
        return;
    }
    setIsWorking(true);
    setLastError(std::nullopt);
    lastCallTimedOut_ = false;
    ++outstandingCalls_;
    auto shared = std::make_shared<decltype(completion)>(std::move(completion));
    auto& executor = executor_;
    const auto weak = weak_from_this();
    const bool queued = connection_->call(
        describe(kind).call, std::move(argument), request.items.size(),
        [&executor, weak, shared, transactionID, verify = std::string(texts.verify)](const Json& reply) {
            onMainThread(executor, weak, [shared, transactionID, verify, reply](PluginManagementService& self) {
                --self.outstandingCalls_;
                self.setIsWorking(false);
                auto decoded = decodePrivilegedJson<ResultRecord>(reply);
                if (!decoded) {
                    self.setLastError(verify);
                    (*shared)(madeUpFailureResult<ResultRecord>(transactionID, verify));
                    return;
                }
                self.setLastError(decoded->succeeded ? std::nullopt : std::optional<std::string>(decoded->message));
                (*shared)(std::move(*decoded));
            });
        },
        [&executor, weak, shared, transactionID](const Error& error) {
            onMainThread(executor, weak, [shared, transactionID, error](PluginManagementService& self) {
                --self.outstandingCalls_;
                self.setIsWorking(false);
                if (error.code == replyTimedOutCode) {
                    const auto message = error.message + std::string(unknownOutcomeText);
                    self.lastCallTimedOut_ = true;
                    self.setHelperIsReachable(false);
                    self.setLastError(message);
                    (*shared)(unknownOutcomeResult<ResultRecord>(transactionID, message));
                    return;
                }
                self.setLastError(error.message);
                (*shared)(madeUpFailureResult<ResultRecord>(transactionID, error.message));
            });
        });
    if (!queued) {
        --outstandingCalls_;
        setIsWorking(false);
        setLastError(std::string(texts.channel));
        (*shared)(madeUpFailureResult<ResultRecord>(transactionID, std::string(texts.channel)));
    }
}

void PluginManagementService::queryTransactionStatus(const std::string& transactionID,
                                                     std::function<void(Result<TransactionStatusReply>)> completion) {
    if (!connection_) {
        completion(Error{std::string(unreachableText)});
        return;
    }
    ++outstandingCalls_;
    auto shared = std::make_shared<decltype(completion)>(std::move(completion));
    auto& executor = executor_;
    const auto weak = weak_from_this();
    const bool queued = connection_->call(
        HelperCall::transactionStatus, encodeTransactionStatusArgument(transactionID).dump(), 0,
        [&executor, weak, shared, transactionID](const Json& reply) {
            onMainThread(executor, weak, [shared, transactionID, reply](PluginManagementService& self) {
                --self.outstandingCalls_;
                auto decoded = decodeTransactionStatusReply(reply);
                if (decoded && decoded->transactionID != transactionID) {
                    decoded = Error{"KestrovaHelper answered about another transaction."};
                }
                (*shared)(std::move(decoded));
            });
        },
        [&executor, weak, shared](const Error& error) {
            onMainThread(executor, weak, [shared, error](PluginManagementService& self) {
                --self.outstandingCalls_;
                (*shared)(error);
            });
        });
    if (!queued) {
        --outstandingCalls_;
        (*shared)(Error{std::string(noChannelText)});
    }
}

std::optional<std::string> PluginManagementService::blockingReason(TransactionKind kind) const {
    auto reason = ownBlockingReason(kind);
    if (reason && userSide_ && !userSide_->blockingReason(kind)) {
        return std::nullopt;
    }
    return reason;
}

std::optional<std::string> PluginManagementService::blockingReason(TransactionKind kind, BundleSide side) const {
    if (side == BundleSide::user && userSide_) {
        return userSide_->blockingReason(kind);
    }
    return ownBlockingReason(kind);
}

std::optional<std::string> PluginManagementService::ownBlockingReason(TransactionKind kind) const {
    if (isWorking_) {
        return std::string(inProgressText);
    }
    if (status_ == PluginManagementStatus::enabled && helperIsReachable_) {
        return std::nullopt;
    }
    if (status_ != PluginManagementStatus::enabled) {
        return std::string(textsFor(kind).notEnabled);
    }
    return std::string(noHandshakeText);
}

std::vector<DirectDistributionReadinessCheck> PluginManagementService::readinessChecks() const {
    DirectDistributionReadinessInput input;
    input.appBuild = bundle_.appBuild();
    input.expectedBuild = std::string(helperprotocol::expectedHelperBuild);
    input.helperBuild = helperVersion_;
    input.helperExecutableEmbedded = isExecutableFile(bundle_.helperExecutablePath());
    input.daemonPlistEmbedded = isFile(bundle_.daemonDefinitionPath());
    input.helperRegistered = status_ == PluginManagementStatus::enabled;
    input.secureHandshakeConnected = helperIsReachable_;
    input.packagedInstallation = bundle_.layout == ApplicationLayout::installed;
    return evaluateReadiness(input);
}

std::string PluginManagementService::readinessSummary(const std::vector<DirectDistributionReadinessCheck>& checks) {
    return kestrova::readinessSummary(checks);
}

std::string PluginManagementService::statusReport() const {
    const auto checks = readinessChecks();
    const auto passed = std::count_if(checks.begin(), checks.end(), [](const auto& check) { return check.passed; });
    std::string report = "Plugin Management";
    report += "\nHelper status: " + std::string(title(status_));
    report += std::string("\nSecure handshake: ") + (helperIsReachable_ ? "Connected" : "Not Connected");
    report += "\nExpected helper build: " + std::string(helperprotocol::expectedHelperBuild);
    report += "\nReported helper build: " + helperVersion_.value_or("No response");
    report += "\nRelease readiness: " + std::to_string(passed) + "/" + std::to_string(checks.size());
    for (const auto& check : checks) {
        report += "\n- " + check.title + ": " + (check.passed ? "Pass" : "Action Required");
    }
    return report;
}

void PluginManagementService::setStatus(PluginManagementStatus value) {
    status_ = value;
    publish(statusField);
}
void PluginManagementService::setHelperIsReachable(bool value) {
    helperIsReachable_ = value;
    publish(helperIsReachableField);
}
void PluginManagementService::setHelperVersion(std::optional<std::string> value) {
    helperVersion_ = std::move(value);
    publish(helperVersionField);
}
void PluginManagementService::setLastError(std::optional<std::string> value) {
    lastError_ = std::move(value);
    publish(lastErrorField);
}
void PluginManagementService::setLastHandshakeNotice(std::optional<std::string> value) {
    lastHandshakeNotice_ = std::move(value);
    publish(lastHandshakeNoticeField);
}
void PluginManagementService::setIsWorking(bool value) {
    isWorking_ = value;
    publish(isWorkingField);
}

}  // namespace kestrova
