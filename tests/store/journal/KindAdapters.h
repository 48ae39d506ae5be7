// One adapter per transaction kind, so one test body covers all four: each
// lays out bundles its kind can move and reaches the store's and the
// service's calls for that kind with the records of that kind.
#pragma once

#include "../TransactionFixtures.h"
#include "protocol/TransactionKinds.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrova::testing {

// Echo's AU and VST3 bundles in the standard folders: two items, so a disk
// can be half moved.
inline std::vector<InstalledBundle> twoInstalledBundles(const StoreSandbox& sandbox) {
    return {{"AU", sandbox.system(standardFolder("AU")) + "/Echo.component"},
            {"VST3", sandbox.system(standardFolder("VST3")) + "/Echo.vst3"}};
}

// What every kind does the same way, by the types of its records.
template <typename RequestType, typename ResultType, TransactionKind transactionKind>
struct KindBase {
    using Request = RequestType;
    using Result = ResultType;
    static constexpr TransactionKind kind = transactionKind;

    static bool complete(PluginInventoryStore& store, const Result& result, const Request&) {
        return store.complete(PrivilegedResult(result));
    }
    static std::optional<Request> pending(const PluginInventoryStore& store) {
        return recordOf<Request>(store.pendingTransaction());
    }
    static std::optional<Request>& journalIn(PersistedInventory& state) {
        if constexpr (kind == TransactionKind::quarantine) {
            return state.pendingPrivilegedQuarantine;
        } else if constexpr (kind == TransactionKind::restore) {
            return state.pendingPrivilegedRestore;
        } else if constexpr (kind == TransactionKind::trash) {
            return state.pendingPrivilegedTrash;
        } else {
            return state.pendingPrivilegedTrashRestore;
        }
    }
};

// What the three kinds selected by bundle share.
template <typename Request, typename Result, TransactionKind transactionKind>
struct SelectionKind : KindBase<Request, Result, transactionKind> {
    using Target = std::vector<PluginBundleSelection>;
    static constexpr bool checksRevision = true;

    // Every bundle of Echo.
    static Target target(const PluginInventoryStore& store) {
        const auto& echo = *findProduct(store.plugins(), "Echo");
        Target selections;
        for (const auto& bundle : *echo.bundles) {
            selections.push_back({echo.id, bundle.id()});
        }
        return selections;
    }
    static Target unknownTarget() { return {{Uuid::random(), "VST3|/library/audio/plug-ins/vst3/gone.vst3"}}; }
    static void forgetRecords(PersistedInventory& state) { state.plugins.clear(); }

    static std::optional<Request> prepare(PluginInventoryStore& store, const Target& target,
                                          const std::optional<InventoryRevisionToken>& revision = std::nullopt) {
        return recordOf<Request>(store.prepare(transactionKind, target, revision));
    }
    static std::optional<std::string> blockingReason(const PluginInventoryStore& store, const Target& target) {
        return store.blockingReason(transactionKind, target);
    }
};

// Whether every one of Echo's bundles is in quarantine (or none is).
inline bool echoAllQuarantined(const PluginInventoryStore& store, bool quarantined) {
    const auto* echo = findProduct(store.plugins(), "Echo");
    return echo && std::all_of(echo->bundles->begin(), echo->bundles->end(),
                               [&](const auto& bundle) { return bundle.isQuarantined() == quarantined; });
}

struct QuarantineKind
    : SelectionKind<PrivilegedQuarantineRequest, PrivilegedQuarantineResult, TransactionKind::quarantine> {
    static void arrange(StoreSandbox& sandbox, const std::vector<InstalledBundle>& installed) {
        sandbox.writeProducts({productWith(installed, false, sandbox.layout)});
    }
    static std::optional<Request> prepareChunk(PluginInventoryStore& store, const Uuid& runID, const Target& chunk) {
        return recordOf<Request>(store.prepareCleanupRunChunk(runID, chunk));
    }
    // A quarantine journaled under a cleanup run.
    static std::optional<Request> prepareForRun(PluginInventoryStore& store, const Target& target, const Uuid& runID) {
        return recordOf<Request>(store.prepare(kind, target, std::nullopt, runID));
    }
    static bool showsMoved(const PluginInventoryStore& store) { return echoAllQuarantined(store, true); }
};

