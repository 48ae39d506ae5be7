#include "model/Plugin.h"

#include "platform/Paths.h"
#include "platform/Text.h"

namespace kestrova {
namespace {

struct FormatExtension {
    std::string_view format;
    std::string_view extension;
};

constexpr std::array<FormatExtension, 5> formatExtensions{{
    {formats::au, "component"},
    {formats::vst2, "vst"},
    {formats::vst3, "vst3"},
    {formats::aax, "aaxplugin"},
    {formats::clap, "clap"},
}};

constexpr std::array<std::string_view, 8> statusRawValues{
    "OK",
    "Legacy",
    "Protected",
    "Partially Protected",
    "Ready to Restore",
    "Partially Quarantined",
    "Shared Shell",
    "Hosted by WaveShell",
};

}  // namespace

std::string_view bundleExtension(std::string_view format) {
    for (const auto& entry : formatExtensions) {
        if (entry.format == format) {
            return entry.extension;
        }
    }
    return {};
}

std::optional<std::string_view> formatForExtension(std::string_view extension) {
    const auto lower = lowercased(extension);
    for (const auto& entry : formatExtensions) {
        if (entry.extension == lower) {
            return entry.format;
        }
    }
    return std::nullopt;
}

std::string_view rawValue(PluginStatus status) { return statusRawValues.at(static_cast<std::size_t>(status)); }

std::optional<PluginStatus> pluginStatusFromRawValue(std::string_view raw) {
    for (std::size_t i = 0; i < statusRawValues.size(); ++i) {
        if (statusRawValues[i] == raw) {
            return static_cast<PluginStatus>(i);
        }
    }
    return std::nullopt;
}

std::string bundleKey(std::string_view format, std::string_view path) {
    return unicodeUppercased(trimmedWhitespace(format)) + "|" + unicodeLowercased(standardizedPath(path));
}

std::string PluginBundleRecord::id() const { return bundleKey(format, originalPath ? *originalPath : path); }

std::string productKey(const Plugin& plugin) { return unicodeLowercased(plugin.manufacturer + "|" + plugin.name); }

PluginStatus JsonCoder<PluginStatus>::decode(const Json& json, const std::string& key) {
    const auto raw = JsonCoder<std::string>::decode(json, key);
    const auto status = pluginStatusFromRawValue(raw);
    if (!status) {
        throw DecodingError("“" + raw + "” is not a plugin status.");
    }
    return *status;
}

Json JsonCoder<PluginBundleRecord>::encode(const PluginBundleRecord& bundle) {
    Json json = Json::object();
    putField(json, "format", bundle.format);
    putField(json, "architecture", bundle.architecture);
    putField(json, "size", bundle.size);
    putField(json, "path", bundle.path);
    putField(json, "originalPath", bundle.originalPath);
    putField(json, "quarantinePath", bundle.quarantinePath);
    putField(json, "quarantineOperationID", bundle.quarantineOperationID);
    putField(json, "presetRunID", bundle.presetRunID);
    putField(json, "isProtected", bundle.isProtected);
    putField(json, "pluginNames", bundle.pluginNames);
    putField(json, "version", bundle.version);
    return json;
}

PluginBundleRecord JsonCoder<PluginBundleRecord>::decode(const Json& json, const std::string&) {
    requireObject(json, "bundle record");
    PluginBundleRecord bundle;
    bundle.format = requiredField<std::string>(json, "format");
    bundle.architecture = requiredField<std::string>(json, "architecture");
    bundle.size = requiredField<std::string>(json, "size");
    bundle.path = requiredField<std::string>(json, "path");
    bundle.originalPath = optionalField<std::string>(json, "originalPath");
    bundle.quarantinePath = optionalField<std::string>(json, "quarantinePath");
    bundle.quarantineOperationID = optionalField<std::string>(json, "quarantineOperationID");
    bundle.presetRunID = optionalField<Uuid>(json, "presetRunID");
    bundle.isProtected = optionalField<bool>(json, "isProtected").value_or(false);
    bundle.pluginNames = optionalField<std::vector<std::string>>(json, "pluginNames");
    bundle.version = optionalField<std::string>(json, "version");
    return bundle;
}

Json JsonCoder<Plugin>::encode(const Plugin& plugin) {
    Json json = Json::object();
    putField(json, "id", plugin.id);
    putField(json, "name", plugin.name);
    putField(json, "manufacturer", plugin.manufacturer);
    putField(json, "version", plugin.version);
    putField(json, "formats", plugin.formats);
    putField(json, "architecture", plugin.architecture);
    putField(json, "size", plugin.size);
    putField(json, "path", plugin.path);
    putField(json, "status", plugin.status);
    putField(json, "isProtected", plugin.isProtected);
    putField(json, "originalPath", plugin.originalPath);
    putField(json, "quarantinePath", plugin.quarantinePath);
    putField(json, "quarantineOperationID", plugin.quarantineOperationID);
    putField(json, "bundles", plugin.bundles);
    return json;
}

Plugin JsonCoder<Plugin>::decode(const Json& json, const std::string&) {
    requireObject(json, "product record");
    Plugin plugin;
    plugin.id = requiredField<Uuid>(json, "id");
    plugin.name = requiredField<std::string>(json, "name");
    plugin.manufacturer = requiredField<std::string>(json, "manufacturer");
    plugin.version = requiredField<std::string>(json, "version");
    plugin.formats = requiredField<std::vector<std::string>>(json, "formats");
    plugin.architecture = requiredField<std::string>(json, "architecture");
    plugin.size = requiredField<std::string>(json, "size");
    plugin.path = requiredField<std::string>(json, "path");
    plugin.status = requiredField<PluginStatus>(json, "status");
    plugin.isProtected = requiredField<bool>(json, "isProtected");
    plugin.originalPath = optionalField<std::string>(json, "originalPath");
    plugin.quarantinePath = optionalField<std::string>(json, "quarantinePath");
    plugin.quarantineOperationID = optionalField<std::string>(json, "quarantineOperationID");
    plugin.bundles = optionalField<std::vector<PluginBundleRecord>>(json, "bundles");
    return plugin;
}

}  // namespace kestrova
