#include "sound/ui/sound_settings_window.h"

#include <QApplication>
#include <QDir>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QUrl>
#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "counting/key_layout.h"
#include "platform/file_access.h"
#include "platform/sound_player.h"
#include "sound/sound_keys.h"
#include "sound/sound_paths.h"
#include "sound/ui/sound_file_chooser.h"
#include "sound/ui/sound_settings_texts.h"
#include "widgets/count_cell.h"
#include "widgets/keyboard_widget.h"
#include "widgets/twips.h"

namespace pressory::sound {
namespace {

using widgets::TwipScale;

// The window's design in twips.
constexpr int kClientWidth = 11370;
constexpr int kClientHeight = 5625;
constexpr int kKeyboardOffset = 240;
constexpr counting::TwipLine kLine1{120, 1860, 11280, 1860};
constexpr counting::TwipLine kLine2{9240, 1200, 9240, 5040};
// Shape1 and the help labels: three rows of a title and a how-to, in the
// window's font; the frame keeps its right edge, top and padding and grows
// to the left and down as far as the texts need.
constexpr int kShape1Right = 5880 + 5415;
constexpr int kShape1Top = 150;
constexpr int kHelpPadX = 120;
constexpr int kHelpPadTop = 90;
constexpr int kHelpRowTwips = 240;
constexpr int kHelpRowHeightTwips = 255;
// A cell with the keyboard focus is filled with this colour (0x00BBGGRR).
constexpr std::int32_t kFocusColour = 0x00FFE8CC;
constexpr counting::TwipRect kCmdUpdate{8520, 5160, 1300, 350};
constexpr counting::TwipRect kCmdCancel{9960, 5160, 1300, 350};

// Shape1: the rounded rectangle around the help labels.
class RoundedFrame final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(palette().color(QPalette::WindowText), 1));
        const int r = std::min(width(), height()) / 6;
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), r, r);
    }
};

// The first file of a drag that carries local files only, or nothing.
std::optional<QString> firstDroppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return std::nullopt;
    const QList<QUrl> urls = data->urls();
    if (urls.isEmpty()) return std::nullopt;
    for (const QUrl& u : urls)
        if (!u.isLocalFile()) return std::nullopt;
    return QDir::toNativeSeparators(urls.first().toLocalFile());
}

std::string narrow(const QString& path) { return path.toLocal8Bit().toStdString(); }

}  // namespace

SoundSettingsWindow::SoundSettingsWindow(SoundSettingsContext context, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      ctx_(std::move(context)) {
    setObjectName(QStringLiteral("frmSoundConfig"));
    setWindowTitle(texts::kCaption);
    setModal(true);
    const TwipScale tw = widgets::screenScale();
    setFixedSize(tw.x(kClientWidth), tw.y(kClientHeight));
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);

    if (ctx_.chooser == nullptr) {
        ownChooser_ = std::make_unique<QtSoundFileChooser>();
        ctx_.chooser = ownChooser_.get();
    }
    pendingClick_.setSingleShot(true);
    pendingClick_.setInterval(QApplication::doubleClickInterval());
    connect(&pendingClick_, &QTimer::timeout, this, [this] {
        const int vk = std::exchange(pendingVk_, -1);
        if (vk >= 0) onTxtKeyMouseDown(vk, Qt::LeftButton);
    });

    // The tab order starts at the cancel button, then OK, then the sound cells.
    cmdCancel_ = new QPushButton(texts::kCancel, this);
    cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
    cmdUpdate_ = new QPushButton(texts::kOk, this);
    cmdUpdate_->setObjectName(QStringLiteral("cmdUpdate"));
    for (QPushButton* b : {cmdCancel_, cmdUpdate_}) {
        b->setAutoDefault(false);  // Enter has no special meaning here
        b->setDefault(false);
    }
    cmdCancel_->setGeometry(tw.rect(kCmdCancel));
    cmdUpdate_->setGeometry(tw.rect(kCmdUpdate));
    setTabOrder(cmdCancel_, cmdUpdate_);
    connect(cmdUpdate_, &QPushButton::clicked, this, &SoundSettingsWindow::onCmdUpdateClicked);
    connect(cmdCancel_, &QPushButton::clicked, this, &SoundSettingsWindow::onCmdCancelClicked);

    keyboard_ = new widgets::KeyboardWidget(this, tw, kKeyboardOffset);
    keyboard_->lower();
    keyboard_->setLines(kLine1, kLine2);
    for (const counting::KeyCell& key : counting::layout::cells())
        keyboard_->setKeyShown(key.vk, hasSoundEntry(key.vk));
    keyboard_->setAcceptDrops(true);
    keyboard_->installEventFilter(this);
    // A left click waits for a possible second click (a double-click chooses a file).
    connect(keyboard_, &widgets::KeyboardWidget::cellPressed, this, [this](int vk, Qt::MouseButton button) {
        if (pendingVk_ >= 0) {  // a click before this one is answered first
            pendingClick_.stop();
            onTxtKeyMouseDown(std::exchange(pendingVk_, -1), Qt::LeftButton);
        }
        if (button != Qt::LeftButton) {
            onTxtKeyMouseDown(vk, button);
            return;
        }
        pendingVk_ = vk;
        pendingClick_.start();
    });
    // The cells in reading order: row by row, left to right.
    std::vector<counting::KeyCell> reading;
    for (const counting::KeyCell& key : counting::layout::cells())
        if (txtKey(key.vk) != nullptr) reading.push_back(key);
    std::stable_sort(reading.begin(), reading.end(), [](const counting::KeyCell& a, const counting::KeyCell& b) {
        return a.top != b.top ? a.top < b.top : a.left < b.left;
    });
    QWidget* previous = cmdUpdate_;
    for (const counting::KeyCell& key : reading) {
        widgets::CountCell* cell = txtKey(key.vk);
        cell->setFocusPolicy(Qt::StrongFocus);
        cell->installEventFilter(this);
        setTabOrder(previous, cell);
        previous = cell;
    }

    shape1_ = new RoundedFrame(this);
    shape1_->setObjectName(QStringLiteral("Shape1"));
    for (int i = 0; i < 6; ++i) {
        auto* label = new QLabel(texts::kHelpLabels[i], this);
        label->setObjectName(QStringLiteral("lblHelp(%1)").arg(i));
        label->setAutoFillBackground(false);
        lblHelp_[static_cast<std::size_t>(i)] = label;
    }
    placeHelp();

    // Creation: every sound key's edit and saved cell from the table.
    for (int vk = 0; vk <= 255; ++vk) {
        if (!hasSoundEntry(vk)) continue;
        const QString path = QString::fromLocal8Bit(ctx_.settings->soundPaths[static_cast<std::size_t>(vk)]);
        txtKey(vk)->setText(path);
        txtKeySave_[static_cast<std::size_t>(vk)] = path;
    }
}

