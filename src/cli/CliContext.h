// What every command of kestrova-cli shares: the global options and where
// output goes.
#pragma once

#include "platform/SystemLayout.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace kestrova::cli {

struct CliContext {
    std::string rootOption;        // --root, else KESTROVA_ROOT, else "/"
    std::string homeOption;        // --home, else $HOME
    std::string auRegistryOption;  // --au-registry, else KESTROVA_AU_REGISTRY
    std::string profileOption;     // --profile, else KESTROVA_PROFILE, validated when parsed
    std::ostream* out = nullptr;
    std::ostream* err = nullptr;
    int exitCode = 0;

    // The layout the options name, falling back to the environment.
    SystemLayout layout() const;
    std::optional<std::string> auRegistryFile() const;
};

}  // namespace kestrova::cli
