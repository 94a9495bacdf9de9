// The program's icon in the desktop's notification area, and the window it
// stands for while that is minimised.
#pragma once

#include <QIcon>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>
#include <cstdint>
#include <functional>

class QAction;
class QMenu;
class QWidget;

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
    // Whether the icon's host reports a left click (Trigger) and never a
    // double-click, as StatusNotifierItem hosts (KDE Plasma, the AppIndicator
    // extension of GNOME) do: the window then comes back on that click.
    virtual bool restoresOnSingleClick() const = 0;
    // The icon's context menu (owned by the caller) and its tip.
    virtual void setMenu(QMenu* menu) = 0;
    virtual void setTip(const QString& tip) = 0;
    // The icon shown (the program's, or the paused one).
    virtual void setIcon(const QIcon& icon) { (void)icon; }

    // From now on, `window` minimised is hidden and the icon added, unless
    // `mayHide` says no (the program is closing) or the desktop has no
    // notification area (hidden, it could never be brought back: it stays
    // minimised in the task bar). The icon brings the window back and goes:
    // on a double-click, on the left click of a host that reports no
    // double-click, or on its menu's 表示 (the menu opens from the keyboard
    // too); the menu's 終了 closes the window, as the Quit command does. With
    // `total`, the tip shows the program's name and that total, read at most
    // once a second while the icon is there and whenever its menu opens.
    // With `keySource`, the key source in use is told below the total.
    void hideOnMinimise(QWidget* window, std::function<bool()> mayHide, std::function<std::int32_t()> total = nullptr,
                        std::function<QString()> keySource = nullptr);

    // Brings the window back from the notification area or the task bar,
    // raised and active (a second start asks for it). Nothing while the
    // program closes.
    void bringBack();

    // An item of the icon's menu above its 終了 (after hideOnMinimise).
    void addMenuItem(QAction* item);

private:
    QPointer<QObject> watch_;
};

class QtNotifyArea final : public NotifyArea {
public:
    QtNotifyArea(const QIcon& icon, const QString& tip);
    bool available() const override;
    void add() override;
    void remove() override;
    bool present() const override;
    void setActivatedHandler(Activated handler) override;
    bool restoresOnSingleClick() const override;
    void setMenu(QMenu* menu) override;
    void setTip(const QString& tip) override;
    void setIcon(const QIcon& icon) override;

private:
    bool singleClick_ = false;  // decided before the icon, as Qt decides its backend
    QSystemTrayIcon icon_;
    Activated handler_;
};

// Whether a StatusNotifierItem host is registered on the session bus: the
// test by which Qt gives a tray icon its D-Bus backend instead of XEmbed.
// False without D-Bus (and on Windows).
bool statusNotifierHostRegistered();

// The tip of the icon: the program file's name without its extension.
QString notifyTip();

// The tip with the total below the name: "Pressory\n合計: 1234"; and below
// it, when given, the key source in use: "キーの読み取り: evdev (入力デバイス 2 台)".
QString notifyTipWithTotal(std::int32_t total, const QString& keySource = {});

}  // namespace pressory::app
