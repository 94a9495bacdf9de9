// One running copy per program folder: the settings and history files beside
// the program must have a single writer. A lock file left behind by a copy
// that crashed or was killed is taken over by the next start.
#pragma once

#include <QLockFile>
#include <QString>

namespace pressory::app {

class SingleInstance {
public:
    explicit SingleInstance(const QString& lockPath);

    // True when no other running copy holds the lock; this copy then holds it
    // until it ends.
    bool acquire();

    // The lock file of the program installed in `applicationFolder`, in the
    // system's folder for temporary files.
    static QString lockPathFor(const QString& applicationFolder);

private:
    QLockFile lock_;
};

}  // namespace pressory::app
