#include "UiSandbox.h"

#include "model/ProductStatus.h"
#include "platform/AudioUnitRegistry.h"
#include "platform/ChildProcess.h"
#include "platform/Paths.h"
#include "platform/PropertyList.h"
#include "scan/PluginScanner.h"
#include "store/PluginInventoryStore.h"
#include "store/journal/BundleTransactions.h"
#include "ui/widgets/Theme.h"

#include <QApplication>
#include <QTest>

#include <filesystem>
#include <fstream>

namespace kestrova::testing {
namespace fs = std::filesystem;

namespace {

// Every test of this program runs against one offscreen QApplication.
class QtApplicationEnvironment final : public ::testing::Environment {
public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "ui_tests";
        static char* argv[] = {name, nullptr};
        application_ = std::make_unique<QApplication>(argc, argv);
        // The look the window has when it runs.
        ui::applyPreferredStyle(*application_);
    }
    void TearDown() override { application_.reset(); }

private:
    std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] const auto* const environment = ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace

UiSandbox::UiSandbox(PlatformProfile profile) : helper(profile), registration_(helper.sessionRegistration()) {}

UiSandbox::~UiSandbox() {
    window_.reset();
    session_.reset();
    registration_->unregisterService();
}

ui::MainWindow& UiSandbox::open() {
    window_.reset();
    session_.reset();
    ui::AppSession::Parts parts;
    parts.layout = helper.layout();
    parts.fileSystem = &realFileSystem();
    AudioUnitRegistry registry;
    if (!auRegistryFile_.empty()) {
        auto loaded = AudioUnitRegistry::load(realFileSystem(), auRegistryFile_);
        EXPECT_TRUE(loaded) << auRegistryFile_;
        if (loaded) {
            registry = std::move(*loaded);
        }
    }
    parts.scanRunner = pluginScannerRunner(realFileSystem(), helper.layout(), std::move(registry));
    parts.makeService = serviceFactory ? serviceFactory : [registration = registration_](Executor& executor) {
        auto connect = [registration] { return makeSocketHelperConnection(registration->endpoint()); };
        return PluginManagementService::create(executor, registration, connect, {});
    };
    session_ = std::make_unique<ui::AppSession>(std::move(parts));
    window_ = std::make_unique<ui::MainWindow>(*session_, windowPrompter ? *windowPrompter : prompter);
    window_->show();
    QApplication::processEvents();
    return *window_;
}

std::string UiSandbox::installBundle(const std::string& fileName, const std::string& folder, const std::string& name,
                                     const std::string& manufacturer) const {
    const auto path = helper.makeBundle(helper.pluginPath(fileName, folder));
    const auto stem = fs::path(fileName).stem().string();
    std::ofstream(fs::path(path) / "Contents" / "Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        << "<key>CFBundleName</key><string>" << name << "</string>"
        << "<key>CFBundleIdentifier</key><string>com." << stem << ".plugin</string>"
        << "<key>CFBundleShortVersionString</key><string>1.2.0</string>"
        << "<key>AudioUnitManufacturer</key><string>" << manufacturer << "</string>"
        << "</dict></plist>\n";
    return path;
}

void UiSandbox::authorizeAndScan(std::vector<std::string> folders) {
    session_->folderAccess().authorize(folders.empty() ? std::vector{helper.layout().system("/Library")} : folders);
    store().startScan(session_->folderAccess().authorizedFolders(), &service());
    ASSERT_TRUE(waitFor([this] { return !store().isScanning(); })) << "the scan never finished";
}

void UiSandbox::layDemoTree(PlatformProfile profile) {
    const auto demo = helper.path("demo");
    const auto written =
        runCommand({std::string(KESTROVA_BINARY_DIR) + "/Kestrova.app/Contents/MacOS/kestrova-cli", "demo", "--profile",
                    profile == PlatformProfile::gnuLinux ? "linux" : "macos", "--output", demo});
    ASSERT_TRUE(written && written->exitCode == 0) << (written ? written->output : written.error().message);
    // The demo's executables are sparse files of their full logical size.
    for (const auto& [from, to] :
         {std::pair{demo + "/root/.", helper.layout().systemRoot}, std::pair{demo + "/home/.", helper.layout().home}}) {
        const auto copied = runCommand({"cp", "-a", "--sparse=always", from, to});
        ASSERT_TRUE(copied && copied->exitCode == 0) << "could not copy " << from;
    }
    if (fs::exists(demo + "/au-registry.json")) {
        auRegistryFile_ = demo + "/au-registry.json";
    }
}

ui::MainWindow& UiSandbox::openOnDemoInventory() {
    layDemoTree();
    auto& opened = open();
    authorizeAndScan({helper.layout().system("/Library"), helper.layout().home + "/Library"});
    enableHelper();
    settleNotices();
    return opened;
}

void UiSandbox::enableHelper() {
    service().enable();
    ASSERT_TRUE(waitFor([this] { return service().outstandingCalls() == 0 && service().canSendPrivilegedRequest(); }))
        << "the helper never became ready: " << service().lastError().value_or("");
}

void UiSandbox::disableHelper() {
    ASSERT_TRUE(registration_->unregisterService());
    service().refreshStatus();
    ASSERT_TRUE(waitFor([this] { return service().outstandingCalls() == 0 && !service().canSendPrivilegedRequest(); }))
        << "the helper still takes requests";
}

void UiSandbox::quarantine(const std::vector<std::string>& names, bool thenTrash,
                           const std::optional<std::string>& onlyFormat) {
    std::vector<PluginBundleSelection> selections;
    for (const auto& plugin : store().plugins()) {
        if (std::find(names.begin(), names.end(), plugin.name) != names.end()) {
            for (const auto& bundle : bundleRecords(plugin)) {
                if (!onlyFormat || bundle.format == *onlyFormat) {
                    selections.push_back({plugin.id, bundle.id()});
                }
            }
        }
    }
    // Each step one transaction, as the window's actions run it.
    for (const auto kind : {TransactionKind::quarantine, TransactionKind::trash}) {
        if (kind == TransactionKind::trash && !thenTrash) {
            break;
        }
        std::optional<bool> committed;
        ASSERT_TRUE(runSelection(store(), service(), kind, selections, [&](const auto&, bool ok) { committed = ok; }))
            << store().lastOperationError().value_or("");
        ASSERT_TRUE(waitFor([&] { return committed.has_value(); }));
        ASSERT_TRUE(*committed) << store().lastOperationError().value_or("");
    }
}

void UiSandbox::settleNotices() {
    ASSERT_TRUE(waitFor([this] { return !store().notice().has_value(); }));
    prompter.alerts.clear();
}

}  // namespace kestrova::testing
