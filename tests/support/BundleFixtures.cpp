#include "support/BundleFixtures.h"

#include "platform/Paths.h"

namespace kestrova::testing {

std::string writeBundle(const TemporaryDirectory& directory, std::string_view relativePath,
                        const BundleFixture& fixture) {
    const auto bundle = directory.makeDirectory(relativePath);
    auto info = fixture.info;
    if (fixture.executable) {
        const auto named = info.find("CFBundleExecutable");
        if (named == info.end() || !std::holds_alternative<std::string>(named->second)) {
            info["CFBundleExecutable"] = lastPathComponent(deletingPathExtension(bundle));
        }
        const auto name = std::get<std::string>(info["CFBundleExecutable"]);
        directory.writeFile(std::string(relativePath) + "/Contents/MacOS/" + name, *fixture.executable);
    }
    if (fixture.writeInfo && (!info.empty() || fixture.executable)) {
        directory.writeFile(std::string(relativePath) + "/Contents/Info.plist",
                            serializePropertyList(info, fixture.infoFormat));
    }
    for (const auto& [path, contents] : fixture.files) {
        directory.writeFile(std::string(relativePath) + "/" + path, contents);
    }
    return bundle;
}

}  // namespace kestrova::testing
