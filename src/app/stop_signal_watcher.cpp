#include "app/stop_signal_watcher.h"

#include <QSocketNotifier>

#include "platform/stop_signals.h"

namespace pressory::app {

StopSignalWatcher::StopSignalWatcher(QObject* parent) : QObject(parent), socket_(platform::installStopSignalSocket()) {
    if (socket_ < 0) return;
    notifier_ = new QSocketNotifier(socket_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        while (const int signal = platform::readStopSignal(socket_)) emit stopRequested(signal);
    });
}

}  // namespace pressory::app
