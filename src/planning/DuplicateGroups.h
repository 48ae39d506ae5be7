// Plug-ins installed more than once: one format of one product in several
// bundles, which hosts resolve by their own search order and often to the
// wrong copy. Each group carries a proposal: keep the newest copy, retire
// the others that Kestrova may move.
#pragma once

#include "model/JsonCoding.h"
#include "model/Plugin.h"
#include "model/PluginBundleSelection.h"
#include "platform/FileSystem.h"
#include "platform/SystemLayout.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace kestrova {

// copies: the same version in several places; versions: older and newer
// copies side by side.
enum class DuplicateKind { copies, versions };
std::string_view rawValue(DuplicateKind kind);

// keep and retire make the proposal; the other two are shown and left alone.
enum class DuplicateDisposition { keep, retire, protectedCopy, notMovable };
std::string_view rawValue(DuplicateDisposition disposition);

struct DuplicateMember {
    PluginBundleSelection selection;
    std::string path;
    std::string version;
    bool inSystemFolder = false;
    DuplicateDisposition disposition = DuplicateDisposition::keep;
    // Why a copy that is not kept stays where it is; empty otherwise.
    std::string reason;

    friend bool operator==(const DuplicateMember&, const DuplicateMember&) = default;
};

struct DuplicateGroup {
    Uuid pluginID;
    std::string pluginName;
    std::string manufacturer;
    std::string format;
    DuplicateKind kind = DuplicateKind::copies;
    // Best first: newest version, then the system folder's copy, then path.
    std::vector<DuplicateMember> members;

    friend bool operator==(const DuplicateGroup&, const DuplicateGroup&) = default;
};

// Versions compared as numbers, run by run: "3.10.0" after "3.9.2", "1.2"
// equal to "1.2.0", a text run after a number run. A version without any
// digit ("Unavailable") comes before every numbered one. Negative, zero or
// positive like strcmp.
int compareVersions(std::string_view a, std::string_view b);

// Where a bundle lies, as the rule needs it: the profile's system plug-in
// folders, and the location check that says whether Kestrova may move a
// bundle (its resolved path) or not (nothing).
struct DuplicatePlaces {
    std::vector<std::string> systemFolders;
    std::function<std::optional<std::string>(const std::string& path)> movableLocation;
};

// The groups of the products' installed bundles, product by product in the
// order given, formats in bundle order. Shared shells and the products they
// host are never grouped; a bundle recorded twice, or reached twice through
// a linked folder, counts once.
std::vector<DuplicateGroup> findDuplicateGroups(const std::vector<Plugin>& products, const DuplicatePlaces& places);
// The same with the layout's system folders and the safe location check.
std::vector<DuplicateGroup> findDuplicateGroups(const std::vector<Plugin>& products, const SystemLayout& layout,
                                                const FileSystem& fileSystem);

// The bundles the proposal retires, group by group.
std::vector<PluginBundleSelection> proposedRetirements(const std::vector<DuplicateGroup>& groups);
// The products with at least one group, for filters and badges.
std::unordered_set<Uuid> productsWithDuplicates(const std::vector<DuplicateGroup>& groups);

template <>
struct JsonCoder<DuplicateMember> {
    static Json encode(const DuplicateMember& member);
};

template <>
struct JsonCoder<DuplicateGroup> {
    static Json encode(const DuplicateGroup& group);
};

}  // namespace kestrova
