#include "app/frm_main.h"

#include <QAction>
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

#include "app/app_icon.h"
#include "app/client_area.h"
#include "app/frm_main_texts.h"
#include "app/count_cell.h"
#include "app/notify_area.h"
#include "app/twips.h"
#include "history/history_record.h"
#include "platform/app_folder.h"
#include "platform/text_codec.h"
#include "settings/profile_file.h"
#include "sound/sound_keys.h"

namespace pressory::app {
namespace {

// Full mode: a fixed single frame with the minimise button and the system
// menu, no maximise button. Compact mode: a fixed dialog frame, always in
// front of other windows.
constexpr Qt::WindowFlags kFullFlags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                       Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                       Qt::WindowCloseButtonHint;
constexpr Qt::WindowFlags kCompactFlags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                          Qt::WindowStaysOnTopHint;

// The compact window at start: left 10, 120 pixels above the screen's
// bottom edge, 140 x 70 pixels.
constexpr int kCompactLeft = 10;
constexpr int kCompactAboveBottom = 120;
constexpr int kCompactWidth = 140;
constexpr int kCompactHeight = 70;

// The timer ticks every 10 ms. With a key source that can wake the window,
// once every key has read 0 for kQuietTicks ticks in a row the timer slows
// down, and the next thing the source receives brings the 10 ms ticks back:
// nothing can change in between, so an idle desktop costs no wake-ups, while
// typing keeps the steady 10 ms ticks (cheaper than waking for every event).
// The slow tick stays as a safety net.
constexpr int kTickMs = 10;
constexpr int kIdleTickMs = 500;
constexpr int kQuietTicks = 20;

// Geometry values are kept as 16-bit signed pixel values.
std::int16_t toInt16(int v) { return static_cast<std::int16_t>(std::clamp(v, -32768, 32767)); }

QString number(std::int32_t v) { return QString::number(v); }

TwipScale screenScale() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? TwipScale(s->logicalDotsPerInchX(), s->logicalDotsPerInchY()) : TwipScale(96, 96);
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
    : QMainWindow(parent, kFullFlags), ctx_(std::move(context)), sounds_(std::make_unique<KeySounds>(*this)) {
    if (!ctx_.now) ctx_.now = [] { return QDateTime::currentDateTime(); };
    if (!ctx_.quit) ctx_.quit = [] { QCoreApplication::quit(); };
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(texts::kTitle);
    setWindowIcon(appIcon());
    buildControls();
    buildMenus();

    // The design size: the client area below the menu bar.
    const TwipScale tw = screenScale();
    const QSize client(tw.x(layout::kClientWidth), tw.y(layout::kClientHeight));
    resize(client.width(), client.height() + menuBar()->sizeHint().height());

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    connect(timer1_, &QTimer::timeout, this, &frmMain::Timer1_Timer);
}

frmMain::~frmMain() = default;

void frmMain::buildControls() {
    const TwipScale tw = screenScale();
    client_ = new ClientArea(this);
    client_->setObjectName(QStringLiteral("frmMainClient"));
    QFont f = client_->font();
    f.setPixelSize(12);
    client_->setFont(f);
    client_->setLines(tw.line(layout::kLine1), tw.line(layout::kLine2));
    setCentralWidget(client_);

    lblSummary_ = new QLabel(QString::fromUtf8(layout::kSummaryCaption.data(),
                                               static_cast<qsizetype>(layout::kSummaryCaption.size())),
                             client_);
    lblSummary_->setObjectName(QStringLiteral("lblSummary"));
    lblSummary_->setGeometry(tw.rect(layout::kSummaryLabel));
    lblSummary_->setBackgroundRole(QPalette::Base);   // the system window-background colour
    lblSummary_->setAutoFillBackground(true);

    txtSummary_ = new CountCell(client_, Qt::AlignRight);
    txtSummary_->setObjectName(QStringLiteral("txtSummary"));
    txtSummary_->setGeometry(tw.rect(layout::kSummaryBox));

    cmdResize_ = new QPushButton(texts::kSmall, client_);
    cmdResize_->setObjectName(QStringLiteral("cmdResize"));
    cmdResize_->setGeometry(tw.rect(layout::kResizeButton));
    connect(cmdResize_, &QPushButton::clicked, this, &frmMain::cmdResize_Click);

    for (const pressory::KeyCell& key : layout::cells()) {
        const auto i = static_cast<std::size_t>(key.vk);
        auto* cell = new CountCell(client_, key.counted() ? Qt::AlignRight : Qt::AlignLeft);
        cell->setObjectName(QStringLiteral("txtKey(%1)").arg(key.vk));
        cell->setGeometry(tw.rect(key.cellRect()));
        cell->setVisible(key.shown);
        txtKey_[i] = cell;
        if (key.hasCaption()) {
            auto* caption = new QLabel(
                QString::fromUtf8(key.caption.data(), static_cast<qsizetype>(key.caption.size())), client_);
            caption->setObjectName(QStringLiteral("Label1(%1)").arg(key.vk));
            caption->setGeometry(tw.rect(key.captionRect()));
            caption->setVisible(key.shown);
            label1_[i] = caption;
        }
    }

    auto hiddenField = [&](const char* name, const TwipRect& r) {
        auto* field = new QLineEdit(texts::kFieldInitial, client_);
        field->setObjectName(QString::fromLatin1(name));
        field->setGeometry(tw.rect(r));
        field->hide();
        return field;
    };
    txtFormSizeX_ = hiddenField("txtFormSizeX", layout::kFormSizeX);
    txtFormSizeY_ = hiddenField("txtFormSizeY", layout::kFormSizeY);
    txtFormPosiX_ = hiddenField("txtFormPosiX", layout::kFormPosiX);
    txtFormPosiY_ = hiddenField("txtFormPosiY", layout::kFormPosiY);
}

QAction* frmMain::addItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

void frmMain::buildMenus() {
    auto topMenu = [&](const char* name, const QString& caption) {
        QMenu* m = menuBar()->addMenu(caption);
        m->setObjectName(QString::fromLatin1(name));
        m->menuAction()->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto separator = [&](QMenu* menu, const char* name) {
        menu->addSeparator()->setObjectName(QString::fromLatin1(name));
    };

    mnuFile_ = topMenu("mnuFile", texts::kFile);
    addItem(mnuFile_, "mnuFileHistory", texts::kFileHistory)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    QMenu* maxRow = mnuFile_->addMenu(texts::kFileMaxRow);
    maxRow->setObjectName(QStringLiteral("mnuFileMaxRow"));
    maxRow->menuAction()->setObjectName(QStringLiteral("mnuFileMaxRow"));
    for (int i = 1; i <= 6; ++i) {
        QAction* a = maxRow->addAction(texts::kFileMaxRowCount[i - 1]);
        a->setObjectName(QStringLiteral("mnuFileMaxRowCount(%1)").arg(i));
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, i] { mnuFileMaxRowCount_Click(i); });
        mnuFileMaxRowCount_[static_cast<std::size_t>(i)] = a;
    }
    QAction* noSaveReset = addItem(mnuFile_, "mnuFileNoSaveReset", texts::kFileNoSaveReset);
    noSaveReset->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(noSaveReset, &QAction::triggered, this, &frmMain::mnuFileNoSaveReset_Click);
    QAction* saveReset = addItem(mnuFile_, "mnuFileSaveReset", texts::kFileSaveReset);
    saveReset->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(saveReset, &QAction::triggered, this, &frmMain::mnuFileSaveReset_Click);
    separator(mnuFile_, "mnulineF");
    QAction* quit = addItem(mnuFile_, "mnuFileQuit", texts::kFileQuit);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, this, &QWidget::close);

