// MainWindow's pause and activity database commands: the pause shown in the
// total's caption, the title and the notification icon; the chord of both
// Ctrl keys; the export and the never-record list.
#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QPainter>
#include <QStandardPaths>

#include "activity/app_rules.h"
#include "app/activity_recorder.h"
#include "app/key_ticker.h"
#include "app/main_window.h"
#include "app/main_window_texts.h"
#include "app/notify_area.h"
#include "app/settings_model.h"
#include "counting/key_layout.h"
#include "widgets/app_icon.h"

namespace pressory::app {
namespace {

// The program's icon greyed, with two pause bars over it.
QIcon pausedIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap p = widgets::appIcon().pixmap(size, QIcon::Disabled);
        QPainter painter(&p);
        const int w = std::max(2, size / 6);
        const int h = size * 2 / 3;
        const int top = (size - h) / 2;
        painter.fillRect(size / 2 - w - w / 2, top, w, h, QColor(40, 40, 40));
        painter.fillRect(size / 2 + w / 2, top, w, h, QColor(40, 40, 40));
        icon.addPixmap(p);
    }
    return icon;
}

}  // namespace

void MainWindow::bindActivity() {
    settings_->follow(Setting::Paused, this, [this] { showPaused(settings_->isOn(Setting::Paused)); });
    ticker_->setPauseChord([this] { return settings_->isOn(Setting::PauseChord); },
                           [this] { settings_->setOn(Setting::Paused, !settings_->isOn(Setting::Paused)); });
}

// Paused: the window, the record and the database count nothing; the total's
// caption, the title and the notification icon say so.
void MainWindow::showPaused(bool paused) {
    const bool wasPaused = poller_.paused();
    poller_.setPaused(paused);
    const auto& caption = counting::layout::kSummaryCaption;
    lblSummary_->setText(paused ? texts::kPausedCaption
                                : QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
    setWindowTitle(paused ? texts::kPausedTitle : texts::kTitle);
    static const QIcon pausedTrayIcon = pausedIcon();
    ctx_.notifyArea->setIcon(paused ? pausedTrayIcon : widgets::appIcon());
    // The total does not change while paused, so the icon's tip keeps this line.
    if (paused || wasPaused) {
        const QString tip = notifyTipWithTotal(poller_.total());
        ctx_.notifyArea->setTip(paused ? tip + QLatin1Char('\n') + texts::kTrayPaused : tip);
    }
}

void MainWindow::finishActivity() {
    if (activity_ != nullptr) activity_->finish();
}

// Written on the writer's thread after everything counted so far; the
// counting goes on meanwhile.
void MainWindow::onMnuFileActivityExportTriggered() {
    if (activity_ == nullptr) {
        showBox(BoxIcon::Exclamation, texts::kActivityNoDatabase);
        return;
    }
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString suggested = QDir(folder).filePath(texts::kActivityExportName);
    const QString path = ctx_.chooseExportPath ? ctx_.chooseExportPath(this, suggested)
                                               : QFileDialog::getSaveFileName(this, texts::kActivityExportTitle,
                                                                              suggested, texts::kActivityExportFilter);
    if (path.isEmpty()) return;
    activity_->exportCsv(QDir::toNativeSeparators(path).toLocal8Bit().toStdString(),
                         [this, path](bool ok, const QString& reason) {
                             const QString shown = QDir::toNativeSeparators(path);
                             if (ok)
                                 showBox(BoxIcon::Information, texts::kActivityExported.arg(shown));
                             else
                                 showBox(BoxIcon::Critical, texts::kActivityNotExported.arg(shown, reason));
                         });
}

void MainWindow::onMnuFileActivityNeverTriggered() {
    QStringList names;
    for (const std::string& n : activity::AppRules::parseList(settings_->neverApps()))
        names << QString::fromLocal8Bit(n);
    QString lines = names.join(QLatin1Char('\n'));
    const bool ok = ctx_.editNeverApps ? ctx_.editNeverApps(this, lines) : [&] {
        bool accepted = false;
        lines = QInputDialog::getMultiLineText(this, texts::kActivityNeverTitle, texts::kActivityNeverLabel, lines,
                                               &accepted);
        return accepted;
    }();
    if (!ok) return;
    std::vector<std::string> list;
    for (const QString& line : lines.split(QLatin1Char('\n'))) list.push_back(line.toLocal8Bit().toStdString());
    settings_->setNeverApps(activity::AppRules::joinList(list));
}

}  // namespace pressory::app
