#pragma once
// One copy of the program per user: the first copy listens on a private local socket; a second
// copy asks it to bring its window to the front and ends.
#include <QLocalServer>
#include <QObject>
#include <QString>

#include <functional>

namespace corvane::ui {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The server name is private to the user; CORVANE_INSTANCE_NAME overrides it (tests).
    static QString ServerName();

    // True when another copy answered: it has been asked to show itself.
    static bool AskRunningCopyToShow(int timeoutMs = 1000);

    // Starts listening; `onShowRequest` runs on the GUI thread for each request.
    bool Listen(std::function<void()> onShowRequest);

private:
    QLocalServer server_;
    std::function<void()> onShow_;
};

}  // namespace corvane::ui
