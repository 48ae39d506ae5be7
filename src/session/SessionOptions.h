// What a front end's command line and environment name for a session, and
// the layout and Audio Unit registry they come to. Errors are messages for
// the front end to show in its own way.
#pragma once

#include "platform/AudioUnitRegistry.h"
#include "platform/FileSystem.h"
#include "platform/Result.h"
#include "platform/SystemLayout.h"

#include <string>

namespace kestrova::session {

struct SessionOptions {
    std::string root;        // --root, else KESTROVA_ROOT, else "/"
    std::string home;        // --home, else $HOME
    std::string auRegistry;  // --au-registry, else KESTROVA_AU_REGISTRY
    std::string profile;     // --profile, else KESTROVA_PROFILE, else by the root
};

// The environment's layout with the options laid over it, the folders as
// given; a profile name that is neither macos nor linux is an error.
Result<SystemLayout> namedLayout(const SessionOptions& options);

// The named layout with its root and home made absolute and free of symbolic
// links; each must be an existing folder.
Result<SystemLayout> resolvedLayout(const SessionOptions& options, const FileSystem& fileSystem);

// The registry file the options (or KESTROVA_AU_REGISTRY) name, loaded; an
// empty registry when none is named.
Result<AudioUnitRegistry> configuredRegistry(const SessionOptions& options, const FileSystem& fileSystem);

}  // namespace kestrova::session
