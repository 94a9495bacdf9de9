// The program's icon in the desktop's notification area.
#pragma once

#include <QIcon>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>

namespace pressory::app {

class NotifyArea {
public:
    using Activated = std::function<void(QSystemTrayIcon::ActivationReason)>;
    virtual ~NotifyArea() = default;
    // Whether the desktop has a notification area right now.
    virtual bool available() const = 0;
    virtual void add() = 0;
    virtual void remove() = 0;
    virtual bool present() const = 0;
    // Mouse events on the icon go here.
    virtual void setActivatedHandler(Activated handler) = 0;
};

class QtNotifyArea final : public NotifyArea {
public:
    QtNotifyArea(const QIcon& icon, const QString& tip);
    bool available() const override;
    void add() override;
    void remove() override;
    bool present() const override;
    void setActivatedHandler(Activated handler) override;

private:
    QSystemTrayIcon icon_;
    Activated handler_;
};

// The tip of the icon: the program file's name without its extension.
QString notifyTip();

}  // namespace pressory::app
