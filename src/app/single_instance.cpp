#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>

namespace pressory::app {

SingleInstance::SingleInstance(const QString& lockPath) : lock_(lockPath) {
    // A running copy's lock never goes stale by age, however long it runs;
    // a lock whose process is gone is stale at once.
    lock_.setStaleLockTime(0);
}

bool SingleInstance::acquire() { return lock_.tryLock(0); }

QString SingleInstance::lockPathFor(const QString& applicationFolder) {
    const QByteArray hash =
        QCryptographicHash::hash(applicationFolder.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    return QDir(QDir::tempPath()).filePath(QStringLiteral("Pressory-%1.lock").arg(QString::fromLatin1(hash)));
}

}  // namespace pressory::app
