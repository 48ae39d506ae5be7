#include "cli/ScanCommands.h"

#include "cli/Commands.h"
#include "cli/DemoTree.h"
#include "cli/StoreScan.h"
#include "model/JsonCoding.h"
#include "platform/Paths.h"
#include "platform/PlatformProfile.h"
#include "scan/PluginScanner.h"
#include "session/SessionOptions.h"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <memory>
#include <ostream>

namespace kestrova::cli {
namespace {

// Display width of a UTF-8 text, counting code points.
std::size_t displayWidth(std::string_view text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string joined(const std::vector<std::string>& values, std::string_view separator) {
    std::string result;
    for (const auto& value : values) {
        if (!result.empty()) {
            result += separator;
        }
        result += value;
    }
    return result;
}

}  // namespace

Result<std::vector<std::string>> resolvedFolders(const std::vector<std::string>& folders,
                                                 const FileSystem& fileSystem) {
    std::vector<std::string> resolved;
    for (const auto& folder : folders) {
        auto path = existingFolder(folder, "folder to authorize", fileSystem);
        if (!path) {
            return path.error();
        }
        resolved.push_back(std::move(*path));
    }
    return resolved;
}

Json scanSummaryJson(const ScanSummary& summary) {
    Json json = Json::object();
    putField(json, "plugins", summary.plugins);
    putField(json, "inaccessibleLocations", summary.inaccessibleLocations);
    putField(json, "wasCancelled", summary.wasCancelled);
    return json;
}

void printScanSummaryTable(std::ostream& out, const ScanSummary& summary) {
    const std::array<std::string, 7> headings{"Name",         "Manufacturer", "Version", "Formats",
                                              "Architecture", "Size",         "Status"};
    std::vector<std::array<std::string, 7>> rows;
    std::size_t bundleCount = 0;
    for (const auto& product : summary.plugins) {
        rows.push_back({product.name, product.manufacturer, product.version, joined(product.formats, ", "),
                        product.architecture, product.size, std::string(rawValue(product.status))});
        bundleCount += product.bundles ? product.bundles->size() : 0;
    }
    std::array<std::size_t, 7> widths{};
    for (std::size_t column = 0; column < headings.size(); ++column) {
        widths[column] = displayWidth(headings[column]);
        for (const auto& row : rows) {
            widths[column] = std::max(widths[column], displayWidth(row[column]));
        }
    }
    const auto printRow = [&](const std::array<std::string, 7>& row) {
        std::string line;
        for (std::size_t column = 0; column < row.size(); ++column) {
            line += row[column];
            if (column + 1 < row.size()) {
                line += std::string(widths[column] - displayWidth(row[column]) + 2, ' ');
            }
        }
        out << line << '\n';
    };
    printRow(headings);
    for (const auto& row : rows) {
        printRow(row);
    }
    out << fmt::format("\n{} products, {} format bundles on disk.\n", summary.plugins.size(), bundleCount);
    if (!summary.inaccessibleLocations.empty()) {
        out << "Could not read:\n";
        for (const auto& path : summary.inaccessibleLocations) {
            out << "  " << path << '\n';
        }
    }
    if (summary.wasCancelled) {
        out << "The scan was cancelled.\n";
    }
}

void runDryRunScan(CliContext& context, const ScanCommandOptions& options) {
    const auto& fileSystem = realFileSystem();
    const auto named = context.sessionOptions();
    auto layout = session::resolvedLayout(named, fileSystem);
    if (!layout) {
        context.fail(layout.error().message, ExitCode::usage);
        return;
    }
    auto folders = resolvedFolders(options.authorizedFolders, fileSystem);
    if (!folders) {
        context.fail(folders.error().message, ExitCode::usage);
        return;
    }
    auto registry = session::configuredRegistry(named, fileSystem);
    if (!registry) {
        context.fail(registry.error().message, ExitCode::usage);
        return;
    }
    const PluginScanner scanner(fileSystem, std::move(*layout), std::move(*registry));
    const ScanControl control;
    const bool showProgress = ::isatty(STDERR_FILENO) == 1;
    std::ostream& err = *context.err;
    const auto summary = scanner.scan(*folders, control, [&](const ScanProgress& progress) {
        if (showProgress) {
            err << fmt::format("\r\033[KScanning {} ({} of {} folders done, {} bundles)", progress.format,
                               progress.completedLocations, progress.totalLocations, progress.discoveredBundles)
                << std::flush;
        }
    });
    if (showProgress) {
        err << "\r\033[K" << std::flush;
    }
    if (context.json) {
        context.printJson(scanSummaryJson(summary));
    } else {
        printScanSummaryTable(*context.out, summary);
    }
}

void addScanCommands(CLI::App& app, CliContext& context) {
    auto options = std::make_shared<ScanCommandOptions>();
    auto* scan = app.add_subcommand("scan", "Scan the authorized plug-in folders");
    scan->add_flag("--dry-run", options->dryRun, "Only scan and print the result; no state is read or written");
    scan->add_option("--authorize", options->authorizedFolders, "A folder the scan may read (repeatable)")
        ->allow_extra_args(false);
    addJsonFlag(*scan, context, "Print the result as JSON");
    scan->callback([options, &context] {
        if (!options->dryRun) {
            if (!options->authorizedFolders.empty()) {
                context.fail(
                    "--authorize belongs to --dry-run. The inventory scan reads the folders granted with "
                    "“kestrova-cli authorize DIR...”.",
                    ExitCode::usage);
                return;
            }
            runStoreScan(context);
            return;
        }
        runDryRunScan(context, *options);
    });

    struct DemoOptions {
        std::string output;
        std::string profile;
    };
    auto demoOptions = std::make_shared<DemoOptions>();
    auto* demo = app.add_subcommand("demo", "Write a sandbox system root and home full of demo plug-ins");
    demo->add_option("--output,output", demoOptions->output, "Folder to write the demo into")->required();
    demo->add_option("--profile", demoOptions->profile,
                     "Lay the demo out as macos (the default) or linux keeps plug-ins")
        ->check(CLI::IsMember({"macos", "linux"}, CLI::ignore_case));
    demo->callback([demoOptions, &context] {
        // The demo is the macOS one unless a profile is named, here or before
        // the command.
        const auto& named = demoOptions->profile.empty() ? context.profileOption : demoOptions->profile;
        auto profile = PlatformProfile::macOS;
        if (!named.empty()) {
            auto parsed = parsePlatformProfile(named);
            if (!parsed) {
                context.fail(parsed.error().message, ExitCode::usage);
                return;
            }
            profile = *parsed;
        }
        const auto path = absolutePathFromWorkingFolder(demoOptions->output);
        if (auto written = writeDemoTree(path, profile); !written) {
            context.fail(written.error().message, ExitCode::failed);
            return;
        }
        if (profile == PlatformProfile::gnuLinux) {
            *context.out << fmt::format(
                "Demo written to {0}.\nTry: kestrova-cli --profile linux --root '{0}/root' --home '{0}/home' "
                "authorize --standard\n     kestrova-cli --profile linux --root '{0}/root' --home '{0}/home' scan\n",
                path);
            return;
        }
        *context.out << fmt::format(
            "Demo written to {}.\nTry: kestrova-cli --root '{}/root' --home '{}/home' --au-registry "
            "'{}/au-registry.json' scan --dry-run --authorize '{}/root/Library/Audio/Plug-Ins' --authorize "
            "'{}/home/Library'\n",
            path, path, path, path, path, path);
    });
}

}  // namespace kestrova::cli
