// The main window's two modes: the full window with its menu bar, and the
// compact window, always in front, that shows only the total. The switcher
// places the window at the outer rectangle the other mode left, keeps the
// one it leaves, and fits the client size again whenever the window system
// frames the window differently, so that the outer size holds.
#pragma once

#include <QMargins>
#include <QObject>
#include <QRect>
#include <optional>

class QMainWindow;

namespace pressory::app {

class ModeSwitcher final : public QObject {
    Q_OBJECT
public:
    // Watches `window` (its parent) for moves, resizes and showing.
    explicit ModeSwitcher(QMainWindow* window);

    bool compact() const { return compact_; }
    // The outer rectangle the other mode comes back at.
    QRect otherModeRect() const { return other_; }

    // The start: the compact window at its start place on `screen`, shown;
    // the window's geometry as created is kept for the full window, its
    // frame added once the window system has framed the window.
    void start(const QRect& screen);
    // To the other mode, where it was last; the place left is kept.
    void toggle();

signals:
    // After the window was placed in its new mode.
    void modeChanged(bool compact);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void enterMode(bool compact, const QRect& outer);
    void setMenusVisible(bool visible);
    void placeOuter(const QRect& outer);
    void fitFrame();
    QMargins frameMargins() const;

    QMainWindow* w_;
    bool compact_ = false;  // the window is created in full mode
    QRect other_;
    // The outer rectangle the window was last placed at, and the frame
    // margins known then.
    QRect placedOuter_;
    QMargins placedMargins_;
    // The full window's rectangle kept at the start is its size as created,
    // before the window system added a frame; the frame is added once known.
    std::optional<QMargins> unframedStartMargins_;
};

}  // namespace pressory::app
