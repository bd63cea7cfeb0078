#include "ui/main/ProgramEntry.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/Clock.h"
#include "core/LiveState.h"
#include "core/UserFolder.h"
#include "ui/common/SingleInstance.h"
#include "ui/main/MainWindow.h"

namespace corvane::ui {

namespace {

// An installed copy works in the user's own folder, seeded from the data shipped with it; a
// copy in the build tree works where it was started (./run has already moved there).
void EnterUserFolder() {
    std::error_code ec;
    const std::string program = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    const std::string bundled =
        FindBundledData(ec ? QCoreApplication::applicationFilePath().toStdString() : program);
    if (bundled.empty()) return;
    const std::string work = UserWorkFolder([](const char* name) { return std::getenv(name); });
    std::string why = work.empty() ? std::string("neither CORVANE_HOME nor HOME is set") : std::string();
    if (!work.empty() && SeedUserFolder(bundled, work, &why)) {
        std::filesystem::current_path(work, ec);
        if (!ec) return;
        why = "cannot enter " + work + ": " + ec.message();
    }
    QMessageBox::warning(
        nullptr, QStringLiteral("Corvane"),
        QStringLiteral("Corvane cannot prepare its folder (%1).\nIt will work in %2 instead.")
            .arg(QString::fromStdString(why), QDir::currentPath()));
}

}  // namespace

int ProgramEntry(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    QApplication::setQuitOnLastWindowClosed(true);

    // Another copy is running: it comes to the front and this one ends.
    if (SingleInstance::AskRunningCopyToShow()) return 0;

    EnterUserFolder();

    SystemClock clock;
    LiveState live;
    MainWindow window(clock, live);
    SingleInstance instance;
    instance.Listen([&window] { window.BringToFront(); });

    if (!window.Initialise()) return 0;  // the disclaimer was declined
    window.show();
    app.exec();
    // DEPARTURE: a normal run ends with 0, the POSIX convention for success (a non-zero status
    // would tell scripts and desktop launchers that the program failed).
    return 0;
}

}  // namespace corvane::ui
