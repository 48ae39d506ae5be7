// What an LV2 bundle says of its plug-ins, read as hosts read it: the
// manifest.ttl declares each plug-in, and the files its rdfs:seeAlso names
// inside the same bundle hold the name (doap:name), the maintainer
// (doap:maintainer, else the lv2:project's, with its foaf:name) and the
// version (lv2:minorVersion, lv2:microVersion). Every read is bounded, and
// a reference that leaves the bundle is never followed.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrova {

struct Lv2PluginFacts {
    std::string uri;
    std::optional<std::string> name;
    std::optional<std::string> maker;
    std::optional<std::string> version;  // "minor.micro"
    std::optional<std::string> projectName;

    friend bool operator==(const Lv2PluginFacts&, const Lv2PluginFacts&) = default;
};

struct Lv2BundleFacts {
    // In the manifest's order, each once.
    std::vector<Lv2PluginFacts> plugins;
    // The objects the plug-ins load, relative to the bundle, each once.
    std::vector<std::string> binaries;
    // Whether the manifest was read whole without a Turtle error: only then
    // does a manifest without plug-ins mean a bundle of another kind (the
    // bundles that only describe LV2 extensions, say).
    bool manifestUnderstood = false;

    friend bool operator==(const Lv2BundleFacts&, const Lv2BundleFacts&) = default;
};

// Larger Turtle files are not read; a bundle reads at most
// `lv2FileCountLimit` files and `lv2BundleByteLimit` bytes in all.
inline constexpr std::size_t lv2FileLimit = 4 << 20;
inline constexpr std::size_t lv2FileCountLimit = 512;
inline constexpr std::size_t lv2BundleByteLimit = 64 << 20;

// A file of the bundle by its bundle-relative path ("manifest.ttl",
// "sub/plugin.ttl"); absent when it cannot be read within `limit` bytes.
using Lv2FileReader = std::function<std::optional<std::string>(const std::string& relative, std::size_t limit)>;

// `bundlePath` only names the bundle's IRIs. Never fails: what cannot be
// read or understood is left out.
Lv2BundleFacts readLv2Bundle(const std::string& bundlePath, const Lv2FileReader& readFile);

// A bundle-relative path for an IRI inside the bundle: percent escapes
// decoded, no "..", nothing hidden, no query or fragment. Absent otherwise.
std::optional<std::string> bundleRelativePath(const std::string& bundleIri, const std::string& iri);

// The bundle's own IRI, to which its files' references are relative.
std::string lv2BundleIri(const std::string& bundlePath);

}  // namespace kestrova
