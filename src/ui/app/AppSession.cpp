#include "ui/app/AppSession.h"

#include "helperclient/HelperEnvironment.h"
#include "platform/AudioUnitRegistry.h"
#include "platform/Paths.h"
#include "platform/PlatformProfile.h"
#include "platform/PlatformWording.h"
#include "ui/app/QtText.h"

#include <cstdio>
#include <cstdlib>

namespace kestrova::ui {
namespace {

std::string fromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

QString AppSession::words(const QString& text) const {
    return toQString(platformWording(text.toStdString(), layout_.profile));
}

std::optional<std::string> AppSession::wordedReason(const std::optional<std::string>& reason) const {
    if (!reason) {
        return std::nullopt;
    }
    return platformWording(*reason, layout_.profile);
}

AppSession::AppSession(Parts parts) : layout_(std::move(parts.layout)), fileSystem_(parts.fileSystem) {
    defaults_ = std::make_unique<UserDefaults>(UserDefaults::standardFile(layout_), *fileSystem_);
    bookmarks_ = std::make_unique<FolderBookmarks>(*fileSystem_);
    folderAccess_ = std::make_unique<PluginFolderAccess>(*defaults_, *bookmarks_);
    service_ = parts.makeService(executor_);
    store_ = std::make_unique<PluginInventoryStore>(layout_, *fileSystem_, executor_, std::move(parts.scanRunner),
                                                    std::move(parts.transactionLookup),
                                                    std::move(parts.userTransactionLookup));
    cleanupRuns_ = std::make_unique<CleanupRunController>(*store_, *service_);
    storeEvents_ = std::make_unique<ObservedObject>(*store_);
    folderAccessEvents_ = std::make_unique<ObservedObject>(*folderAccess_);
    serviceEvents_ = std::make_unique<ObservedObject>(*service_);
    cleanupRunEvents_ = std::make_unique<ObservedObject>(*cleanupRuns_);
}

AppSession::~AppSession() {
    // Adapters go before what they observe; the controller before the store
    // and the service it drives.
    cleanupRunEvents_.reset();
    serviceEvents_.reset();
    folderAccessEvents_.reset();
    storeEvents_.reset();
    cleanupRuns_.reset();
    store_.reset();
    service_.reset();
}

Result<std::unique_ptr<AppSession>> openAppSession(const AppOptions& options) {
    auto& fileSystem = realFileSystem();
    auto layout = SystemLayout::fromEnvironment();
    if (!options.root.empty()) {
        layout.systemRoot = options.root;
    }
    if (!options.home.empty()) {
        layout.home = options.home;
        layout.dataHome.clear();
    }
    const char* rootVariable = std::getenv("KESTROVA_ROOT");
    auto profile =
        choosePlatformProfile(options.profile.empty() ? std::nullopt : std::optional<std::string_view>(options.profile),
                              !options.root.empty() || (rootVariable && *rootVariable));
    if (!profile) {
        return profile.error();
    }
    layout.profile = *profile;
    auto root = existingFolder(layout.systemRoot, "system root", fileSystem);
    if (!root) {
        return root.error();
    }
    auto home = existingFolder(layout.home, "home folder", fileSystem);
    if (!home) {
        return home.error();
    }
    layout.systemRoot = std::move(*root);
    layout.home = std::move(*home);

    AudioUnitRegistry registry;
    const auto registryFile = options.auRegistry.empty() ? fromEnvironment("KESTROVA_AU_REGISTRY") : options.auRegistry;
    if (!registryFile.empty()) {
        auto loaded = AudioUnitRegistry::load(fileSystem, absolutePathFromWorkingFolder(registryFile));
        if (!loaded) {
            return loaded.error();
        }
        registry = std::move(*loaded);
    }

    // The registration backend is read before anything is built, so a wrong
    // KESTROVA_HELPER_MODE is reported instead of half a window.
    auto probe = helperRegistrationConfiguration(layout, runningApplicationBundle());
    if (!probe) {
        return probe.error();
    }
    AppSession::Parts parts;
    parts.layout = layout;
    parts.fileSystem = &fileSystem;
    parts.scanRunner = pluginScannerRunner(fileSystem, layout, std::move(registry));
    // The window is not up yet while a running transaction is waited for, so
    // the wait is told on stderr, as the command line tells it.
    const auto waiting = [](const std::string& transactionID, std::chrono::milliseconds waited) {
        if (waited.count() % 1000 < 250) {
            std::fprintf(stderr, "Waiting for KestrovaHelper to finish transaction %s (%lld s)…\n",
                         transactionID.c_str(), static_cast<long long>(waited.count() / 1000));
        }
    };
    parts.transactionLookup = makeTransactionLookup(layout, waiting);
    if (layout.profile == PlatformProfile::gnuLinux) {
        parts.userTransactionLookup = makeTransactionLookup(layout, waiting, BundleSide::user);
    }
    parts.makeService = [layout](Executor& executor) {
        auto service = makePluginManagementService(executor, layout);
        return service ? std::move(*service) : std::shared_ptr<PluginManagementService>();
    };
    return std::make_unique<AppSession>(std::move(parts));
}

}  // namespace kestrova::ui
