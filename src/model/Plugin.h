// A plug-in product, its format bundles and its status: the records every
// other subsystem works on, with their JSON encoding.
#pragma once

#include "model/JsonCoding.h"
#include "platform/Uuid.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

// The plug-in formats, as named to the user and stored. LV2 exists only on
// Linux and has no macOS bundle extension.
namespace formats {
inline constexpr std::string_view au = "AU";
inline constexpr std::string_view vst2 = "VST2";
inline constexpr std::string_view vst3 = "VST3";
inline constexpr std::string_view aax = "AAX";
inline constexpr std::string_view clap = "CLAP";
inline constexpr std::string_view lv2 = "LV2";
inline constexpr std::array<std::string_view, 6> all{au, vst2, vst3, aax, clap, lv2};
}  // namespace formats

// The bundle extension of a format name ("AU" → "component"); empty for an unknown name.
std::string_view bundleExtension(std::string_view format);
// The format name of a bundle extension, case-insensitively ("VST3" for "vst3").
std::optional<std::string_view> formatForExtension(std::string_view extension);

enum class PluginStatus {
    ok,
    legacy,
    protected_,
    partiallyProtected,
    quarantined,
    partiallyQuarantined,
    sharedShell,
    hostedByShell,
};

// The stored raw value, which is also the display text ("Ready to Restore").
std::string_view rawValue(PluginStatus status);
std::optional<PluginStatus> pluginStatusFromRawValue(std::string_view raw);

struct PluginBundleRecord {
    std::string format;
    std::string architecture;
    std::string size;
    std::string path;
    std::optional<std::string> originalPath;
    std::optional<std::string> quarantinePath;
    std::optional<std::string> quarantineOperationID;
    std::optional<Uuid> presetRunID;
    bool isProtected = false;
    // The names of the plug-ins inside a bundle that holds several, or of
    // the plug-ins that load a shared component; absent otherwise.
    std::optional<std::vector<std::string>> pluginNames;
    // The bundle's own version where it differs from the product's, which
    // is its representative bundle's: two copies of one product may differ.
    std::optional<std::string> version;

    // The bundle key: trimmed upper-cased format, "|", the lower-cased
    // standardized original path (else the active path).
    std::string id() const;
    bool isQuarantined() const { return quarantinePath.has_value() && quarantineOperationID.has_value(); }

    friend bool operator==(const PluginBundleRecord&, const PluginBundleRecord&) = default;
};

struct Plugin {
    Uuid id;
    std::string name;
    std::string manufacturer;
    std::string version;
    std::vector<std::string> formats;
    std::string architecture;
    std::string size;
    std::string path;
    PluginStatus status = PluginStatus::ok;
    bool isProtected = false;
    std::optional<std::string> originalPath;
    std::optional<std::string> quarantinePath;
    std::optional<std::string> quarantineOperationID;
    std::optional<std::vector<PluginBundleRecord>> bundles;

    friend bool operator==(const Plugin&, const Plugin&) = default;
};

// The bundle key of a format and a path, as PluginBundleRecord::id builds it.
std::string bundleKey(std::string_view format, std::string_view path);
// manufacturer + "|" + name, lower-cased.
std::string productKey(const Plugin& plugin);

template <>
struct JsonCoder<PluginStatus> {
    static Json encode(PluginStatus status) { return std::string(rawValue(status)); }
    static PluginStatus decode(const Json& json, const std::string& key);
};

template <>
struct JsonCoder<PluginBundleRecord> {
    static Json encode(const PluginBundleRecord& bundle);
    static PluginBundleRecord decode(const Json& json, const std::string& key);
};

template <>
struct JsonCoder<Plugin> {
    static Json encode(const Plugin& plugin);
    static Plugin decode(const Json& json, const std::string& key);
};

}  // namespace kestrova
