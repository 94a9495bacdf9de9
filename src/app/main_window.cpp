#include "app/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <utility>

#include "activity/local_time.h"
#include "app/activity_recorder.h"
#include "app/client_area.h"
#include "app/counts_view.h"
#include "app/key_ticker.h"
#include "app/main_window_texts.h"
#include "app/mode_geometry.h"
#include "app/mode_switcher.h"
#include "app/notify_area.h"
#include "app/settings_model.h"
#include "appearance/background_picture.h"
#include "appearance/colour_chooser.h"
#include "help/about_window.h"
#include "help/readme.h"
#include "history/ui/history_opener.h"
#include "sound/ui/sound_settings_window.h"
#include "statistics/ui/statistics_opener.h"
#include "widgets/app_icon.h"
#include "widgets/count_cell.h"
#include "widgets/keyboard_widget.h"
#include "widgets/twips.h"

namespace pressory::app {
using widgets::TwipScale;

MainWindow::MainWindow(MainWindowContext context, QWidget* parent)
    : QMainWindow(parent, kFullFlags), ctx_(std::move(context)) {
    if (!ctx_.now) ctx_.now = [] { return QDateTime::currentDateTime(); };
    // Every event loop ends, a window's or a box's that is open included
    // (quit() would first ask each window to close, and one may refuse).
    if (!ctx_.quit) ctx_.quit = [] { QCoreApplication::exit(0); };
    if (!ctx_.recoveryClock) ctx_.recoveryClock = &PeriodRecorder::Clock::now;
    recorder_ = std::make_unique<PeriodRecorder>(
        ctx_.programFolder, ctx_.settingsPath, poller_, *ctx_.settings,
        [this](std::chrono::seconds ago) {
            const QDateTime t = ctx_.now().addSecs(-ago.count());
            return history::LocalDateTime{t.date().year(), t.date().month(),  t.date().day(),
                                          t.time().hour(), t.time().minute(), t.time().second()};
        },
        ctx_.recoveryClock, ctx_.recoveryInterval);
    settings_ = new SettingsModel(*ctx_.settings, this);
    sounds_ = std::make_unique<KeySounds>(*settings_, ctx_.soundPlayer);
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(texts::kTitle);
    setWindowIcon(widgets::appIcon());
    buildControls();
    buildMenus();
    picture_ = std::make_unique<appearance::BackgroundPicture>(appearance::BackgroundPicture::Window{
        settings_, [this](const QImage& picture) { client_->setPicture(QPixmap::fromImage(picture)); },
        [this](const QString& text) { showBox(BoxIcon::Critical, text); }});

    // The design size: the client area below the menu bar.
    const TwipScale tw = widgets::screenScale();
    resize(tw.x(counting::layout::kClientWidth),
           tw.y(counting::layout::kClientHeight) + menuBar()->sizeHint().height());

    ticker_ = new KeyTicker(ctx_.keySource, poller_, sounds_.get(), this);
    if (!ctx_.activityPath.empty()) {
        activity_ = new ActivityRecorder(
            ctx_.activityPath, *settings_, ctx_.foregroundApp,
            [this] {
                const QDateTime t = ctx_.now();
                return activity::localMinute(t.toSecsSinceEpoch(), t.offsetFromUtc());
            },
            this);
        connect(activity_, &ActivityRecorder::notice, this,
                [this](const QString& text) { showBox(BoxIcon::Exclamation, text); });
        ticker_->setPressSink(activity_);
    }
    ticker_->setPainter([this](std::span<const counting::CellChange> changes, bool totalChanged) {
        counts_->paintTick(changes, totalChanged);
    });
    ticker_->setAfterTick([this](bool countsChanged) {
        recorder_->afterTick(countsChanged);
        return recorder_->msUntilRecoveryWrite();
    });
    modes_ = new ModeSwitcher(this);
    connect(modes_, &ModeSwitcher::modeChanged, this, &MainWindow::onModeChanged);
    period_ = std::make_unique<PeriodCommands>(
        *recorder_, poller_, ctx_.soundPlayer,
        PeriodCommands::Steps{.countsReset = [this] { counts_->paintCounts(); },
                              .readLast = [this] { ticker_->readLast(); },
                              .stopCounting =
                                  [this] {
                                      ctx_.notifyArea->remove();
                                      ticker_->stop();
                                      finishActivity();
                                  },
                              .dismissBoxes = [this] { ctx_.boxes->dismissAll(); },
                              .closeWindow = [this] { close(); },
                              .quit = ctx_.quit,
                              .tellRecord = [this](const history::WriteResult& r) { reportRecord(r); }});
}

MainWindow::~MainWindow() {
    ticker_->setPressSink(nullptr);  // the source outlives the window and its recorder
}

void MainWindow::buildControls() {
    const TwipScale tw = widgets::screenScale();
    client_ = new ClientArea(this);
    client_->setObjectName(QStringLiteral("frmMainClient"));
    QFont f = client_->font();
    f.setPixelSize(12);
    client_->setFont(f);
    setCentralWidget(client_);

    // The keyboard first, so that the total and the button lie above it.
    keyboard_ = new widgets::KeyboardWidget(client_, tw);

    const auto& caption = counting::layout::kSummaryCaption;
    auto* lblSummary = lblSummary_ =
        new QLabel(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())), client_);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setGeometry(tw.rect(counting::layout::kSummaryLabel));
    lblSummary->setBackgroundRole(QPalette::Base);  // the system window-background colour
    lblSummary->setAutoFillBackground(true);

    auto* txtSummary = new widgets::CountCell(client_, Qt::AlignRight);
    txtSummary->setObjectName(QStringLiteral("txtSummary"));
    txtSummary->setGeometry(tw.rect(counting::layout::kSummaryBox));
    txtSummary->setAccessibleName(lblSummary->text());
    counts_ = std::make_unique<CountsView>(*keyboard_, *txtSummary, poller_);

    cmdResize_ = new QPushButton(texts::kSmall, client_);
    cmdResize_->setObjectName(QStringLiteral("cmdResize"));
    cmdResize_->setGeometry(tw.rect(counting::layout::kResizeButton));
    connect(cmdResize_, &QPushButton::clicked, this, &MainWindow::onCmdResizeClicked);
}

