#include "session/InstalledSession.h"

#include "helperclient/HelperEnvironment.h"
#include "platform/PlatformProfile.h"

#include <fmt/format.h>

#include <cstdint>
#include <memory>
#include <ostream>

namespace kestrova::session {

RecoveryProgress recoveryWaitReport(std::ostream& out) {
    auto lastSecond = std::make_shared<std::int64_t>(-1);
    return [&out, lastSecond](const std::string& transactionID, std::chrono::milliseconds waited) {
        const auto second = waited.count() / 1000;
        if (second != *lastSecond) {
            *lastSecond = second;
            out << fmt::format("Waiting for KestrovaHelper to finish transaction {} ({} s)…\n", transactionID, second);
            out.flush();
        }
    };
}

TransactionLookups helperTransactionLookups(const SystemLayout& layout, const RecoveryProgress& progress) {
    TransactionLookups lookups;
    lookups.system = makeTransactionLookup(layout, progress);
    if (layout.profile == PlatformProfile::gnuLinux) {
        lookups.user = [layout, progress](const std::string& transactionID) {
            return makeTransactionLookup(layout, progress, BundleSide::user)(transactionID);
        };
    }
    return lookups;
}

ServiceFactory helperServiceFactory(const SystemLayout& layout) {
    return [layout](Executor& executor) {
        auto service = makePluginManagementService(executor, layout);
        return service ? std::move(*service) : std::shared_ptr<PluginManagementService>();
    };
}

Result<Session::Parts> installedSessionParts(const SessionOptions& options, const RecoveryProgress& progress) {
    auto& fileSystem = realFileSystem();
    auto layout = resolvedLayout(options, fileSystem);
    if (!layout) {
        return layout.error();
    }
    auto registry = configuredRegistry(options, fileSystem);
    if (!registry) {
        return registry.error();
    }
    Session::Parts parts;
    parts.layout = *layout;
    parts.fileSystem = &fileSystem;
    parts.scanRunner = pluginScannerRunner(fileSystem, *layout, std::move(*registry));
    auto lookups = helperTransactionLookups(*layout, progress);
    parts.transactionLookup = std::move(lookups.system);
    parts.userTransactionLookup = std::move(lookups.user);
    return parts;
}

}  // namespace kestrova::session
