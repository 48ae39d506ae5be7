// Checks a selection of format bundles against the inventory and, for file
// actions, against the disk, and turns it into a plan. Screens build plans to
// decide whether an action is possible; the store builds one again right
// before it carries the action out.
#pragma once

#include "model/Plugin.h"
#include "planning/BundleActionPlan.h"
#include "platform/FileSystem.h"
#include "platform/SystemLayout.h"

#include <optional>
#include <string>
#include <vector>

namespace kestrova {

// Where a plan looks at the disk. With `verifyOnDisk` false, existence and
// the Trash folder are not checked; link tests and Trash naming still read
// the disk.
struct PlanDiskContext {
    PlanDiskContext(const FileSystem& fileSystem_, SystemLayout layout_,
                    std::optional<std::string> trashFolder_ = std::nullopt, bool verifyOnDisk_ = true)
        : fileSystem(fileSystem_),
          layout(std::move(layout_)),
          trashFolder(std::move(trashFolder_)),
          verifyOnDisk(verifyOnDisk_) {}

    const FileSystem& fileSystem;
    SystemLayout layout;
    // The current user's Trash folder when absent.
    std::optional<std::string> trashFolder;
    bool verifyOnDisk = true;
};

BundleActionPlan planBundleAction(BundleActionKind kind, const std::vector<PluginBundleSelection>& selections,
                                  const std::vector<Plugin>& plugins, const InventoryRevisionToken& currentRevision,
                                  const std::optional<InventoryRevisionToken>& expectedRevision,
                                  const std::optional<Uuid>& presetRunID, bool hasPendingTransaction,
                                  const PlanDiskContext& disk);

// The sentence explaining why a plan cannot run, or nothing when it can.
std::optional<std::string> planBlockingReason(const BundleActionPlan& plan);

}  // namespace kestrova
