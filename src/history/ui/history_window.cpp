#include "history/ui/history_window.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

#include "history/ui/history_texts.h"
#include "history/viewer_rules.h"
#include "platform/text_codec.h"
#include "widgets/progress_window.h"
#include "widgets/twips.h"

namespace pressory::history {
namespace {

// Numbers stand to the right, as in a spreadsheet; other texts to the left.
bool looksNumeric(const std::string& s) {
    if (s.empty()) return false;
    for (const char c : s)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-')) return false;
    return true;
}

// Lets timers and painting run, not the user's input: the viewer is not on
// screen yet, and a second opening must not start from inside this one.
void letEventsRun() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

constexpr qint64 kPumpMs = 15;

}  // namespace

// ---- model ----

void HistoryTableModel::setRows(std::vector<Row> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    std::size_t widest = 0;
    for (const auto& r : rows_) widest = std::max(widest, r.size());
    columns_ = static_cast<int>(gridColumnCount(widest));
    backslashColumns_.clear();
    if (!rows_.empty())
        for (std::size_t c = kDesignedColumns; c < rows_[0].size(); ++c)
            if (rows_[0][c] == "\\") backslashColumns_.push_back(static_cast<int>(c));
    endResetModel();
}

QString HistoryTableModel::cellText(int row, int column) const {
    if (row < 0 || row >= gridRowCount() || column < 0) return {};
    const Row& r = rows_[static_cast<std::size_t>(row)];
    if (static_cast<std::size_t>(column) >= r.size()) return {};
    return QString::fromStdString(r[static_cast<std::size_t>(column)]);
}

QString HistoryTableModel::longestText(int column) const {
    if (column < 0) return {};
    const auto c = static_cast<std::size_t>(column);
    const std::string* longest = nullptr;
    for (std::size_t row = 1; row < rows_.size(); ++row)
        if (c < rows_[row].size() && (longest == nullptr || rows_[row][c].size() > longest->size()))
            longest = &rows_[row][c];
    return longest ? QString::fromStdString(*longest) : QString();
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(gridRowCount() - 1, 0);
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == Qt::DisplayRole) return cellText(index.row() + 1, index.column());
    if (role == Qt::TextAlignmentRole) {
        const Row& r = rows_[static_cast<std::size_t>(index.row() + 1)];
        const auto c = static_cast<std::size_t>(index.column());
        const bool right = c < r.size() && looksNumeric(r[c]);
        return static_cast<int>(Qt::AlignVCenter | (right ? Qt::AlignRight : Qt::AlignLeft));
    }
    return {};
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) return cellText(0, section);
    if (role == Qt::AccessibleTextRole) {
        const auto at = std::find(backslashColumns_.begin(), backslashColumns_.end(), section);
        if (backslashColumns_.size() == 2 && at != backslashColumns_.end())
            return texts::kBackslashColumnNames[at - backslashColumns_.begin()];
        return cellText(0, section);
    }
    if (role == Qt::TextAlignmentRole) return static_cast<int>(Qt::AlignVCenter | Qt::AlignLeft);
    return {};
}

Qt::ItemFlags HistoryTableModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

// ---- grid ----

HistoryGrid::HistoryGrid(QWidget* parent) : QTableView(parent), frozen_(new QTableView(this)) {
    setObjectName(QStringLiteral("grdHistory"));
    frozen_->setObjectName(QStringLiteral("grdHistoryFixedColumns"));
    setAccessibleName(texts::kHistoryCaption);
    frozen_->setAccessibleName(texts::kHistoryCaption);
    for (QTableView* v : {static_cast<QTableView*>(this), frozen_}) {
        v->verticalHeader()->hide();
        v->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        v->horizontalHeader()->setHighlightSections(false);
        v->horizontalHeader()->setMinimumSectionSize(1);  // the letter columns are narrower than the style's minimum
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->setSelectionMode(QAbstractItemView::SingleSelection);
        v->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
        v->setWordWrap(false);
    }
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    frozen_->setFocusPolicy(Qt::NoFocus);
    frozen_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    frozen_->setFrameShape(QFrame::NoFrame);
    viewport()->stackUnder(frozen_);

    // The fixed columns keep the widths of the grid's, and both scroll together up and down.
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int size) {
        if (column < kFixedColumns) {
            frozen_->setColumnWidth(column, size);
            updateFrozenGeometry();
        }
    });
    connect(horizontalScrollBar(), &QAbstractSlider::valueChanged, this, &HistoryGrid::updateFrozenGeometry);
    connect(frozen_->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
            &QAbstractSlider::setValue);
    connect(verticalScrollBar(), &QAbstractSlider::valueChanged, frozen_->verticalScrollBar(),
            &QAbstractSlider::setValue);
}

