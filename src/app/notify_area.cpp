#include "app/notify_area.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QPointer>
#include <QWidget>

#include "app/main_window_texts.h"

#if PRESSORY_HAVE_QTDBUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#endif

namespace pressory::app {
namespace {

// Watches a window for being minimised; owned by the window.
class MinimiseWatch final : public QObject {
public:
    MinimiseWatch(QWidget* window, NotifyArea& area, std::function<bool()> mayHide)
        : QObject(window), window_(window), area_(area), mayHide_(std::move(mayHide)) {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != window_ || event->type() != QEvent::WindowStateChange || !window_->isMinimized()) return false;
        if (!area_.available()) return false;
        // Hidden once the window system has finished minimising it.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!window_->isMinimized() || !mayHide_()) return;
                window_->hide();
                area_.add();
            },
            Qt::QueuedConnection);
        return false;
    }

private:
    QWidget* window_;
    NotifyArea& area_;
    std::function<bool()> mayHide_;
};

}  // namespace

void NotifyArea::hideOnMinimise(QWidget* window, std::function<bool()> mayHide) {
    new MinimiseWatch(window, *this, std::move(mayHide));
    setActivatedHandler([this, target = QPointer<QWidget>(window)](QSystemTrayIcon::ActivationReason reason) {
        // Only a double-click of the left button brings the window back; a
        // host that never reports one (StatusNotifierItem) restores on its
        // left click.
        const auto restoreOn = restoresOnSingleClick() ? QSystemTrayIcon::Trigger : QSystemTrayIcon::DoubleClick;
        if (reason != restoreOn || target == nullptr) return;
        remove();
        target->setWindowState(target->windowState() & ~Qt::WindowMinimized);
        target->show();
    });
}

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
