#include "helper/InterruptedRollback.h"

#include "helper/SecureDirectory.h"
#include "helper/TrashInfoFile.h"
#include "platform/FreedesktopTrash.h"
#include "platform/LinuxLayout.h"
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

// A move into a freedesktop Trash writes its record first, so a bundle that
// is at its source again may have left one behind; a file manager would list
// it and its name would stay taken. The record was made for this move (the
// name was checked free), so removing it loses nothing.
void removeLeftTrashRecord(const std::string& destination, HelperLog& log) {
    const auto files = deletingLastPathComponent(destination);
    const auto trash = lastPathComponent(deletingLastPathComponent(files));
    if (lastPathComponent(files) != "files" ||
        (trash != linuxlayout::homeTrashName && !trash.starts_with(linuxlayout::topdirTrashPrefix))) {
        return;
    }
    const auto info = trashInfoPath(destination);
    if (const auto folder = openDirectoryNoFollow(deletingLastPathComponent(info))) {
        if (const auto entry = statEntryNoFollow(folder->get(), lastPathComponent(info)); entry && *entry) {
            removeTrashInfoFile(folder->get(), lastPathComponent(info));
            log.write(fmt::format("removed the Trash record “{}” of a move put back", info));
        }
    }
}

}  // namespace

void rollBackInterruptedTransactions(TransactionLedger& ledger, HelperLog& log) {
    for (auto& [transactionID, moves] : ledger.interruptedWithMoves()) {
        bool complete = true;
        for (auto move = moves.rbegin(); move != moves.rend(); ++move) {
            const bool back = putBack(move->first, move->second, log);
            if (back) {
                removeLeftTrashRecord(move->second, log);
            }
            complete = back && complete;
        }
        log.write(fmt::format("interrupted transaction {} {}", transactionID,
                              complete ? "rolled back" : "could not be rolled back completely"));
        ledger.markRolledBack(transactionID);
    }
}

}  // namespace kestrova
