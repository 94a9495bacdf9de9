// One running copy per folder of the history and settings files: those files
// must have a single writer, so the lock file lies beside them (whatever the
// temporary folder). A lock file is taken over only when its holder is
// provably gone: it ran on this machine and either its process has ended or
// it was written before the machine last started. A lock of another machine
// (a shared or removable folder) is never taken over, however old: whether
// that copy still runs cannot be known from here; the refusal names the file
// to remove. A lock that cannot be made at all (a read-only or full folder, a
// folder in the lock file's place) does not keep the program from running: no
// other copy can hold it either.
#pragma once

#include <QLockFile>
#include <QString>

namespace pressory::app {

class SingleInstance {
public:
    static constexpr const char* kLockFileName = "Pressory.lock";

    enum class Outcome {
        Acquired,       // this copy holds the lock until it ends
        HeldByAnother,  // another running copy holds it: refuse to start
        Unavailable,    // the lock file cannot be made; `reason` says why
    };

    struct Result {
        Outcome outcome = Outcome::Unavailable;
        QString reason;  // Japanese for the common causes, when Unavailable

        // Whether this copy may run: true unless another copy holds the lock.
        explicit operator bool() const { return outcome != Outcome::HeldByAnother; }
    };

    explicit SingleInstance(const QString& lockPath);

    Result acquire();

    const QString& path() const { return path_; }

    // The box text when another copy holds the lock: "既に起動しています。",
    // then how to start when no other copy runs, and the lock file's path.
    QString refusalText() const;

    // The lock file in `fileFolder`, the folder that holds the history and
    // settings files (with or without a trailing separator).
    static QString lockPathFor(const QString& fileFolder);

private:
    bool heldBeforeThisBoot() const;
    // The lock names another machine (its host name, or this host name with
    // another machine id).
    bool heldByAnotherMachine() const;

    QString path_;
    QLockFile lock_;
};

}  // namespace pressory::app
