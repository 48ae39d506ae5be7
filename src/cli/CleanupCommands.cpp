// kestrova-cli cleanup preview|run|runs|restore-run: format cleanup presets
// from the terminal. They drive the same run controller as the Format
// Cleanup screen, talk to the helper through the management service, print
// every notice the store publishes on the way and fail on any warning.
#include "cli/Commands.h"
#include "cli/HelperReport.h"
#include "cli/StoreGate.h"
#include "cli/StoreSession.h"
#include "cli/TextTable.h"
#include "helperclient/HelperEnvironment.h"
#include "helperclient/PluginManagementService.h"
#include "model/JsonCoding.h"
#include "platform/ByteCount.h"
#include "platform/LocaleText.h"
#include "platform/Text.h"
#include "store/runs/CleanupRunController.h"
#include "store/runs/CleanupRunTexts.h"

#include <fmt/format.h>

#include <algorithm>
#include <memory>
#include <ostream>

namespace kestrova::cli {
namespace {

struct PresetOptions {
    std::string preset;
    std::vector<std::string> formats;
    bool includeUnsafeDefaults = false;
};

struct Preset {
    FormatCleanupPresetKind kind = FormatCleanupPresetKind::auOnly;
    std::set<std::string> customFormats;
};

std::string presetNames() {
    std::string names;
    for (const auto preset : allFormatCleanupPresets) {
        names += names.empty() ? "" : ", ";
        names += rawValue(preset);
    }
    return names;
}

// A preset by its stored name in any letter case; the formats only with
// "custom", which needs at least one.
Result<Preset> parsePreset(const PresetOptions& options) {
    const auto wanted = lowercased(options.preset);
    const auto found = std::find_if(allFormatCleanupPresets.begin(), allFormatCleanupPresets.end(),
                                    [&](auto preset) { return lowercased(rawValue(preset)) == wanted; });
    if (found == allFormatCleanupPresets.end()) {
        return Error{fmt::format("“{}” is not a cleanup preset. Choose one of: {}.", options.preset, presetNames())};
    }
    Preset preset{*found, {}};
    for (const auto& format : options.formats) {
        const auto normalized = unicodeUppercased(trimmedWhitespace(format));
        if (std::find(formats::all.begin(), formats::all.end(), normalized) == formats::all.end()) {
            return Error{fmt::format("“{}” is not a plug-in format. Use AU, VST2, VST3, AAX, CLAP or LV2.", format)};
        }
        preset.customFormats.insert(normalized);
    }
    if (preset.kind == FormatCleanupPresetKind::custom && preset.customFormats.empty()) {
        return Error{"The custom preset needs the formats to quarantine: --formats AU,VST2,..."};
    }
    if (preset.kind != FormatCleanupPresetKind::custom && !preset.customFormats.empty()) {
        return Error{fmt::format("--formats goes with the custom preset only; “{}” chooses its own formats.",
                                 rawValue(preset.kind))};
    }
    return preset;
}

std::string sizeText(const FormatCleanupCandidate& candidate) {
    return candidate.sizeInBytes
               ? formatFileByteCount(static_cast<std::uint64_t>(std::max<std::int64_t>(*candidate.sizeInBytes, 0)))
               : "—";
}

void printPreview(std::ostream& out, const FormatCleanupPlan& plan) {
    out << title(plan.preset) << ": " << presetDescription(plan.preset) << "\n\n";
    if (plan.candidates.empty()) {
        if (!plan.exclusions.empty()) {
            out << "No Eligible Formats: Every targeted bundle was safely excluded. Review the exclusions below.\n";
        } else {
            out << "No Eligible Formats: This preset does not target any active format bundles.\n";
        }
    } else {
        std::vector<std::vector<std::string>> rows;
        std::size_t ticked = 0;
        for (const auto& candidate : plan.candidates) {
            ticked += candidate.selectedByDefault ? 1 : 0;
            rows.push_back({candidate.selectedByDefault ? "[x]" : "[ ]", candidate.pluginName, candidate.manufacturer,
                            candidate.format, sizeText(candidate),
                            candidate.removesLastActiveFormat ? "No Active Format Remaining" : "", candidate.path});
        }
        out << "Reviewed Candidates (" << plan.candidates.size() << ", " << ticked << " selected by default)\n";
        printTable(out, {"", "Product", "Manufacturer", "Format", "Size", "Note", "Path"}, rows);
    }
    if (!plan.warnings.empty() || !plan.exclusions.empty()) {
        out << "\nWarnings and Exclusions (" << plan.warnings.size() + plan.exclusions.size() << ")\n";
        for (const auto& warning : plan.warnings) {
            out << "  ! " << warning.detail << '\n';
        }
        for (const auto& exclusion : plan.exclusions) {
            out << "  - " << exclusion.detail << '\n';
        }
    }
    out << "\nCleanup presets quarantine only the exact reviewed bundles. They never run in the background, never "
           "move protected or shared-shell items, and never send a bundle directly to Trash.\n";
}

void preview(CliContext& context, const PresetOptions& options) {
    const auto preset = parsePreset(options);
    if (!preset) {
        context.fail(preset.error().message, ExitCode::usage);
        return;
    }
    auto session = openStoreSession(context);
    if (!session) {
        return;
    }
    const auto plan = cleanupPreview(*session->store, preset->kind, preset->customFormats);
    if (context.json) {
        context.printJson(JsonCoder<FormatCleanupPlan>::encode(plan));
        return;
    }
    printPreview(*context.out, plan);
}

// The store and the helper together, for the commands that move bundles.
// The service goes before the session: its replies are posted to the
// session's run loop.
struct HelperSession {
    std::unique_ptr<StoreSession> session;
    std::shared_ptr<PluginManagementService> service;