struct RestoreKind : SelectionKind<PrivilegedRestoreRequest, PrivilegedRestoreResult, TransactionKind::restore> {
    static void arrange(StoreSandbox& sandbox, const std::vector<InstalledBundle>& installed) {
        sandbox.writeProducts({productWith(installed, true, sandbox.layout)});
    }
    static bool showsMoved(const PluginInventoryStore& store) { return echoAllQuarantined(store, false); }
};

struct TrashKind : SelectionKind<PrivilegedTrashRequest, PrivilegedTrashResult, TransactionKind::trash> {
    static void arrange(StoreSandbox& sandbox, const std::vector<InstalledBundle>& installed) {
        std::filesystem::create_directories(sandbox.layout.trashFolder());
        sandbox.writeProducts({productWith(installed, true, sandbox.layout)});
    }
    static bool showsMoved(const PluginInventoryStore& store) {
        return !findProduct(store.plugins(), "Echo") && store.readyTrashRecoveryCount() == 2;
    }
};

struct TrashRestoreKind
    : KindBase<PrivilegedTrashRestoreRequest, PrivilegedTrashRestoreResult, TransactionKind::trashRestore> {
    using Target = std::vector<Uuid>;
    static constexpr bool checksRevision = false;

    // Open recovery records of Echo's bundles, each in the Trash.
    static void arrange(StoreSandbox& sandbox, const std::vector<InstalledBundle>& installed) {
        auto state = minimalState();
        state.trashedBundles.emplace();
        for (const auto& [format, path] : installed) {
            state.trashedBundles->push_back(trashRecord(sandbox.layout, "Echo", format, path));
            makeBundleOnDisk(state.trashedBundles->back().trashPath, path);
        }
        sandbox.writeState(state);
    }
    static Target target(const PluginInventoryStore& store) {
        Target ids;
        for (const auto& record : store.trashedBundles()) {
            ids.push_back(record.id);
        }
        return ids;
    }
    static Target unknownTarget() { return {Uuid::random()}; }
    static void forgetRecords(PersistedInventory& state) { state.trashedBundles->clear(); }

    static std::optional<Request> prepare(PluginInventoryStore& store, const Target& target) {
        return recordOf<Request>(store.prepareTrashRestore(target));
    }
    static std::optional<std::string> blockingReason(const PluginInventoryStore& store, const Target& target) {
        return store.trashRestoreBlockingReason(target);
    }
    static bool showsMoved(const PluginInventoryStore& store) {
        return !store.trashedBundles().empty() &&
               std::all_of(store.trashedBundles().begin(), store.trashedBundles().end(),
                           [](const auto& record) { return record.reconciledDate.has_value(); });
    }
};

using TransactionKindAdapters = ::testing::Types<QuarantineKind, RestoreKind, TrashKind, TrashRestoreKind>;

// Names each typed case by its kind.
struct KindName {
    template <typename Kind>
    static std::string GetName(int) {
        // "pendingPrivilegedTrashRestore" → "TrashRestore"
        return std::string(describe(Kind::kind).journalKey.substr(std::string_view("pendingPrivileged").size()));
    }
};

// What the helper answers when every item moved.
template <typename Kind>
typename Kind::Result movedResult(const typename Kind::Request& request) {
    typename Kind::Result result;
    result.transactionID = request.transactionID;
    result.succeeded = true;
    for (const auto& item : request.items) {
        destinationPaths(result).push_back(item.destinationPath);
    }
    result.message = "Moved.";
    return result;
}

}  // namespace kestrova::testing
