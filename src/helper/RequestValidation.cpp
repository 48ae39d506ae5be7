#include "helper/RequestValidation.h"

#include "model/Plugin.h"
#include "model/PluginLocations.h"
#include "planning/PathRules.h"
#include "platform/FreedesktopTrash.h"
#include "platform/Paths.h"
#include "platform/SystemLayout.h"
#include "platform/Text.h"
#include "platform/Uuid.h"
#include "protocol/HelperProtocol.h"

#include <fmt/format.h>
#include <algorithm>

namespace kestrova {
namespace {

using Refusal = Error;

// Absolute, already standardized (no ".", "..", "//" or trailing "/") and
// free of NUL bytes: the daemon never interprets a path the client did not
// spell out exactly.
std::optional<Refusal> checkPathForm(const std::string& path) {
    if (path.empty() || !isAbsolutePath(path) || path.find('\0') != std::string::npos ||
        standardizedPath(path) != path || path == "/") {
        return Refusal{fmt::format("“{}” is not a standardized absolute path.", path)};
    }
    return std::nullopt;
}

std::optional<Refusal> checkBundleExtension(const std::string& path, const HelperAreas& areas) {
    if (!isPluginBundleExtension(pathExtension(path), areas.profile)) {
        return Refusal{fmt::format("“{}” is not a plug-in bundle.", path)};
    }
    return std::nullopt;
}

// Strictly below the folder, comparing whole components; both paths are
// standardized already, so this is a plain prefix test.
bool isBelow(std::string_view path, std::string_view folder) {
    return path.size() > folder.size() + 1 && path.starts_with(folder) && path[folder.size()] == '/';
}

// The folder itself never qualifies.
bool isBelowAny(const std::string& path, const std::vector<std::string>& folders) {
    return std::any_of(folders.begin(), folders.end(), [&](const auto& folder) { return isBelow(path, folder); });
}

std::optional<Refusal> checkInPluginFolder(const std::string& path, const HelperAreas& areas) {
    if (!isBelowAny(path, areas.pluginFolders)) {
        return Refusal{fmt::format("“{}” is not inside a standard system plug-in folder.", path)};
    }
    return std::nullopt;
}

std::optional<Refusal> checkOperationID(const std::string& operationID) {
    if (!Uuid::parse(operationID)) {
        return Refusal{fmt::format("The operation ID “{}” is not a UUID.", operationID)};
    }
    return std::nullopt;
}

// A quarantined bundle sits directly in its operation folder.
std::optional<Refusal> checkInOperationFolder(const std::string& path, const std::string& operationID,
                                              const HelperAreas& areas) {
    if (auto refusal = checkOperationID(operationID)) {
        return refusal;
    }
    if (deletingLastPathComponent(path) != appendingPathComponent(areas.quarantineRoot, operationID)) {
        return Refusal{fmt::format("“{}” is not in the quarantine folder of operation {}.", path, operationID)};
    }
    return std::nullopt;
}

bool isTopdirTrashFolder(const std::string& folder, const HelperAreas& areas) {
    return std::find(areas.topdirTrashFolders.begin(), areas.topdirTrashFolders.end(), folder) !=
           areas.topdirTrashFolders.end();
}

std::optional<Refusal> checkInTrash(const std::string& path, const HelperAreas& areas) {
    const auto folder = deletingLastPathComponent(path);
    if (isTopdirTrashFolder(folder, areas)) {
        return std::nullopt;
    }
    if (!areas.trashFolder) {
        return Refusal{"KestrovaHelper could not find the requesting user’s Trash folder."};
    }
    if (folder != *areas.trashFolder) {
        return Refusal{fmt::format("“{}” is not directly inside the Trash folder “{}”.", path, *areas.trashFolder)};
    }
    return std::nullopt;
}

// The place a Trash record names must be one a bundle of this name could
// have come from: a file manager restoring it moves it there.
std::optional<Refusal> checkTrashOriginalPath(const PrivilegedTrashItem& item, const HelperAreas& areas) {
    if (!item.originalPath) {
        return std::nullopt;
    }
    const std::optional<Refusal> checks[] = {
        checkPathForm(*item.originalPath),
        checkInPluginFolder(*item.originalPath, areas),
        lastPathComponent(*item.originalPath) == lastPathComponent(item.sourcePath)
            ? std::nullopt
            : std::optional<Refusal>(Refusal{
                  fmt::format("“{}” is not the original location of “{}”.", *item.originalPath, item.sourcePath)}),
    };
    for (const auto& refusal : checks) {
        if (refusal) {
            return refusal;
        }
    }
    return std::nullopt;
}

std::optional<Refusal> checkSameExtension(const std::string& source, const std::string& destination) {
    if (lowercased(pathExtension(source)) != lowercased(pathExtension(destination))) {
        return Refusal{fmt::format("“{}” and “{}” are not the same kind of bundle.", source, destination)};
    }
    return std::nullopt;
}

// Checks that concern the request as a whole: its ID, its size, and that no
// two moves touch the same place or one inside another.
std::optional<Refusal> checkTransaction(const ValidatedTransaction& transaction) {
    if (!Uuid::parse(transaction.transactionID)) {
        return Refusal{fmt::format("The transaction ID “{}” is not a UUID.", transaction.transactionID)};
    }
    if (transaction.moves.empty()) {
        return Refusal{"The request holds no bundles."};
    }
    if (transaction.moves.size() > helperprotocol::maximumItemsPerTransaction) {
        return Refusal{fmt::format("The request holds {} bundles; one transaction moves at most {}.",
                                   transaction.moves.size(), helperprotocol::maximumItemsPerTransaction)};
    }
    // Sorted with "/" below every other byte, a path inside another follows
    // it directly, so neighbours are all that need comparing. Letter case is
    // ignored: two spellings may be one folder on a case-insensitive disk.
    std::vector<std::pair<std::string, const std::string*>> keys;
    for (const auto& move : transaction.moves) {
        for (const auto* path : {&move.source, &move.destination}) {
            auto key = lowercased(*path);
            std::replace(key.begin(), key.end(), '/', '\0');
            keys.emplace_back(std::move(key), path);
        }
    }
    std::sort(keys.begin(), keys.end());
    for (std::size_t i = 1; i < keys.size(); ++i) {
        const auto& outer = keys[i - 1].first;
        const auto& inner = keys[i].first;
        if (inner == outer || (inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 &&
                               inner[outer.size()] == '\0')) {
            return Refusal{
                fmt::format("“{}” and “{}” overlap within one request.", *keys[i - 1].second, *keys[i].second)};
        }
    }
    return std::nullopt;
}

Result<ValidatedTransaction> finish(ValidatedTransaction transaction) {
    if (auto refusal = checkTransaction(transaction)) {
        return *refusal;
    }
    return transaction;
}

template <std::size_t count>
std::optional<Refusal> firstRefusal(const std::optional<Refusal> (&checks)[count]) {
    for (const auto& refusal : checks) {
        if (refusal) {
            return refusal;
        }
    }
    return std::nullopt;
}

// Restores and Trash moves both take bundles out of a quarantine operation
// folder; they differ only in where a bundle may go.
template <typename Request>
Result<ValidatedTransaction> validateMovesOutOfQuarantine(const Request& request, const HelperAreas& areas) {
    const auto& kind = describe<Request>();
    const auto checkDestination = kind.destination == MoveArea::trashFolder ? checkInTrash : checkInPluginFolder;
    ValidatedTransaction transaction{kind.kind, request.transactionID, {}};
    for (const auto& item : request.items) {
        const std::optional<Refusal> checks[] = {
            checkPathForm(item.sourcePath),
            checkPathForm(item.destinationPath),
            checkBundleExtension(item.sourcePath, areas),
            checkInOperationFolder(item.sourcePath, item.operationID, areas),
            checkDestination(item.destinationPath, areas),
            checkSameExtension(item.sourcePath, item.destinationPath),
        };
        if (auto refusal = firstRefusal(checks)) {
            return *refusal;
        }
        transaction.moves.push_back({item.sourcePath, item.destinationPath, std::nullopt,
                                     deletingLastPathComponent(item.sourcePath), std::nullopt, std::nullopt});
    }
    return finish(std::move(transaction));
}

}  // namespace

HelperAreas HelperAreas::under(const std::string& systemRoot, std::optional<std::string> trashFolder,
                               PlatformProfile profile) {
    SystemLayout layout;
    layout.systemRoot = systemRoot;
    layout.profile = profile;
    HelperAreas areas;
    areas.profile = profile;
    areas.pluginFolders = standardSystemPluginFolders(layout);
    areas.quarantineRoot = kestrova::quarantineRoot(layout);
    if (trashFolder) {
        areas.trashFolder = standardizedPath(*trashFolder);
    }
    return areas;
}

HelperAreas HelperAreas::ofUser(const std::string& home, const std::optional<std::string>& dataHome,
                                std::optional<std::string> trashFolder) {
    SystemLayout layout;
    layout.home = standardizedPath(home);
    layout.dataHome = dataHome.value_or("");
    layout.profile = PlatformProfile::gnuLinux;
    HelperAreas areas;
    areas.profile = layout.profile;
    areas.pluginFolders = userPluginFolders(layout);
    areas.quarantineRoot = userQuarantineRoot(layout);
    if (trashFolder) {
        areas.trashFolder = standardizedPath(*trashFolder);
    }
    return areas;
}

Result<ValidatedTransaction> validateRequest(const PrivilegedQuarantineRequest& request, const HelperAreas& areas) {
    ValidatedTransaction transaction{TransactionKind::quarantine, request.transactionID, {}};
    for (const auto& item : request.items) {
        const auto operationFolder = appendingPathComponent(areas.quarantineRoot, item.operationID);
        const std::optional<Refusal> checks[] = {
            checkPathForm(item.sourcePath),
            checkPathForm(item.destinationPath),
            checkBundleExtension(item.sourcePath, areas),
            checkInPluginFolder(item.sourcePath, areas),
            checkOperationID(item.operationID),
            appendingPathComponent(operationFolder, lastPathComponent(item.sourcePath)) == item.destinationPath
                ? std::nullopt
                : std::optional<Refusal>(Refusal{fmt::format("“{}” is not the quarantine location of “{}”.",
                                                             item.destinationPath, item.sourcePath)}),
        };
        if (auto refusal = firstRefusal(checks)) {
            return *refusal;
        }
        transaction.moves.push_back(
            {item.sourcePath, item.destinationPath, operationFolder, std::nullopt, std::nullopt, std::nullopt});
    }
    return finish(std::move(transaction));
}

Result<ValidatedTransaction> validateRequest(const PrivilegedRestoreRequest& request, const HelperAreas& areas) {
    return validateMovesOutOfQuarantine(request, areas);
}

Result<ValidatedTransaction> validateRequest(const PrivilegedTrashRequest& request, const HelperAreas& areas) {
    for (const auto& item : request.items) {
        if (auto refusal = checkTrashOriginalPath(item, areas)) {
            return *refusal;
        }
    }
    auto transaction = validateMovesOutOfQuarantine(request, areas);
    if (transaction && areas.profile == PlatformProfile::gnuLinux) {
        for (std::size_t index = 0; index < transaction->moves.size(); ++index) {
            auto& move = transaction->moves[index];
            const auto& item = request.items[index];
            move.createsTrashInfo = trashInfoPath(move.destination);
            const auto folder = deletingLastPathComponent(move.destination);
            // $topdir/.Trash-$uid/files: the top folder is two above.
            const auto topdir = isTopdirTrashFolder(folder, areas)
                                    ? std::optional(deletingLastPathComponent(deletingLastPathComponent(folder)))
                                    : std::nullopt;
            move.trashInfoOriginalPath =
                trashInfoOriginalPath(item.originalPath ? *item.originalPath : item.sourcePath,
                                      topdir ? std::optional<std::string_view>(*topdir) : std::nullopt);
        }
    }
    return transaction;
}

Result<ValidatedTransaction> validateRequest(const PrivilegedTrashRestoreRequest& request, const HelperAreas& areas) {
    ValidatedTransaction transaction{TransactionKind::trashRestore, request.transactionID, {}};
    for (const auto& item : request.items) {
        const auto expectedExtension = bundleExtension(trimmedWhitespace(uppercased(item.format)), areas.profile);
        const std::optional<Refusal> checks[] = {
            checkPathForm(item.sourcePath),
            checkPathForm(item.destinationPath),
            checkBundleExtension(item.sourcePath, areas),
            checkInTrash(item.sourcePath, areas),
            checkInPluginFolder(item.destinationPath, areas),
            checkSameExtension(item.sourcePath, item.destinationPath),
            Uuid::parse(item.recoveryRecordID)
                ? std::nullopt
                : std::optional<Refusal>(
                      Refusal{fmt::format("The recovery record ID “{}” is not a UUID.", item.recoveryRecordID)}),
            lastPathComponent(item.destinationPath) == item.originalBundleFilename
                ? std::nullopt
                : std::optional<Refusal>(Refusal{fmt::format("“{}” does not end in the original bundle name “{}”.",
                                                             item.destinationPath, item.originalBundleFilename)}),
            !expectedExtension.empty() && lowercased(pathExtension(item.destinationPath)) == expectedExtension
                ? std::nullopt
                : std::optional<Refusal>(
                      Refusal{fmt::format("“{}” is not a {} bundle.", item.destinationPath, item.format)}),
        };
        if (auto refusal = firstRefusal(checks)) {
            return *refusal;
        }
        // A record left behind would show a file manager an item no longer there.
        auto info =
            areas.profile == PlatformProfile::gnuLinux ? std::optional(trashInfoPath(item.sourcePath)) : std::nullopt;
        transaction.moves.push_back(
            {item.sourcePath, item.destinationPath, std::nullopt, std::nullopt, std::nullopt, std::move(info)});
    }
    return finish(std::move(transaction));
}

}  // namespace kestrova
