// How one KestrovaHelper process is set up: where it listens, which system
// root it manages, and which clients it serves.
#pragma once

#include "platform/PlatformProfile.h"
#include "platform/Result.h"
#include "platform/SystemLayout.h"

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kestrova {

#ifndef KESTROVA_HELPER_BUILD
#define KESTROVA_HELPER_BUILD "40"
#endif

struct HelperConfiguration {
    // Listen here; without it the daemon expects a socket from systemd
    // (LISTEN_FDS).
    std::optional<std::string> socketPath;
    std::string systemRoot = "/";
    // Which folders count as plug-in folders and where the Trash is.
    PlatformProfile profile = PlatformProfile::macOS;
    // Session mode: one user (the daemon's own), whose home holds the Trash.
    // Otherwise each peer's Trash is found from its uid.
    std::optional<std::string> sessionHome;
    // Session mode: the user's XDG data home when it is not the default, so
    // the daemon finds the same Trash as its front end.
    std::optional<std::string> sessionDataHome;
    // `--role user` (Linux, session mode only): the helper of the user's own
    // plug-in folders, with the user's quarantine; never the system's.
    BundleSide role = BundleSide::system;
    // The programs that may connect, as real paths. Empty means the front
    // ends installed next to the daemon.
    std::vector<std::string> allowedClients;
    // The daemon's private folder for its transaction ledger: --state-dir,
    // else systemd's $STATE_DIRECTORY, else the socket's folder (a session
    // daemon's private folder), else <root>/var/lib/kestrova/helper.
    std::optional<std::string> stateFolder;
    // Peers must run as this uid; absent lets any uid connect (system mode).
    std::optional<uid_t> allowedUid;
    std::string identity = "KestrovaHelper";
    std::string build = KESTROVA_HELPER_BUILD;
    std::size_t maximumConnections = 16;
    // So that one client cannot take every connection the daemon serves.
    std::size_t maximumConnectionsPerClient = 4;
    // A frame that has started must keep arriving, and a reply must keep
    // being read, or the connection is dropped: a client cannot hold a
    // connection's thread by stopping halfway.
    std::chrono::milliseconds stalledFrameTimeout{10'000};

    friend bool operator==(const HelperConfiguration&, const HelperConfiguration&) = default;
};

// Reads the command line:
//   KestrovaHelper [--socket PATH] [--root DIR] [--session --home DIR [--data-home DIR]]
//                  [--profile macos|linux] [--role system|user] [--state-dir DIR]
//                  [--allow-client EXE]...
// The profile defaults as the front ends' does (KESTROVA_PROFILE, else
// macOS with --root, else Linux).
// In session mode only the daemon's own uid may connect.
Result<HelperConfiguration> parseHelperArguments(const std::vector<std::string>& arguments);

// The front ends installed in the same folder as the daemon's executable.
std::vector<std::string> installedFrontEnds(const std::string& daemonExecutable);

}  // namespace kestrova
