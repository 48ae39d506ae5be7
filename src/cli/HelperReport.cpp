#include "cli/HelperReport.h"

#include <ostream>

namespace kestrova::cli {
namespace {

constexpr std::string_view checkHelper =
    "Check it with “kestrova-cli helper status”; if it still does not answer, “kestrova-cli helper repair” "
    "restarts it.";

}  // namespace

void refuseForHelper(CliContext& context, const PluginManagementService& service, TransactionKind kind) {
    auto message = service.blockingReason(kind).value_or("Kestrova could not reach the privileged helper.") +
                   " No plugin files were moved.";
    if (service.status() != PluginManagementStatus::enabled) {
        message += " Run “kestrova-cli helper enable” first.";
    } else if (service.lastCallTimedOut() && service.lastError()) {
        message += "\n" + *service.lastError() + " " + std::string(checkHelper);
    } else if (!service.helperIsReachable() && service.lastError()) {
        message += "\n" + *service.lastError();
    }
    context.fail(message, ExitCode::refused);
}

void printHelperNextStep(CliContext& context, const PluginManagementService& service) {
    if (!service.lastCallTimedOut()) {
        return;
    }
    *context.err << "The helper may still be moving these bundles: do not move them by hand. " << checkHelper
                 << " Kestrova reconciles the pending transaction the next time it starts.\n";
}

}  // namespace kestrova::cli
