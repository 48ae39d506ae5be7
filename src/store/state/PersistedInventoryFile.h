// Where the state document lives and how it is read and written. The legacy
// document of earlier builds is only ever read; a document that cannot be
// read, decoded or upgraded is never written over.
#pragma once

#include "platform/FileSystem.h"
#include "platform/Result.h"
#include "platform/SystemLayout.h"
#include "store/state/InventoryStateMigration.h"
#include "store/state/PersistedInventory.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kestrova {

// Application Support/Kestrova/inventory-state.json under the home.
std::string inventoryStateURL(const SystemLayout& layout);
// Application Support/Halvern/inventory-state.json under the home; read only.
std::string legacyInventoryStateURL(const SystemLayout& layout);

struct InventoryStateError {
    enum class Kind {
        unreadable,         // the file could not be read
        damaged,            // not JSON, or not a state document
        unsupportedSchema,  // newer than this build
        notWritten,         // the upgraded document could not be written back
    };
    Kind kind = Kind::unreadable;
    std::string description;  // fit to show the user
    std::optional<std::int64_t> unsupportedSchemaVersion;

    friend bool operator==(const InventoryStateError&, const InventoryStateError&) = default;
};

// Reads, decodes and upgrades one document without writing anything.
Result<InventoryStateMigration::Result, InventoryStateError> readPersistedInventory(const std::string& file,
                                                                                    const FileSystem& fileSystem);

// The state at start-up: the state file, else the legacy file (copied to the
// state file, left in place), else nothing (first launch). An upgraded
// document is written back before it is returned; on any error nothing is
// written.
Result<std::optional<InventoryStateMigration::Result>, InventoryStateError> loadPersistedInventory(
    const SystemLayout& layout, FileSystem& fileSystem = realFileSystem());

// Creates the state folder if needed and replaces the state file atomically.
Status writePersistedInventory(const PersistedInventory& state, const SystemLayout& layout,
                               FileSystem& fileSystem = realFileSystem());

}  // namespace kestrova
