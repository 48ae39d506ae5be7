#include "helper/InterruptedRollback.h"

#include "helper/SecureDirectory.h"
#include "platform/Paths.h"

#include <fcntl.h>
#include <stdio.h>

#include <fmt/format.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kestrova {
namespace {

// Moves `destination` back to `source` when it is still there and the
// source is free; true when the bundle is at its source afterwards.
bool putBack(const std::string& source, const std::string& destination, HelperLog& log) {
    const auto sourceFolder = openDirectoryNoFollow(deletingLastPathComponent(source));
    const auto destinationFolder = openDirectoryNoFollow(deletingLastPathComponent(destination));
    const auto sourceName = lastPathComponent(source);
    const auto destinationName = lastPathComponent(destination);
    if (!sourceFolder || !destinationFolder) {
        log.write(fmt::format("could not put back “{}”: a folder on the way cannot be opened", destination));
        return false;
    }
    const auto atSource = statEntryNoFollow(sourceFolder->get(), sourceName);
    const auto atDestination = statEntryNoFollow(destinationFolder->get(), destinationName);
    if (!atSource || !atDestination) {
        return false;
    }
    if (*atSource && !*atDestination) {
        return true;  // never moved
    }
    if (*atSource || !*atDestination) {
        log.write(fmt::format("could not put back “{}”: the disk no longer matches the ledger", destination));
        return false;
    }
    if (::renameat2(destinationFolder->get(), destinationName.c_str(), sourceFolder->get(), sourceName.c_str(),
                    RENAME_NOREPLACE) != 0) {
        log.write(fmt::format("could not put back “{}”: {}", destination, std::strerror(errno)));
        return false;
    }
    // An emptied operation folder is left for the front end, which prunes
    // empty operation folders when it starts.
    log.write(fmt::format("put back “{}” → “{}”", destination, source));
    return true;
}

}  // namespace

void rollBackInterruptedTransactions(TransactionLedger& ledger, HelperLog& log) {
    for (auto& [transactionID, moves] : ledger.interruptedWithMoves()) {
        bool complete = true;
        for (auto move = moves.rbegin(); move != moves.rend(); ++move) {
            complete = putBack(move->first, move->second, log) && complete;
        }
        log.write(fmt::format("interrupted transaction {} {}", transactionID,
                              complete ? "rolled back" : "could not be rolled back completely"));
        ledger.markRolledBack(transactionID);
    }
}

}  // namespace kestrova
