#include "protocol/HelperProtocol.h"

namespace kestrova {

std::string clientVersionString(const std::optional<std::string>& shortVersion,
                                const std::optional<std::string>& build) {
    return "Kestrova " + shortVersion.value_or(std::string(helperprotocol::defaultShortVersion)) + " (Build " +
           build.value_or(std::string(helperprotocol::defaultBuild)) + ")";
}

}  // namespace kestrova