    mnuVision_ = topMenu("mnuVision", texts::kVision);
    connect(addItem(mnuVision_, "mnuVisionTop", texts::kVisionTop), &QAction::triggered, this,
            &frmMain::cmdResize_Click);
    separator(mnuVision_, "mnulineV");
    addItem(mnuVision_, "mnuVisionKeyColor", texts::kVisionKeyColor);
    addItem(mnuVision_, "mnuVisionFrmColor", texts::kVisionFrmColor);
    mnuVisionPictureEnable_ = addItem(mnuVision_, "mnuVisionPictureEnable", texts::kVisionPictureEnable);
    mnuVisionPictureEnable_->setCheckable(true);
    mnuVisionPictureEnable_->setChecked(false);
    connect(mnuVisionPictureEnable_, &QAction::triggered, this, &frmMain::mnuVisionPictureEnable_Click);
    addItem(mnuVision_, "mnuVisionPicture", texts::kVisionPicture);

    mnuSound_ = topMenu("mnuSound", texts::kSound);
    mnuSoundEnable_ = addItem(mnuSound_, "mnuSoundEnable", texts::kSoundEnable);
    mnuSoundEnable_->setCheckable(true);
    mnuSoundEnable_->setChecked(true);   // a click inverts it: the action toggles itself
    addItem(mnuSound_, "mnuSoundFile", texts::kSoundFile);

