// Builds a format cleanup preview across the whole inventory. Nothing moves;
// the disk is read only to confirm that candidate bundles are still there.
#pragma once

#include "model/Plugin.h"
#include "planning/FormatCleanupPlan.h"
#include "platform/FileSystem.h"
#include "platform/SystemLayout.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace kestrova {

// Whether a preset proposes bundles of a normalized format.
bool presetTargetsFormat(FormatCleanupPresetKind preset, const std::set<std::string>& customFormats,
                         const std::string& format);

FormatCleanupPlan buildFormatCleanupPlan(FormatCleanupPresetKind preset, const std::set<std::string>& customFormats,
                                         const std::vector<Plugin>& plugins,
                                         const InventoryRevisionToken& currentRevision,
                                         const std::optional<InventoryRevisionToken>& expectedRevision,
                                         bool hasPendingTransaction, const FileSystem& fileSystem,
                                         const SystemLayout& layout, bool verifyBundlesExist);

}  // namespace kestrova
