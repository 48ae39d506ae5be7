#include "helper/TransactionRunner.h"

#include "helper/SecureDirectory.h"
#include "helper/TrashInfoFile.h"
#include "platform/Paths.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <fmt/format.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <set>

namespace kestrova {

void MoveOperations::willMove(std::size_t, const ValidatedMove&) {}

int MoveOperations::renameNoReplace(int fromDirectory, const std::string& fromName, int toDirectory,
                                    const std::string& toName) {
    return ::renameat2(fromDirectory, fromName.c_str(), toDirectory, toName.c_str(), RENAME_NOREPLACE) == 0 ? 0 : errno;
}

int MoveOperations::makeDirectory(int directory, const std::string& name, mode_t mode) {
    return ::mkdirat(directory, name.c_str(), mode) == 0 ? 0 : errno;
}

int MoveOperations::removeEmptyDirectory(int directory, const std::string& name) {
    return ::unlinkat(directory, name.c_str(), AT_REMOVEDIR) == 0 ? 0 : errno;
}

namespace {

constexpr std::string_view nothingMoved = " No files were moved.";

std::string bundleCount(std::size_t count, std::string_view noun) {
    return fmt::format("{} {}{}", count, noun, count == 1 ? "" : "s");
}

std::string describeErrno(int code) {
    switch (code) {
        case EXDEV:
            return "it is on a different file system, and KestrovaHelper never copies bundles";
        case EEXIST:
        case ENOTEMPTY:
            return "something already exists at the destination";
        case ENOENT:
            return "the bundle or its folder is no longer there";
        default:
            return std::strerror(code);
    }
}

// Folders opened for one transaction, each once, by path.
class DirectoryCache {
public:
    Result<int> open(const std::string& path) {
        if (const auto found = folders_.find(path); found != folders_.end()) {
            return found->second.get();
        }
        auto opened = openDirectoryNoFollow(path);
        if (!opened) {
            return opened.error();
        }
        const int fd = opened->get();
        folders_.emplace(path, std::move(*opened));
        return fd;
    }
    void adopt(const std::string& path, FileDescriptor fd) { folders_[path] = std::move(fd); }
    int get(const std::string& path) const { return folders_.at(path).get(); }

private:
    std::map<std::string, FileDescriptor> folders_;
};

class Transaction {
public:
    Transaction(const ValidatedTransaction& transaction, MoveOperations& operations, HelperLog& log)
        : transaction_(transaction), operations_(operations), log_(log) {}

    TransactionOutcome run() {
        if (auto refusal = check(); !refusal.ok()) {
            log_.write(fmt::format("transaction {} refused: {}", transaction_.transactionID, refusal.error().message));
            return {false, true, {}, refusal.error().message + std::string(nothingMoved)};
        }
        for (std::size_t index = 0; index < transaction_.moves.size(); ++index) {
            const auto& move = transaction_.moves[index];
            if (auto made = prepareDestination(move); !made.ok()) {
                return rollBack(index, move, made.error().message);
            }
            // The record comes first: a bundle in the Trash without one could
            // not be restored by a file manager.
            if (move.createsTrashInfo) {
                if (auto made = createTrashInfoFile(cache_.get(deletingLastPathComponent(*move.createsTrashInfo)),
                                                    lastPathComponent(*move.createsTrashInfo),
                                                    move.trashInfoOriginalPath, std::time(nullptr));
                    !made.ok()) {
                    return rollBack(index, move, made.error().message);
                }
            }
            operations_.willMove(index, move);
            const int code = operations_.renameNoReplace(
                cache_.get(deletingLastPathComponent(move.source)), lastPathComponent(move.source),
                cache_.get(deletingLastPathComponent(move.destination)), lastPathComponent(move.destination));
            if (code != 0) {
                removeTrashInfo(move.createsTrashInfo);
                return rollBack(index, move,
                                fmt::format("Could not move “{}” to “{}”: {}.", move.source, move.destination,
                                            describeErrno(code)));
            }
            movedLines_.push_back(fmt::format("transaction {} moved “{}” to “{}”", transaction_.transactionID,
                                              move.source, move.destination));
            if (movedLines_.size() == movesPerLogWrite) {
                logMoves();
            }
        }
        logMoves();
        for (const auto& move : transaction_.moves) {
            removeTrashInfo(move.removesTrashInfo);
        }
        tidyEmptiedFolders();
        TransactionOutcome outcome{true, false, {}, successMessage(transaction_.kind, transaction_.moves.size())};
        for (const auto& move : transaction_.moves) {
            outcome.movedDestinations.push_back(move.destination);
        }
        return outcome;
    }

private:
    void removeTrashInfo(const std::optional<std::string>& info) {
        if (info) {
            if (auto folder = cache_.open(deletingLastPathComponent(*info))) {
                removeTrashInfoFile(*folder, lastPathComponent(*info));
            }
        }
    }

