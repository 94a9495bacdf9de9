#include "app/second_start.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace pressory::app {
namespace {

// What the refused copy sends; anything else is ignored.
constexpr char kShowRequest[] = "show\n";
constexpr qint64 kRequestSize = sizeof(kShowRequest) - 1;

}  // namespace

QString secondStartServerName(const QString& lockPath) {
    const QFileInfo lock(lockPath);
    const QFileInfo folder(lock.absolutePath());
    const QString real = folder.exists() ? folder.canonicalFilePath() : folder.absoluteFilePath();
    QString key = QDir::cleanPath(real + QLatin1Char('/') + lock.fileName());
#ifdef Q_OS_WIN
    key = key.toLower();
#endif
    const QString name =
        QStringLiteral("Pressory-") +
        QString::fromLatin1(QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(32));
#ifdef Q_OS_WIN
    return name;
#else
    // In the user's runtime folder, not in the temporary folder, which each
    // copy may see elsewhere (TMPDIR); Qt's temporary folder without one.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo(runtime).isDir() ? QDir(runtime).filePath(name) : name;
#endif
}

SecondStartListener::SecondStartListener(const QString& lockPath, QObject* parent)
    : QObject(parent), name_(secondStartServerName(lockPath)), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SecondStartListener::onNewConnection);
}

bool SecondStartListener::listen() {
    if (server_->listen(name_)) return true;
    // A socket left by a copy that ended without closing it: this copy holds
    // the lock, so no running copy can own the name.
    if (server_->serverError() != QAbstractSocket::AddressInUseError) return false;
    QLocalServer::removeServer(name_);
    return server_->listen(name_);
}

QString SecondStartListener::error() const { return server_->errorString(); }

void SecondStartListener::onNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(5000, socket, &QLocalSocket::abort);  // a peer that never sends
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() < kRequestSize) return;
            const QByteArray request = socket->read(kRequestSize);
            socket->write("ok\n");
            socket->disconnectFromServer();
            if (request == kShowRequest) emit showRequested();
        });
    }
}

bool askRunningCopyToShow(const QString& lockPath, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(secondStartServerName(lockPath));
    if (!socket.waitForConnected(timeoutMs)) return false;
    socket.write(kShowRequest, kRequestSize);
    if (!socket.waitForBytesWritten(timeoutMs)) return false;
    const bool answered = socket.waitForReadyRead(timeoutMs) && socket.readAll().startsWith("ok");
    socket.disconnectFromServer();
    return answered;
}

}  // namespace pressory::app
