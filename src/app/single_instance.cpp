#include "app/single_instance.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <system_error>

#include "app/main_window_texts.h"
#include "files/file_reason.h"
#include "platform/boot_time.h"
#include "platform/file_access.h"

namespace pressory::app {

SingleInstance::SingleInstance(const QString& lockPath) : path_(lockPath), lock_(lockPath) {
    // A running copy's lock never goes stale by age, however long it runs;
    // a lock whose process is gone is stale at once.
    lock_.setStaleLockTime(0);
}

SingleInstance::Result SingleInstance::acquire() {
    if (lock_.tryLock(0)) return {Outcome::Acquired, {}};
    if (lock_.error() == QLockFile::LockFailedError) {
        // Something other than a lock file in its place (a folder, a link to
        // nothing) is no running copy: the lock cannot be made there.
        const QFileInfo at(path_);
        if (at.isDir()) {
            return {Outcome::Unavailable,
                    QString::fromStdString(files::reasonText(std::make_error_code(std::errc::is_a_directory)))};
        }
        if (at.exists() ? !at.isFile() : at.isSymLink())
            return {Outcome::Unavailable, QString::fromUtf8(files::kReasonNotRegularFile)};
        if (!at.exists() && lock_.tryLock(0)) return {Outcome::Acquired, {}};  // its holder ended meanwhile
        // Removing it takes the file's own lock first (on POSIX), which a
        // copy still running on this machine holds: a wrong guess cannot
        // take a live copy's lock.
        // Another machine's copy: whether it still runs shows only in the
        // system's lock on the file, which its holder keeps while it runs and
        // which goes with it (a crash, a USB stick moved to this machine).
        if ((heldBeforeThisBoot() || heldByAnotherMachine()) && lock_.removeStaleLockFile() && lock_.tryLock(0))
            return {Outcome::Acquired, {}};
        return {Outcome::HeldByAnother, {}};
    }

    // The lock file could not be made: ask the folder why.
    const platform::WriteCheck check = platform::checkWritable(
        QFile::encodeName(QDir::toNativeSeparators(path_)).toStdString(), platform::WriteKind::ReplaceWhole);
    std::string reason = check.reason;
    if (check.ok) {
        reason = files::reasonText(lock_.error() == QLockFile::PermissionError
                                       ? std::make_error_code(std::errc::permission_denied)
                                       : std::error_code{});
    }
    return {Outcome::Unavailable, QString::fromStdString(reason)};
}

// QLockFile already takes over the lock of an ended process of this machine,
// and of this machine's earlier boot when the lock names its boot (lines 4
// and 5 of its file: the machine's id and the boot's id, empty where the
// platform has none, as on Windows). What is left: a lock of this machine
// without a boot id whose file is older than this boot.
bool SingleInstance::heldBeforeThisBoot() const {
    qint64 pid = 0;
    QString host;
    QString appName;
    if (!lock_.getLockInfo(&pid, &host, &appName)) return false;
    if (host.isEmpty() || host != QSysInfo::machineHostName()) return false;
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    for (int i = 0; i < 3; ++i) file.readLine();
    const QByteArray machineId = file.readLine().trimmed();
    const QByteArray bootId = file.readLine().trimmed();
    // A lock that names a machine names another one unless it names this one.
    if (!machineId.isEmpty() && machineId != QSysInfo::machineUniqueId()) return false;
    const QByteArray ourBootId = QSysInfo::bootUniqueId();
    if (!bootId.isEmpty() && !ourBootId.isEmpty()) return bootId != ourBootId;
    const std::optional<std::int64_t> booted = platform::bootTime();
    const QDateTime written = QFileInfo(file).lastModified();
    return booted && written.isValid() && written.toSecsSinceEpoch() < *booted;
}

bool SingleInstance::heldByAnotherMachine() const {
    qint64 pid = 0;
    QString host;
    QString appName;
    if (!lock_.getLockInfo(&pid, &host, &appName)) return false;
    if (!host.isEmpty() && host != QSysInfo::machineHostName()) return true;
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return false;
    for (int i = 0; i < 3; ++i) file.readLine();
    const QByteArray machineId = file.readLine().trimmed();
    return !machineId.isEmpty() && machineId != QSysInfo::machineUniqueId();
}

QString SingleInstance::refusalText() const {
    return texts::kAlreadyRunning + QLatin1Char('\n') + texts::kRemoveLeftLock + QLatin1Char('\n') +
           QDir::toNativeSeparators(path_);
}

QString SingleInstance::lockPathFor(const QString& fileFolder) {
    return QDir(fileFolder).filePath(QString::fromLatin1(kLockFileName));
}

}  // namespace pressory::app
