// What a daemon starting after a crash does first: every transaction its
// ledger shows interrupted mid-way gets its moves put back, newest first, so
// each request stays all-or-nothing even across a kill. The paths come from
// the daemon's own private ledger; folders are still opened without
// following links and nothing is overwritten. A move that cannot be put back
// is logged and left where it is: the client's recovery then finds the
// transaction interrupted with a mixed disk and keeps its journal.
#pragma once

#include "helper/HelperLog.h"
#include "helper/TransactionLedger.h"

namespace kestrova {

void rollBackInterruptedTransactions(TransactionLedger& ledger, HelperLog& log);

}  // namespace kestrova
