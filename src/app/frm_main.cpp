#include "app/frm_main.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <utility>

#include "app/client_area.h"
#include "app/frm_main_texts.h"
#include "app/notify_area.h"
#include "appearance/background_picture.h"
#include "appearance/colour_chooser.h"
#include "help/frm_about.h"
#include "help/readme.h"
#include "history/history_record.h"
#include "history/ui/history_viewer.h"
#include "platform/text_codec.h"
#include "sound/sound_keys.h"
#include "sound/ui/frm_sound_config.h"
#include "statistics/ui/statistics_window.h"
#include "widgets/app_icon.h"
#include "widgets/count_cell.h"
#include "widgets/keyboard_widget.h"
#include "widgets/twips.h"

namespace pressory::app {
namespace {

using widgets::TwipScale;

QString number(std::int32_t v) { return QString::number(v); }

TwipScale screenScale() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? TwipScale(s->logicalDotsPerInchX(), s->logicalDotsPerInchY()) : TwipScale(96, 96);
}

// Milliseconds of a monotonic clock, for the timer's pace.
std::int64_t monotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

// The poller's questions on a new press: the sound check mark, whether the
// key can have a sound, and the request to play it.
class frmMain::KeySounds final : public SoundRequests {
public:
    explicit KeySounds(frmMain& w) : w_(w) {}
    bool soundSwitch() override { return w_.mnuSoundEnable_->isChecked(); }
    bool hasSoundEntry(int vk) override { return sound::hasSoundEntry(vk); }
    void playSound(int vk) override {
        if (w_.ctx_.soundPlayer != nullptr)
            w_.ctx_.soundPlayer->play(w_.ctx_.settings->soundPaths[static_cast<std::size_t>(vk & 0xFF)]);
    }

private:
    frmMain& w_;
};

frmMain::frmMain(FrmMainContext context, QWidget* parent)
    : QMainWindow(parent, kFullFlags),
      ctx_(std::move(context)),
      pace_(ctx_.keySource != nullptr && ctx_.keySource->wakeHandle() >= 0),
      sounds_(std::make_unique<KeySounds>(*this)) {
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
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(texts::kTitle);
    setWindowIcon(widgets::appIcon());
    buildControls();
    buildMenus();
    // What a menu command changed goes into the settings record at once, so
    // that the record holds it even if the windows go away without a close.
    connect(menuBar(), &QMenuBar::triggered, this, &frmMain::syncSettingsRecord);
    picture_ = std::make_unique<appearance::BackgroundPicture>(appearance::BackgroundPicture::Window{
        mnuVisionPictureEnable_, ctx_.settings,
        [this](const QImage& picture) { client_->setPicture(QPixmap::fromImage(picture)); },
        [this](const QString& text) { showBox(BoxIcon::Critical, text); }});

    // The design size: the client area below the menu bar.
    const TwipScale tw = screenScale();
    resize(tw.x(layout::kClientWidth), tw.y(layout::kClientHeight) + menuBar()->sizeHint().height());

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    // A coarse timer may fire up to 5 % early, which for a recovery write due
    // in a minute is seconds before the rule asked for it.
    timer1_->setTimerType(Qt::PreciseTimer);
    connect(timer1_, &QTimer::timeout, this, &frmMain::onTimer1Timeout);
}

frmMain::~frmMain() = default;

void frmMain::buildControls() {
    const TwipScale tw = screenScale();
    client_ = new ClientArea(this);
    client_->setObjectName(QStringLiteral("frmMainClient"));
    QFont f = client_->font();
    f.setPixelSize(12);
    client_->setFont(f);
    setCentralWidget(client_);

    // The keyboard first, so that the total and the button lie above it.
    keyboard_ = new widgets::KeyboardWidget(client_, tw);

    const auto& caption = layout::kSummaryCaption;
    lblSummary_ = new QLabel(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())), client_);
    lblSummary_->setObjectName(QStringLiteral("lblSummary"));
    lblSummary_->setGeometry(tw.rect(layout::kSummaryLabel));
    lblSummary_->setBackgroundRole(QPalette::Base);  // the system window-background colour
    lblSummary_->setAutoFillBackground(true);

    txtSummary_ = new CountCell(client_, Qt::AlignRight);
    txtSummary_->setObjectName(QStringLiteral("txtSummary"));
    txtSummary_->setGeometry(tw.rect(layout::kSummaryBox));
    txtSummary_->setAccessibleName(lblSummary_->text());

    cmdResize_ = new QPushButton(texts::kSmall, client_);
    cmdResize_->setObjectName(QStringLiteral("cmdResize"));
    cmdResize_->setGeometry(tw.rect(layout::kResizeButton));
    connect(cmdResize_, &QPushButton::clicked, this, &frmMain::onCmdResizeClicked);

    auto hiddenField = [&](const char* name, const TwipRect& r) {
        auto* field = new QLineEdit(texts::kFieldInitial, client_);
        field->setObjectName(QString::fromLatin1(name));
        field->setGeometry(tw.rect(r));
        field->hide();
        return field;
    };
    geometryFields_ = {hiddenField("txtFormSizeX", layout::kFormSizeX), hiddenField("txtFormSizeY", layout::kFormSizeY),
                       hiddenField("txtFormPosiX", layout::kFormPosiX),
                       hiddenField("txtFormPosiY", layout::kFormPosiY)};
}

