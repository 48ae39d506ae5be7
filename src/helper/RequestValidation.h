// The daemon's own reading of a request, before it looks at the disk: which
// paths it may touch at all. It trusts nothing the client checked; every rule
// here is lexical and the disk checks follow in TransactionRunner.
#pragma once

#include "platform/PlatformProfile.h"
#include "platform/Result.h"
#include "protocol/PrivilegedRecords.h"
#include "protocol/TransactionKinds.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrova {

// The places one request may move bundles between.
struct HelperAreas {
    std::vector<std::string> pluginFolders;  // the profile's system plug-in folders, or the user's
    std::string quarantineRoot;
    std::optional<std::string> trashFolder;  // the requesting user's, when known
    // Linux: the Trash folders ($topdir/.Trash-$uid/files) of the other file
    // systems this request's bundles are on.
    std::vector<std::string> topdirTrashFolders;
    PlatformProfile profile = PlatformProfile::macOS;

    // The areas below a system root (a real, standardized absolute path).
    static HelperAreas under(const std::string& systemRoot, std::optional<std::string> trashFolder,
                             PlatformProfile profile = PlatformProfile::macOS);
    // The user side's areas (Linux): the plug-in folders in `home` and the
    // quarantine in the data home (`dataHome`, else ~/.local/share).
    static HelperAreas ofUser(const std::string& home, const std::optional<std::string>& dataHome,
                              std::optional<std::string> trashFolder);

    friend bool operator==(const HelperAreas&, const HelperAreas&) = default;
};

// One move the daemon agreed to attempt. `createsFolder` is the quarantine
// operation folder the move needs and the daemon makes itself.
struct ValidatedMove {
    std::string source;
    std::string destination;
    std::optional<std::string> createsFolder;
    // The quarantine operation folder a move empties (restore, Trash), tidied
    // away after a successful transaction when nothing else is left in it.
    std::optional<std::string> emptiesFolder;
    // Linux profile: the freedesktop .trashinfo a move into the Trash makes
    // just before it, and the one a restore from the Trash removes after it.
    std::optional<std::string> createsTrashInfo;
    std::optional<std::string> removesTrashInfo;
    // The Path= value of the record `createsTrashInfo` makes.
    std::string trashInfoOriginalPath{};

    friend bool operator==(const ValidatedMove&, const ValidatedMove&) = default;
};

struct ValidatedTransaction {
    TransactionKind kind = TransactionKind::quarantine;
    std::string transactionID;
    std::vector<ValidatedMove> moves;

    friend bool operator==(const ValidatedTransaction&, const ValidatedTransaction&) = default;
};

// Each returns the moves in request order, or a refusal whose message says
// what is wrong (without the closing "No files were moved.").
Result<ValidatedTransaction> validateRequest(const PrivilegedQuarantineRequest& request, const HelperAreas& areas);
Result<ValidatedTransaction> validateRequest(const PrivilegedRestoreRequest& request, const HelperAreas& areas);
Result<ValidatedTransaction> validateRequest(const PrivilegedTrashRequest& request, const HelperAreas& areas);
Result<ValidatedTransaction> validateRequest(const PrivilegedTrashRestoreRequest& request, const HelperAreas& areas);

}  // namespace kestrova
