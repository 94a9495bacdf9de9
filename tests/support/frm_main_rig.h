// A main window in a temporary program folder, as start-up leaves it, with
// scripted dialogs and recording doubles for everything it talks to.
#pragma once

#include <QAction>
#include <QDateTime>
#include <QTemporaryDir>
#include <memory>

#include "app/frm_main.h"
#include "settings/settings.h"
#include "support/scripted_key_state.h"
#include "support/window_fakes.h"

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
    std::unique_ptr<app::frmMain> w;
    std::string installFolder;  // empty: the program folder

    // The window as start-up leaves it: created, loaded, settings applied, shown.
    void start() {
        create();
        w->load();
        w->applySettings();
        w->show();
    }
    void create() {
        app::FrmMainContext c;
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
        w = std::make_unique<app::frmMain>(std::move(c));
    }
    std::string settingsPath() const { return dir.filePath(QStringLiteral("Pressory.ini")).toStdString(); }
    QString file(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    QAction* item(const char* name) const { return w->menuItem(QString::fromLatin1(name)); }
};

}  // namespace pressory::test
