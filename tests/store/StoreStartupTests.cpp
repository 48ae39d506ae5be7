#include "StoreSandbox.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

namespace kestrova {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::sampleBundle;
using testing::sampleProduct;
using testing::showsNotice;
using ::testing::StartsWith;
using testing::StoreSandbox;

constexpr std::string_view uuidName = "0E4C6D2A-1B3F-4A5E-8C7D-9F0A1B2C3D4E";
constexpr std::string_view otherUuidName = "5b1d7a7e-32c6-4b1b-9e0c-8c8c2d1f0a11";

PersistedInventory documentWithOneProduct() {
    auto state = testing::minimalState();
    auto product = sampleProduct("Acme", "Reverb", {"VST3"});
    product.bundles = std::vector{sampleBundle("VST3", "/Library/Audio/Plug-Ins/VST3/Reverb.vst3")};
    state.plugins = {product};
    state.protectedKeys = {"acme|reverb"};
    return state;
}

TEST(StoreStartup, WithoutAStateFileShowsTheSampleInventoryAndWritesNothing) {
    StoreSandbox sandbox;
    auto store = sandbox.open();
    EXPECT_EQ(store->plugins().size(), 8u);
    EXPECT_FALSE(store->notice() || store->fileActionsBlockedByStorage() || store->lastScanDate());
    EXPECT_THAT(sandbox.disk.attemptedWrites(), IsEmpty());

    auto second = sandbox.open();
    EXPECT_NE(store->inventoryRevision(), second->inventoryRevision());

    // Every save renews the token, even when nothing changed in between.
    const auto before = store->inventoryRevision();
    store->save();
    const auto afterFirst = store->inventoryRevision();
    store->save();
    EXPECT_NE(before, afterFirst);
    EXPECT_NE(afterFirst, store->inventoryRevision());
    EXPECT_EQ(sandbox.savedState().plugins, store->plugins());
}

// The refusals and their texts under a newer file: the command line's
// recording (a schema 4 file refused for each kind); here that
// nothing, gated or not, ever writes over it.
TEST(StoreStartup, ANewerOrDamagedFileBlocksEveryGatedOperationAndStaysByteForByte) {
    StoreSandbox sandbox;
    auto newer = documentWithOneProduct();
    newer.schemaVersion = currentInventorySchemaVersion + 1;
    sandbox.writeState(newer);
    const auto text = sandbox.stateText();

    auto store = sandbox.open();
    EXPECT_TRUE(store->fileActionsBlockedByStorage());
    EXPECT_THAT(store->plugins(), IsEmpty());
    store->startScan({sandbox.layout.systemRoot});
    EXPECT_FALSE(store->isScanning());
    auto product = newer.plugins.front();
    EXPECT_FALSE(store->setBundleProtection({product.id, product.bundles->front().id()}, true));
    store->setProtection(product, true);
    store->setPermanentQuarantine("Acme", true);
    EXPECT_THAT(store->permanentQuarantineRules(), IsEmpty());
    store->reconcileTrashRecords();
    store->save();
    EXPECT_EQ(sandbox.stateText(), text);

    // A damaged file blocks the same way and is never written over either.
    std::ofstream(sandbox.statePath()) << "{ not json";
    store = sandbox.open();
    EXPECT_TRUE(store->fileActionsBlockedByStorage());
    EXPECT_EQ(store->notice()->title, "Inventory Upgrade Blocked");
    store->save();
    EXPECT_EQ(sandbox.stateText(), "{ not json");
}

TEST(StoreStartup, RemovesOnlyEmptyUuidNamedFoldersFromTheThreeQuarantineFolders) {
    StoreSandbox sandbox;
    const auto folder = [](const std::string& path) { std::filesystem::create_directories(path); };
    const auto file = [&](const std::string& path) {
        folder(deletingLastPathComponent(path));
        std::ofstream(path) << "x";
    };
    const auto exists = [](const std::string& path) { return testing::existsAt(path); };
    const auto root = sandbox.system("/Library/Application Support/Kestrova/Quarantine");
    const auto user = sandbox.layout.applicationSupport() + "/Kestrova/Quarantine";
    const auto legacy = sandbox.layout.applicationSupport() + "/Halvern/Quarantine";
    folder(root + "/" + std::string(uuidName));
    folder(root + "/notes");
    file(root + "/" + std::string(otherUuidName) + "/Reverb.vst3/Contents/Info.plist");
    file(root + "/1C0A6C39-5D0E-4B43-9B6D-2E1A5F6C7D80/.DS_Store");
    file(root + "/7D3C1E22-0B4A-4F1E-A2D9-3C5B6A7E8F90");
    folder(user + "/" + std::string(uuidName));
    folder(legacy + "/" + std::string(otherUuidName));
    std::filesystem::create_symlink(sandbox.directory.makeDirectory("target-of-link"),
                                    root + "/9A8B7C6D-5E4F-4A3B-8C2D-1E0F9A8B7C6D");

    auto store = sandbox.open();
    EXPECT_FALSE(exists(root + "/" + std::string(uuidName)));
    EXPECT_TRUE(exists(root + "/notes"));
    EXPECT_TRUE(exists(root + "/" + std::string(otherUuidName) + "/Reverb.vst3"));
    EXPECT_TRUE(exists(root + "/1C0A6C39-5D0E-4B43-9B6D-2E1A5F6C7D80/.DS_Store"));
    EXPECT_TRUE(exists(root + "/7D3C1E22-0B4A-4F1E-A2D9-3C5B6A7E8F90"));
    EXPECT_TRUE(exists(root + "/9A8B7C6D-5E4F-4A3B-8C2D-1E0F9A8B7C6D"));
    EXPECT_FALSE(exists(user + "/" + std::string(uuidName)));
    EXPECT_FALSE(exists(legacy + "/" + std::string(otherUuidName)));
    EXPECT_TRUE(exists(user));
}

TEST(StoreStartup, AFailedSaveKeepsTheChangeAndTheNextSaveClearsTheError) {
    StoreSandbox sandbox;
    sandbox.writeState(documentWithOneProduct());
    auto store = sandbox.open();
    const auto text = sandbox.stateText();

    sandbox.disk.failWritesUnder(sandbox.layout.applicationSupport() + "/Kestrova");
    store->setProtection(store->plugins().front(), false);
    EXPECT_FALSE(store->plugins().front().isProtected);
    ASSERT_TRUE(store->lastStorageError());
    ASSERT_TRUE(store->notice());
    EXPECT_EQ(store->notice()->title, "Local State Not Saved");
    EXPECT_THAT(store->notice()->message, StartsWith("Kestrova could not save its inventory record: "));
    EXPECT_THAT(store->notice()->message, HasSubstr(*store->lastStorageError()));
    EXPECT_EQ(sandbox.stateText(), text);

    sandbox.disk.clearFaults();
    store->dismissNotice();
    store->save();
    EXPECT_FALSE(store->lastStorageError());
    EXPECT_FALSE(store->notice());
    EXPECT_THAT(sandbox.savedState().protectedKeys, IsEmpty());
}

}  // namespace
}  // namespace kestrova