    mnuHelp_ = topMenu("mnuHelp", texts::kHelp);
    addItem(mnuHelp_, "mnuHelpHelp", texts::kHelpHelp);
    separator(mnuHelp_, "mnulineH");
    addItem(mnuHelp_, "mnuHelpVersion", texts::kHelpVersion);
}

CountCell* frmMain::txtKey(int vk) const {
    return vk >= 0 && vk <= 255 ? txtKey_[static_cast<std::size_t>(vk)] : nullptr;
}

QLabel* frmMain::label1(int vk) const {
    return vk >= 0 && vk <= 255 ? label1_[static_cast<std::size_t>(vk)] : nullptr;
}

QAction* frmMain::menuItem(const QString& name) const { return findChild<QAction*>(name); }

bool frmMain::compactMode() const { return cmdResize_->text() == texts::kLarge; }

std::int32_t frmMain::backColour() const { return client_->backColour(); }

// ---------------------------------------------------------------------------
// Creation and start-up settings

void frmMain::Form_Load() {
    // 1. Compact mode. The geometry as created is the full window's saved geometry.
    const QRect asCreated = frameGeometry();
    const QMargins unframed = frameMargins();
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect sg = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    setMenusVisible(false);
    enterMode(true, QRect(sg.left() + kCompactLeft, sg.top() + sg.height() - kCompactAboveBottom, kCompactWidth,
                          kCompactHeight));
    storeGeometry(asCreated);
    unframedLoadMargins_ = unframed;
    fitFrame();

    // 2. The notification icon reports its mouse events here.
    ctx_.notifyArea->setActivatedHandler([this](QSystemTrayIcon::ActivationReason r) { notifyIconActivated(r); });

    // 3. Polled flags; 4. the timer last.
    poller_.fillPolledFlags();
    if (ctx_.keysSocket >= 0 && keysWake_ == nullptr) {
        keysWake_ = new QSocketNotifier(static_cast<qintptr>(ctx_.keysSocket), QSocketNotifier::Read, this);
        keysWake_->setEnabled(false);
        connect(keysWake_, &QSocketNotifier::activated, this, &frmMain::keysWoke);
    }
    if (ctx_.keys != nullptr) timer1_->start(kTickMs);   // without a key source there is nothing to poll
}

void frmMain::applySettings() {
    settings::SettingsRecord& r = *ctx_.settings;
    // A row limit outside 1 to 6 names no item: the first one stands for it.
    if (r.fileHistoryMaxRow < 1 || r.fileHistoryMaxRow > 6) r.fileHistoryMaxRow = 1;
    checkRow(r.fileHistoryMaxRow);
    mnuSoundEnable_->setChecked(r.soundEnable != 0);
    poller_.setBlinkColour(r.colorTextBoxBlink);
    client_->setBackColour(r.colorBackGround);
    mnuVisionPictureEnable_->setChecked(r.pictureEnable != 0);
    // A missing picture, or one that cannot be decoded, is silently left out.
    if (platform::fileExists(r.pictureBackGround) && r.pictureEnable != 0) loadPicture(r.pictureBackGround);
}

bool frmMain::loadPicture(const std::string& path) {
    if (path.empty()) {
        client_->setPicture(QPixmap());
        return true;
    }
    QPixmap picture;
    if (!picture.load(QString::fromLocal8Bit(path))) return false;
    client_->setPicture(picture);
    return true;
}

