#include "app/notify_area.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "app/frm_main_texts.h"

#if PRESSORY_HAVE_QTDBUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#endif

namespace pressory::app {

QtNotifyArea::QtNotifyArea(const QIcon& icon, const QString& tip)
    : singleClick_(statusNotifierHostRegistered()), icon_(icon) {
    icon_.setToolTip(tip);
    QObject::connect(&icon_, &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason reason) {
        if (handler_) handler_(reason);
    });
}

bool QtNotifyArea::available() const { return QSystemTrayIcon::isSystemTrayAvailable(); }
void QtNotifyArea::add() { icon_.show(); }
void QtNotifyArea::remove() { icon_.hide(); }
bool QtNotifyArea::present() const { return icon_.isVisible(); }
void QtNotifyArea::setActivatedHandler(Activated handler) { handler_ = std::move(handler); }
bool QtNotifyArea::restoresOnSingleClick() const { return singleClick_; }

bool statusNotifierHostRegistered() {
#if PRESSORY_HAVE_QTDBUS
    // Qt's tray takes its D-Bus backend exactly when the watcher service is
    // on the session bus and says a host is registered; it asks once, when
    // the first icon is made. The same question, asked the same way.
    static const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr) return false;
    if (!bus.interface()->isServiceRegistered(kWatcher).value()) return false;
    QDBusInterface watcher(kWatcher, QStringLiteral("/StatusNotifierWatcher"), kWatcher, bus);
    return watcher.isValid() && watcher.property("IsStatusNotifierHostRegistered").toBool();
#else
    return false;
#endif
}

QString notifyTip() {
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return name.isEmpty() ? texts::kTitle : name;
}

}  // namespace pressory::app