// ---------------------------------------------------------------------------
// Creation and start-up settings

void MainWindow::load() {
    // 1. Compact mode; the geometry as created is the full window's.
    const QScreen* screen = QGuiApplication::primaryScreen();
    modes_->start(screen ? screen->geometry() : QRect(0, 0, 1024, 768));
    // 2. The notification icon: a minimised window hides behind it until the close begins.
    ctx_.notifyArea->hideOnMinimise(
        this, [this] { return !period_->closeBegun(); }, [this] { return poller_.total(); },
        [this] { return keySourceInUse(); });
    ctx_.notifyArea->addMenuItem(mnuFilePause_);  // the pause from the icon's menu too
    // The activity database opens on its own thread; then 3. polled flags; 4. the timer last.
    if (activity_ != nullptr) activity_->start();
    ticker_->start();
}

void MainWindow::applySettings() {
    bindCheckMarks();
    settings_->follow(Setting::BlinkColour, this, [this] { poller_.setBlinkColour(settings_->blinkColour()); });
    settings_->follow(Setting::BackColour, this, [this] { client_->setBackColour(settings_->backColour()); });
    picture_->applyAtStartUp();
    settings_->follow(Setting::HeatMap, this, [this] { counts_->setTint(settings_->isOn(Setting::HeatMap)); });
    bindActivity();
}

// ---------------------------------------------------------------------------
// Modes

void MainWindow::onCmdResizeClicked() { modes_->toggle(); }

// Compact mode hides the cells: they take no tint, and the key source is told.
void MainWindow::onModeChanged(bool compact) {
    cmdResize_->setText(compact ? texts::kLarge : texts::kSmall);
    counts_->setCellsShown(!compact);
    ticker_->setKeysShown(!compact);
}