    ~HelperSession() { service.reset(); }
    void settle() {
        session->executor.runUntil([&] { return service->outstandingCalls() == 0; });
    }
};

std::unique_ptr<HelperSession> openHelperSession(CliContext& context) {
    auto session = openStoreSession(context);
    if (!session) {
        return nullptr;
    }
    auto service = makePluginManagementService(session->executor, session->layout);
    if (!service) {
        context.fail(service.error().message, ExitCode::usage);
        return nullptr;
    }
    auto helper = std::make_unique<HelperSession>();
    helper->session = std::move(session);
    helper->service = std::move(*service);
    helper->settle();  // the handshake
    return helper;
}

// Prints each notice as the store publishes it (a run publishes one per
// chunk and one at its end); any warning fails the command. Each is also
// kept for the one JSON document a --json run prints at the end.
class NoticePrinter {
public:
    NoticePrinter(CliContext& context, PluginInventoryStore& store)
        : store_(store), token_(store.observe([this, &context, &store](std::string_view field) {
              const auto& notice = store.notice();
              if (field != storeField::notice || !notice) {
                  return;
              }
              collected_.push_back(*notice);
              if (notice->style == NoticeStyle::warning) {
                  context.fail(notice->title + ": " + notice->message, ExitCode::failed);
              } else {
                  context.noticeStream() << notice->title << ": " << notice->message << '\n';
              }
          })) {}
    ~NoticePrinter() { store_.removeObserver(token_); }
    NoticePrinter(const NoticePrinter&) = delete;
    NoticePrinter& operator=(const NoticePrinter&) = delete;