CountCell* frmMain::txtKey(int vk) const { return keyboard_->cell(vk); }

QLabel* frmMain::label1(int vk) const { return keyboard_->caption(vk); }

QAction* frmMain::menuItem(const QString& name) const { return findChild<QAction*>(name); }

bool frmMain::compactMode() const { return compact_; }

std::int32_t frmMain::backColour() const { return client_->backColour(); }

// ---------------------------------------------------------------------------
// Creation and start-up settings

void frmMain::load() {
    // 1. Compact mode. The geometry as created is the full window's saved geometry.
    const QRect asCreated = frameGeometry();
    const QMargins unframed = frameMargins();
    const QScreen* screen = QGuiApplication::primaryScreen();
    setMenusVisible(false);
    enterMode(true, compactStartRect(screen ? screen->geometry() : QRect(0, 0, 1024, 768)));
    geometryFields_.store(asCreated);
    unframedLoadMargins_ = unframed;
    fitFrame();

    // 2. The notification icon reports its mouse events here.
    ctx_.notifyArea->setActivatedHandler([this](QSystemTrayIcon::ActivationReason r) { onNotifyIconActivated(r); });

    // 3. Polled flags; 4. the timer last.
    poller_.fillPolledFlags();
    if (ctx_.keySource == nullptr) return;  // without a key source there is nothing to poll
    if (const int handle = ctx_.keySource->wakeHandle(); handle >= 0 && keysWake_ == nullptr) {
        keysWake_ = new QSocketNotifier(static_cast<qintptr>(handle), QSocketNotifier::Read, this);
        keysWake_->setEnabled(false);
        connect(keysWake_, &QSocketNotifier::activated, this, &frmMain::onKeysWakeActivated);
    }
    timer1_->setSingleShot(!pace_.periodic());
    applyPace(pace_.start(monotonicMs()));
}

void frmMain::applySettings() {
    settings::SettingsRecord& r = *ctx_.settings;
    // A row limit outside 1 to 6 names no item: the first one stands for it.
    if (r.fileHistoryMaxRow < 1 || r.fileHistoryMaxRow > 6) r.fileHistoryMaxRow = 1;
    checkRow(r.fileHistoryMaxRow);
    mnuSoundEnable_->setChecked(r.soundEnable != 0);
    poller_.setBlinkColour(r.colorTextBoxBlink);
    client_->setBackColour(r.colorBackGround);
    picture_->applyAtStartUp();
    mnuVisionHeatMap_->setChecked(r.heatMap != 0);
    repaintCellColours();
    syncSettingsRecord();
}

// ---------------------------------------------------------------------------
// Counting

void frmMain::onTimer1Timeout() {
    if (ctx_.keySource == nullptr) return;
    if (!std::exchange(sourceJustRead_, false)) ctx_.keySource->pump();
    const bool heat = heatShown();
    bool rescaled = false;
    // What the tick changes is painted before it returns, not on a later
    // turn of the event loop.
    const CountCell::RepaintBatch paintNow;
    for (const CellChange& c : poller_.tick(*ctx_.keySource, sounds_.get())) {
        CountCell* cell = keyboard_->cell(c.vk);
        if (c.text) {
            cell->setText(number(poller_.count(c.vk)));
            if (heat) rescaled = heat_.observe(poller_.count(c.vk)) || rescaled;
        }
        if (c.colour || (heat && c.text)) cell->setColourValue(cellColourShown(c.vk));
    }
    // A new largest count moves the whole scale; most cells keep their
    // colour, and a cell whose colour stays is not repainted.
    if (rescaled) repaintCellColours();
    if (poller_.totalChanged()) txtSummary_->setText(number(poller_.total()));
    recorder_->afterTick(poller_.totalChanged());
    // A tap's cell goes back to the up colour 10 ms later; the compact
    // window shows no cell.
    applyPace(pace_.afterTick(monotonicMs(), poller_.flashing() && !compactMode(), recorder_->msUntilRecoveryWrite()));
}

