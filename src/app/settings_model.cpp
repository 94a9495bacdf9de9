#include "app/settings_model.h"

#include <QAction>

namespace pressory::app {

namespace {
std::int16_t switchValue(bool on) { return on ? -1 : 0; }
}  // namespace

SettingsModel::SettingsModel(settings::SettingsRecord& record, QObject* parent) : QObject(parent), r_(record) {
    for (Setting s : {Setting::Sound, Setting::Picture, Setting::HeatMap, Setting::PerApp, Setting::PauseChord,
                      Setting::KeepPause, Setting::Paused})
        switchField(s) = switchValue(isOn(s));
}

std::int16_t& SettingsModel::switchField(Setting which) const {
    switch (which) {
    case Setting::Sound: return r_.soundEnable;
    case Setting::Picture: return r_.pictureEnable;
    case Setting::PerApp: return r_.activityPerApp;
    case Setting::PauseChord: return r_.pauseChord;
    case Setting::KeepPause: return r_.keepPause;
    case Setting::Paused: return r_.paused;
    default: return r_.heatMap;
    }
}

template <class T>
void SettingsModel::set(T& field, T value, Setting which) {
    if (field == value) return;
    field = std::move(value);
    emit changed(which);
}

void SettingsModel::setRowLimit(int rows) {
    set(r_.fileHistoryMaxRow, static_cast<std::int16_t>(rows), Setting::RowLimit);
}
bool SettingsModel::isOn(Setting which) const { return switchField(which) != 0; }
void SettingsModel::setOn(Setting which, bool on) { set(switchField(which), switchValue(on), which); }
void SettingsModel::setBlinkColour(std::int32_t value) { set(r_.colorTextBoxBlink, value, Setting::BlinkColour); }
void SettingsModel::setBackColour(std::int32_t value) { set(r_.colorBackGround, value, Setting::BackColour); }

void SettingsModel::setNeverApps(const std::string& list) { set(r_.activityNeverApps, list, Setting::NeverApps); }

void SettingsModel::setPicture(const std::string& path) {
    set(r_.pictureBackGround, path, Setting::PicturePath);
    setOn(Setting::Picture, true);
}

void SettingsModel::follow(Setting which, QObject* context, const std::function<void()>& show) {
    show();
    connect(this, &SettingsModel::changed, context, [which, show](Setting s) {
        if (s == which) show();
    });
}

void SettingsModel::bindSwitch(QAction* mark, Setting which) {
    follow(which, mark, [this, mark, which] { mark->setChecked(isOn(which)); });
    connect(mark, &QAction::toggled, this, [this, which](bool on) { setOn(which, on); });
}

void SettingsModel::bindRowLimit(const std::array<QAction*, 6>& items) {
    const auto show = [this, items] {
        for (int i = 1; i <= 6; ++i) items[static_cast<std::size_t>(i - 1)]->setChecked(i == rowLimit());
    };
    follow(Setting::RowLimit, this, show);
    for (int i = 1; i <= 6; ++i) {
        // A click on the checked item has taken its check mark away: shown again.
        connect(items[static_cast<std::size_t>(i - 1)], &QAction::triggered, this, [this, i, show] {
            setRowLimit(i);
            show();
        });
    }
}

}  // namespace pressory::app