    const std::vector<OperationNotice>& collected() const { return collected_; }

private:
    PluginInventoryStore& store_;
    std::vector<OperationNotice> collected_;
    Observable::Token token_;
};

// The notices as {title, message, style}; warnings are the refusals.
Json noticesJson(const std::vector<OperationNotice>& notices) {
    Json list = Json::array();
    for (const auto& notice : notices) {
        list.push_back({{"title", notice.title}, {"message", notice.message}, {"style", rawValue(notice.style)}});
    }
    return list;
}

const FormatCleanupRunRecord* findRun(const PluginInventoryStore& store, const Uuid& id) {
    const auto& runs = store.formatCleanupRuns();
    const auto found = std::find_if(runs.begin(), runs.end(), [&](const auto& run) { return run.id == id; });
    return found == runs.end() ? nullptr : &*found;
}

// Runs the main thread until the controller is idle and no helper reply is
// outstanding.
void runToEnd(HelperSession& helper, const CleanupRunController& controller) {
    helper.session->executor.runUntil([&] { return !controller.isBusy() && helper.service->outstandingCalls() == 0; });
}

void run(CliContext& context, const PresetOptions& options) {
    const auto preset = parsePreset(options);
    if (!preset) {
        context.fail(preset.error().message, ExitCode::usage);
        return;
    }
    auto helper = openHelperSession(context);
    if (!helper) {
        return;
    }
    auto& store = *helper->session->store;
    auto& service = *helper->service;
    CleanupRunController controller(store, service);
    if (!controller.buildPreview(preset->kind, preset->customFormats)) {
        context.fail("A cleanup preview cannot be built right now.", ExitCode::refused);
        return;
    }
    const auto& plan = *controller.plan();
    if (fileActionsGated(store)) {
        // The store refuses before anything this command would check.
        (void)store.startCleanupRun(plan, controller.tickedSelections());
        reportNotice(context, store, ExitCode::refused);
        return;
    }
    if (options.includeUnsafeDefaults) {
        for (const auto& candidate : plan.candidates) {
            controller.setSelected(candidate.selection, true);
        }
    }
    const auto ticked = controller.tickedSelections();
    if (!context.json) {
        *context.out << title(plan.preset) << ": " << plan.candidates.size() << " eligible, " << ticked.size()
                     << " selected, " << plan.exclusions.size() << " excluded.\n";
        for (const auto& warning : plan.warnings) {
            *context.out << "  ! " << warning.detail << '\n';
        }
        if (!ticked.empty()) {
            *context.out << cleanupConfirmationMessage(plan, ticked) << '\n';
        }
    }
    if (!service.canSendPrivilegedRequest()) {
        refuseForHelper(context, service, TransactionKind::quarantine);
        return;
    }

    {
        const StoreActionWatch watch(store);
        controller.start();
        if (!controller.activeRunID()) {
            // The store refused to begin the run; its warning says why.
            reportNotice(context, store, watch.warningCode());
            return;
        }
    }
    // The chunks go from the next turn of the run loop on.
    const auto runID = controller.activeRunID();
    NoticePrinter notices(context, store);
    const auto chunkCount = (ticked.size() + maximumBundlesPerTransaction - 1) / maximumBundlesPerTransaction;
    const auto progress = controller.observe([&](std::string_view field) {
        if (field == CleanupRunController::completedChunkCountField && controller.completedChunkCount() > 0) {
            *context.err << fmt::format("Child transaction {} of {} committed.\n", controller.completedChunkCount(),
                                        chunkCount);
        }
    });
    runToEnd(*helper, controller);
    controller.removeObserver(progress);
    printHelperNextStep(context, service);
    if (context.json) {
        Json json = Json::object();
        json["preset"] = rawValue(plan.preset);
        json["eligible"] = plan.candidates.size();
        json["selected"] = ticked.size();
        json["excluded"] = plan.exclusions.size();
        json["runID"] = runID ? Json(runID->string()) : Json();
        const auto* record = runID ? findRun(store, *runID) : nullptr;
        json["status"] = record ? Json(rawValue(record->status)) : Json();
        json["moved"] = runID ? store.cleanupRunSelectionsInQuarantine(*runID).size() : 0;
        json["notices"] = noticesJson(notices.collected());
        context.printJson(json);
        return;
    }
    if (runID) {
        *context.out << fmt::format("Run {}. Put its bundles back with “kestrova-cli cleanup restore-run {}”.\n",
                                    runID->string(), runID->string());
    }
}

std::string statusText(FormatCleanupRunStatus status) {
    switch (status) {
        case FormatCleanupRunStatus::pending:
            return "Pending";
        case FormatCleanupRunStatus::completed:
            return "Completed";
        case FormatCleanupRunStatus::partiallyCompleted:
            return "Partially Completed";
        case FormatCleanupRunStatus::canceled:
            return "Canceled";
    }
    return "";
}

void listRuns(CliContext& context) {
    auto session = openStoreSession(context);
    if (!session) {
        return;
    }
    auto& store = *session->store;
    if (context.json) {
        const auto restorable = restorableCleanupRuns(store);
        Json list = Json::array();
        for (const auto& run : store.formatCleanupRuns()) {
            auto object = JsonCoder<FormatCleanupRunRecord>::encode(run);
            object["bundlesInQuarantine"] = store.cleanupRunSelectionsInQuarantine(run.id).size();
            object["restorable"] =
                std::any_of(restorable.begin(), restorable.end(),
                            [&](const RestorableCleanupRun& entry) { return entry.runID == run.id; });
            list.push_back(std::move(object));
        }
        context.printJson(list);
        return;
    }
    if (store.formatCleanupRuns().empty()) {
        *context.out << "No cleanup preset has run yet.\n";
        return;
    }
    std::vector<std::vector<std::string>> rows;
    for (const auto& run : store.formatCleanupRuns()) {
        rows.push_back({run.id.string(), std::string(title(run.preset)), statusText(run.status),
                        abbreviatedDateTimeText(run.createdAt), std::to_string(run.selections.size()),
                        remainingInQuarantineText(store.cleanupRunSelectionsInQuarantine(run.id).size())});
    }
    printTable(*context.out, {"Run", "Preset", "Status", "Started", "Bundles", "Now"}, rows);
}

// A run by its id or an unambiguous beginning of it, any letter case.
Result<Uuid> resolveRun(const PluginInventoryStore& store, const std::string& given) {
    const auto wanted = uppercased(trimmedWhitespace(given));
    std::vector<Uuid> found;
    for (const auto& run : store.formatCleanupRuns()) {
        if (!wanted.empty() && run.id.string().starts_with(wanted)) {
            found.push_back(run.id);
        }
    }
    if (found.size() == 1) {
        return found.front();
    }
    if (found.empty()) {
        return Error{fmt::format("No cleanup run has the id “{}”. “kestrova-cli cleanup runs” lists them.", given)};
    }
    return Error{fmt::format("“{}” begins the ids of {} cleanup runs; give more of it.", given, found.size())};
}

void restoreRun(CliContext& context, const std::string& given) {
    auto helper = openHelperSession(context);
    if (!helper) {
        return;
    }
    auto& store = *helper->session->store;
    auto& service = *helper->service;
    if (storeRefusesTransaction(store, TransactionKind::restore)) {
        reportNotice(context, store, ExitCode::refused);
        return;
    }
    const auto runID = resolveRun(store, given);
    if (!runID) {
        context.fail(runID.error().message, ExitCode::refused);
        return;
    }
    const auto restorable = restorableCleanupRuns(store);
    const auto entry = std::find_if(restorable.begin(), restorable.end(),
                                    [&](const RestorableCleanupRun& run) { return run.runID == *runID; });
    if (entry == restorable.end()) {
        context.fail(
            "Only a finished run with format bundles still in Quarantine can be restored. No plugin files were "
            "moved.",
            ExitCode::refused);
        return;
    }
    if (!service.canSendPrivilegedRequest()) {
        refuseForHelper(context, service, TransactionKind::restore);
        return;
    }
    if (!context.json) {
        *context.out << title(entry->preset) << ": " << remainingInQuarantineText(entry->bundlesInQuarantine) << ".\n";
    }

    CleanupRunController controller(store, service);
    NoticePrinter notices(context, store);
    controller.restoreRun(*runID);
    runToEnd(*helper, controller);
    printHelperNextStep(context, service);
    const auto left = store.cleanupRunSelectionsInQuarantine(*runID).size();
    if (context.json) {
        Json result = Json::object();
        result["runID"] = runID->string();
        result["preset"] = rawValue(entry->preset);
        result["restored"] = entry->bundlesInQuarantine >= left ? entry->bundlesInQuarantine - left : 0;
        result["bundlesInQuarantine"] = left;
        result["notices"] = noticesJson(notices.collected());
        context.printJson(result);
        if (left > 0) {
            context.setExitCode(ExitCode::failed);
        }
        return;
    }
    if (left > 0) {
        *context.out << remainingInQuarantineText(left) << ".\n";
        context.setExitCode(ExitCode::failed);
    }
}

}  // namespace

void addCleanupCommands(CLI::App& app, CliContext& context) {
    auto* cleanup = app.add_subcommand("cleanup", "Format cleanup presets: preview, run, and restore a run");
    cleanup->require_subcommand(1);
    const auto presetHelp = "Preset: " + presetNames();

    auto previewOptions = std::make_shared<PresetOptions>();
    auto* previewCommand = cleanup->add_subcommand("preview", "Show what a preset would quarantine; nothing moves");
    previewCommand->add_option("preset", previewOptions->preset, presetHelp)->required();
    previewCommand->add_option("--formats", previewOptions->formats, "Formats for the custom preset: AU,VST2,...")
        ->delimiter(',');
    addJsonFlag(*previewCommand, context, "Print the preview as JSON");
    previewCommand->callback([previewOptions, &context] { preview(context, *previewOptions); });

    auto runOptions = std::make_shared<PresetOptions>();
    auto* runCommand = cleanup->add_subcommand(
        "run", "Quarantine the preview's default selection through the helper, in transactions of 256");
    runCommand->add_option("preset", runOptions->preset, presetHelp)->required();
    runCommand->add_option("--formats", runOptions->formats, "Formats for the custom preset: AU,VST2,...")
        ->delimiter(',');
    addJsonFlag(*runCommand, context, "Print the run (its id, moved count and notices) as one JSON document");
    runCommand->add_flag("--include-unsafe-defaults", runOptions->includeUnsafeDefaults,
                         "Also quarantine candidates that leave a product with no active format");
    runCommand->callback([runOptions, &context] { run(context, *runOptions); });

    auto* runsCommand = cleanup->add_subcommand("runs", "List the cleanup preset runs, newest first");
    addJsonFlag(*runsCommand, context, "Print the runs as JSON, with how many bundles of each are in quarantine");
    runsCommand->callback([&context] { listRuns(context); });

    auto runID = std::make_shared<std::string>();
    auto* restoreCommand =
        cleanup->add_subcommand("restore-run", "Restore the bundles a run put into quarantine, in transactions of 256");
    restoreCommand->add_option("run", *runID, "The run's id (or its first characters)")->required();
    addJsonFlag(*restoreCommand, context, "Print what was restored as JSON");
    restoreCommand->callback([runID, &context] { restoreRun(context, *runID); });
}

}  // namespace kestrova::cli
