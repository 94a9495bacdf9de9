#include "sound/ui/sound_settings_window.h"

#include <QCloseEvent>
#include <QDir>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QUrl>
#include <algorithm>
#include <optional>

#include "counting/key_layout.h"
#include "platform/file_access.h"
#include "platform/sound_player.h"
#include "sound/sound_keys.h"
#include "sound/sound_paths.h"
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
constexpr counting::TwipRect kShape1{5880, 150, 5415, 825};
constexpr counting::TwipRect kLblHelp[6] = {
    {6000, 240, 1455, 255}, {6000, 480, 1455, 255}, {6000, 720, 1455, 255},
    {7440, 240, 3375, 255}, {7440, 480, 1935, 255}, {7440, 720, 1935, 255},
};
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
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint),
      ctx_(std::move(context)) {
    setObjectName(QStringLiteral("frmSoundConfig"));
    setWindowTitle(texts::kCaption);
    setModal(true);
    const TwipScale tw = widgets::screenScale();
    setFixedSize(tw.x(kClientWidth), tw.y(kClientHeight));
    QFont f = font();
    f.setPixelSize(12);
    setFont(f);

    // The tab order starts at the cancel button, then OK; the cells take no focus.
    cmdCancel_ = new QPushButton(texts::kCancel, this);
    cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
    cmdUpdate_ = new QPushButton(texts::kOk, this);
    cmdUpdate_->setObjectName(QStringLiteral("cmdUpdate"));
    for (QPushButton* b : {cmdCancel_, cmdUpdate_}) {
        b->setAutoDefault(false);  // Enter and Esc have no special meaning here
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
    connect(keyboard_, &widgets::KeyboardWidget::cellPressed, this, &SoundSettingsWindow::onTxtKeyMouseDown);

    auto* shape1 = new RoundedFrame(this);
    shape1->setObjectName(QStringLiteral("Shape1"));
    shape1->setGeometry(tw.rect(kShape1));
    // The help texts are long for their design widths: a smaller font keeps
    // each of them, colons included, inside its own label.
    QFont helpFont = font();
    helpFont.setPixelSize(9);
    for (int i = 0; i < 6; ++i) {
        auto* label = new QLabel(texts::kHelpLabels[i], this);
        label->setFont(helpFont);
        label->setObjectName(QStringLiteral("lblHelp(%1)").arg(i));
        label->setGeometry(tw.rect(kLblHelp[i]));
        label->setAutoFillBackground(false);
        lblHelp_[static_cast<std::size_t>(i)] = label;
    }

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

// ---------------------------------------------------------------------------
// The cells: clicks and dropped files

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

int SoundSettingsWindow::soundCellAt(const QPoint& keyboardPos) const {
    const QWidget* under = keyboard_->childAt(keyboardPos);
    if (under == nullptr) return -1;
    for (std::uint8_t vk : counting::layout::countedCodes())
        if (keyboard_->cell(vk) == under) return vk;
    return -1;
}

bool SoundSettingsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != keyboard_) return QDialog::eventFilter(watched, event);
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
void SoundSettingsWindow::onTxtKeyDragDrop(int vk, const QString& path) {
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
    leave(QDialog::Accepted);
}

void SoundSettingsWindow::onCmdCancelClicked() { leave(QDialog::Rejected); }

void SoundSettingsWindow::leave(int result) {
    leaving_ = true;
    done(result);
}

// ---------------------------------------------------------------------------
// Only the two buttons leave the window

void SoundSettingsWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter: event->accept(); return;
    default: QDialog::keyPressEvent(event);
    }
}

void SoundSettingsWindow::closeEvent(QCloseEvent* event) {
    if (leaving_)
        QDialog::closeEvent(event);
    else
        event->ignore();
}

}  // namespace pressory::sound
