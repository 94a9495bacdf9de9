// A second start of the program for the same files: the refused copy asks
// the running one to bring its window forward, through a local socket
// (a named pipe on Windows) whose name comes from the lock file's path, so
// that copies for different folders never talk to each other.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace pressory::app {

class SecondStartListener final : public QObject {
    Q_OBJECT
public:
    // For the copy that holds the lock at `lockPath`.
    explicit SecondStartListener(const QString& lockPath, QObject* parent = nullptr);

    // Starts listening. False (and the program runs on without it) when the
    // name cannot be taken; `error()` says why.
    bool listen();
    QString error() const;

signals:
    // A second start asked for the window.
    void showRequested();

private:
    void onNewConnection();

    QString name_;
    QLocalServer* server_;
};

// The refused copy's request: true when the running copy took it within
// `timeoutMs`.
bool askRunningCopyToShow(const QString& lockPath, int timeoutMs = 2000);

// The server's name for a lock file: a hash of its absolute path (the
// folder's real path where it exists; the letter case is ignored on
// Windows), as a socket in the user's runtime folder (XDG_RUNTIME_DIR) where
// there is one, else as a plain name.
QString secondStartServerName(const QString& lockPath);

}  // namespace pressory::app
