// kestrova-cli: the scriptable front end.
#include "cli/Commands.h"
#include "cli/WordingStream.h"
#include "helperclient/HelperEnvironment.h"

#include <algorithm>
#include <iostream>
#include <string_view>

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
    addDuplicateCommands(app, context);
    app.footer(exitCodesHelp());
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (app.exit(error) == 0) {
            return 0;  // --help
        }
        // What CLI11 said is on stderr; a JSON command still leaves its one document.
        context.json = std::any_of(argv + 1, argv + argc,
                                   [](const char* argument) { return std::string_view(argument) == "--json"; });
        context.setExitCode(ExitCode::usage);
        context.recordMessage(error.what());
        context.finishJson();
        return context.exitCode;
    } catch (const std::exception& error) {
        context.fail(std::string("kestrova-cli stopped on an unexpected error: ") + error.what(), ExitCode::failed);
    }
    context.finishJson();
    return context.exitCode;
}
