// Watches the operating system's termination requests from the event loop.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace pressory::app {

class StopSignalWatcher final : public QObject {
    Q_OBJECT
public:
    explicit StopSignalWatcher(QObject* parent = nullptr);
    bool active() const { return notifier_ != nullptr; }

signals:
    void stopRequested(int signal);

private:
    QSocketNotifier* notifier_ = nullptr;
    int socket_ = -1;
};

}  // namespace pressory::app
