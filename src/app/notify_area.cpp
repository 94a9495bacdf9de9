#include "app/notify_area.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <optional>

#include "app/main_window_texts.h"
#include "counting/key_layout.h"

#if PRESSORY_HAVE_QTDBUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#endif

namespace pressory::app {
namespace {

// Watches a window for being minimised and brings it back; owned by the
// window. While the icon is there, the tip's total is read once a second.
class MinimiseWatch final : public QObject {
public:
    MinimiseWatch(QWidget* window, NotifyArea& area, std::function<bool()> mayHide, std::function<std::int32_t()> total,
                  std::function<QString()> keySource)
        : QObject(window),
          window_(window),
          area_(area),
          mayHide_(std::move(mayHide)),
          total_(std::move(total)),
          keySource_(std::move(keySource)) {
        window->installEventFilter(this);
        menu_ = new QMenu(window);
        menu_->setObjectName(QStringLiteral("mnuTray"));
        QAction* show = menu_->addAction(texts::kTrayShow, this, [this] { bringBack(); });
        show->setObjectName(QStringLiteral("mnuTrayShow"));
        menu_->setDefaultAction(show);
        quit_ = menu_->addAction(texts::kTrayQuit, window, &QWidget::close);
        quit_->setObjectName(QStringLiteral("mnuTrayQuit"));
        connect(menu_, &QMenu::aboutToShow, this, [this] { refreshTip(); });
        area_.setMenu(menu_);
        tipTimer_.setInterval(1000);
        connect(&tipTimer_, &QTimer::timeout, this, [this] { refreshTip(); });
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
                refreshTip();
                area_.add();
                if (total_) tipTimer_.start();
            },
            Qt::QueuedConnection);
        return false;
    }

    void addItem(QAction* item) { menu_->insertAction(quit_, item); }

    void bringBack() {
        if (!mayHide_()) return;  // closing: the window goes, not back
        tipTimer_.stop();
        area_.remove();
        window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
        window_->show();
        window_->raise();
        window_->activateWindow();
    }

private:
    void refreshTip() {
        if (!total_) return;
        const std::int32_t total = total_();
        const QString keySource = keySource_ ? keySource_() : QString();
        if (total == shownTotal_ && keySource == shownKeySource_) return;
        shownTotal_ = total;
        shownKeySource_ = keySource;
        area_.setTip(notifyTipWithTotal(total, keySource));
    }

    QWidget* window_;
    NotifyArea& area_;
    std::function<bool()> mayHide_;
    std::function<std::int32_t()> total_;
    std::function<QString()> keySource_;
    QMenu* menu_ = nullptr;
    QAction* quit_ = nullptr;
    QTimer tipTimer_;
    std::optional<std::int32_t> shownTotal_;
    QString shownKeySource_;
};

}  // namespace

void NotifyArea::hideOnMinimise(QWidget* window, std::function<bool()> mayHide, std::function<std::int32_t()> total,
                                std::function<QString()> keySource) {
    auto* watch = new MinimiseWatch(window, *this, std::move(mayHide), std::move(total), std::move(keySource));
    watch_ = watch;
    setActivatedHandler([this, watch = QPointer<MinimiseWatch>(watch)](QSystemTrayIcon::ActivationReason reason) {
        // Only a double-click of the left button brings the window back; a
        // host that never reports one (StatusNotifierItem) restores on its
        // left click.
        const auto restoreOn = restoresOnSingleClick() ? QSystemTrayIcon::Trigger : QSystemTrayIcon::DoubleClick;
        if (reason == restoreOn && watch != nullptr) watch->bringBack();
    });
}

void NotifyArea::bringBack() {
    if (auto* watch = static_cast<MinimiseWatch*>(watch_.data())) watch->bringBack();
}

void NotifyArea::addMenuItem(QAction* item) {
    if (auto* watch = static_cast<MinimiseWatch*>(watch_.data())) watch->addItem(item);
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
void QtNotifyArea::setMenu(QMenu* menu) { icon_.setContextMenu(menu); }
void QtNotifyArea::setTip(const QString& tip) { icon_.setToolTip(tip); }
void QtNotifyArea::setIcon(const QIcon& icon) { icon_.setIcon(icon); }

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

QString notifyTipWithTotal(std::int32_t total, const QString& keySource) {
    const auto& caption = counting::layout::kSummaryCaption;
    QString tip = notifyTip() + QLatin1Char('\n') +
                  texts::kTrayTotal.arg(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())),
                                        QString::number(total));
    if (!keySource.isEmpty()) tip += QLatin1Char('\n') + texts::kKeySourceInUse.arg(keySource);
    return tip;
}

}  // namespace pressory::app
