#include "ui/common/SingleInstance.h"

#include <QLocalSocket>
#include <unistd.h>

namespace corvane::ui {

namespace {
constexpr const char* kShowRequest = "show\n";
}

QString SingleInstance::ServerName() {
    const QByteArray custom = qgetenv("CORVANE_INSTANCE_NAME");
    if (!custom.isEmpty()) return QString::fromLocal8Bit(custom);
    return QStringLiteral("corvane-main-window-%1").arg(::getuid());
}

bool SingleInstance::AskRunningCopyToShow(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(ServerName());
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(kShowRequest);
    socket.waitForBytesWritten(timeoutMs);
    // Wait for the first copy to acknowledge, so that it has really seen the request.
    socket.waitForReadyRead(timeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::Listen(std::function<void()> onShowRequest) {
    onShow_ = std::move(onShowRequest);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(ServerName())) {
        // A socket left over by a copy that crashed: nobody answers on it, so take it over.
        QLocalServer::removeServer(ServerName());
        if (!server_.listen(ServerName())) return false;
    }
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                const QByteArray data = socket->readAll();
                if (data.contains("show")) {
                    socket->write("ok\n");
                    socket->flush();
                    if (onShow_) onShow_();
                }
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}

}  // namespace corvane::ui
