#include "cli/CliContext.h"

#include "platform/Paths.h"
#include "platform/PlatformProfile.h"

#include <cstdlib>

namespace kestrova::cli {

session::SessionOptions CliContext::sessionOptions() const {
    // CLI11 has checked --profile and KESTROVA_PROFILE already; the profile
    // is named here so that the layout is there even while CLI11 reports one
    // it rejected.
    const char* root = std::getenv("KESTROVA_ROOT");
    const auto named = parsePlatformProfile(profileOption);
    const auto profile = named ? *named : defaultPlatformProfile(!rootOption.empty() || (root && *root));
    return {standardizedPath(rootOption), standardizedPath(homeOption), auRegistryOption,
            std::string(profileName(profile))};
}

SystemLayout CliContext::layout() const { return *session::namedLayout(sessionOptions()); }

}  // namespace kestrova::cli

namespace kestrova::cli {

std::string_view exitCodeName(ExitCode code) {
    switch (code) {
        case ExitCode::done:
            return "done";
        case ExitCode::failed:
            return "failed";
        case ExitCode::usage:
            return "usage";
        case ExitCode::refused:
            return "refused";
    }
    return "failed";
}

std::string exitCodesHelp() {
    return "Exit codes:\n"
           "  0  done: the command did what it was asked; its output is complete on stdout\n"
           "  1  failed: it started and did not finish (a transaction failed or needs attention, the helper\n"
           "     did not answer, a write failed, a check found a problem)\n"
           "  2  usage: the command line cannot be carried out as written (unknown command or option, a\n"
           "     missing or malformed value, a root, home, file or setting that cannot be used)\n"
           "  3  refused: Kestrova said why and wrote or moved nothing (a blocked state file, a journal\n"
           "     still to reconcile, a name that matches nothing, a protected bundle, the helper not ready)\n"
           "With --json, stdout holds exactly one JSON document whatever the exit code (on failure\n"
           "{\"error\": {\"exitCode\", \"outcome\", \"messages\"}}); notices and messages go to stderr.";
}

void CliContext::fail(const std::string& message, ExitCode code) {
    *err << message << '\n';
    messages_.push_back(message);
    setExitCode(code);
}

void CliContext::printJson(const Json& document) {
    *out << document.dump(2) << '\n';
    printedJson_ = true;
}

void CliContext::finishJson() {
    if (!json || printedJson_) {
        return;
    }
    const auto code = static_cast<ExitCode>(exitCode == 0 ? static_cast<int>(ExitCode::failed) : exitCode);
    Json error = Json::object();
    error["exitCode"] = static_cast<int>(code);
    error["outcome"] = exitCodeName(code);
    error["messages"] = messages_;
    printJson(Json{{"error", std::move(error)}});
    if (exitCode == 0) {
        setExitCode(ExitCode::failed);
    }
}

}  // namespace kestrova::cli
