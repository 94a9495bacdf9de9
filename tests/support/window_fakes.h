// Test doubles of what the windows talk to: message boxes that record what
// they were asked to show, a notification area, a sound player, and a key
// source driven by a script.
#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/notify_area.h"
#include "appearance/colour_chooser.h"
#include "appearance/picture_chooser.h"
#include "help/readme.h"
#include "platform/key_source.h"
#include "platform/sound_player.h"
#include "support/scripted_key_state.h"
#include "widgets/message_boxes.h"

namespace pressory::test {

struct Box {
    widgets::BoxIcon icon;
    QString text;
};

class RecordingBoxes final : public widgets::MessageBoxes {
public:
    QList<Box> shown;
    int dismissals = 0;
    std::function<void()> onShow;
    void show(widgets::BoxIcon icon, const QString& text) override {
        shown.append({icon, text});
        if (onShow) onShow();
    }
    void dismissAll() override { ++dismissals; }
};

class FakeNotifyArea final : public app::NotifyArea {
public:
    bool isAvailable = true;
    bool singleClickHost = false;  // a StatusNotifierItem host
    bool iconShown = false;
    int adds = 0;
    int removes = 0;
    Activated handler;
    QMenu* menu = nullptr;
    QString tip;
    int tipChanges = 0;
    bool available() const override { return isAvailable; }
    void add() override {
        ++adds;
        iconShown = true;
    }
    void remove() override {
        ++removes;
        iconShown = false;
    }
    bool present() const override { return iconShown; }
    void setActivatedHandler(Activated h) override { handler = std::move(h); }
    bool restoresOnSingleClick() const override { return singleClickHost; }
    void setMenu(QMenu* m) override { menu = m; }
    void setTip(const QString& t) override {
        tip = t;
        ++tipChanges;
    }
    QIcon icon;
    void setIcon(const QIcon& i) override { icon = i; }
};

class RecordingSound final : public platform::SoundPlayer {
public:
    QStringList played;
    int stops = 0;
    std::vector<std::vector<std::string>> preloads;
    std::function<void()> onStop;
    void play(const std::string& path) override { played.append(QString::fromStdString(path)); }
    void preload(const std::vector<std::string>& paths) override { preloads.push_back(paths); }
    void stopAll() override {
        ++stops;
        if (onStop) onStop();
    }
};

// The scripted key state as the program's key source: `wake` is its wake
// handle (-1: none) and `onPump` runs where a real source reads its events.
class ScriptedKeySource final : public platform::PlatformKeySource {
public:
    explicit ScriptedKeySource(platform::ScriptedKeyState& keys) : keys_(keys) {}
    int wake = -1;
    bool keysShown = true;  // as the window last said
    std::function<void()> onPump;
    std::function<void(int vk)> onRead;  // a key is read (a tick reads every counted key)
    std::string name;                    // what inUse() says

    std::int16_t asyncKeyState(int vk) override { return keys_.asyncKeyState(vk); }
    counting::KeyReading readKey(int vk) override {
        if (onRead) onRead(vk);
        return keys_.readKey(vk);
    }
    void pump() override {
        if (onPump) onPump();
    }
    int wakeHandle() const override { return wake; }
    void setKeysShown(bool shown) override { keysShown = shown; }
    void setPressSink(activity::PressSink* s) override { sink = s; }
    activity::PressSink* sink = nullptr;  // where presses by name go, as the window said
    std::string inUse() const override { return name; }

private:
    platform::ScriptedKeyState& keys_;
};

// A colour dialog that answers from a script: each call takes the next
// answer (nothing: the person cancelled) and records the initial colour.
class ScriptedColourChooser final : public appearance::ColourChooser {
public:
    QList<std::optional<QColor>> answers;
    QList<QColor> initials;
    std::optional<QColor> choose(const QColor& initial, QWidget*) override {
        initials.append(initial);
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
};

// A file dialog that answers from a script (nothing: cancelled).
class ScriptedPictureChooser final : public appearance::PictureChooser {
public:
    QList<std::optional<QString>> answers;
    int calls = 0;
    std::optional<QString> choose(QWidget*) override {
        ++calls;
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
};

// The desktop's URL handler: records what it is asked to open; `works`
// false makes it fail.
class RecordingUrlOpener final : public help::UrlOpener {
public:
    bool works = true;
    QList<QUrl> opened;
    bool open(const QUrl& url) override {
        opened.append(url);
        return works;
    }
};

}  // namespace pressory::test