// ---------------------------------------------------------------------------
// Counting

void frmMain::Timer1_Timer() {
    if (ctx_.keys == nullptr) return;
    if (ctx_.pump) ctx_.pump();
    for (const CellChange& c : poller_.tick(*ctx_.keys, sounds_.get())) {
        CountCell* cell = txtKey_[c.vk];
        if (c.colour) cell->setColourValue(poller_.cellColour(c.vk));
        if (c.text) cell->setText(number(poller_.count(c.vk)));
    }
    if (poller_.totalChanged()) txtSummary_->setText(number(poller_.total()));

    if (keysWake_ == nullptr) return;
    for (std::uint8_t vk : layout::countedCodes()) {
        if (poller_.currentState(vk) != 0) {
            quietTicks_ = 0;
            if (timer1_->interval() != kTickMs) keysWoke();   // a slow tick found a key down
            return;
        }
    }
    if (timer1_->interval() == kIdleTickMs || ++quietTicks_ < kQuietTicks) return;
    timer1_->setInterval(kIdleTickMs);
    keysWake_->setEnabled(true);
}

// Something arrived from the key source: back to a tick every 10 ms, the
// first one 10 ms from now, so that what arrives meanwhile (a key's release
// right after its press) is read in the same tick.
void frmMain::keysWoke() {
    keysWake_->setEnabled(false);
    quietTicks_ = 0;
    if (closeState_ == CloseState::Done) return;
    timer1_->start(kTickMs);
}

void frmMain::showCounts() {
    for (std::uint8_t vk : layout::countedCodes()) txtKey_[vk]->setText(number(poller_.count(vk)));
    txtSummary_->setText(number(poller_.total()));
}

void frmMain::resetCounts() {
    poller_.resetCounts();
    showCounts();
}

// ---------------------------------------------------------------------------
// History and the two reset commands

bool frmMain::SaveHistory() {
    const QDateTime t = ctx_.now();
    const history::LocalDateTime when{t.date().year(), t.date().month(),  t.date().day(),
                                      t.time().hour(), t.time().minute(), t.time().second()};
    const auto codes = layout::countedCodes();
    const std::string header = history::headerLine(codes, lblSummary_->text().toStdString());
    const std::string record = history::recordLine(when, codes, poller_.counts(), poller_.total());
    const history::WriteResult result =
        history::appendRecord(history::historyPath(ctx_.programFolder), header, record, &platform::utf8ToCp932);
    const QString path = QString::fromLocal8Bit(result.path);
    if (result.ok) {
        showBox(BoxIcon::Information, path + texts::kRecordedSuffix);
    } else {
        // The period's counts are lost unless the person hears of it.
        showBox(BoxIcon::Critical,
                path + texts::kNotRecordedSuffix + QLatin1Char('\n') + QString::fromStdString(result.reason));
    }
    return result.ok;
}

void frmMain::mnuFileSaveReset_Click() {
    SaveHistory();
    resetCounts();
}

