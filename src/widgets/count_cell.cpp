#include "widgets/count_cell.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QRawFont>
#include <array>
#include <qdrawutil.h>
#include <span>
#include <unordered_map>
#include <vector>

#include "counting/key_layout.h"
#include "widgets/colour_value.h"

namespace pressory::widgets {
namespace {

// The cell as assistive technology reads it: the accessible name is its
// caption, the value and the text are what the cell shows.
class CountCellAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit CountCellAccessible(CountCell* cell) : QAccessibleWidget(cell, QAccessible::EditableText) {}

    CountCell* cell() const { return static_cast<CountCell*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.editable = false;
        // Focusable and focused as the widget is: the sound settings
        // window's cells take the focus, the counting keyboard's do not.
        // A cell outside its window's area (the keyboard of the compact
        // window) is not on the screen, however shown it is.
        const QWidget* w = cell()->window();
        if (!QRect(cell()->mapTo(w, QPoint(0, 0)), cell()->size()).intersects(w->rect())) s.offscreen = true;
        return s;
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return cell()->text();
        return QAccessibleWidget::text(t);
    }

    // Read-only text: no selection, the caret at the start.
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override { return cell()->text().mid(start, end - start); }
    int characterCount() const override { return static_cast<int>(cell()->text().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override {
        *start = *end = 0;
        return {};
    }
};

// The sunken frame and the fill of a cell, drawn once for each size, colour
// and palette and then copied: qDrawWinPanel() draws its eight lines through
// the general polygon path, which costs more than the rest of a repaint.
// The cells of one size share a frame; a held key's blink colour and the up
// colour are each drawn once.
struct FrameKey {
    int width = 0;
    int height = 0;
    qreal ratio = 1;
    QRgb fill = 0;
    qint64 palette = 0;
    bool operator==(const FrameKey&) const = default;
};

size_t qHash(const FrameKey& k, size_t seed = 0) {
    return qHashMulti(seed, k.width, k.height, k.ratio, k.fill, k.palette);
}

const QPixmap& cellFrame(const QSize& size, qreal ratio, const QColor& fill, const QPalette& palette) {
    // Colours are few (up, blink, a scale of tints), but a frame of every
    // colour ever shown is not kept: past the limit the cache starts over.
    constexpr qsizetype kMaxFrames = 256;
    static QHash<FrameKey, QPixmap> cache;
    const FrameKey key{size.width(), size.height(), ratio, fill.rgba(), palette.cacheKey()};
    if (const auto it = cache.constFind(key); it != cache.constEnd()) return *it;
    if (cache.size() >= kMaxFrames) cache.clear();
    QPixmap frame(size * ratio);
    frame.setDevicePixelRatio(ratio);
    frame.fill(fill);  // opaque: copied, not blended
    {
        QPainter p(&frame);
        const QBrush brush(fill);
        qDrawWinPanel(&p, QRect(QPoint(0, 0), size), palette, true, &brush);
    }
    return *cache.insert(key, frame);
}

struct QStringHash {
    std::size_t operator()(const QString& s) const noexcept { return qHash(s); }
};

}  // namespace

// The glyphs of the ten digits in one font, with their advances, looked up
// once: a count is drawn as a run of these glyphs, with no text layout at
// all, at the same positions as a laid-out line of the same digits.
struct CountCell::DigitGlyphs {
    QRawFont raw;
    std::array<quint32, 10> index{};
    std::array<qreal, 10> advance{};
    qreal ascent = 0;
    qreal height = 0;  // of a line: ascent and descent
    bool usable = false;
};

// Kept for the program's life, one for each font cells have been drawn in;
// a cell keeps a pointer to its font's entry until its font changes.
const CountCell::DigitGlyphs& CountCell::digitGlyphs(const QFont& font) {
    static std::unordered_map<QString, DigitGlyphs, QStringHash> cache;
    const QString key = font.key();
    if (const auto it = cache.find(key); it != cache.end()) return it->second;
    DigitGlyphs g;
    g.raw = QRawFont::fromFont(font);
    const QList<quint32> index = g.raw.glyphIndexesForString(QStringLiteral("0123456789"));
    if (g.raw.isValid() && index.size() == 10) {
        const QList<QPointF> advance = g.raw.advancesForGlyphIndexes(index);
        g.usable = advance.size() == 10;
        for (std::size_t d = 0; d < 10 && g.usable; ++d) {
            g.index[d] = index[static_cast<qsizetype>(d)];
            g.advance[d] = advance[static_cast<qsizetype>(d)].x();
            if (g.index[d] == 0) g.usable = false;  // a digit the font lacks: laid out the general way
        }
        const QFontMetricsF fm(font);
        g.ascent = fm.ascent();
        g.height = fm.ascent() + fm.descent();
    }
    return cache.emplace(key, g).first->second;
}

namespace {

QAccessibleInterface* countCellFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("pressory::widgets::CountCell") && object && object->isWidgetType())
        return new CountCellAccessible(static_cast<CountCell*>(object));
    return nullptr;
}

}  // namespace

void installCountCellAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(countCellFactory);
        return true;
    }();
    (void)installed;
}

