// A main window in a temporary program folder, as start-up leaves it, with
// scripted dialogs and recording doubles for everything it talks to.
#pragma once

#include <QAction>
#include <QDateTime>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "app/main_window.h"
#include "app/settings_model.h"
#include "settings/settings.h"
#include "support/scripted_key_state.h"
#include "support/window_fakes.h"
#include "widgets/count_cell.h"

namespace pressory::test {

struct MainWindowRig {
    QTemporaryDir dir;
    settings::SettingsRecord record;
    platform::ScriptedKeyState keys;
    RecordingBoxes boxes;
    FakeNotifyArea tray;
    ScriptedKeySource source{keys};
    ScriptedColourChooser colours;
    ScriptedPictureChooser pictures;
    RecordingUrlOpener urls;
    RecordingSound sound;
    int quits = 0;
    std::unique_ptr<app::MainWindow> w;
    std::string installFolder;  // empty: the program folder
    std::string activityPath;   // empty: no activity database
    platform::ForegroundApp* foregroundApp = nullptr;
    std::function<QString(QWidget*, const QString&)> chooseExportPath;

    // The window as start-up leaves it: created, loaded, settings applied, shown.
    void start() {
        create();
        w->load();
        w->applySettings();
        w->show();
    }
    void create() {
        app::MainWindowContext c;
        c.programFolder = dir.path().toStdString();
        c.installFolder = installFolder;
        c.settingsPath = settingsPath();
        c.keySource = &source;
        c.boxes = &boxes;
        c.notifyArea = &tray;
        c.settings = &record;
        c.now = [] { return QDateTime(QDate(2024, 3, 5), QTime(9, 8, 7)); };
        c.quit = [this] { ++quits; };
        c.soundPlayer = &sound;
        c.colourChooser = &colours;
        c.pictureChooser = &pictures;
        c.urlOpener = &urls;
        c.activityPath = activityPath;
        c.foregroundApp = foregroundApp;
        c.chooseExportPath = chooseExportPath;
        w = std::make_unique<app::MainWindow>(std::move(c));
    }
    std::string settingsPath() const { return dir.filePath(QStringLiteral("Pressory.ini")).toStdString(); }
    QString file(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    // A control or helper of the window by its name (the first of its class without one).
    template <class T>
    T* find(const char* name = nullptr) const {
        T* found = name ? w->findChild<T*>(QString::fromLatin1(name)) : w->findChild<T*>();
        if (found == nullptr) qFatal("the main window has no %s", name ? name : "such child");
        return found;
    }
    QAction* item(const char* name) const { return find<QAction>(name); }
    widgets::CountCell* cell(int vk) const {
        return find<widgets::CountCell>(qPrintable(QStringLiteral("txtKey(%1)").arg(vk)));
    }
    widgets::CountCell* total() const { return find<widgets::CountCell>("txtSummary"); }
    QTimer* timer() const { return find<QTimer>("Timer1"); }
    app::SettingsModel& settings() const { return *find<app::SettingsModel>(); }
    // One tick, as Timer1 brings it.
    void tick() const { QMetaObject::invokeMethod(timer(), "timeout"); }
};

}  // namespace pressory::test
