// Which kind of notification area the tray icon gets, asked of a private
// session bus on which a StatusNotifierWatcher comes and goes.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QThread>
#include <QtTest>
#include <atomic>

#include "app/notify_area.h"

using namespace pressory::app;

namespace {

// What a StatusNotifierItem host (Plasma's panel, GNOME's AppIndicator
// extension) registers; only the property that Qt asks is served.
class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
public:
    std::atomic<bool> host{false};
    bool hostRegistered() const { return host; }
};

}  // namespace

class TestTrayBackend : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void aRegisteredHostMeansAStatusNotifierTray();

private:
    QProcess bus_;
    QThread thread_;
};

void TestTrayBackend::initTestCase() {
    bus_.start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    QVERIFY2(bus_.waitForStarted(5000), "dbus-daemon (Debian package dbus-daemon) is needed");
    QTRY_VERIFY(bus_.canReadLine());
    const QByteArray address = bus_.readLine().trimmed();
    QVERIFY(!address.isEmpty());
    // Before the first use of the session bus in this process.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    thread_.start();
}

void TestTrayBackend::cleanupTestCase() {
    thread_.quit();
    thread_.wait();
    bus_.terminate();
    bus_.waitForFinished(5000);
}

void TestTrayBackend::aRegisteredHostMeansAStatusNotifierTray() {
    // No watcher on the bus: XEmbed, the double-click restores.
    QVERIFY(!statusNotifierHostRegistered());

    // The watcher on its own connection and thread, as another process would answer.
    QDBusConnection other =
        QDBusConnection::connectToBus(qgetenv("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("watcher"));
    QVERIFY(other.isConnected());
    Watcher watcher;
    watcher.moveToThread(&thread_);
    QVERIFY(
        other.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher, QDBusConnection::ExportAllProperties));
    QVERIFY(other.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")));

    // A watcher without a host (no panel shows the items): still XEmbed.
    QVERIFY(!statusNotifierHostRegistered());
    watcher.host = true;
    QVERIFY(statusNotifierHostRegistered());
    QtNotifyArea area(QIcon(), QStringLiteral("Pressory"));
    QVERIFY(area.restoresOnSingleClick());

    other.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    QVERIFY(!statusNotifierHostRegistered());
    other.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
    QDBusConnection::disconnectFromBus(QStringLiteral("watcher"));
    thread_.quit();  // the watcher's thread ends before the watcher
    thread_.wait();
}

QTEST_MAIN(TestTrayBackend)
#include "test_tray_backend.moc"
