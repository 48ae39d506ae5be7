// Carries out one validated transaction on the disk: all moves or none.
// Every folder is opened without following links before anything moves,
// every move is a renameat2(RENAME_NOREPLACE) between those handles, and a
// failure puts back what was moved, in reverse order. Nothing is ever
// deleted except the empty operation folders the daemon itself made.
#pragma once

#include "helper/HelperLog.h"
#include "helper/RequestValidation.h"

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace kestrova {

// The system calls a transaction makes, so tests can make one fail or change
// the disk at an exact moment. Each returns 0 or an errno value.
class MoveOperations {
public:
    virtual ~MoveOperations() = default;
    // Called after every check passed, just before move `index` is made.
    virtual void willMove(std::size_t index, const ValidatedMove& move);
    virtual int renameNoReplace(int fromDirectory, const std::string& fromName, int toDirectory,
                                const std::string& toName);
    virtual int makeDirectory(int directory, const std::string& name, mode_t mode);
    virtual int removeEmptyDirectory(int directory, const std::string& name);
};

struct TransactionOutcome {
    bool succeeded = false;
    bool rollbackComplete = false;
    std::vector<std::string> movedDestinations;
    std::string message;

    friend bool operator==(const TransactionOutcome&, const TransactionOutcome&) = default;
};

class TransactionRunner {
public:
    TransactionRunner(MoveOperations& operations, HelperLog& log) : operations_(operations), log_(log) {}

    TransactionOutcome run(const ValidatedTransaction& transaction);

private:
    MoveOperations& operations_;
    HelperLog& log_;
};

// The success text of a kind: "Moved 3 plugin bundles into quarantine." …
std::string successMessage(TransactionKind kind, std::size_t count);

}  // namespace kestrova
