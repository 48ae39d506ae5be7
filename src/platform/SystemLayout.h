// Where the system's and the user's folders are. Every standard system folder
// ("/Library/...") is looked up under `systemRoot` and the user's folders
// under `home`, so the whole product can run against a sandbox tree. Paths
// built here are real absolute paths.
#pragma once

#include "platform/PlatformProfile.h"

#include <string>
#include <string_view>

namespace kestrova {

// The real user ID of this process.
unsigned currentUserID();

// Who moves a bundle: the privileged daemon for the system's folders, or on
// Linux a helper running as the user for the user's own plug-in folders. A
// transaction never mixes the two.
enum class BundleSide { system, user };

std::string_view sideName(BundleSide side);

struct SystemLayout {
    std::string systemRoot = "/";
    std::string home;
    PlatformProfile profile = PlatformProfile::macOS;
    // Linux: $XDG_DATA_HOME when the environment names an absolute one;
    // empty means ~/.local/share. A home given on the command line clears
    // it, so a sandbox never reaches the real user's data.
    std::string dataHome{};
    // The user whose home this is; a freedesktop Trash on another file
    // system is named after it ($topdir/.Trash-$uid).
    unsigned userID = currentUserID();

    // The system root from KESTROVA_ROOT (else "/"), the home from $HOME,
    // the data home from $XDG_DATA_HOME and the profile from
    // KESTROVA_PROFILE (else the default for the root).
    static SystemLayout fromEnvironment();

    // A path of the system domain, e.g. system("/Library/Audio/Plug-Ins/VST3").
    std::string system(std::string_view absolutePath) const;
    // A path inside the home, e.g. user("Library/Audio/Plug-Ins/VST3").
    std::string user(std::string_view relativePath) const;
    // Where the product keeps its state: ~/Library/Application Support, or
    // the XDG data home on Linux.
    std::string applicationSupport() const;
    // Where settings files go: ~/Library/Preferences, or ~/.config on Linux.
    std::string preferences() const;
    // Where trashed bundles go: the Finder Trash, or the "files" folder of
    // the freedesktop home Trash in the data home.
    std::string trashFolder() const;

    friend bool operator==(const SystemLayout&, const SystemLayout&) = default;
};

}  // namespace kestrova
