#include "scan/Lv2Bundle.h"

#include "platform/EscapedText.h"
#include "platform/Text.h"
#include "scan/TurtleReader.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace kestrova {
namespace {

enum class Property { type, binary, seeAlso, name, maintainer, personName, project, minorVersion, microVersion };

struct PropertyIri {
    std::string_view iri;
    Property property;
};

constexpr std::array<PropertyIri, 9> properties{{
    {"http://www.w3.org/1999/02/22-rdf-syntax-ns#type", Property::type},
    {"http://lv2plug.in/ns/lv2core#binary", Property::binary},
    {"http://www.w3.org/2000/01/rdf-schema#seeAlso", Property::seeAlso},
    {"http://usefulinc.com/ns/doap#name", Property::name},
    {"http://usefulinc.com/ns/doap#maintainer", Property::maintainer},
    {"http://xmlns.com/foaf/0.1/name", Property::personName},
    {"http://lv2plug.in/ns/lv2core#project", Property::project},
    {"http://lv2plug.in/ns/lv2core#minorVersion", Property::minorVersion},
    {"http://lv2plug.in/ns/lv2core#microVersion", Property::microVersion},
}};

constexpr std::string_view lv2Plugin = "http://lv2plug.in/ns/lv2core#Plugin";

std::optional<Property> propertyOf(std::string_view iri) {
    for (const auto& entry : properties) {
        if (entry.iri == iri) {
            return entry.property;
        }
    }
    return std::nullopt;
}

// The statements of one bundle that matter here, by subject.
class Graph {
public:
    void add(const TurtleTerm& subject, std::string_view predicate, TurtleTerm object) {
        const auto property = propertyOf(predicate);
        if (!property || (*property == Property::type && object.value != lv2Plugin)) {
            return;
        }
        if (*property == Property::type && subject.kind == TurtleTerm::Kind::iri &&
            std::find(pluginOrder_.begin(), pluginOrder_.end(), subject.value) == pluginOrder_.end()) {
            pluginOrder_.push_back(subject.value);
        }
        statements_[subject.value].emplace_back(*property, std::move(object));
    }

    const std::vector<std::string>& plugins() const { return pluginOrder_; }

    std::vector<const TurtleTerm*> objects(const std::string& subject, Property property) const {
        std::vector<const TurtleTerm*> found;
        const auto entry = statements_.find(subject);
        if (entry == statements_.end()) {
            return found;
        }
        for (const auto& [kind, object] : entry->second) {
            if (kind == property) {
                found.push_back(&object);
            }
        }
        return found;
    }

    // A text a person reads: a literal without a language tag first, then
    // an English one, then any.
    std::optional<std::string> text(const std::string& subject, Property property) const {
        const TurtleTerm* english = nullptr;
        const TurtleTerm* other = nullptr;
        for (const auto* object : objects(subject, property)) {
            if (object->kind != TurtleTerm::Kind::literal || trimmedWhitespace(object->value).empty()) {
                continue;
            }
            if (object->language.empty()) {
                return trimmedWhitespace(object->value);
            }
            if (!english && (object->language == "en" || object->language.starts_with("en-"))) {
                english = object;
            }
            if (!other) {
                other = object;
            }
        }
        const auto* chosen = english ? english : other;
        return chosen ? std::optional<std::string>(trimmedWhitespace(chosen->value)) : std::nullopt;
    }

    std::optional<unsigned long> number(const std::string& subject, Property property) const {
        for (const auto* object : objects(subject, property)) {
            std::string_view digits = object->value;
            if (object->kind != TurtleTerm::Kind::literal) {
                continue;
            }
            if (digits.starts_with('+')) {
                digits.remove_prefix(1);
            }
            if (digits.empty() || digits.size() > 9 ||
                !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
                continue;
            }
            return std::stoul(std::string(digits));
        }
        return std::nullopt;
    }

    // The foaf:name of the first maintainer of `subject` that has one.
    std::optional<std::string> maintainerName(const std::string& subject) const {
        for (const auto* maintainer : objects(subject, Property::maintainer)) {
            if (maintainer->kind != TurtleTerm::Kind::literal) {
                if (auto name = text(maintainer->value, Property::personName)) {
                    return name;
                }
            }
        }
        return std::nullopt;
    }

private:
    std::unordered_map<std::string, std::vector<std::pair<Property, TurtleTerm>>> statements_;
    std::vector<std::string> pluginOrder_;
};

}  // namespace

std::string lv2BundleIri(const std::string& bundlePath) {
    std::string iri = "file://" + percentEncodedPath(bundlePath);
    if (!iri.ends_with('/')) {
        iri.push_back('/');
    }
    return iri;
}

