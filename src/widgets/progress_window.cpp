#include "widgets/progress_window.h"

#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <algorithm>
#include <cmath>

#include "history/viewer_rules.h"
#include "widgets/progress_window_texts.h"
#include "widgets/twips.h"

namespace pressory::widgets {
namespace {

constexpr int kFrame = 2;  // the sunken border of the bar, in pixels

}  // namespace

ProgressBar::ProgressBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("picProgressBar"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ProgressBar::setReach(double x) {
    x = std::clamp(x, 0.0, static_cast<double>(history::kProgressScale));
    if (x == reach_) return;
    reach_ = x;
    update();
}

QRect ProgressBar::filledRect() const {
    const QRect inside = rect().adjusted(kFrame, kFrame, -kFrame, -kFrame);
    const int w = static_cast<int>(std::lround(reach_ / history::kProgressScale * inside.width()));
    if (w <= 0) return {};
    return QRect(inside.left(), inside.top(), w, inside.height());
}

void ProgressBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Button));
    p.setPen(pal.color(QPalette::Dark));
    p.drawLine(0, 0, width() - 1, 0);
    p.drawLine(0, 0, 0, height() - 1);
    p.setPen(pal.color(QPalette::Light));
    p.drawLine(1, height() - 1, width() - 1, height() - 1);
    p.drawLine(width() - 1, 1, width() - 1, height() - 1);
    const QRect filled = filledRect();
    if (!filled.isEmpty()) p.fillRect(filled, QColor(0, 0, 128));
}

ProgressWindow::ProgressWindow(const QIcon& icon, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("frmDoEvents"));
    setWindowTitle(texts::kProgressCaption);
    setWindowIcon(icon);
    setModal(false);
    const TwipScale tw = screenScale(owner);
    setFixedSize(tw.x(4710), tw.y(1335));

    iconLabel_ = new QLabel(this);
    iconLabel_->setObjectName(QStringLiteral("Picture1"));
    iconLabel_->setGeometry(tw.x(240), tw.y(240), tw.x(495), tw.y(495));
    iconLabel_->setPixmap(icon.pixmap(QSize(32, 32)));
    iconLabel_->setAlignment(Qt::AlignCenter);

    message_ = new QLabel(texts::kWorking, this);
    message_->setObjectName(QStringLiteral("Label1"));
    message_->setGeometry(tw.x(960), tw.y(360), tw.x(2055), tw.y(375));

    progressBar_ = new ProgressBar(this);
    progressBar_->setGeometry(tw.x(240), tw.y(840), tw.x(4215), tw.y(255));

    if (owner) {
        const QRect o = owner->frameGeometry();
        move(o.center() - QPoint(width() / 2, height() / 2));
    }
}

void ProgressWindow::showProgress(std::int64_t shown, std::int64_t gridRows) {
    progressBar_->setReach(history::progressBarX(shown, gridRows));
}

}  // namespace pressory::widgets