void HistoryGrid::setHistoryModel(HistoryTableModel* model) {
    setModel(model);
    frozen_->setModel(model);
    frozen_->setSelectionModel(selectionModel());
    connect(model, &QAbstractItemModel::modelReset, this, &HistoryGrid::hideScrollingColumnsOfFrozen);
    hideScrollingColumnsOfFrozen();
}

void HistoryGrid::hideScrollingColumnsOfFrozen() {
    if (!model()) return;
    for (int c = 0; c < model()->columnCount(); ++c) frozen_->setColumnHidden(c, c >= kFixedColumns);
    updateFrozenGeometry();
}

void HistoryGrid::applyColumnWidths(double dpiX, double dpiY) {
    const widgets::TwipScale tw(dpiX, dpiY);
    // Every key column has the same width: the default, so that a wide file
    // costs no call per column. The first eleven are set one by one.
    horizontalHeader()->setDefaultSectionSize(tw.x(columnWidthTwips(kDesignedColumns)));
    frozen_->horizontalHeader()->setDefaultSectionSize(tw.x(columnWidthTwips(kDesignedColumns)));
    const int keyWidth = tw.x(columnWidthTwips(kDesignedColumns));
    const int cols = model() ? model()->columnCount() : 0;
    designedWidths_.clear();
    for (int c = 0; c < cols; ++c) {
        const int designed = c < kDesignedColumns ? tw.x(columnWidthTwips(static_cast<std::size_t>(c))) : keyWidth;
        if (c < kDesignedColumns) designedWidths_.push_back(designed);
        const int width = std::max(designed, contentWidth(c));
        // A key column as wide as the default costs no call.
        if (c < kDesignedColumns || width != keyWidth) setColumnWidth(c, width);
        if (c < kFixedColumns) frozen_->setColumnWidth(c, width);
    }
    const int rowHeight = std::max(tw.y(240), fontMetrics().height() + 2);
    verticalHeader()->setDefaultSectionSize(rowHeight);
    frozen_->verticalHeader()->setDefaultSectionSize(rowHeight);
    updateFrozenGeometry();
}

// The width a column needs for its caption and its widest text: the text
// longest in bytes is measured (the texts of a column are alike: digits, or
// one time stamp form).
int HistoryGrid::contentWidth(int column) const {
    auto* m = static_cast<const HistoryTableModel*>(model());
    if (m == nullptr) return 0;
    int width = 0;
    if (const QString caption = m->cellText(0, column); !caption.isEmpty()) {
        const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, horizontalHeader());
        width = horizontalHeader()->fontMetrics().horizontalAdvance(caption) + 2 * margin + 2;
    }
    if (const QString longest = m->longestText(column); !longest.isEmpty()) {
        const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
        width = std::max(width, fontMetrics().horizontalAdvance(longest) + 2 * margin + 1);  // + the grid line
    }
    return width;
}

int HistoryGrid::widthBeyondDesign(int first, int last) const {
    int extra = 0;
    for (int c = first; c <= last && c < static_cast<int>(designedWidths_.size()); ++c)
        extra += columnWidth(c) - designedWidths_[static_cast<std::size_t>(c)];
    return extra;
}

int HistoryGrid::frozenWidth() const {
    int w = 0;
    const int cols = model() ? std::min(model()->columnCount(), kFixedColumns) : 0;
    for (int c = 0; c < cols; ++c) w += columnWidth(c);
    return w;
}

// The fixed columns also cover what shows of a scrolling column cut by their
// edge: a number cut on its left would read as a smaller one. The cover is
// the fixed view's empty area, blank like the grid's.
void HistoryGrid::updateFrozenGeometry() {
    const int edge = frozenWidth();
    int cover = edge;
    const int cut = columnAt(edge);
    if (cut >= kFixedColumns && columnViewportPosition(cut) < edge)
        cover = std::min(columnViewportPosition(cut) + columnWidth(cut), viewport()->width());
    frozen_->setGeometry(verticalHeader()->width() + frameWidth(), frameWidth(), cover,
                         viewport()->height() + horizontalHeader()->height());
}

void HistoryGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    updateFrozenGeometry();
}

// Moving the current cell to the left keeps it out from under the fixed columns.
QModelIndex HistoryGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
    const QModelIndex current = QTableView::moveCursor(cursorAction, modifiers);
    if (cursorAction == MoveLeft && current.column() >= kFixedColumns &&
        visualRect(current).topLeft().x() < frozenWidth()) {
        const int newValue = horizontalScrollBar()->value() + visualRect(current).topLeft().x() - frozenWidth();
        horizontalScrollBar()->setValue(newValue);
    }
    return current;
}

void HistoryGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (index.column() >= kFixedColumns) QTableView::scrollTo(index, hint);
}

// ---- window ----

