#include "platform/AudioUnitRegistry.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

namespace kestrova {

Result<AudioUnitRegistry> AudioUnitRegistry::load(const FileSystem& fileSystem, const std::string& path) {
    const auto info = fileSystem.status(path);
    if (!info || !info->isRegularFile) {
        return Error{fmt::format("The Audio Unit registry file “{}” does not exist or is not a file.", path)};
    }
    auto contents = fileSystem.readFile(path);
    if (!contents) {
        return contents.error();
    }
    return parse(*contents, path);
}

Result<AudioUnitRegistry> AudioUnitRegistry::parse(std::string_view json, const std::string& sourceName) {
    const auto document = nlohmann::json::parse(json, nullptr, false);
    if (document.is_discarded()) {
        return Error{fmt::format("The Audio Unit registry file “{}” is not valid JSON.", sourceName)};
    }
    if (!document.is_array()) {
        return Error{fmt::format("The Audio Unit registry file “{}” must hold a JSON array.", sourceName)};
    }
    std::vector<AudioUnitComponent> components;
    components.reserve(document.size());
    for (std::size_t index = 0; index < document.size(); ++index) {
        const auto& entry = document[index];
        AudioUnitComponent component;
        for (auto [key, field] :
             {std::pair{"manufacturerName", &component.manufacturerName}, std::pair{"name", &component.name},
              std::pair{"versionString", &component.versionString}}) {
            const auto found = entry.is_object() ? entry.find(key) : entry.end();
            if (!entry.is_object() || found == entry.end() || !found->is_string()) {
                return Error{fmt::format("Entry {} of the Audio Unit registry file “{}” needs the string “{}”.",
                                         index + 1, sourceName, key)};
            }
            *field = found->get<std::string>();
        }
        components.push_back(std::move(component));
    }
    return AudioUnitRegistry(std::move(components));
}

}  // namespace kestrova
