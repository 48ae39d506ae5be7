#include "planning/DuplicateGroups.h"

#include "model/PluginLocations.h"
#include "model/RawValueCoding.h"
#include "planning/ActionableBundles.h"
#include "platform/Paths.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace kestrova {
namespace {

constexpr std::array<std::string_view, 2> kindRawValues{"copies", "versions"};
constexpr std::array<std::string_view, 4> dispositionRawValues{"keep", "retire", "protected", "notMovable"};

constexpr std::string_view protectedReason = "This format is protected.";
constexpr std::string_view notMovableReason = "Kestrova does not move bundles from this folder.";

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool isLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

// The next run of digits or of letters at or after `at`, skipping separators.
std::string_view nextRun(std::string_view text, std::size_t& at) {
    while (at < text.size() && !isDigit(text[at]) && !isLetter(text[at])) {
        ++at;
    }
    const auto start = at;
    const bool digits = at < text.size() && isDigit(text[at]);
    while (at < text.size() && (digits ? isDigit(text[at]) : isLetter(text[at]))) {
        ++at;
    }
    return text.substr(start, at - start);
}

int compareNumbers(std::string_view a, std::string_view b) {
    a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
    b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
    if (a.size() != b.size()) {
        return a.size() < b.size() ? -1 : 1;
    }
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

// Formats are short ASCII names compared without case or surrounding
// space, as normalizedFormat keys them, without allocating.
bool isSameFormat(std::string_view a, std::string_view b) {
    const auto trim = [](std::string_view text) {
        const auto start = text.find_first_not_of(" \t\n");
        return start == std::string_view::npos ? std::string_view()
                                               : text.substr(start, text.find_last_not_of(" \t\n") - start + 1);
    };
    a = trim(a);
    b = trim(b);
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

bool hasDigit(std::string_view text) { return std::any_of(text.begin(), text.end(), isDigit); }

struct Candidate {
    const PluginBundleRecord* record;
    std::string version;
    bool inSystemFolder;
    std::optional<std::string> movable;
};

// Newest version first, then the system folder's copy, then path order.
bool ranksBefore(const Candidate& a, const Candidate& b) {
    if (const auto order = compareVersions(a.version, b.version); order != 0) {
        return order > 0;
    }
    if (a.inSystemFolder != b.inSystemFolder) {
        return a.inSystemFolder;
    }
    return a.record->path < b.record->path;
}

bool inAnyFolder(const std::string& path, const std::vector<std::string>& folders) {
    const auto standardized = standardizedPath(path);
    return std::any_of(folders.begin(), folders.end(),
                       [&](const std::string& folder) { return isPathInside(standardized, folder); });
}

DuplicateGroup makeGroup(const Plugin& product, std::vector<Candidate>& candidates) {
    std::sort(candidates.begin(), candidates.end(), ranksBefore);
    DuplicateGroup group{
        product.id, product.name, product.manufacturer, candidates.front().record->format, DuplicateKind::copies, {}};
    group.members.reserve(candidates.size());
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const auto& candidate = candidates[i];
        DuplicateMember member{{product.id, candidate.record->id()},
                               candidate.record->path,
                               candidate.version,
                               candidate.inSystemFolder,
                               DuplicateDisposition::keep,
                               {}};
        if (i > 0) {
            if (compareVersions(candidate.version, candidates.front().version) != 0) {
                group.kind = DuplicateKind::versions;
            }
            if (candidate.record->isProtected) {
                member.disposition = DuplicateDisposition::protectedCopy;
                member.reason = protectedReason;
            } else if (!candidate.movable) {
                member.disposition = DuplicateDisposition::notMovable;
                member.reason = notMovableReason;
            } else {
                member.disposition = DuplicateDisposition::retire;
            }
        }
        group.members.push_back(std::move(member));
    }
    return group;
}

}  // namespace

std::string_view rawValue(DuplicateKind kind) { return rawValueIn(kindRawValues, kind); }
std::string_view rawValue(DuplicateDisposition disposition) { return rawValueIn(dispositionRawValues, disposition); }

int compareVersions(std::string_view a, std::string_view b) {
    const bool aNumbered = hasDigit(a);
    if (aNumbered != hasDigit(b)) {
        return aNumbered ? 1 : -1;
    }
    if (!aNumbered) {
        return 0;
    }
    std::size_t atA = 0;
    std::size_t atB = 0;
    while (atA < a.size() || atB < b.size()) {
        auto runA = nextRun(a, atA);
        auto runB = nextRun(b, atB);
        if (runA.empty() && runB.empty()) {
            break;
        }
        // A missing run reads as zero, so "1.2" equals "1.2.0".
        if (runA.empty()) {
            runA = "0";
        }
        if (runB.empty()) {
            runB = "0";
        }
        const bool numberA = isDigit(runA.front());
        const bool numberB = isDigit(runB.front());
        int order = 0;
        if (numberA && numberB) {
            order = compareNumbers(runA, runB);
        } else if (numberA != numberB) {
            order = numberA ? -1 : 1;
        } else {
            order = runA.compare(runB) < 0 ? -1 : (runA == runB ? 0 : 1);
        }
        if (order != 0) {
            return order;
        }
    }
    return 0;
}

std::vector<DuplicateGroup> findDuplicateGroups(const std::vector<Plugin>& products, const DuplicatePlaces& places) {
    std::vector<DuplicateGroup> groups;
    std::vector<const PluginBundleRecord*> active;
    std::vector<const PluginBundleRecord*> sameFormat;
    for (const auto& product : products) {
        if (!product.bundles || product.bundles->size() < 2) {
            continue;
        }
        active.clear();
        for (const auto& record : *product.bundles) {
            if (!record.isQuarantined()) {
                active.push_back(&record);
            }
        }
        // A product has a handful of bundles, almost always one per format:
        // pairwise comparison finds a repeat without building anything.
        for (std::size_t first = 0; first < active.size(); ++first) {
            if (!active[first]) {
                continue;
            }
            sameFormat.assign(1, active[first]);
            for (std::size_t other = first + 1; other < active.size(); ++other) {
                if (active[other] && isSameFormat(active[first]->format, active[other]->format)) {
                    sameFormat.push_back(active[other]);
                    active[other] = nullptr;
                }
            }
            if (sameFormat.size() < 2 || isShellProduct(product)) {
                continue;
            }
            std::vector<Candidate> candidates;
            std::vector<std::string> seen;
            for (const auto* record : sameFormat) {
                auto movable = places.movableLocation ? places.movableLocation(record->path) : std::nullopt;
                // One bundle reached through two paths is one bundle.
                auto identity = movable ? "=" + *movable : record->id();
                if (std::find(seen.begin(), seen.end(), identity) != seen.end()) {
                    continue;
                }
                seen.push_back(std::move(identity));
                candidates.push_back({record, record->version.value_or(product.version),
                                      inAnyFolder(record->path, places.systemFolders), std::move(movable)});
            }
            if (candidates.size() >= 2) {
                groups.push_back(makeGroup(product, candidates));
            }
        }
    }
    return groups;
}

std::vector<DuplicateGroup> findDuplicateGroups(const std::vector<Plugin>& products, const SystemLayout& layout,
                                                const FileSystem& fileSystem) {
    SafeLocationChecker checker(layout, fileSystem);
    return findDuplicateGroups(products, DuplicatePlaces{standardSystemPluginFolders(layout),
                                                         [&](const std::string& path) { return checker.check(path); }});
}

std::vector<PluginBundleSelection> proposedRetirements(const std::vector<DuplicateGroup>& groups) {
    std::vector<PluginBundleSelection> selections;
    for (const auto& group : groups) {
        for (const auto& member : group.members) {
            if (member.disposition == DuplicateDisposition::retire) {
                selections.push_back(member.selection);
            }
        }
    }
    return selections;
}

std::unordered_set<Uuid> productsWithDuplicates(const std::vector<DuplicateGroup>& groups) {
    std::unordered_set<Uuid> ids;
    for (const auto& group : groups) {
        ids.insert(group.pluginID);
    }
    return ids;
}

Json JsonCoder<DuplicateMember>::encode(const DuplicateMember& member) {
    Json json = Json::object();
    putField(json, "selection", member.selection);
    putField(json, "path", member.path);
    putField(json, "version", member.version);
    putField(json, "inSystemFolder", member.inSystemFolder);
    json["disposition"] = std::string(rawValue(member.disposition));
    if (!member.reason.empty()) {
        putField(json, "reason", member.reason);
    }
    return json;
}

Json JsonCoder<DuplicateGroup>::encode(const DuplicateGroup& group) {
    Json json = Json::object();
    putField(json, "pluginID", group.pluginID);
    putField(json, "pluginName", group.pluginName);
    putField(json, "manufacturer", group.manufacturer);
    putField(json, "format", group.format);
    json["kind"] = std::string(rawValue(group.kind));
    putField(json, "members", group.members);
    return json;
}

}  // namespace kestrova
