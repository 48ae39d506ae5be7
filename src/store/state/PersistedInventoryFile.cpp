#include "store/state/PersistedInventoryFile.h"

#include "platform/Paths.h"

#include <fmt/format.h>

namespace kestrova {
namespace {

constexpr std::string_view stateFileName = "inventory-state.json";

InventoryStateError unsupported(std::int64_t version) {
    return {InventoryStateError::Kind::unsupportedSchema,
            InventoryStateMigration::MigrationError::unsupportedSchema(version).description(), version};
}

}  // namespace

std::string inventoryStateURL(const SystemLayout& layout) {
    return appendingPathComponent(appendingPathComponent(layout.applicationSupport(), "Kestrova"), stateFileName);
}

std::string legacyInventoryStateURL(const SystemLayout& layout) {
    return appendingPathComponent(appendingPathComponent(layout.applicationSupport(), "Halvern"), stateFileName);
}

Result<InventoryStateMigration::Result, InventoryStateError> readPersistedInventory(const std::string& file,
                                                                                    const FileSystem& fileSystem) {
    const auto contents = fileSystem.mapFile(file);
    if (!contents) {
        return InventoryStateError{InventoryStateError::Kind::unreadable, contents.error().message, std::nullopt};
    }
    auto decoded = decodePersistedInventory(*contents);
    if (!decoded) {
        // A newer build may have changed the records as well as the version:
        // say that it is newer, not that it is damaged.
        if (const auto version = decoded.error().schemaVersion; version && *version > currentInventorySchemaVersion) {
            return unsupported(*version);
        }
        return InventoryStateError{
            InventoryStateError::Kind::damaged,
            fmt::format("The inventory state “{}” could not be read: {}", file, decoded.error().message), std::nullopt};
    }
    auto migrated = InventoryStateMigration::migrate(std::move(*decoded));
    if (!migrated) {
        return unsupported(migrated.error().unsupportedSchemaVersion);
    }
    return std::move(*migrated);
}

Result<std::optional<InventoryStateMigration::Result>, InventoryStateError> loadPersistedInventory(
    const SystemLayout& layout, FileSystem& fileSystem) {
    const auto stateFile = inventoryStateURL(layout);
    const auto legacyFile = legacyInventoryStateURL(layout);
    // Anything at the path counts, even a dangling link: it is reported, not
    // taken for a first launch and later written over.
    const bool hasStateFile = fileSystem.existsWithoutFollowing(stateFile);
    if (!hasStateFile && !fileSystem.existsWithoutFollowing(legacyFile)) {
        return std::optional<InventoryStateMigration::Result>{};
    }
    auto loaded = readPersistedInventory(hasStateFile ? stateFile : legacyFile, fileSystem);
    if (!loaded) {
        return loaded.error();
    }
    if (!hasStateFile || loaded->didMigrate) {
        if (auto written = writePersistedInventory(loaded->state, layout, fileSystem); !written) {
            return InventoryStateError{InventoryStateError::Kind::notWritten, written.error().message, std::nullopt};
        }
    }
    return std::optional<InventoryStateMigration::Result>(std::move(*loaded));
}

Status writePersistedInventory(const PersistedInventory& state, const SystemLayout& layout, FileSystem& fileSystem) {
    const auto file = inventoryStateURL(layout);
    if (auto made = fileSystem.createDirectories(deletingLastPathComponent(file)); !made) {
        return made;
    }
    return fileSystem.writeFileAtomically(
        file, FileSystem::ContentProducer([&state](const auto& write) { encodePersistedInventory(state, write); }));
}

}  // namespace kestrova
