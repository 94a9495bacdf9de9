#include "app/notify_area.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "app/frm_main_texts.h"

namespace pressory::app {

QtNotifyArea::QtNotifyArea(const QIcon& icon, const QString& tip) : icon_(icon) {
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

QString notifyTip() {
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    return name.isEmpty() ? texts::kTitle : name;
}

}  // namespace pressory::app
