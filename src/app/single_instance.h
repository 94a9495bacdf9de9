// One running copy per folder of the history and settings files: those files
// must have a single writer, so the lock file lies beside them (whatever the
// temporary folder). A lock file left behind by a copy that crashed or was
// killed is taken over by the next start. A lock that cannot be made at all
// (a read-only or full folder) does not keep the program from running: no
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

    // The lock file in `fileFolder`, the folder that holds the history and
    // settings files (with or without a trailing separator).
    static QString lockPathFor(const QString& fileFolder);

private:
    QString path_;
    QLockFile lock_;
};

}  // namespace pressory::app
