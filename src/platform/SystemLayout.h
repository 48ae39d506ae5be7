// Where the system's and the user's folders are. Every standard system folder
// ("/Library/...") is looked up under `systemRoot` and the user's folders
// under `home`, so the whole product can run against a sandbox tree. Paths
// built here are real absolute paths.
#pragma once

#include <string>
#include <string_view>

namespace kestrova {

struct SystemLayout {
    std::string systemRoot = "/";
    std::string home;

    // The system root from KESTROVA_ROOT (else "/") and the home from $HOME.
    static SystemLayout fromEnvironment();

    // A path of the system domain, e.g. system("/Library/Audio/Plug-Ins/VST3").
    std::string system(std::string_view absolutePath) const;
    // A path inside the home, e.g. user("Library/Audio/Plug-Ins/VST3").
    std::string user(std::string_view relativePath) const;
    std::string applicationSupport() const { return user("Library/Application Support"); }
    std::string trashFolder() const { return user(".Trash"); }

    friend bool operator==(const SystemLayout&, const SystemLayout&) = default;
};

}  // namespace kestrova