CountCell::CountCell(QWidget* parent, Qt::Alignment alignment)
    : QWidget(parent), text_(QStringLiteral("0")), colour_(counting::colour::kWindowBackground), alignment_(alignment) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

namespace {

struct OpenBatch {
    int depth = 0;
    std::vector<CountCell*> cells;
};

OpenBatch& openBatch() {
    static OpenBatch batch;
    return batch;
}

}  // namespace

CountCell::RepaintBatch::RepaintBatch() { ++openBatch().depth; }

namespace {

// Marks the other changed cells of a window while the window handles the
// update request of one cell's repaint, before it paints: they are painted in
// the same pass and flush, and marking them asks for no update of its own,
// which would be posted and wake the event loop once more for nothing.
class MarkWithRepaint final : public QObject {
public:
    MarkWithRepaint(QWidget* window, std::span<CountCell* const> cells) : window_(window), cells_(cells) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::UpdateRequest && !cells_.empty()) {
            for (CountCell* cell : cells_) cell->update();
            cells_ = {};
        }
        return false;
    }

private:
    QWidget* window_;
    std::span<CountCell* const> cells_;
};

}  // namespace

CountCell::RepaintBatch::~RepaintBatch() {
    OpenBatch& b = openBatch();
    if (--b.depth > 0) return;
    // The cells to paint, by window, in the order they changed.
    std::vector<std::pair<QWidget*, std::vector<CountCell*>>> windows;
    for (CountCell* cell : b.cells) {
        cell->inBatch_ = false;
        if (!cell->isVisible()) continue;
        QWidget* w = cell->window();
        if (!QRect(cell->mapTo(w, QPoint(0, 0)), cell->size()).intersects(w->rect())) continue;
        const auto it = std::find_if(windows.begin(), windows.end(), [w](const auto& e) { return e.first == w; });
        (it != windows.end() ? it->second : windows.emplace_back(w, std::vector<CountCell*>{}).second).push_back(cell);
    }
    b.cells.clear();
    // One repaint per window paints its cells in one pass with one flush: a
    // window whose backing store is shared with the server waits for the
    // server to finish the previous flush before it paints again.
    for (const auto& [w, cells] : windows) {
        MarkWithRepaint others(w, std::span<CountCell* const>(cells.data(), cells.size() - 1));
        if (cells.size() > 1) w->installEventFilter(&others);
        cells.back()->repaint();
        if (cells.size() > 1) w->removeEventFilter(&others);
    }
}

CountCell::~CountCell() {
    if (inBatch_) std::erase(openBatch().cells, this);
}

void CountCell::requestRepaint() {
    ++repaintRequests_;
    OpenBatch& b = openBatch();
    if (b.depth == 0) {
        update();
    } else if (!inBatch_) {
        inBatch_ = true;
        b.cells.push_back(this);
    }
}

void CountCell::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    requestRepaint();
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent ev(this, text_);
        QAccessible::updateAccessibility(&ev);
    }
}

void CountCell::setColourValue(std::int32_t value) {
    if (value == colour_) return;
    colour_ = value;
    requestRepaint();
}

void CountCell::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) glyphs_ = nullptr;
    QWidget::changeEvent(event);
}

void CountCell::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    p.drawPixmap(0, 0, cellFrame(r.size(), devicePixelRatioF(), colourOf(colour_, palette()), palette()));
    p.setPen(palette().color(QPalette::Text));
    const QRect textRect = r.adjusted(3, 1, -3, -1);
    if (!drawDigits(p, textRect)) p.drawText(textRect, static_cast<int>(alignment_ | Qt::AlignVCenter), text_);
}

// A count is digits only: its glyphs go straight to the painter, where
// drawText() would have put them (aligned left or right, centred
// vertically). Anything else, or a count wider than the cell, is drawn the
// general way.
bool CountCell::drawDigits(QPainter& p, const QRect& textRect) const {
    constexpr qsizetype kMaxDigits = 16;
    const qsizetype n = text_.size();
    if (n == 0 || n > kMaxDigits) return false;
    if (glyphs_ == nullptr) glyphs_ = &digitGlyphs(font());
    const DigitGlyphs& g = *glyphs_;
    if (!g.usable) return false;
    std::array<quint32, kMaxDigits> index{};
    std::array<QPointF, kMaxDigits> position{};
    qreal x = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text_[i].unicode();
        if (c < u'0' || c > u'9') return false;
        const auto d = static_cast<std::size_t>(c - u'0');
        index[static_cast<std::size_t>(i)] = g.index[d];
        position[static_cast<std::size_t>(i)] = QPointF(x, 0);
        x += g.advance[d];
    }
    if (x > textRect.width() || g.height > textRect.height()) return false;  // drawText() would clip
    QGlyphRun run;
    run.setRawFont(g.raw);
    run.setRawData(index.data(), position.data(), static_cast<int>(n));
    const qreal left = (alignment_ & Qt::AlignRight) ? textRect.x() + textRect.width() - x : textRect.x();
    const qreal baseline = textRect.y() + (textRect.height() - g.height) / 2 + g.ascent;
    p.drawGlyphRun(QPointF(left, baseline), run);
    return true;
}

}  // namespace pressory::widgets