// The source is read as soon as it wakes the program, so that its handle
// stops being readable and the watch can stay on; the tick counts it.
void frmMain::onKeysWakeActivated() {
    ctx_.keySource->pump();
    sourceJustRead_ = true;
    applyPace(pace_.woke(monotonicMs()));
    sourceJustRead_ = false;
}

void frmMain::applyPace(const TimerPace::Step& step) {
    if (keysWake_ != nullptr) keysWake_->setEnabled(step.watchSource);
    if (step.timer == TimerPace::Timer::Start)
        timer1_->start(step.timerMs);
    else if (step.timer == TimerPace::Timer::Stop)
        timer1_->stop();
    else if (!timer1_->isActive() && pace_.dueAt() >= 0)
        // The one-shot timer that was to stand has fired already (a tick
        // before its time): it is started again for what is still due.
        timer1_->start(static_cast<int>(std::max<std::int64_t>(0, pace_.dueAt() - monotonicMs())));
    if (step.tickNow) onTimer1Timeout();
}

void frmMain::showCounts() {
    for (std::uint8_t vk : layout::countedCodes()) keyboard_->cell(vk)->setText(number(poller_.count(vk)));
    txtSummary_->setText(number(poller_.total()));
}

void frmMain::resetCounts() {
    poller_.resetCounts();
    showCounts();
    if (heatShown()) repaintCellColours();
}

bool frmMain::heatShown() const { return mnuVisionHeatMap_->isChecked() && !compactMode(); }

std::int32_t frmMain::cellColourShown(int vk) const {
    const std::int32_t colour = poller_.cellColour(vk);
    if (!heatShown() || colour != colour::kUp) return colour;
    return heat_.cellColour(poller_.count(vk), colour);
}

void frmMain::repaintCellColours() {
    std::int32_t largest = 0;
    for (std::uint8_t vk : layout::countedCodes()) largest = std::max(largest, poller_.count(vk));
    heat_.rescale(largest);
    for (std::uint8_t vk : layout::countedCodes()) keyboard_->cell(vk)->setColourValue(cellColourShown(vk));
}

// ---------------------------------------------------------------------------
// History and the two reset commands

void frmMain::reportRecord(const history::WriteResult& result) {
    const QString path = QString::fromLocal8Bit(result.path);
    if (result.ok) {
        showBox(BoxIcon::Information, path + texts::kRecordedSuffix);
    } else {
        // The period's counts are lost unless the person hears of it.
        showBox(BoxIcon::Critical,
                path + texts::kNotRecordedSuffix + QLatin1Char('\n') + QString::fromStdString(result.reason));
    }
}

// The record takes the counts and the reset follows at once, before the box
// is shown: what is pressed while it is open belongs to the new period. A
// record that cannot be written resets nothing: the counts stay, kept in the
// recovery file, and counting goes on on top of them.
void frmMain::onMnuFileSaveResetTriggered() {
    const history::WriteResult result = recorder_->saveHistory(lblSummary_->text().toStdString());
    if (result.ok) {
        resetCounts();
        recorder_->periodEnded();
    } else {
        recorder_->keepUnrecorded(result, false);
    }
    reportRecord(result);
}

void frmMain::onMnuFileNoSaveResetTriggered() {
    resetCounts();
    recorder_->periodEnded();
    showBox(BoxIcon::Information, texts::kResetDone);
}

void frmMain::showBox(BoxIcon icon, const QString& text) {
    if (!quiet_) ctx_.boxes->show(icon, text);
}

// ---------------------------------------------------------------------------
// Check-mark commands

void frmMain::checkRow(int index) {
    for (int i = 1; i <= 6; ++i) mnuFileMaxRowCount_[static_cast<std::size_t>(i)]->setChecked(i == index);
}

