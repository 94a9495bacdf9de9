// The live settings of the running program: the settings record that start-up
// loaded and the close writes back, changed only through this object, which
// tells every change. The menus' check marks and the windows follow it; a
// click on a check mark changes it at once.
#pragma once

#include <QObject>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "appearance/background_picture.h"
#include "settings/settings.h"

class QAction;

namespace pressory::app {

enum class Setting {
    RowLimit,
    Sound,
    BlinkColour,
    BackColour,
    Picture,
    PicturePath,
    HeatMap,
    PerApp,      // the activity database records the application
    NeverApps,   // the applications never recorded
    PauseChord,  // both Ctrl keys toggle the pause
    KeepPause,   // the pause lasts over a restart
    Paused,      // nothing is counted (live; written only with KeepPause)
};

class SettingsModel final : public QObject, public appearance::PictureSettings {
    Q_OBJECT
public:
    // `record` outlives the model. Its switches read as on (-1) or off (0)
    // from now on, as their check marks show them.
    SettingsModel(settings::SettingsRecord& record, QObject* parent);

    // The record as the close writes it back.
    const settings::SettingsRecord& record() const { return r_; }

    int rowLimit() const { return r_.fileHistoryMaxRow; }
    void setRowLimit(int rows);
    // The switches: Sound, Picture, HeatMap, PerApp, PauseChord, KeepPause and Paused.
    bool isOn(Setting which) const;
    void setOn(Setting which, bool on);
    // The never-record list, names separated by '|'.
    const std::string& neverApps() const { return r_.activityNeverApps; }
    void setNeverApps(const std::string& list);
    std::int32_t blinkColour() const { return r_.colorTextBoxBlink; }
    void setBlinkColour(std::int32_t value);
    std::int32_t backColour() const { return r_.colorBackGround; }
    void setBackColour(std::int32_t value);
    // The background picture's file, in the platform's narrow encoding.
    const std::string& picturePath() const override { return r_.pictureBackGround; }
    bool pictureOn() const override { return isOn(Setting::Picture); }
    void setPicture(const std::string& path) override;

    // Calls `show` now and after every change of `which`, while `context` lives.
    void follow(Setting which, QObject* context, const std::function<void()>& show);
    // A switch's check mark: it shows the switch, and a click sets it.
    void bindSwitch(QAction* mark, Setting which);
    // The row limit's items for 1 to 6 rows: the limit's item alone is
    // checked, and a click on an item sets its limit.
    void bindRowLimit(const std::array<QAction*, 6>& items);

signals:
    void changed(pressory::app::Setting which);

private:
    std::int16_t& switchField(Setting which) const;
    template <class T>
    void set(T& field, T value, Setting which);

    settings::SettingsRecord& r_;
};

}  // namespace pressory::app
