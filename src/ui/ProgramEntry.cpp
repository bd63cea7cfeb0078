#include "ui/ProgramEntry.h"

#include <QApplication>

#include "core/Clock.h"
#include "core/LiveState.h"
#include "ui/MainWindow.h"
#include "ui/SingleInstance.h"

namespace corvane::ui {

int ProgramEntry(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    QApplication::setQuitOnLastWindowClosed(true);

    // Another copy is running: it comes to the front and this one ends.
    if (SingleInstance::AskRunningCopyToShow()) return 0;

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
