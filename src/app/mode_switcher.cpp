#include "app/mode_switcher.h"

#include <QAction>
#include <QEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QWindow>

#include "app/mode_geometry.h"

namespace pressory::app {

ModeSwitcher::ModeSwitcher(QMainWindow* window) : QObject(window), w_(window) { window->installEventFilter(this); }

void ModeSwitcher::start(const QRect& screen) {
    const QRect asCreated = w_->frameGeometry();
    const QMargins unframed = frameMargins();
    setMenusVisible(false);
    enterMode(true, compactStartRect(screen));
    other_ = keptRect(asCreated);
    unframedStartMargins_ = unframed;
    fitFrame();
}

void ModeSwitcher::toggle() {
    const QRect current = w_->frameGeometry();
    const QRect saved = other_;
    unframedStartMargins_.reset();
    enterMode(!compact_, saved);
    other_ = keptRect(current);
}

// The menus' shortcuts go with the menu bar: they do not act in compact mode.
void ModeSwitcher::setMenusVisible(bool visible) {
    for (QAction* menu : w_->menuBar()->actions()) menu->setVisible(visible);
    w_->menuBar()->setVisible(visible);
}

void ModeSwitcher::enterMode(bool compact, const QRect& outer) {
    setMenusVisible(!compact);
    const Qt::WindowFlags flags = compact ? kCompactFlags : kFullFlags;
    if (w_->windowHandle() != nullptr && w_->isVisible()) {
        // The shown window keeps its native window: only its frame and its
        // place in the z-order change, without hiding it.
        w_->overrideWindowFlags(flags);
        w_->windowHandle()->setFlags(flags);
    } else {
        w_->setWindowFlags(flags);
    }
    placeOuter(outer);
    compact_ = compact;
    emit modeChanged(compact);
}

QMargins ModeSwitcher::frameMargins() const { return marginsBetween(w_->frameGeometry(), w_->geometry()); }

void ModeSwitcher::placeOuter(const QRect& outer) {
    placedOuter_ = outer;
    placedMargins_ = frameMargins();
    w_->setFixedSize(clientSizeFor(outer.size(), placedMargins_));
    w_->move(outer.topLeft());  // the frame's top-left corner
    w_->show();
}

// The window system frames a window after it is shown, and may frame the two
// modes differently: once the frame is known, the client is sized again so
// that the whole window keeps the size it was placed with.
void ModeSwitcher::fitFrame() {
    if (!placedOuter_.isValid() || !w_->isVisible()) return;
    const QMargins m = frameMargins();
    if (unframedStartMargins_ && m != *unframedStartMargins_) {
        other_ = withFrame(other_, m, *unframedStartMargins_);
        unframedStartMargins_.reset();
    }
    if (m == placedMargins_) return;
    placedMargins_ = m;
    w_->setFixedSize(clientSizeFor(placedOuter_.size(), m));
}

bool ModeSwitcher::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type t = event->type();
    if (watched == w_ && (t == QEvent::Move || t == QEvent::Resize || t == QEvent::Show)) fitFrame();
    return false;
}

}  // namespace pressory::app