HistoryWindow::HistoryWindow(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("frmKeyHistory"));
    setWindowTitle(texts::kHistoryCaption);
    const widgets::TwipScale tw = widgets::screenScale(owner);
    setFixedSize(tw.x(11790), tw.y(8130));

    QFont labelFont(QStringLiteral("MS UI Gothic"));
    labelFont.setPointSize(9);

    cmdClose_ = new QPushButton(texts::kOk, this);  // first in tab order
    cmdClose_->setObjectName(QStringLiteral("cmdClose"));
    cmdClose_->setGeometry(tw.x(10320), tw.y(7680), tw.x(1300), tw.y(350));
    cmdClose_->setDefault(true);
    connect(cmdClose_, &QPushButton::clicked, this, &HistoryWindow::onCmdCloseClicked);

    const QString headerTexts[2] = {texts::kHeaderRatios, texts::kHeaderTopFive};
    const QRect headerRects[2] = {QRect(tw.x(1845), tw.y(240), tw.x(2600), tw.y(255)),
                                  QRect(tw.x(4425), tw.y(240), tw.x(1500), tw.y(255))};
    for (int i = 0; i < 2; ++i) {
        QLabel* l = new QLabel(headerTexts[i], this);
        l->setObjectName(QStringLiteral("lblHeader%1").arg(i));
        headerRects_[i] = headerRects[i];
        l->setGeometry(headerRects[i]);
        l->setAlignment(Qt::AlignCenter);
        l->setFrameStyle(QFrame::Box | QFrame::Plain);
        l->setLineWidth(1);
        l->setFont(labelFont);
        l->setAutoFillBackground(true);
        QPalette p = l->palette();
        p.setColor(QPalette::Window, p.color(QPalette::Base));
        p.setColor(QPalette::WindowText, p.color(QPalette::Text));
        l->setPalette(p);
        lblHeader_[i] = l;
    }

    lblRowCount_ = new QLabel(this);
    lblRowCount_->setObjectName(QStringLiteral("lblRowCount"));
    lblRowCount_->setGeometry(tw.x(10440), tw.y(240), tw.x(1095), tw.y(255));
    lblRowCount_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont bold = labelFont;
    bold.setBold(true);
    lblRowCount_->setFont(bold);

    model_ = new HistoryTableModel(this);
    grdHistory_ = new HistoryGrid(this);
    grdHistory_->setGeometry(tw.x(120), tw.y(480), tw.x(11535), tw.y(7095));
    grdHistory_->setHistoryModel(model_);
    setTabOrder(cmdClose_, grdHistory_);
}

bool HistoryWindow::load(const std::string& historyPath, int rowLimit, const QIcon& icon) {
    // Timers and other events run while the file is read; if one of them
    // takes the owner (and so this window) away, the loading stops without
    // touching either again.
    const QPointer<HistoryWindow> self(this);
    const QPointer<widgets::ProgressWindow> progress(new widgets::ProgressWindow(icon, parentWidget()));
    const auto closeProgress = qScopeGuard([&progress] { delete progress.data(); });
    progress->show();
    letEventsRun();
    if (!self || !progress) return false;
    QElapsedTimer sincePump;
    sincePump.start();
    auto pump = [&sincePump] {
        if (sincePump.elapsed() < kPumpMs) return;
        letEventsRun();
        sincePump.restart();
    };

    grdHistory_->hide();
    NewestLines read = readNewestLines(historyPath, rowLimit, pump);
    if (!self || !progress || read.status != ReadStatus::Ok) return false;

    // Placing a record is turning its fields from code page 932 into text;
    // they are placed oldest first, and the bar grows by one row's share each.
    std::vector<Row>& rows = read.rows;
    const int gridRows = static_cast<int>(rows.size());
    auto decode = [](Row& row) {
        for (auto& field : row) field = platform::cp932ToUtf8Lossy(field);
    };
    if (gridRows > 0) decode(rows[0]);
    for (int shown = 1; shown < gridRows; ++shown) {
        decode(rows[static_cast<std::size_t>(gridRows - shown)]);
        progress->showProgress(shown, gridRows);
        emit progressStepped(progress, shown, gridRows);
        pump();
        if (!self || !progress) return false;
    }

    model_->setRows(std::move(rows));
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    grdHistory_->applyColumnWidths(s ? s->logicalDotsPerInchX() : 96, s ? s->logicalDotsPerInchY() : 96);
    // The two captions stand over their columns (the ratios 1 to 4, the top
    // five 5 to 9) as these are widened.
    const int shiftRatios = grdHistory_->widthBeyondDesign(0, 0);
    const int shiftTopFive = grdHistory_->widthBeyondDesign(0, 4);
    lblHeader_[0]->setGeometry(headerRects_[0].adjusted(shiftRatios, 0, shiftTopFive, 0));
    lblHeader_[1]->setGeometry(headerRects_[1].adjusted(shiftTopFive, 0, grdHistory_->widthBeyondDesign(0, 9), 0));
    grdHistory_->show();
    lblRowCount_->setText(QString::fromStdString(rowCountLabel(gridRows)));
    return true;
}

void HistoryWindow::onCmdCloseClicked() { accept(); }

}  // namespace pressory::history
