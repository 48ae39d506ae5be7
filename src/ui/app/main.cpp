// kestrova: the desktop application.
#include "ui/app/AppSession.h"
#include "ui/app/Launch.h"
#include "ui/app/MainWindow.h"
#include "ui/app/Prompter.h"
#include "ui/app/Screenshot.h"
#include "ui/widgets/Theme.h"

#include <QApplication>

#include <unistd.h>

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    using namespace kestrova::ui;
    const std::vector<std::string> arguments(argv, argv + argc);
    auto options = parseLaunchOptions(arguments);
    if (!options) {
        std::cerr << options.error().message << '\n';
        return 2;
    }
    if (options->help) {
        std::cout << launchUsage();
        return 0;
    }
    if (options->screenshot) {
        // A screenshot never needs a display.
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    if (const auto message = missingDisplayMessage(std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"),
                                                   std::getenv("WAYLAND_DISPLAY"))) {
        std::cerr << *message << '\n';
        return 1;
    }

    // Qt wants a runtime folder while it starts; the variable is taken back
    // afterwards, because the session helper's folder is found from it and
    // kestrova-cli, started from the same shell, looks without it.
    const auto runtime = privateRuntimeDirectory(std::getenv("XDG_RUNTIME_DIR"), ::getuid());
    if (runtime) {
        ::setenv("XDG_RUNTIME_DIR", runtime->c_str(), 1);
    }
    QApplication application(argc, argv);
    if (runtime) {
        ::unsetenv("XDG_RUNTIME_DIR");
    }
    QApplication::setApplicationName(QStringLiteral("Kestrova"));
    // Desktops match the window to the installed entry and its icon by this.
    QApplication::setDesktopFileName(QStringLiteral("com.tolvanek.Kestrova"));
    applyPreferredStyle(application);

    auto session = openAppSession(options->app);
    if (!session) {
        std::cerr << "kestrova: " << session.error().message << '\n';
        return 1;
    }
    if (options->screenshot) {
        const auto size = options->screenshot->size
                              ? QSize(options->screenshot->size->first, options->screenshot->size->second)
                              : MainWindow::defaultSize;
        auto written = writeScreenshot(**session, options->screenshot->section, options->screenshot->file, size);
        if (!written) {
            std::cerr << "kestrova: " << written.error().message << '\n';
            return 1;
        }
        return 0;
    }
    DialogPrompter prompter((*session)->layout().profile);
    MainWindow window(**session, prompter);
    window.show();
    return QApplication::exec();
}