SoundSettingsWindow::~SoundSettingsWindow() = default;

widgets::CountCell* SoundSettingsWindow::txtKey(int vk) const {
    return hasSoundEntry(vk) ? keyboard_->cell(vk) : nullptr;
}

QString SoundSettingsWindow::txtKeySave(int vk) const {
    return hasSoundEntry(vk) ? txtKeySave_[static_cast<std::size_t>(vk)] : QString();
}

QLabel* SoundSettingsWindow::lblHelp(int index) const {
    return index >= 0 && index < 6 ? lblHelp_[static_cast<std::size_t>(index)] : nullptr;
}

void SoundSettingsWindow::placeHelp() {
    const TwipScale tw = widgets::screenScale();
    const QFontMetrics fm(font());
    int titleWidth = 0, howToWidth = 0;
    for (int i = 0; i < 3; ++i) {
        titleWidth = std::max(titleWidth, fm.horizontalAdvance(texts::kHelpLabels[i]) + 2);
        howToWidth = std::max(howToWidth, fm.horizontalAdvance(texts::kHelpLabels[i + 3]) + 2);
    }
    const int rowHeight = std::max(tw.y(kHelpRowHeightTwips), fm.height());
    const int rowStep = std::max(tw.y(kHelpRowTwips), rowHeight);
    const int right = tw.x(kShape1Right);
    const int padX = tw.x(kHelpPadX);
    const int top = tw.y(kShape1Top);
    const int left = right - (padX + titleWidth + howToWidth + padX);
    for (int row = 0; row < 3; ++row) {
        const int y = top + tw.y(kHelpPadTop) + row * rowStep;
        lblHelp_[static_cast<std::size_t>(row)]->setGeometry(left + padX, y, titleWidth, rowHeight);
        lblHelp_[static_cast<std::size_t>(row + 3)]->setGeometry(left + padX + titleWidth, y, howToWidth, rowHeight);
    }
    const int bottom = top + tw.y(kHelpPadTop) + 2 * rowStep + rowHeight + tw.y(kHelpPadTop);
    shape1_->setGeometry(left, top, right - left, bottom - top);
}

// ---------------------------------------------------------------------------
// The cells: clicks, keys and dropped files

void SoundSettingsWindow::onTxtKeyMouseDown(int vk, Qt::MouseButton button) {
    widgets::CountCell* cell = txtKey(vk);
    if (cell == nullptr) return;
    if (cell->text().isEmpty()) {
        ctx_.boxes->show(widgets::BoxIcon::Information, texts::kNoFile);
        return;
    }
    if (button == Qt::LeftButton)
        ctx_.boxes->show(widgets::BoxIcon::Information, cell->text());
    else if (button == Qt::RightButton)
        cell->setText(QString());
}