// The viewer reads at most the checked number of the newest records; the
// main window's timer keeps counting while it is open.
void frmMain::onMnuFileHistoryTriggered() {
    history::showHistoryViewer(this, recorder_->historyPath(), ctx_.settings->fileHistoryMaxRow, *ctx_.boxes,
                               widgets::appIcon());
}

// The statistics window reads the whole history; the main window's timer
// keeps counting while it is read and while the window is open.
void frmMain::onMnuFileStatisticsTriggered() {
    statistics::showStatistics(this, recorder_->historyPath(), *ctx_.boxes, widgets::appIcon());
}

void frmMain::onMnuFileMaxRowCountTriggered(int index) {
    checkRow(index);
    ctx_.settings->fileHistoryMaxRow = static_cast<std::int16_t>(index);
}

// ---------------------------------------------------------------------------
// Appearance and help commands

// The new blink colour shows from the next held key; nothing is repainted now.
void frmMain::onMnuVisionKeyColorTriggered() {
    poller_.setBlinkColour(
        appearance::chooseColourValue(ctx_.colourChooser, poller_.blinkColour(), keyboard_->palette(), this));
}

void frmMain::onMnuVisionFrmColorTriggered() {
    client_->setBackColour(
        appearance::chooseColourValue(ctx_.colourChooser, client_->backColour(), client_->palette(), this));
}

// The action has inverted its check mark already.
void frmMain::onMnuVisionPictureEnableTriggered() { picture_->onSwitchTriggered(); }

void frmMain::onMnuVisionPictureTriggered() { picture_->choose(ctx_.pictureChooser, this); }

// The action has inverted its check mark already: the cells take the tint
// or give it up at once.
void frmMain::onMnuVisionHeatMapTriggered() { repaintCellColours(); }

void frmMain::onMnuHelpHelpTriggered() {
    const std::string& folder = ctx_.installFolder.empty() ? ctx_.programFolder : ctx_.installFolder;
    if (const QString problem = help::showReadme(ctx_.urlOpener, folder); !problem.isEmpty())
        showBox(BoxIcon::Critical, problem);
}

void frmMain::onMnuHelpVersionTriggered() { help::showVersionWindow(this); }

// ---------------------------------------------------------------------------
// Sound settings

// Modal, centred over this window; the timer keeps ticking while it is open,
// so keys are counted and play their saved sounds.
void frmMain::onMnuSoundFileTriggered() {
    sound::frmSoundConfig dialog({ctx_.settingsPath, ctx_.settings, ctx_.boxes, ctx_.soundPlayer}, this);
    dialog.exec();
}

// ---------------------------------------------------------------------------
// Window modes

void frmMain::setMenusVisible(bool visible) {
    for (QMenu* m : topMenus()) m->menuAction()->setVisible(visible);
    menuBar()->setVisible(visible);
}

void frmMain::onCmdResizeClicked() {
    const QRect current = frameGeometry();
    const QRect saved = geometryFields_.stored();
    unframedLoadMargins_.reset();
    enterMode(!compactMode(), saved);
    geometryFields_.store(current);
}

void frmMain::enterMode(bool compact, const QRect& outer) {
    setMenusVisible(!compact);
    const Qt::WindowFlags flags = compact ? kCompactFlags : kFullFlags;
    if (windowHandle() != nullptr && isVisible()) {
        // The shown window keeps its native window: only its frame and its
        // place in the z-order change, without hiding it.
        overrideWindowFlags(flags);
        windowHandle()->setFlags(flags);
    } else {
        setWindowFlags(flags);
    }
    placeOuter(outer);
    compact_ = compact;
    cmdResize_->setText(compact ? texts::kLarge : texts::kSmall);
    // Compact mode hides the cells; the tint follows the counts again when
    // they show.
    if (!compact && mnuVisionHeatMap_->isChecked()) repaintCellColours();
    if (ctx_.keySource != nullptr) {
        ctx_.keySource->setKeysShown(!compact);
        // The cells show again: a tick paints which keys are down now.
        if (!compact && keysWake_ != nullptr) applyPace(pace_.woke(monotonicMs()));
    }
}

QMargins frmMain::frameMargins() const { return marginsBetween(frameGeometry(), geometry()); }

void frmMain::placeOuter(const QRect& outer) {
    placedOuter_ = outer;
    placedMargins_ = frameMargins();
    setFixedSize(clientSizeFor(outer.size(), placedMargins_));
    move(outer.topLeft());  // the frame's top-left corner
    show();
}

