// kestrova-cli: the scriptable front end.
#include "cli/Commands.h"
#include "cli/WordingStream.h"
#include "helperclient/HelperEnvironment.h"

#include <iostream>

int main(int argc, char** argv) {
    using namespace kestrova::cli;
    CLI::App app{"Kestrova: an inventory of the audio plug-ins on this computer"};
    app.require_subcommand(1);
    app.set_version_flag("--version", [] { return kestrova::runningApplicationBundle().clientVersion(); });
    CliContext context;
    const auto profile = [&context] { return context.layout().profile; };
    const WordedStream out(std::cout, profile);
    const WordedStream err(std::cerr, profile);
    context.out = &std::cout;
    context.err = &std::cerr;
    app.add_option("--root", context.rootOption, "System root under which /Library is looked up (KESTROVA_ROOT)");
    app.add_option("--home", context.homeOption, "Home folder of the user ($HOME)");
    app.add_option("--au-registry", context.auRegistryOption,
                   "JSON file standing in for the Audio Unit registry (KESTROVA_AU_REGISTRY)");
    app.add_option("--profile", context.profileOption,
                   "Folder layout: macos or linux (KESTROVA_PROFILE; default macos with --root, else linux)")
        ->envname("KESTROVA_PROFILE")
        ->check(CLI::IsMember({"macos", "linux"}, CLI::ignore_case));
    addScanCommands(app, context);
    addStateCommands(app, context);
    addHelperCommands(app, context);
    addStoreCommands(app, context);
    addTransactionCommands(app, context);
    addCleanupCommands(app, context);
    addExportCommands(app, context);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error);
    }
    return context.exitCode;
}