    // Everything that can be known before the first move, on the disk as it
    // is now. No check writes anything.
    Status check() {
        std::set<std::string> operationFolders;
        for (const auto& move : transaction_.moves) {
            if (move.createsTrashInfo) {
                const auto infoFolder = cache_.open(deletingLastPathComponent(*move.createsTrashInfo));
                if (!infoFolder) {
                    return infoFolder.error();
                }
                const auto info = statEntryNoFollow(*infoFolder, lastPathComponent(*move.createsTrashInfo));
                if (!info) {
                    return info.error();
                }
                if (*info) {
                    return Error{fmt::format("The Trash record “{}” already exists.", *move.createsTrashInfo)};
                }
            }
            const auto sourceFolder = cache_.open(deletingLastPathComponent(move.source));
            if (!sourceFolder) {
                return sourceFolder.error();
            }
            const auto source = statEntryNoFollow(*sourceFolder, lastPathComponent(move.source));
            if (!source) {
                return source.error();
            }
            if (!*source) {
                return Error{fmt::format("“{}” does not exist.", move.source)};
            }
            if (S_ISLNK((*source)->st_mode)) {
                return Error{fmt::format("“{}” is a symbolic link.", move.source)};
            }
            if (!S_ISDIR((*source)->st_mode) && !S_ISREG((*source)->st_mode)) {
                return Error{fmt::format("“{}” is not a bundle.", move.source)};
            }
            dev_t destinationDevice = 0;
            if (move.createsFolder) {
                // Several moves of one request may share an operation folder;
                // it must not exist before the transaction.
                if (operationFolders.insert(*move.createsFolder).second) {
                    auto ancestor = openDeepestExistingDirectory(*move.createsFolder);
                    if (!ancestor) {
                        return ancestor.error();
                    }
                    if (ancestor->path == *move.createsFolder) {
                        return Error{
                            fmt::format("The quarantine operation folder “{}” already exists.", *move.createsFolder)};
                    }
                    struct stat info {};
                    ::fstat(ancestor->directory.get(), &info);
                    folderDevices_[*move.createsFolder] = info.st_dev;
                    ancestors_.emplace(*move.createsFolder, std::move(*ancestor));
                }
                destinationDevice = folderDevices_.at(*move.createsFolder);
            } else {
                const auto destinationFolder = cache_.open(deletingLastPathComponent(move.destination));
                if (!destinationFolder) {
                    return destinationFolder.error();
                }
                const auto destination = statEntryNoFollow(*destinationFolder, lastPathComponent(move.destination));
                if (!destination) {
                    return destination.error();
                }
                if (*destination) {
                    return Error{fmt::format("Something already exists at “{}”.", move.destination)};
                }
                struct stat info {};
                ::fstat(*destinationFolder, &info);
                destinationDevice = info.st_dev;
            }
            if ((*source)->st_dev != destinationDevice) {
                return Error{
                    fmt::format("“{}” and “{}” are on different file systems; KestrovaHelper moves bundles "
                                "only within one file system and never copies them.",
                                move.source, move.destination)};
            }
        }
        return {};
    }