// The window system frames a window after it is shown, and may frame the two
// modes differently: once the frame is known, the client is sized again so
// that the whole window keeps the size it was placed with.
void frmMain::fitFrame() {
    if (!placedOuter_.isValid() || !isVisible()) return;
    const QMargins m = frameMargins();
    if (unframedLoadMargins_ && m != *unframedLoadMargins_) {
        geometryFields_.addFrame(m, *unframedLoadMargins_);
        unframedLoadMargins_.reset();
    }
    if (m == placedMargins_) return;
    placedMargins_ = m;
    setFixedSize(clientSizeFor(placedOuter_.size(), m));
}

bool frmMain::event(QEvent* event) {
    const bool result = QMainWindow::event(event);
    const QEvent::Type t = event->type();
    if (t == QEvent::Move || t == QEvent::Resize || t == QEvent::Show) fitFrame();
    return result;
}

// ---------------------------------------------------------------------------
// Notification area

void frmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized()) return;
    // Without a notification area the window stays minimised in the task
    // bar: hidden, it could never be brought back.
    if (!ctx_.notifyArea->available()) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!isMinimized() || closeState_ != CloseState::NotRun) return;
            hide();
            ctx_.notifyArea->add();
        },
        Qt::QueuedConnection);
}

void frmMain::onNotifyIconActivated(QSystemTrayIcon::ActivationReason reason) {
    // Only a double-click of the left button brings the window back; a host
    // that never reports one (StatusNotifierItem) restores on its left click.
    const auto restoreOn =
        ctx_.notifyArea->restoresOnSingleClick() ? QSystemTrayIcon::Trigger : QSystemTrayIcon::DoubleClick;
    if (reason != restoreOn) return;
    ctx_.notifyArea->remove();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
}

// ---------------------------------------------------------------------------
// Close sequence

void frmMain::closeEvent(QCloseEvent* event) {
    if (closeState_ == CloseState::Running) {
        event->ignore();  // the sequence under way ends the program
        return;
    }
    if (closeState_ == CloseState::NotRun) runCloseSequence(CloseBy::Person);
    event->accept();
}

void frmMain::requestStop(CloseBy by) {
    if (by != CloseBy::Person) {
        // Nobody will answer a box now, and an open one would hold the sequence up.
        quiet_ = true;
        ctx_.boxes->dismissAll();
    }
    if (closeState_ == CloseState::Done && by != CloseBy::ApplicationQuit) {
        ctx_.quit();  // recorded and written already: a further request only ends the program
        return;
    }
    if (closeState_ != CloseState::NotRun) return;
    if (by == CloseBy::Person) {
        close();
        return;
    }
    runCloseSequence(by);
}

void frmMain::runCloseSequence(CloseBy by) {
    closeState_ = CloseState::Running;
    if (by != CloseBy::Person) quiet_ = true;
    applyPace(pace_.closing());  // what the key source has received so far is part of the record
    const history::WriteResult recorded = recorder_->saveHistory(lblSummary_->text().toStdString());
    // Kept before the box is shown: a kill while it is open loses nothing.
    if (!recorded.ok) recorder_->keepUnrecorded(recorded, quiet_);  // recorded at the next start
    if (!quiet_) reportRecord(recorded);
    if (recorded.ok) recorder_->periodEnded();
    recorder_->markClosed();
    if (ctx_.soundPlayer != nullptr) ctx_.soundPlayer->stopAll();
    syncSettingsRecord();
    recorder_->saveSettings();
    ctx_.notifyArea->remove();
    timer1_->stop();
    if (keysWake_ != nullptr) keysWake_->setEnabled(false);
    closeState_ = CloseState::Done;
    if (by != CloseBy::ApplicationQuit) ctx_.quit();
}

// The window's state as the settings record keeps it.
void frmMain::syncSettingsRecord() {
    settings::SettingsRecord& r = *ctx_.settings;
    r.soundEnable = mnuSoundEnable_->isChecked() ? -1 : 0;
    r.colorTextBoxBlink = poller_.blinkColour();
    r.colorBackGround = client_->backColour();
    r.pictureEnable = mnuVisionPictureEnable_->isChecked() ? -1 : 0;
    r.heatMap = mnuVisionHeatMap_->isChecked() ? -1 : 0;
}

}  // namespace pressory::app
