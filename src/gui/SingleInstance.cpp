#include "gui/SingleInstance.h"

#include <QLocalSocket>

#include <unistd.h>

namespace gw::gui {

namespace {

// Paths are sent as UTF-8 lines; a line feed in a file name cannot be handed over and is
// left out.
QByteArray encode(const QStringList& files) {
    QByteArray bytes;
    for (const QString& file : files) {
        if (file.contains('\n')) continue;
        bytes += file.toUtf8() + '\n';
    }
    return bytes;
}

QStringList decode(const QByteArray& bytes) {
    QStringList files;
    for (const QByteArray& line : bytes.split('\n')) {
        if (!line.isEmpty()) files << QString::fromUtf8(line);
    }
    return files;
}

} // namespace

SingleInstance::SingleInstance(QString name) : name_(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultName() {
    return QStringLiteral("glyphwerk-%1").arg(static_cast<qulonglong>(::getuid()));
}

bool SingleInstance::handOver(const QStringList& files, int timeoutMs) const {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(encode(files));
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState && !socket.waitForDisconnected(timeoutMs))
        return false;
    return true;
}

bool SingleInstance::listen(std::function<void(const QStringList& files)> open) {
    open_ = std::move(open);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        // A socket left behind by a program that did not end cleanly.
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) {
            server_.reset();
            return false;
        }
    }
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            // Freed with the connections, when the socket goes.
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QLocalSocket::readyRead, socket,
                             [socket, buffer] { *buffer += socket->readAll(); });
            QObject::connect(socket, &QLocalSocket::disconnected, socket, [this, socket, buffer] {
                *buffer += socket->readAll();
                socket->deleteLater();
                if (open_) open_(decode(*buffer));
            });
        }
    });
    return true;
}

} // namespace gw::gui
