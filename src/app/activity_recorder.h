// The program's side of the activity database: the press sink every key
// source reports to. A press is added in memory under the application the
// rules name (the focused one, or unknown); once a minute what gathered goes
// to the writer's thread, and at the close the rest. While paused nothing is
// added. What the writer has to tell the person comes back as notice().
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "activity/accumulator.h"
#include "activity/app_rules.h"
#include "activity/press_sink.h"

class QSocketNotifier;

namespace pressory::activity {
class ActivityWriter;
}
namespace pressory::platform {
class ForegroundApp;
}

namespace pressory::app {

class SettingsModel;

class ActivityRecorder final : public QObject, public activity::PressSink {
    Q_OBJECT
public:
    // The local minute now (activity_schema.h).
    using MinuteClock = std::function<std::int64_t()>;
    // `settings` and `foreground` (null: every application unknown) outlive it.
    ActivityRecorder(std::string databasePath, SettingsModel& settings, platform::ForegroundApp* foreground,
                     MinuteClock minute, QObject* parent);
    ~ActivityRecorder() override;

    // Opens the database on the writer's thread; from now on what gathers is
    // written a minute after the first press since the last write.
    void start();
    void press(std::string_view key, std::uint32_t count) override;
    // Hands what has gathered to the writer now (the minute's write).
    void writeNow();
    // The close: the rest handed over and written; nothing is added after.
    void finish();
    // Writes the export to `path` after everything counted so far; `done`
    // runs on this object's thread.
    void exportCsv(const std::string& path, std::function<void(bool ok, const QString& reason)> done);

    const std::string& databasePath() const { return path_; }

signals:
    void notice(const QString& text);

private:
    std::string path_;
    SettingsModel& settings_;
    platform::ForegroundApp* foreground_;
    MinuteClock minute_;
    activity::AppRules rules_;
    activity::Accumulator gathered_;
    std::unique_ptr<activity::ActivityWriter> writer_;
    QTimer minuteTimer_;
    QSocketNotifier* focusWake_ = nullptr;
    bool finished_ = false;
};

}  // namespace pressory::app
