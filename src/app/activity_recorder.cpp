#include "app/activity_recorder.h"

#include <QDateTime>
#include <QDir>
#include <QSocketNotifier>
#include <cstdio>

#include "activity/store/activity_writer.h"
#include "app/main_window_texts.h"
#include "app/settings_model.h"
#include "platform/file_access.h"
#include "platform/foreground_app.h"

namespace pressory::app {

ActivityRecorder::ActivityRecorder(std::string databasePath, SettingsModel& settings,
                                   platform::ForegroundApp* foreground, MinuteClock minute, QObject* parent)
    : QObject(parent),
      path_(std::move(databasePath)),
      settings_(settings),
      foreground_(foreground),
      minute_(std::move(minute)) {
    const auto rules = [this] { rules_ = activity::AppRules(settings_.isOn(Setting::PerApp), settings_.neverApps()); };
    settings_.follow(Setting::PerApp, this, rules);
    settings_.follow(Setting::NeverApps, this, rules);
    // Due a minute after the first press since the last write: an idle
    // program is not woken.
    minuteTimer_.setParent(this);  // found by its name among the window's children
    minuteTimer_.setObjectName(QStringLiteral("tmrActivityMinute"));
    minuteTimer_.setSingleShot(true);
    minuteTimer_.setInterval(60 * 1000);
    connect(&minuteTimer_, &QTimer::timeout, this, &ActivityRecorder::writeNow);
}

ActivityRecorder::~ActivityRecorder() { finish(); }

void ActivityRecorder::start() {
    if (writer_ || finished_) return;
    const auto told = [this](const activity::ActivityWriter::Notice& n) {
        using Outcome = activity::ActivityStore::Outcome;
        const QString db = QDir::toNativeSeparators(QString::fromLocal8Bit(n.path));
        QString text;
        if (n.outcome == Outcome::MovedAside) {
            text = texts::kActivityMovedAside.arg(db, QDir::toNativeSeparators(QString::fromLocal8Bit(n.movedTo)));
        } else if (n.outcome == Outcome::Newer) {
            text = texts::kActivityNewer.arg(db);
        } else {
            // A folder that cannot be written is told in the start's one box
            // with the other files; here only on the error output.
            std::fprintf(stderr, "Pressory: %s\n",
                         texts::kActivityUnusable.arg(db, QString::fromStdString(n.reason)).toLocal8Bit().constData());
            return;
        }
        // From the writer's thread to this one.
        QMetaObject::invokeMethod(
            this, [this, text] { emit notice(text); }, Qt::QueuedConnection);
    };
    writer_ = std::make_unique<activity::ActivityWriter>(
        path_, [] { return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString(); },
        told);
    writer_->open();
    if (foreground_ != nullptr) {
        if (const int handle = foreground_->wakeHandle(); handle >= 0) {
            focusWake_ = new QSocketNotifier(static_cast<qintptr>(handle), QSocketNotifier::Read, this);
            connect(focusWake_, &QSocketNotifier::activated, this, [this] { foreground_->pump(); });
        }
    }
}

void ActivityRecorder::press(std::string_view key, std::uint32_t count) {
    if (finished_ || settings_.isOn(Setting::Paused)) return;
    const std::string app = foreground_ != nullptr ? foreground_->current() : std::string();
    gathered_.add(minute_(), rules_.recordedName(app), key, count);
    if (writer_ && !minuteTimer_.isActive()) minuteTimer_.start();
}

void ActivityRecorder::writeNow() {
    if (writer_ && !gathered_.empty()) writer_->post(gathered_.take());
}

void ActivityRecorder::finish() {
    if (finished_) return;
    writeNow();
    finished_ = true;
    minuteTimer_.stop();
    if (focusWake_ != nullptr) focusWake_->setEnabled(false);
    if (writer_) writer_->close();
}

void ActivityRecorder::exportCsv(const std::string& path, std::function<void(bool ok, const QString& reason)> done) {
    if (!writer_ || finished_) {
        done(false, texts::kActivityNoDatabase);
        return;
    }
    writeNow();
    writer_->exportCsv(path, &platform::replaceWhole, [this, done](bool ok, const std::string& reason) {
        QMetaObject::invokeMethod(
            this, [done, ok, reason = QString::fromStdString(reason)] { done(ok, reason); }, Qt::QueuedConnection);
    });
}

}  // namespace pressory::app
