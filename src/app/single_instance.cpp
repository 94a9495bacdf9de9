#include "app/single_instance.h"

#include <QDir>
#include <QFile>
#include <system_error>

#include "history/file_reason.h"
#include "platform/file_access.h"

namespace pressory::app {

SingleInstance::SingleInstance(const QString& lockPath) : path_(lockPath), lock_(lockPath) {
    // A running copy's lock never goes stale by age, however long it runs;
    // a lock whose process is gone is stale at once.
    lock_.setStaleLockTime(0);
}

SingleInstance::Result SingleInstance::acquire() {
    if (lock_.tryLock(0)) return {Outcome::Acquired, {}};
    if (lock_.error() == QLockFile::LockFailedError) return {Outcome::HeldByAnother, {}};

    // The lock file could not be made: ask the folder why.
    const platform::WriteCheck check = platform::checkWritable(
        QFile::encodeName(QDir::toNativeSeparators(path_)).toStdString(), platform::WriteKind::ReplaceWhole);
    std::string reason = check.reason;
    if (check.ok) {
        reason = history::reasonText(lock_.error() == QLockFile::PermissionError
                                         ? std::make_error_code(std::errc::permission_denied)
                                         : std::error_code{});
    }
    return {Outcome::Unavailable, QString::fromStdString(reason)};
}

QString SingleInstance::lockPathFor(const QString& fileFolder) {
    return QDir(fileFolder).filePath(QString::fromLatin1(kLockFileName));
}

}  // namespace pressory::app