std::optional<std::string> bundleRelativePath(const std::string& bundleIri, const std::string& iri) {
    if (!iri.starts_with(bundleIri) || iri.size() == bundleIri.size()) {
        return std::nullopt;
    }
    const std::string_view encoded = std::string_view(iri).substr(bundleIri.size());
    if (encoded.find_first_of("?#\\") != std::string_view::npos) {
        return std::nullopt;
    }
    std::string path;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (encoded[i] != '%') {
            path.push_back(encoded[i]);
            continue;
        }
        if (i + 2 >= encoded.size() || hexDigitValue(encoded[i + 1]) < 0 || hexDigitValue(encoded[i + 2]) < 0) {
            return std::nullopt;
        }
        const char decoded = static_cast<char>(hexDigitValue(encoded[i + 1]) * 16 + hexDigitValue(encoded[i + 2]));
        if (decoded == '/' || decoded == '\0') {
            return std::nullopt;
        }
        path.push_back(decoded);
        i += 2;
    }
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        const auto part = std::string_view(path).substr(start, end - start);
        if (part.empty() || part.front() == '.') {
            return std::nullopt;
        }
        start = end + 1;
    }
    return path;
}

Lv2BundleFacts readLv2Bundle(const std::string& bundlePath, const Lv2FileReader& readFile) {
    const auto bundleIri = lv2BundleIri(bundlePath);
    Graph graph;
    const TurtlePredicateFilter wanted = [](std::string_view predicate) { return propertyOf(predicate).has_value(); };
    const TurtleStatementSink sink = [&](const TurtleTerm& subject, std::string_view predicate, TurtleTerm object) {
        graph.add(subject, predicate, std::move(object));
    };
    std::size_t filesRead = 0;
    std::size_t bytesRead = 0;
    const auto readDocument = [&](const std::string& relative) {
        if (filesRead >= lv2FileCountLimit || bytesRead >= lv2BundleByteLimit) {
            return false;
        }
        const auto text = readFile(relative, std::min(lv2FileLimit, lv2BundleByteLimit - bytesRead));
        ++filesRead;
        if (!text) {
            return false;
        }
        bytesRead += text->size();
        return readTurtle(*text, bundleIri + relative, "_:" + std::to_string(filesRead) + "_", wanted, sink);
    };

    const bool manifestUnderstood = readDocument("manifest.ttl");
    // Only the plug-ins' own data files, as a host loads them; presets and
    // user interfaces declared beside them are not.
    const auto plugins = graph.plugins();
    std::vector<std::string> documents{"manifest.ttl"};
    for (const auto& plugin : plugins) {
        for (const auto* seeAlso : graph.objects(plugin, Property::seeAlso)) {
            if (seeAlso->kind != TurtleTerm::Kind::iri) {
                continue;
            }
            const auto relative = bundleRelativePath(bundleIri, seeAlso->value);
            if (relative && std::find(documents.begin(), documents.end(), *relative) == documents.end()) {
                documents.push_back(*relative);
                readDocument(*relative);
            }
        }
    }

    Lv2BundleFacts facts;
    facts.manifestUnderstood = manifestUnderstood;
    for (const auto& plugin : plugins) {
        Lv2PluginFacts entry;
        entry.uri = plugin;
        entry.name = graph.text(plugin, Property::name);
        entry.maker = graph.maintainerName(plugin);
        for (const auto* project : graph.objects(plugin, Property::project)) {
            if (project->kind == TurtleTerm::Kind::literal) {
                continue;
            }
            if (!entry.maker) {
                entry.maker = graph.maintainerName(project->value);
            }
            if (!entry.projectName) {
                entry.projectName = graph.text(project->value, Property::name);
            }
        }
        const auto minor = graph.number(plugin, Property::minorVersion);
        const auto micro = graph.number(plugin, Property::microVersion);
        if (minor || micro) {
            entry.version = std::to_string(minor.value_or(0)) + "." + std::to_string(micro.value_or(0));
        }
        for (const auto* binary : graph.objects(plugin, Property::binary)) {
            if (binary->kind != TurtleTerm::Kind::iri) {
                continue;
            }
            const auto relative = bundleRelativePath(bundleIri, binary->value);
            if (relative &&
                std::find(facts.binaries.begin(), facts.binaries.end(), *relative) == facts.binaries.end()) {
                facts.binaries.push_back(*relative);
            }
        }
        facts.plugins.push_back(std::move(entry));
    }
    return facts;
}

}  // namespace kestrova