// ---------------------------------------------------------------------------
// History and the two reset commands

void MainWindow::reportRecord(const history::WriteResult& result) {
    const QString path = QString::fromLocal8Bit(result.path);
    if (result.ok) {
        showBox(BoxIcon::Information, path + texts::kRecordedSuffix);
    } else {
        // The period's counts are lost unless the person hears of it.
        showBox(BoxIcon::Critical,
                path + texts::kNotRecordedSuffix + QLatin1Char('\n') + QString::fromStdString(result.reason));
    }
}

void MainWindow::onMnuFileSaveResetTriggered() { reportRecord(period_->saveAndReset()); }

void MainWindow::onMnuFileNoSaveResetTriggered() {
    period_->resetWithoutSaving();
    showBox(BoxIcon::Information, texts::kResetDone);
}

void MainWindow::showBox(BoxIcon icon, const QString& text) {
    if (!period_->quiet()) ctx_.boxes->show(icon, text);
}

// The viewer reads at most the checked number of the newest records; the
// main window's timer keeps counting while it is open.
void MainWindow::onMnuFileHistoryTriggered() {
    history::showHistoryWindow(this, recorder_->historyPath(), settings_->rowLimit(), *ctx_.boxes, widgets::appIcon());
}

// The statistics window reads the whole history; the main window's timer
// keeps counting while it is read and while the window is open.
void MainWindow::onMnuFileStatisticsTriggered() {
    statistics::showStatisticsWindow(this, recorder_->historyPath(), *ctx_.boxes, widgets::appIcon());
}

// ---------------------------------------------------------------------------
// Appearance, help and sound commands

// The new blink colour shows from the next held key; nothing is repainted now.
void MainWindow::onMnuVisionKeyColorTriggered() {
    settings_->setBlinkColour(
        appearance::chooseColourValue(ctx_.colourChooser, settings_->blinkColour(), keyboard_->palette(), this));
}

void MainWindow::onMnuVisionFrmColorTriggered() {
    settings_->setBackColour(
        appearance::chooseColourValue(ctx_.colourChooser, settings_->backColour(), client_->palette(), this));
}

// The action has inverted its check mark, and the settings with it.
void MainWindow::onMnuVisionPictureEnableTriggered() { picture_->onSwitchTriggered(); }

void MainWindow::onMnuVisionPictureTriggered() { picture_->choose(ctx_.pictureChooser, this); }

void MainWindow::onMnuHelpHelpTriggered() {
    const std::string& folder = ctx_.installFolder.empty() ? ctx_.programFolder : ctx_.installFolder;
    if (const QString problem = help::showReadme(ctx_.urlOpener, folder); !problem.isEmpty())
        showBox(BoxIcon::Critical, problem);
}

void MainWindow::onMnuHelpVersionTriggered() { help::showVersionWindow(this, keySourceInUse()); }

QString MainWindow::keySourceInUse() const {
    return ctx_.keySource != nullptr ? QString::fromStdString(ctx_.keySource->inUse()) : QString();
}

// Modal, centred over this window; the timer keeps ticking while it is open,
// so keys are counted and play their saved sounds.
void MainWindow::onMnuSoundFileTriggered() {
    sound::SoundSettingsWindow dialog({ctx_.settingsPath, ctx_.settings, ctx_.boxes, ctx_.soundPlayer}, this);
    dialog.exec();
}

// ---------------------------------------------------------------------------
// Close sequence

void MainWindow::closeEvent(QCloseEvent* event) {
    if (period_->closeRunning()) {
        event->ignore();  // the sequence under way ends the program
        return;
    }
    if (!period_->closeBegun()) period_->runClose(CloseBy::Person);
    event->accept();
}

void MainWindow::requestStop(CloseBy by) { period_->requestStop(by); }

}  // namespace pressory::app