void frmMain::mnuFileNoSaveReset_Click() {
    resetCounts();
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

void frmMain::mnuFileMaxRowCount_Click(int index) {
    checkRow(index);
    ctx_.settings->fileHistoryMaxRow = static_cast<std::int16_t>(index);
}

void frmMain::mnuVisionPictureEnable_Click() {
    // The action has inverted its check mark already.
    if (mnuVisionPictureEnable_->isChecked()) {
        // A path that cannot be loaded leaves the window without a picture.
        loadPicture(ctx_.settings->pictureBackGround);
    } else {
        client_->setPicture(QPixmap());
    }
}

// ---------------------------------------------------------------------------
// Window modes

void frmMain::setMenusVisible(bool visible) {
    for (QMenu* m : topMenus()) m->menuAction()->setVisible(visible);
    menuBar()->setVisible(visible);
}

void frmMain::cmdResize_Click() {
    const QRect current = frameGeometry();
    const QRect saved = storedGeometry();
    unframedLoadMargins_.reset();
    enterMode(!compactMode(), saved);
    storeGeometry(current);
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
    cmdResize_->setText(compact ? texts::kLarge : texts::kSmall);
}

QMargins frmMain::frameMargins() const {
    const QRect f = frameGeometry();
    const QRect g = geometry();
    return {g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()};
}

void frmMain::placeOuter(const QRect& outer) {
    placedOuter_ = outer;
    placedMargins_ = frameMargins();
    const QMargins& m = placedMargins_;
    setFixedSize(std::max(1, outer.width() - m.left() - m.right()), std::max(1, outer.height() - m.top() - m.bottom()));
    move(outer.topLeft());   // the frame's top-left corner
    show();
}

// The window system frames a window after it is shown, and may frame the two
// modes differently: once the frame is known, the client is sized again so
// that the whole window keeps the size it was placed with.
void frmMain::fitFrame() {
    if (!placedOuter_.isValid() || !isVisible()) return;
    const QMargins m = frameMargins();
    if (unframedLoadMargins_ && m != *unframedLoadMargins_) {
        const QMargins& u = *unframedLoadMargins_;
        const QRect saved = storedGeometry();
        txtFormSizeX_->setText(number(toInt16(saved.width() + m.left() + m.right() - u.left() - u.right())));
        txtFormSizeY_->setText(number(toInt16(saved.height() + m.top() + m.bottom() - u.top() - u.bottom())));
        unframedLoadMargins_.reset();
    }
    if (m == placedMargins_) return;
    placedMargins_ = m;
    setFixedSize(std::max(1, placedOuter_.width() - m.left() - m.right()),
                 std::max(1, placedOuter_.height() - m.top() - m.bottom()));
}

void frmMain::storeGeometry(const QRect& outer) {
    txtFormSizeX_->setText(number(toInt16(outer.width())));
    txtFormSizeY_->setText(number(toInt16(outer.height())));
    txtFormPosiX_->setText(number(toInt16(outer.left())));
    txtFormPosiY_->setText(number(toInt16(outer.top())));
}

QRect frmMain::storedGeometry() const {
    auto value = [](const QLineEdit* field) { return static_cast<int>(toInt16(field->text().toInt())); };
    return {value(txtFormPosiX_), value(txtFormPosiY_), value(txtFormSizeX_), value(txtFormSizeY_)};
}

bool frmMain::event(QEvent* event) {
    const bool result = QMainWindow::event(event);
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
        fitFrame();
        break;
    default:
        break;
    }
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

void frmMain::notifyIconActivated(QSystemTrayIcon::ActivationReason reason) {
    // Only a double-click of the left button brings the window back.
    if (reason != QSystemTrayIcon::DoubleClick) return;
    ctx_.notifyArea->remove();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
}

// ---------------------------------------------------------------------------
// Close sequence

void frmMain::closeEvent(QCloseEvent* event) {
    if (closeState_ == CloseState::Running) {
        event->ignore();   // the sequence under way ends the program
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
    Timer1_Timer();   // what the key source has received so far is part of the record
    SaveHistory();
    if (ctx_.soundPlayer != nullptr) ctx_.soundPlayer->stopAll();
    writeSettings();
    ctx_.notifyArea->remove();
    timer1_->stop();
    if (keysWake_ != nullptr) keysWake_->setEnabled(false);
    closeState_ = CloseState::Done;
    if (by != CloseBy::ApplicationQuit) ctx_.quit();
}

void frmMain::writeSettings() {
    const settings::SettingsRecord& r = *ctx_.settings;
    auto write = [this](std::string_view section, std::string_view key, const std::string& value) {
        profile::writeText(ctx_.settingsPath, section, key, value);   // a failed write is silently lost
    };
    write("FILE", "FileHistoryMaxRow", std::to_string(r.fileHistoryMaxRow));
    write("SOUND", "SoundEnable", mnuSoundEnable_->isChecked() ? "-1" : "0");
    write("COLOR", "ColorTextBoxBlink", std::to_string(poller_.blinkColour()));
    write("COLOR", "ColorBackGround", std::to_string(client_->backColour()));
    write("COLOR", "PictureBackGround", r.pictureBackGround);
    write("COLOR", "PictureEnable", mnuVisionPictureEnable_->isChecked() ? "-1" : "0");
}

}  // namespace pressory::app
