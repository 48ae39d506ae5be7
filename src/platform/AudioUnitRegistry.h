// The system's Audio Unit component registry. Linux has none, so a JSON file
// stands in for it: an array of {manufacturerName, name, versionString}
// objects. Without a file the registry is empty.
#pragma once

#include "platform/FileSystem.h"
#include "platform/Result.h"

#include <string>
#include <string_view>
#include <vector>

namespace kestrova {

struct AudioUnitComponent {
    std::string manufacturerName;
    std::string name;
    std::string versionString;

    friend bool operator==(const AudioUnitComponent&, const AudioUnitComponent&) = default;
};

class AudioUnitRegistry {
public:
    AudioUnitRegistry() = default;
    explicit AudioUnitRegistry(std::vector<AudioUnitComponent> components) : components_(std::move(components)) {}

    // Reads the stand-in file. A missing file, malformed JSON or an entry
    // without the three strings is an error naming the file and the entry.
    static Result<AudioUnitRegistry> load(const FileSystem& fileSystem, const std::string& path);
    static Result<AudioUnitRegistry> parse(std::string_view json, const std::string& sourceName);

    // Every registered component, as a search with an all-zero description
    // returns them.
    const std::vector<AudioUnitComponent>& allComponents() const { return components_; }

private:
    std::vector<AudioUnitComponent> components_;
};

}  // namespace kestrova
