// What a VST3 bundle says of itself in Contents/Resources/moduleinfo.json:
// its name, version and vendor. The file is optional and may be anything.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrova {

struct Vst3ModuleInfo {
    std::optional<std::string> name;
    std::optional<std::string> version;
    std::optional<std::string> vendor;

    friend bool operator==(const Vst3ModuleInfo&, const Vst3ModuleInfo&) = default;
};

// Larger files are not read: real ones are a few kilobytes.
inline constexpr std::size_t vst3ModuleInfoLimit = 1 << 20;

// "Name", "Version" and "Factory Info"/"Vendor", each only when it is a
// non-blank string. The text is read as the JSON5 the VST3 SDK's parser
// accepts (trailing commas, comments, unquoted keys, single quotes...);
// anything that is not one such object, or nests deeper than real files
// do, gives nothing.
Vst3ModuleInfo parseVst3ModuleInfo(std::string_view text);

}  // namespace kestrova
