// How responsive the window stays while a cleanup preset moves 2,000 format
// bundles. The real window (offscreen) runs over a tree of 1,000 products
// with a VST2 and a VST3 bundle each, served by the real KestrovaHelper in
// session mode; the Format Cleanup screen builds the preview, every
// candidate is ticked, and "Quarantine Selected…" starts the run, which
// goes to the helper in chunks of 256. A 0 ms timer stamps every turn of
// the event loop; the longest gap between two turns is the longest time the
// window could not answer the person. The same stamping over an idle window
// is the baseline.
//
//     bench_ui_cleanup [products=1000]
//
// Goal: no gap longer than 100 ms while the run or its restore goes, and one
// alert for each (their summary), not one per chunk.
#include "helperclient/HelperConnection.h"
#include "helperclient/PluginManagementService.h"
#include "platform/ChildProcess.h"
#include "platform/FileSystem.h"
#include "platform/ServiceRegistration.h"
#include "store/PluginInventoryStore.h"
#include "store/runs/CleanupRunController.h"
#include "ui/app/AppSession.h"
#include "ui/app/MainWindow.h"
#include "ui/app/Prompter.h"
#include "ui/screens/format-cleanup/FormatCleanupScreen.h"
#include "ui/widgets/Theme.h"

#include <fmt/format.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace kestrova;
namespace fs = std::filesystem;

struct Sandbox {
    fs::path root;
    SystemLayout layout;
    std::string session;

    Sandbox() {
        std::string pattern = (fs::temp_directory_path() / "kestrova-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            throw std::runtime_error("mkdtemp failed");
        }
        root = fs::canonical(pattern);
        layout = SystemLayout{(root / "root").string(), (root / "home").string()};
        fs::create_directories(layout.system("/Library/Application Support/Kestrova/Quarantine"));
        fs::create_directories(layout.trashFolder());
        session = (root / "session").string();
        fs::create_directories(session);
        fs::permissions(session, fs::perms::owner_all);
    }
    ~Sandbox() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
};

// A bundle as the scanner reads it: an Info.plist naming product and maker,
// and an executable.
void makeBundle(const std::string& path, const std::string& name, const std::string& maker) {
    fs::create_directories(fs::path(path) / "Contents" / "MacOS");
    std::ofstream(fs::path(path) / "Contents" / "Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        << "<key>CFBundleName</key><string>" << name << "</string>"
        << "<key>CFBundleIdentifier</key><string>com.bench." << name << "</string>"
        << "<key>CFBundleShortVersionString</key><string>1.0.0</string>"
        << "<key>AudioUnitManufacturer</key><string>" << maker << "</string>"
        << "</dict></plist>\n";
    std::ofstream(fs::path(path) / "Contents" / "MacOS" / name) << "binary";
}

std::string helperExecutable() {
    // bench_ui_cleanup lives in <build>/bench; the bundle in <build>/Kestrova.app.
    const auto self = fs::read_symlink("/proc/self/exe");
    return (self.parent_path().parent_path() / "Kestrova.app/Contents/MacOS/KestrovaHelper").string();
}

struct FixedRegistration final : ServiceRegistration {
    HelperEndpoint where;
    ServiceRegistrationState status() override { return ServiceRegistrationState::enabled; }
    Status registerService() override { return {}; }
    Status unregisterService() override { return {}; }
    Status openSettings() override { return {}; }
    HelperEndpoint endpoint() const override { return where; }
};

// Confirms everything and shows nothing: the bench is the person.
class ConfirmingPrompter final : public ui::Prompter {
public:
    int confirmations = 0;
    int alerts = 0;
    std::vector<std::string> warnings;
    bool confirm(QWidget*, const ui::ConfirmationRequest&) override {
        ++confirmations;
        return true;
    }
    void alert(QWidget*, const QString& title, const QString& message) override {
        ++alerts;
        if (title.contains("Stopped") || title.contains("Blocked") || title.contains("Failed")) {
            warnings.push_back((title + ": " + message).toStdString());
        }
    }
    std::optional<std::string> savePath(QWidget*, const ui::SaveRequest&) override { return std::nullopt; }
    std::optional<std::vector<std::string>> chooseFolders(QWidget*, const FolderChooserPrompt&) override {
        return std::nullopt;
    }
    void reveal(const std::string&) override {}
    void copyToClipboard(const QString&) override {}
};

// Times every event the loop hands out, so the longest turns can be told
// by what took them: the receiving object's class and the event's type.
class TimedApplication final : public QApplication {
public:
    using QApplication::QApplication;

    struct Delivery {
        double milliseconds = 0;
        std::string what;
    };

    bool notify(QObject* receiver, QEvent* event) override {
        if (depth_++ > 0 || !recording) {
            const bool handled = QApplication::notify(receiver, event);
            --depth_;
            return handled;
        }
        QElapsedTimer watch;
        watch.start();
        const auto what = fmt::format("{} ({}, event {})", receiver->metaObject()->className(),
                                      receiver->objectName().toStdString(), static_cast<int>(event->type()));
        const bool handled = QApplication::notify(receiver, event);
        --depth_;
        slowest.push_back({static_cast<double>(watch.nsecsElapsed()) / 1e6, what});
        std::sort(slowest.begin(), slowest.end(),
                  [](const Delivery& a, const Delivery& b) { return a.milliseconds > b.milliseconds; });
        if (slowest.size() > 4) {
            slowest.pop_back();
        }
        return handled;
    }

    bool recording = false;
    std::vector<Delivery> slowest;

private:
    int depth_ = 0;
};

void printSlowest(TimedApplication& application) {
    for (const auto& delivery : application.slowest) {
        fmt::print("    {:7.1f} ms in {}\n", delivery.milliseconds, delivery.what);
    }
    application.slowest.clear();
}

// Stamps each turn of the event loop with a 0 ms timer and keeps the gaps.
class TurnGaps {
public:
    TurnGaps() {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto now = clock_.nsecsElapsed();
            gaps_.push_back(static_cast<double>(now - last_) / 1e6);
            last_ = now;
        });
    }
    void start() {
        gaps_.clear();
        clock_.start();
        last_ = 0;
        timer_.start();
    }
    void stop() { timer_.stop(); }
    double longest() const { return gaps_.empty() ? 0 : *std::max_element(gaps_.begin(), gaps_.end()); }
    double percentile(double fraction) const {
        if (gaps_.empty()) {
            return 0;
        }
        auto sorted = gaps_;
        std::sort(sorted.begin(), sorted.end());
        return sorted[std::min(sorted.size() - 1,
                               static_cast<std::size_t>(fraction * static_cast<double>(sorted.size())))];
    }
    std::size_t turns() const { return gaps_.size(); }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    std::vector<double> gaps_;
};