void SoundSettingsWindow::chooseFileFor(int vk) {
    widgets::CountCell* cell = txtKey(vk);
    if (cell == nullptr) return;
    const std::optional<QString> chosen = ctx_.chooser->choose(this, cell->text());
    if (chosen) setCellPath(vk, *chosen);
}

int SoundSettingsWindow::soundCellOf(const QObject* object) const {
    for (std::uint8_t vk : counting::layout::countedCodes())
        if (keyboard_->cell(vk) == object) return vk;
    return -1;
}

// A focused cell: Enter chooses a file, Delete clears the path; a
// double-click chooses a file. The focus shows as the cell's fill.
bool SoundSettingsWindow::cellEvent(int vk, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            chooseFileFor(vk);
            return true;
        }
        if (key == Qt::Key_Delete) {
            txtKey(vk)->setText(QString());
            return true;
        }
        return false;
    }
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return false;
        pendingClick_.stop();
        pendingVk_ = -1;
        chooseFileFor(vk);
        return true;
    case QEvent::FocusIn: txtKey(vk)->setColourValue(kFocusColour); return false;
    case QEvent::FocusOut: txtKey(vk)->setColourValue(counting::colour::kUp); return false;
    default: return false;
    }
}

int SoundSettingsWindow::soundCellAt(const QPoint& keyboardPos) const {
    const QWidget* under = keyboard_->childAt(keyboardPos);
    if (under == nullptr) return -1;
    for (std::uint8_t vk : counting::layout::countedCodes())
        if (keyboard_->cell(vk) == under) return vk;
    return -1;
}

bool SoundSettingsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != keyboard_) {
        const int vk = soundCellOf(watched);
        if (vk >= 0 && cellEvent(vk, event)) return true;
        return QDialog::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        // Only a drag of local files, and only over a sound cell.
        auto* e = static_cast<QDragMoveEvent*>(event);
        if (firstDroppedFile(e->mimeData()) && soundCellAt(e->position().toPoint()) >= 0) {
            e->setDropAction(Qt::CopyAction);
            e->accept();
        } else {
            e->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(event);
        const std::optional<QString> file = firstDroppedFile(e->mimeData());
        const int vk = soundCellAt(e->position().toPoint());
        if (!file || vk < 0) {
            e->ignore();
            return true;
        }
        e->setDropAction(Qt::CopyAction);
        e->accept();
        // After the drop has been answered: a message box must not hold up
        // the program the file came from.
        QMetaObject::invokeMethod(
            this, [this, vk, path = *file] { onTxtKeyDragDrop(vk, path); }, Qt::QueuedConnection);
        return true;
    }
    default: return QDialog::eventFilter(watched, event);
    }
}

// The first dropped file's path, as given, nothing checked; only a path the
// settings file could not hold is refused.
void SoundSettingsWindow::onTxtKeyDragDrop(int vk, const QString& path) { setCellPath(vk, path); }

void SoundSettingsWindow::setCellPath(int vk, const QString& path) {
    if (!canStorePath(narrow(path))) {
        ctx_.boxes->show(widgets::BoxIcon::Exclamation, texts::kLineBreakInPath + QLatin1Char('\n') + path);
        return;
    }
    txtKey(vk)->setText(path);
}

// ---------------------------------------------------------------------------
// OK and cancel

void SoundSettingsWindow::onCmdUpdateClicked() {
    PathTable edits;
    for (std::uint8_t vk : counting::layout::countedCodes()) edits[vk] = narrow(txtKey(vk)->text());
    const SaveResult result = savePaths(ctx_.settingsPath, edits, ctx_.settings->soundPaths, &platform::replaceWhole);
    if (result.outcome == SaveResult::Outcome::Refused) {
        // Nothing was written: the window stays open for the path to be changed.
        ctx_.boxes->show(widgets::BoxIcon::Exclamation,
                         texts::kLineBreakInPath + QLatin1Char('\n') + txtKey(result.refusedVk)->text());
        return;
    }
    for (std::uint8_t vk : counting::layout::countedCodes()) txtKeySave_[vk] = txtKey(vk)->text();
    if (ctx_.player != nullptr) ctx_.player->preload(pathsToLoad(ctx_.settings->soundPaths));
    if (result.outcome == SaveResult::Outcome::Written) {
        ctx_.boxes->show(widgets::BoxIcon::Information, texts::kUpdated);
    } else {
        // The new paths are in use until the program ends, but the next
        // start would not find them: the person must hear of it.
        ctx_.boxes->show(widgets::BoxIcon::Critical,
                         QString::fromLocal8Bit(ctx_.settingsPath) + texts::kNotSavedSuffix);
    }
    accept();
}

// Esc and the close box end in reject() as well: all three forget the edits.
void SoundSettingsWindow::onCmdCancelClicked() { reject(); }

// Enter leaves nothing (only a focused cell gives it a meaning); Esc cancels.
void SoundSettingsWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: event->accept(); return;
    default: QDialog::keyPressEvent(event);
    }
}

}  // namespace pressory::sound
