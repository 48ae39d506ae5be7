// kestrova-cli duplicates [retire]: the plug-ins installed more than once,
// with the proposal of which copies to keep, and the proposal carried out as
// one quarantine.
#include "cli/Commands.h"
#include "cli/QuarantineTransaction.h"
#include "cli/StoreGate.h"
#include "cli/StoreSession.h"
#include "planning/DuplicateGroups.h"

#include <fmt/format.h>

#include <memory>
#include <ostream>

namespace kestrova::cli {
namespace {

std::string_view dispositionLabel(DuplicateDisposition disposition) {
    switch (disposition) {
        case DuplicateDisposition::keep:
            return "keep";
        case DuplicateDisposition::retire:
            return "retire";
        case DuplicateDisposition::protectedCopy:
        case DuplicateDisposition::notMovable:
            return "leave";
    }
    return "";
}

void printGroups(CliContext& context, const std::vector<DuplicateGroup>& groups) {
    if (groups.empty()) {
        *context.out << "No plug-in is installed more than once.\n";
        return;
    }
    for (const auto& group : groups) {
        *context.out << fmt::format(
            "{} — {} ({}, {})\n", group.pluginName, group.manufacturer, group.format,
            group.kind == DuplicateKind::versions ? "different versions" : "the same version twice");
        for (const auto& member : group.members) {
            *context.out << fmt::format("  {:<6}  {:<12}  {}{}\n", dispositionLabel(member.disposition), member.version,
                                        member.path, member.reason.empty() ? "" : "  (" + member.reason + ")");
        }
    }
}

Json groupsDocument(const std::vector<DuplicateGroup>& groups) {
    Json document = Json::object();
    putField(document, "groups", groups);
    putField(document, "proposedRetirements", proposedRetirements(groups));
    return document;
}

std::vector<DuplicateGroup> currentGroups(const StoreSession& session) {
    return findDuplicateGroups(session.store->plugins(), session.layout, session.store->fileSystem());
}

void listDuplicates(CliContext& context) {
    const auto session = openStoreSession(context);
    if (!session) {
        return;
    }
    const auto groups = currentGroups(*session);
    if (context.json) {
        context.printJson(groupsDocument(groups));
        return;
    }
    printGroups(context, groups);
}

void retireDuplicates(CliContext& context, bool confirmed) {
    const auto session = openStoreSession(context);
    if (!session) {
        return;
    }
    auto& store = *session->store;
    if (storeRefusesTransaction(store, TransactionKind::quarantine)) {
        reportNotice(context, store, ExitCode::refused);
        return;
    }
    const auto groups = currentGroups(*session);
    const auto proposal = proposedRetirements(groups);
    if (proposal.empty()) {
        if (context.json) {
            Json document = groupsDocument(groups);
            document["retired"] = Json::array();
            context.printJson(document);
        } else {
            *context.out << "No duplicate bundle can be retired.\n";
        }
        return;
    }
    if (!confirmed) {
        if (!context.json) {
            printGroups(context, groups);
        }
        context.fail(fmt::format("No plugin files were moved. Add --yes to quarantine the {} proposed bundle{}.",
                                 proposal.size(), proposal.size() == 1 ? "" : "s"),
                     ExitCode::refused);
        return;
    }
    const auto committed = quarantineTransaction(context, *session, proposal);
    if (!committed.empty() && context.json) {
        Json document = groupsDocument(groups);
        Json retired = Json::array();
        Json transactionIDs = Json::array();
        for (const auto& request : committed) {
            for (const auto& item : request.items) {
                retired.push_back({{"sourcePath", item.sourcePath}, {"destinationPath", item.destinationPath}});
            }
            transactionIDs.push_back(request.transactionID);
        }
        document["retired"] = std::move(retired);
        // One per side when the copies are in both the system and the home folders.
        document["transactionIDs"] = std::move(transactionIDs);
        context.printJson(document);
    }
}

}  // namespace

void addDuplicateCommands(CLI::App& app, CliContext& context) {
    auto* duplicates =
        app.add_subcommand("duplicates", "Show the plug-ins installed more than once and which copies to keep");
    addJsonFlag(*duplicates, context, "Print the groups and the proposal as JSON");
    auto confirmed = std::make_shared<bool>(false);
    auto* retire = duplicates->add_subcommand(
        "retire", "Quarantine the proposed copies as one transaction (reversible like any quarantine)");
    retire->add_flag("--yes", *confirmed, "Carry out the proposal without asking");
    addJsonFlag(*retire, context, "Print the groups and the moved bundles as JSON");
    duplicates->callback([duplicates, &context] {
        if (duplicates->get_subcommands().empty()) {
            listDuplicates(context);
        }
    });
    retire->callback([confirmed, &context] { retireDuplicates(context, *confirmed); });
}

}  // namespace kestrova::cli
