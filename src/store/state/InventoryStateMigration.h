// The one-step upgrade of older state documents (the "Build 39" inventories)
// to the current schema. Pure: no I/O.
#pragma once

#include "platform/Result.h"
#include "store/state/PersistedInventory.h"

#include <cstdint>
#include <set>
#include <string>

namespace kestrova::InventoryStateMigration {

struct Result {
    PersistedInventory state;
    bool didMigrate = false;  // state differs from the input because it was upgraded

    friend bool operator==(const Result&, const Result&) = default;
};

// One case: unsupportedSchema(version), a document newer than this build.
struct MigrationError {
    std::int64_t unsupportedSchemaVersion = 0;

    static MigrationError unsupportedSchema(std::int64_t version) { return MigrationError{version}; }
    std::string description() const;

    friend bool operator==(const MigrationError&, const MigrationError&) = default;
};

// Current documents come back unchanged; older ones (no version, or any
// version below the current one) are upgraded product by product.
kestrova::Result<Result, MigrationError> migrate(PersistedInventory state);

// The one bundle that the product-level fields of a record from before
// per-bundle records describe (its single format, paths and quarantine
// fields), with the given protection and no preset run.
PluginBundleRecord bundleFromProductFields(const Plugin& plugin, bool isProtected);

// The upgrade of one product record; `protectedKeys` are the document's.
Plugin upgradedPlugin(Plugin plugin, const std::set<std::string>& protectedKeys);

}  // namespace kestrova::InventoryStateMigration