// Runs the event loop until `done`, at most `seconds`.
bool runUntil(const std::function<bool()>& done, int seconds) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > seconds * 1000) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

void runFor(int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds) {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
}

template <typename T>
T* findByText(QWidget& root, const QString& text) {
    for (auto* widget : root.findChildren<T*>()) {
        if (widget->text() == text) {
            return widget;
        }
    }
    throw std::runtime_error("no widget with the text " + text.toStdString());
}

void printGaps(const char* what, const TurnGaps& gaps, double seconds) {
    fmt::print("{:<34} longest gap {:7.1f} ms, p99 {:6.2f} ms, {} turns in {:.2f} s\n", what, gaps.longest(),
               gaps.percentile(0.99), gaps.turns(), seconds);
}

}  // namespace

int main(int argc, char** argv) {
    const int products = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int qtArgc = 1;
    static char name[] = "bench_ui_cleanup";
    static char* qtArgv[] = {name, nullptr};
    TimedApplication application(qtArgc, qtArgv);
    ui::applyPreferredStyle(application);

    Sandbox sandbox;
    for (int i = 0; i < products; ++i) {
        const auto product = fmt::format("Bench{:04}", i);
        const auto maker = fmt::format("Maker {:02}", i % 40);
        makeBundle(sandbox.layout.system(fmt::format("/Library/Audio/Plug-Ins/VST/{}.vst", product)), product, maker);
        makeBundle(sandbox.layout.system(fmt::format("/Library/Audio/Plug-Ins/VST3/{}.vst3", product)), product, maker);
    }

    const auto socket = sandbox.session + "/helper.sock";
    const auto self = fs::read_symlink("/proc/self/exe").string();
    const auto daemon =
        startDetached({helperExecutable(), "--session", "--socket", socket, "--root", sandbox.layout.systemRoot,
                       "--home", sandbox.layout.home, "--allow-client", self},
                      "/dev/null");
    if (!daemon) {
        fmt::print(stderr, "{}\n", daemon.error().message);
        return 1;
    }
    for (int tick = 0; tick < 500 && !fs::exists(socket); ++tick) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    auto registration = std::make_shared<FixedRegistration>();
    registration->where = {socket, ::getuid()};

    int status = 0;
    {
        ui::AppSession::Parts parts;
        parts.layout = sandbox.layout;
        parts.fileSystem = &realFileSystem();
        parts.scanRunner = pluginScannerRunner(realFileSystem(), sandbox.layout);
        parts.makeService = [registration](Executor& executor) {
            return PluginManagementService::create(
                executor, registration, [registration] { return makeSocketHelperConnection(registration->where); }, {});
        };
        ui::AppSession session(std::move(parts));
        ConfirmingPrompter prompter;
        ui::MainWindow window(session, prompter);
        window.show();
        auto& store = session.store();
        auto& service = session.service();
        auto& runs = session.cleanupRuns();
        runUntil([&] { return service.outstandingCalls() == 0; }, 30);
        if (!service.canSendPrivilegedRequest()) {
            fmt::print(stderr, "KestrovaHelper is not reachable: {}\n", service.lastError().value_or(""));
            ::kill(*daemon, SIGTERM);
            return 1;
        }
        session.folderAccess().authorize({sandbox.layout.system("/Library")});
        store.startScan(session.folderAccess().authorizedFolders(), &service);
        runUntil([&] { return !store.isScanning(); }, 600);
        fmt::print("{} products, {} format bundles scanned\n", store.plugins().size(), 2 * products);

        window.showSection(ui::AppSection::formatCleanup);
        auto& screen = *window.screen(ui::AppSection::formatCleanup);
        runFor(200);

        TurnGaps gaps;
        QElapsedTimer clock;
        gaps.start();
        clock.start();
        runFor(3000);
        gaps.stop();
        printGaps("idle window (baseline):", gaps, static_cast<double>(clock.elapsed()) / 1000);
        const auto idleLongest = gaps.longest();

        // The preview: custom, VST2 and VST3. Every candidate is the last
        // active format of its product, so each one is ticked by hand.
        QTest::mouseClick(screen.findChild<QRadioButton*>("custom"), Qt::LeftButton);
        QTest::mouseClick(findByText<QCheckBox>(screen, "VST2"), Qt::LeftButton);
        QTest::mouseClick(findByText<QCheckBox>(screen, "VST3"), Qt::LeftButton);
        QElapsedTimer previewClock;
        previewClock.start();
        QTest::mouseClick(findByText<QPushButton>(screen, "Build Preview"), Qt::LeftButton);
        const auto previewTime = static_cast<double>(previewClock.elapsed());
        runFor(100);
        for (const auto& candidate : runs.plan()->candidates) {
            runs.setSelected(candidate.selection, true);
        }
        runFor(200);
        fmt::print("preview of {} candidates built in {:.0f} ms (one click)\n", runs.plan()->candidates.size(),
                   previewTime);

        // The scan's own notice is not the run's.
        prompter.alerts = 0;
        gaps.start();
        clock.restart();
        application.recording = true;
        QTest::mouseClick(findByText<QPushButton>(screen, "Quarantine Selected…"), Qt::LeftButton);
        runUntil([&] { return !runs.isBusy() && service.outstandingCalls() == 0; }, 600);
        runFor(100);  // the last redraw
        gaps.stop();
        const auto runSeconds = static_cast<double>(clock.elapsed()) / 1000;
        const auto moved = store.quarantinedBundleCount();
        printGaps("cleanup run:", gaps, runSeconds);
        printSlowest(application);
        const auto runLongest = gaps.longest();
        const auto runAlerts = prompter.alerts;
        prompter.alerts = 0;

        gaps.start();
        clock.restart();
        QTest::mouseClick(findByText<QPushButton>(screen, "Restore Completed Run"), Qt::LeftButton);
        runUntil([&] { return !runs.isBusy() && service.outstandingCalls() == 0; }, 600);
        runFor(100);
        gaps.stop();
        application.recording = false;
        printGaps("run restore:", gaps, static_cast<double>(clock.elapsed()) / 1000);
        printSlowest(application);
        const auto restoreLongest = gaps.longest();
        const auto restoreAlerts = prompter.alerts;

        // What one turn of the run does besides drawing: the store's commit
        // and the next chunk's preparation each save the state file once.
        const auto timed = [](const std::function<void()>& work) {
            QElapsedTimer watch;
            watch.start();
            work();
            return static_cast<double>(watch.nsecsElapsed()) / 1e6;
        };
        const auto saveTime = timed([&] { store.save(); });
        const auto previewTime2 = timed([&] { runs.buildPreview(runs.preset(), runs.customFormats()); });
        const auto redrawTime = timed([&] {
            window.showSection(ui::AppSection::inventory);
            window.showSection(ui::AppSection::formatCleanup);
            QApplication::processEvents();
        });
        fmt::print("one state file save {:.1f} ms; one preview build {:.1f} ms; one screen redraw {:.1f} ms\n",
                   saveTime, previewTime2, redrawTime);
        fmt::print("{} bundles quarantined by the run, {} still in quarantine after its restore\n", moved,
                   store.quarantinedBundleCount());
        fmt::print("longest gap while running: {:.1f} ms = {:.1f}x the idle baseline (goal: under 100 ms)\n",
                   runLongest, idleLongest > 0 ? runLongest / idleLongest : 0.0);
        fmt::print("longest gap while restoring the run: {:.1f} ms = {:.1f}x the idle baseline (goal: under 100 ms)\n",
                   restoreLongest, idleLongest > 0 ? restoreLongest / idleLongest : 0.0);
        fmt::print("alerts shown: {} for the run, {} for its restore (goal: one summary each)\n", runAlerts,
                   restoreAlerts);
        for (const auto& warning : prompter.warnings) {
            fmt::print(stderr, "{}\n", warning);
        }
        status = moved == 2 * products && prompter.warnings.empty() ? 0 : 1;
        if (runAlerts != 1 || restoreAlerts != 1) {
            status = 1;
        }
    }
    ::kill(*daemon, SIGTERM);
    ::waitpid(*daemon, nullptr, 0);
    return status;
}
