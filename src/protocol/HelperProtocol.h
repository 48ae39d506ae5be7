// Fixed facts of the connection between the application and KestrovaHelper.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrova::helperprotocol {

// The launch daemon's label and the name the application connects to.
inline constexpr std::string_view machServiceName = "com.tolvanek.Kestrova.helper";
// The code-signing requirement a macOS daemon must satisfy; on Linux the
// socket peer checks of the transport stand in for it.
inline constexpr std::string_view codeSigningRequirement =
    "identifier \"com.tolvanek.Kestrova.helper\" and anchor apple generic and "
    "certificate leaf[subject.OU] = \"K5R81WQ2ND\"";
inline constexpr std::string_view expectedHelperIdentity = "KestrovaHelper";
inline constexpr std::string_view expectedHelperBuild = "40";

// Layout of the application bundle the daemon ships in.
inline constexpr std::string_view daemonPlistName = "com.tolvanek.Kestrova.helper.plist";
inline constexpr std::string_view helperExecutableRelativePath = "Contents/MacOS/KestrovaHelper";
inline constexpr std::string_view daemonPlistFolderRelativePath = "Contents/Library/LaunchDaemons";

inline constexpr std::string_view defaultShortVersion = "1.0.1";
inline constexpr std::string_view defaultBuild = "40";

// At most this many bundles travel in one transaction.
inline constexpr std::size_t maximumItemsPerTransaction = 256;

}  // namespace kestrova::helperprotocol

namespace kestrova {

// "Kestrova 1.0.1 (Build 40)": the bundle's short version and build, or the
// defaults where the bundle has none.
std::string clientVersionString(const std::optional<std::string>& shortVersion,
                                const std::optional<std::string>& build);

}  // namespace kestrova