    // Makes the operation folder (and any missing folder above it inside
    // the quarantine root) the first time a move needs it.
    Status prepareDestination(const ValidatedMove& move) {
        if (!move.createsFolder || created_.contains(*move.createsFolder)) {
            return {};
        }
        const auto& folder = *move.createsFolder;
        auto& ancestor = ancestors_.at(folder);
        FileDescriptor current = std::move(ancestor.directory);
        std::string currentPath = ancestor.path;
        const auto missing = folder.substr(currentPath == "/" ? 1 : currentPath.size() + 1);
        std::size_t start = 0;
        while (start <= missing.size()) {
            auto end = missing.find('/', start);
            if (end == std::string::npos) {
                end = missing.size();
            }
            const auto name = missing.substr(start, end - start);
            const bool isOperationFolder = end == missing.size();
            const int code = operations_.makeDirectory(current.get(), name, 0755);
            // A missing quarantine root may appear meanwhile; the operation
            // folder itself must be new.
            if (code != 0 && (isOperationFolder || code != EEXIST)) {
                return Error{fmt::format("Could not create the folder “{}”: {}.",
                                         appendingPathComponent(currentPath, name), describeErrno(code))};
            }
            FileDescriptor next(::openat(current.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!next.valid()) {
                return Error{fmt::format("Could not open the folder “{}”: {}.",
                                         appendingPathComponent(currentPath, name), std::strerror(errno))};
            }
            if (isOperationFolder) {
                parentsOfCreated_.emplace(folder, std::move(current));
            }
            current = std::move(next);
            currentPath = appendingPathComponent(currentPath, name);
            start = end + 1;
        }
        cache_.adopt(folder, std::move(current));
        created_.insert(folder);
        return {};
    }

    void logMoves() {
        log_.write(movedLines_);
        movedLines_.clear();
    }

    TransactionOutcome rollBack(std::size_t failedIndex, const ValidatedMove& failed, const std::string& reason) {
        logMoves();
        log_.write(fmt::format("transaction {} failed at “{}”: {}", transaction_.transactionID, failed.source, reason));
        std::vector<std::string> stranded;
        for (std::size_t index = failedIndex; index-- > 0;) {
            const auto& move = transaction_.moves[index];
            const int code = operations_.renameNoReplace(
                cache_.get(deletingLastPathComponent(move.destination)), lastPathComponent(move.destination),
                cache_.get(deletingLastPathComponent(move.source)), lastPathComponent(move.source));
            if (code == 0) {
                removeTrashInfo(move.createsTrashInfo);
                log_.write(fmt::format("transaction {} put back “{}”", transaction_.transactionID, move.source));
            } else {
                log_.write(fmt::format("transaction {} could not put back “{}”: {}", transaction_.transactionID,
                                       move.source, std::strerror(code)));
                stranded.push_back(move.destination);
            }
        }
        for (const auto& folder : created_) {
            operations_.removeEmptyDirectory(parentsOfCreated_.at(folder).get(), lastPathComponent(folder));
        }
        TransactionOutcome outcome;
        outcome.succeeded = false;
        outcome.rollbackComplete = stranded.empty();
        if (stranded.empty()) {
            outcome.message = failedIndex == 0 ? reason + std::string(nothingMoved)
                                               : fmt::format("{} The {} moved before it {} put back.{}", reason,
                                                             bundleCount(failedIndex, "bundle"),
                                                             failedIndex == 1 ? "was" : "were", nothingMoved);
        } else {
            std::string list;
            for (const auto& path : stranded) {
                list += (list.empty() ? "“" : ", “") + path + "”";
            }
            outcome.message =
                fmt::format("{} KestrovaHelper could not put back {}. Stop before retrying.", reason, list);
        }
        return outcome;
    }

    void tidyEmptiedFolders() {
        std::set<std::string> folders;
        for (const auto& move : transaction_.moves) {
            if (move.emptiesFolder) {
                folders.insert(*move.emptiesFolder);
            }
        }
        for (const auto& folder : folders) {
            if (auto parent = openDirectoryNoFollow(deletingLastPathComponent(folder))) {
                operations_.removeEmptyDirectory(parent->get(), lastPathComponent(folder));
            }
        }
    }

    const ValidatedTransaction& transaction_;
    MoveOperations& operations_;
    HelperLog& log_;
    DirectoryCache cache_;
    std::map<std::string, ExistingAncestor> ancestors_;
    std::map<std::string, dev_t> folderDevices_;
    std::map<std::string, FileDescriptor> parentsOfCreated_;
    std::set<std::string> created_;
    // Moves are logged a few at a time: one write per bundle would cost
    // more than the rename itself, and a daemon killed mid-transaction
    // should still have logged most of what it moved.
    static constexpr std::size_t movesPerLogWrite = 32;
    std::vector<std::string> movedLines_;
};

}  // namespace

TransactionOutcome TransactionRunner::run(const ValidatedTransaction& transaction) {
    return Transaction(transaction, operations_, log_).run();
}

std::string successMessage(TransactionKind kind, std::size_t count) {
    switch (kind) {
        case TransactionKind::quarantine:
            return fmt::format("Moved {} into quarantine.", bundleCount(count, "plugin bundle"));
        case TransactionKind::restore:
            return fmt::format("Restored {} from quarantine.", bundleCount(count, "plugin bundle"));
        case TransactionKind::trash:
            return fmt::format("Moved {} to the Trash.", bundleCount(count, "quarantined bundle"));
        case TransactionKind::trashRestore:
            return fmt::format("Restored {} from the Trash.", bundleCount(count, "bundle"));
    }
    return {};
}

}  // namespace kestrova
